// URLs from the ad server as the SDK takes them: beacon URLs query-encoded
// then parsed, image URLs parsed as they are, click URLs through OpenAd to an
// application that opens nothing.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/common/OpenAd.hpp"
#include "ovix/common/PercentEncoding.hpp"
#include "ovix/platform/Application.hpp"
#include "platform/net/Url.hpp"

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

unsigned char byteOf(char c) {
  return static_cast<unsigned char>(c);
}

// Every byte the encoding leaves alone is allowed in a query; the rest are
// %XX escapes that decode to exactly the original.
void checkEncoding(std::string_view text, const std::string& encoded) {
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '%') {
      const std::string hex = encoded.substr(i + 1, 2);
      OVIX_FUZZ_CHECK(hex.size() == 2 && hex.find_first_not_of("0123456789ABCDEF") == hex.npos);
      decoded.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
      i += 2;
      continue;
    }
    OVIX_FUZZ_CHECK(std::isalnum(byteOf(c)) ||
                    std::string_view("-._~!$&'()*+,;=:@/?").find(c) != std::string_view::npos);
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
    OVIX_FUZZ_CHECK(byteOf(c) > ' ' && c != 0x7f);
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
    OVIX_FUZZ_CHECK(byteOf(c) > ' ' && byteOf(c) < 0x7f);
    OVIX_FUZZ_CHECK(std::string_view("\"'`$;|<>\\^{}").find(c) == std::string_view::npos);
  }
  const auto again = net::Url::makeEncoded(text);
  OVIX_FUZZ_CHECK(again && again->string() == text);
}

// The text's first bytes in lower case, for scheme comparisons.
std::string lowered(std::string_view text) {
  std::string lower(text.substr(0, 8));
  for (char& c : lower) c = static_cast<char>(std::tolower(byteOf(c)));
  return lower;
}

// A letter, then letters, digits, '+', '-' or '.', then ':'.
bool hasScheme(std::string_view text) {
  const auto colon = text.find(':');
  return colon != std::string_view::npos && colon > 0 && std::isalpha(byteOf(text[0])) &&
         std::all_of(text.begin(), text.begin() + colon, [](char c) {
           return std::isalnum(byteOf(c)) || c == '+' || c == '-' || c == '.';
         });
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
  const bool web = hasScheme(text) &&
                   (lowered(text).starts_with("http:") || lowered(text).starts_with("https:"));
  if (web) {
    const auto normalised = net::Url::makeEncoded(text);
    OVIX_FUZZ_CHECK(opened == static_cast<bool>(normalised));
    if (normalised) {
      OVIX_FUZZ_CHECK(recorder->asked == std::vector<std::string>{normalised->string()});
      OVIX_FUZZ_CHECK(lowered(normalised->string()).starts_with("http://") ||
                      lowered(normalised->string()).starts_with("https://"));
      checkEscaped(normalised->string());
    }
  } else if (opened) {
    OVIX_FUZZ_CHECK(hasScheme(text));
    OVIX_FUZZ_CHECK(recorder->asked == std::vector<std::string>{std::string(text)});
    for (std::size_t i = 0; i < text.size(); ++i) {
      OVIX_FUZZ_CHECK(byteOf(text[i]) > ' ' && byteOf(text[i]) != 0x7f);
      OVIX_FUZZ_CHECK(!(byteOf(text[i]) == 0xc2 && i + 1 < text.size() &&
                        byteOf(text[i + 1]) >= 0x80 && byteOf(text[i + 1]) <= 0x9f));  // C1
    }
  } else {
    // Printable ASCII after a scheme always reaches a host's handler.
    OVIX_FUZZ_CHECK(!hasScheme(text) || std::any_of(text.begin(), text.end(), [](char c) {
      return byteOf(c) <= ' ' || byteOf(c) >= 0x7f;
    }));
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzUrl)
