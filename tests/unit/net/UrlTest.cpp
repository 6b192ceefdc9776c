#include "platform/net/Url.hpp"

#include <gtest/gtest.h>

namespace ovix::net {
namespace {

TEST(UrlTest, AcceptsAbsoluteURLsAndKeepsTheirNormalisedText) {
  auto plain = Url::make("HTTP://Example.COM");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->string(), "http://Example.COM/");
  EXPECT_EQ(plain->scheme(), "http");
  EXPECT_EQ(plain->host(), "Example.COM");

  auto full = Url::make("https://localhost:8443/ad/v2.ios?slot=a%20b#top");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->string(), "https://localhost:8443/ad/v2.ios?slot=a%20b#top");
  EXPECT_EQ(full->host(), "localhost");

  // Parsed though not loadable: its transfer fails with kUnsupportedURL.
  auto other = Url::make("ftp://files.example/x");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->scheme(), "ftp");
}

TEST(UrlTest, RejectsEmptyMalformedAndHostlessText) {
  for (std::string_view text :
       {std::string_view(""), std::string_view("ad.ovix.example/path"), std::string_view("http://"),
        std::string_view("https://a b/"), std::string_view("https://x/\n"),
        std::string_view("http://x:99999/"), std::string_view("mailto:someone@ovix.example"),
        std::string_view("file:///etc/hosts"), std::string_view(" https://x/"),
        std::string_view("https://x/\0y", 12)}) {
    EXPECT_FALSE(Url::make(text)) << text;
  }
}

// Found by fuzzing: the host is decoded while normalising, and libcurl then
// refused its own normalised text when the transfer started, or read another
// host from it ("%377" gives the host "77", which reads again as 0.0.0.77).
TEST(UrlTest, RejectsHostsThatDecodeToSomethingElse) {
  for (std::string_view text : {"j:/j.%7F/", "https://ad.ovix.example%7f/imp", "https://a%09b/",
                                "https://x%1F/", "UTUUUUUUUUUUvp:/%377", "http://%377/"}) {
    EXPECT_FALSE(Url::make(text)) << text;
  }
  for (std::string_view text : {"https://ad.ovix.example/imp?x=%7F", "utuuuuuuuuuuvp://77/"}) {
    auto kept = Url::make(text);
    ASSERT_TRUE(kept) << text;
    EXPECT_EQ(Url::make(kept->string())->string(), kept->string());
  }
  EXPECT_EQ(Url::make("https://ad.ovix.example/imp?x=%7F")->string(),
            "https://ad.ovix.example/imp?x=%7F")
      << "escapes outside the host stay escaped";
}

}  // namespace
}  // namespace ovix::net
