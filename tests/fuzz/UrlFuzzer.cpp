// URLs from the ad server as the SDK takes them: beacon URLs query-encoded
// then parsed, image URLs parsed as they are, click URLs through OpenAd to an
// application that opens nothing.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/common/OpenAd.hpp"
#include "ovix/common/PercentEncoding.hpp"
#include "ovix/platform/Application.hpp"
#include "platform/net/Url.hpp"

namespace ovix::fuzz {
namespace {

// Takes every click URL and opens nothing.
struct ClickRecorder : ui::URLHandler {
  bool canOpenURL(const std::string&) override { return true; }
  bool openURL(const std::string& url) override {
    handed.push_back(url);
    return true;
  }
  std::vector<std::string> handed;
};

// No space, C0 control or DEL, and with `asciiOnly` nothing beyond ASCII.
bool wireSafe(std::string_view text, bool asciiOnly) {
  return std::all_of(text.begin(), text.end(), [asciiOnly](unsigned char c) {
    return c > ' ' && c != 0x7f && (!asciiOnly || c < 0x80);
  });
}

// A URL the network layer accepts has a scheme and a host, no byte that cannot
// go on the wire, and reads back as itself: libcurl parses the normalised text
// again when it transfers.
void checkAccepted(const Result<net::Url>& url) {
  if (!url) return;
  OVIX_FUZZ_CHECK(!url->scheme().empty() && !url->host().empty() && wireSafe(url->string(), false));
  const auto again = net::Url::make(url->string());
  OVIX_FUZZ_CHECK(again && again->string() == url->string() && again->host() == url->host() &&
                  again->scheme() == url->scheme());
}

}  // namespace

int fuzzUrl(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // In a beacon URL's query every byte the encoding leaves alone is allowed;
  // the rest are %XX escapes that decode (by libcurl) to exactly the original.
  const std::string encoded = addingPercentEncodingForURLQuery(text);
  OVIX_FUZZ_CHECK(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789-._~!$&'()*+,;=:@/?%") == text.npos);
  for (auto at = encoded.find('%'); at != text.npos; at = encoded.find('%', at + 1)) {
    const std::string hex = encoded.substr(at + 1, 2);
    OVIX_FUZZ_CHECK(hex.size() == 2 && hex.find_first_not_of("0123456789ABCDEF") == hex.npos);
  }
  int length = 0;
  char* decoded =
      curl_easy_unescape(nullptr, encoded.data(), static_cast<int>(encoded.size()), &length);
  OVIX_FUZZ_CHECK(decoded != nullptr && std::string_view(decoded, length) == text);
  curl_free(decoded);
  checkAccepted(net::Url::make(encoded));
  checkAccepted(net::Url::make(text));

  // A click: http and https go normalised and escaped so that no shell reads
  // them, whenever they normalise; other schemes as written, never holding a
  // space or a control character (C1 in UTF-8 included).
  auto recorder = std::make_shared<ClickRecorder>();
  ui::Application::setURLHandler(recorder);
  const bool opened = OpenAd::openAd(text);
  ui::Application::resetURLHandler();
  OVIX_FUZZ_CHECK(recorder->handed.size() == (opened ? 1u : 0u));
  std::string scheme = text.substr(0, text.find(':'));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "http" || scheme == "https") {
    OVIX_FUZZ_CHECK(opened == static_cast<bool>(net::Url::makeEncoded(text)));
    if (!opened) return 0;
    const std::string& handed = recorder->handed[0];
    OVIX_FUZZ_CHECK(handed.starts_with(scheme + "://") && wireSafe(handed, true) &&
                    handed.find_first_of("\"'`$;|<>\\^{}") == handed.npos);
    const auto again = net::Url::makeEncoded(handed);
    OVIX_FUZZ_CHECK(again && again->string() == handed);
  } else if (opened) {
    OVIX_FUZZ_CHECK(recorder->handed[0] == text && wireSafe(text, false));
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      OVIX_FUZZ_CHECK(text[i] != '\xc2' || (text[i + 1] & 0xe0) != 0x80);
    }
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzUrl)
