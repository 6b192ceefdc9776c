// URLs from the ad server as the SDK takes them: beacon URLs query-encoded
// then parsed, image URLs parsed as they are, click URLs through OpenAd to an
// application that opens nothing.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/common/OpenAd.hpp"
#include "ovix/common/PercentEncoding.hpp"
#include "platform/net/Url.hpp"
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
  OVIX_FUZZ_CHECK(static_cast<bool>(again));
  OVIX_FUZZ_CHECK(again->string() == url.string());
  OVIX_FUZZ_CHECK(again->host() == url.host() && again->scheme() == url.scheme());
}

// What a URL handed to another program keeps unescaped: printable ASCII,
// less the characters a shell acts on.
void checkEscaped(const std::string& text) {
  for (const char c : text) {
    OVIX_FUZZ_CHECK(static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7f);
    OVIX_FUZZ_CHECK(std::string_view("\"'`$;|<>\\^{}").find(c) == std::string_view::npos);
  }
  const auto again = net::Url::makeEncoded(text);
  OVIX_FUZZ_CHECK(again && again->string() == text);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != prefix[i]) return false;
  }
  return true;
}

// A letter, then letters, digits, '+', '-' or '.', then ':'.
bool hasScheme(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && (i == 0 || !other)) return false;
  }
  return true;
}

}  // namespace

int fuzzUrl(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string encoded = addingPercentEncodingForURLQuery(text);
  checkEncoding(text, encoded);
  if (const auto beacon = net::Url::make(encoded)) checkUrl(*beacon);

  if (const auto image = net::Url::make(text)) checkUrl(*image);

  // A click: http and https normalised and escaped, other schemes as written
  // when they hold no space or control character, nothing otherwise.
  auto recorder = std::make_shared<Recorder>();
  ui::Application::setURLHandler(recorder);
  const bool opened = OpenAd::openAd(std::string(text));
  ui::Application::resetURLHandler();
  OVIX_FUZZ_CHECK(opened == !recorder->asked.empty());
  OVIX_FUZZ_CHECK(recorder->opened == recorder->asked);
  const bool web =
      hasScheme(text) && (startsWithNoCase(text, "http:") || startsWithNoCase(text, "https:"));
  if (web) {
    const auto normalised = net::Url::makeEncoded(text);
    OVIX_FUZZ_CHECK(opened == static_cast<bool>(normalised));
    if (normalised) {
      OVIX_FUZZ_CHECK(recorder->asked == std::vector<std::string>{normalised->string()});
      OVIX_FUZZ_CHECK(startsWithNoCase(normalised->string(), "http://") ||
                      startsWithNoCase(normalised->string(), "https://"));
      checkEscaped(normalised->string());
    }
  } else if (opened) {
    OVIX_FUZZ_CHECK(hasScheme(text));
    OVIX_FUZZ_CHECK(recorder->asked == std::vector<std::string>{std::string(text)});
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      OVIX_FUZZ_CHECK(byte > ' ' && byte != 0x7f);
      const bool c1 = byte == 0xc2 && i + 1 < text.size() &&
                      static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                      static_cast<unsigned char>(text[i + 1]) <= 0x9f;
      OVIX_FUZZ_CHECK(!c1);
    }
  } else {
    // Printable ASCII after a scheme always reaches a host's handler.
    OVIX_FUZZ_CHECK(!hasScheme(text) || std::any_of(text.begin(), text.end(), [](char c) {
      return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f;
    }));
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzUrl)
