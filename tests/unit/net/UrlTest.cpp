#include "platform/net/Url.hpp"

#include <gtest/gtest.h>

namespace ovix::net {
namespace {

// Absolute URLs are kept in their normalised text, whatever the scheme (one
// not loadable fails when its transfer starts).
TEST(UrlTest, AcceptsAbsoluteURLsAndKeepsTheirNormalisedText) {
  const std::pair<std::string_view, std::string_view> kept[] = {
      {"HTTP://Example.COM", "http://Example.COM/"},
      {"https://localhost:8443/ad/v2.ios?slot=a%20b#top",
       "https://localhost:8443/ad/v2.ios?slot=a%20b#top"},
      {"ftp://files.example/x", "ftp://files.example/x"},
      // Escapes outside the host stay escaped.
      {"https://ad.ovix.example/imp?x=%7F", "https://ad.ovix.example/imp?x=%7F"},
      {"utuuuuuuuuuuvp://77/", "utuuuuuuuuuuvp://0.0.0.77/"},
  };
  for (const auto& [text, normalised] : kept) {
    auto url = Url::make(text);
    ASSERT_TRUE(url) << text;
    EXPECT_EQ(url->string(), normalised);
    EXPECT_EQ(Url::make(url->string())->string(), normalised) << "taken back as it is";
  }
}

// Among them, found by fuzzing: the host is decoded while normalising, and
// libcurl then refused its own normalised text when the transfer started, or
// read another host from it ("%377" gives the host "77", which reads again as
// 0.0.0.77).
TEST(UrlTest, RejectsEmptyMalformedHostlessTextAndHostsThatDecodeToSomethingElse) {
  using namespace std::string_view_literals;
  for (std::string_view text :
       {""sv, "ad.ovix.example/path"sv, "http://"sv, "https://a b/"sv, "https://x/\n"sv,
        "http://x:99999/"sv, "mailto:someone@ovix.example"sv, "file:///etc/hosts"sv,
        " https://x/"sv, "https://x/\0y"sv, "j:/j.%7F/"sv, "https://ad.ovix.example%7f/imp"sv,
        "https://a%09b/"sv, "https://x%1F/"sv, "UTUUUUUUUUUUvp:/%377"sv, "http://%377/"sv}) {
    EXPECT_FALSE(Url::make(text)) << text;
  }
}

}  // namespace
}  // namespace ovix::net
