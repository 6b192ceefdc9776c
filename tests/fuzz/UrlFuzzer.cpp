// URLs from the ad server as the SDK takes them: beacon URLs query-encoded
// then parsed, image URLs parsed as they are, click URLs through OpenAd's
// checks to an application that opens nothing.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "common/OpenAd.hpp"
#include "common/PercentEncoding.hpp"
#include "net/Url.hpp"
#include "ovix/platform/Application.hpp"

namespace ovix::fuzz {
namespace {

// Records what OpenAd hands the application and opens nothing.
class Recorder : public ui::URLHandler {
 public:
  bool canOpenURL(const std::string& url) override {
    asked.push_back(url);
    return true;
  }
  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> asked;
  std::vector<std::string> opened;
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Every byte the encoding leaves alone is allowed in a query; the rest are
// %XX escapes that decode to exactly the original.
void checkEncoding(std::string_view text, const std::string& encoded) {
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '%') {
      OVIX_FUZZ_CHECK(i + 2 < encoded.size());
      const int high = hexValue(encoded[i + 1]);
      const int low = hexValue(encoded[i + 2]);
      OVIX_FUZZ_CHECK(high >= 0 && low >= 0);
      decoded.push_back(static_cast<char>(high * 16 + low));
      i += 2;
      continue;
    }
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') ||
                         std::string_view("-._~!$&'()*+,;=:@/?").find(c) != std::string_view::npos;
    OVIX_FUZZ_CHECK(allowed);
    decoded.push_back(c);
  }
  OVIX_FUZZ_CHECK(decoded == text);
}

// A URL the network layer accepts has a scheme and a host, no byte that
// cannot go on the wire, and reads back as itself: libcurl parses the
// normalised text again when it transfers.
void checkUrl(const net::Url& url) {
  OVIX_FUZZ_CHECK(!url.scheme().empty() && !url.host().empty());
  for (const char c : url.string()) {
    OVIX_FUZZ_CHECK(static_cast<unsigned char>(c) > ' ' && c != 0x7f);
  }
  const auto again = net::Url::make(url.string());
  OVIX_FUZZ_CHECK(again.has_value());
  OVIX_FUZZ_CHECK(again->string() == url.string());
  OVIX_FUZZ_CHECK(again->host() == url.host() && again->scheme() == url.scheme());
}

}  // namespace

int fuzzUrl(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string encoded = addingPercentEncodingForURLQuery(text);
  checkEncoding(text, encoded);
  if (const auto beacon = net::Url::make(encoded)) checkUrl(*beacon);

  const auto image = net::Url::make(text);
  if (image) checkUrl(*image);

  auto recorder = std::make_shared<Recorder>();
  ui::Application::setURLHandler(recorder);
  const bool opened = OpenAd::openAd(std::string(text));
  ui::Application::resetURLHandler();
  OVIX_FUZZ_CHECK(opened == image.has_value());
  if (opened) {
    OVIX_FUZZ_CHECK(recorder->asked == std::vector<std::string>{std::string(text)});
    OVIX_FUZZ_CHECK(recorder->opened == recorder->asked);
  } else {
    OVIX_FUZZ_CHECK(recorder->opened.empty());
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzUrl)
