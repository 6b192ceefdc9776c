#include "common/OpenAd.hpp"

#include <utf8proc.h>

#include <string_view>

#include "common/Log.hpp"
#include "net/Url.hpp"
#include "ovix/platform/Application.hpp"

namespace ovix {
namespace {

// The scheme before the first ':', in lower case: an ASCII letter, then
// letters, digits, '+', '-' or '.'. Empty when the text has none.
std::string schemeOf(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  std::string scheme;
  for (const char c : text.substr(0, colon)) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const bool letter = lower >= 'a' && lower <= 'z';
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && (scheme.empty() || !other)) return {};
    scheme.push_back(lower);
  }
  return scheme;
}

// Whether `text` holds a space or a control character: C0, DEL, or C1 as
// UTF-8 (U+0080 to U+009F) or as a byte outside any UTF-8 sequence.
bool holdsSpaceOrControl(std::string_view text) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t c = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
    if (length <= 0) {
      c = bytes[at];
      length = 1;
    }
    if (c <= ' ' || (c >= 0x7f && c <= 0x9f)) return true;
    at += length;
  }
  return false;
}

// What the application is handed for `url`; none when it must not be asked.
std::optional<std::string> clickTarget(const std::string& url) {
  const std::string scheme = schemeOf(url);
  if (scheme.empty()) return std::nullopt;
  if (scheme == "http" || scheme == "https") {
    auto normalised = net::Url::makeEncoded(url);
    if (!normalised || (normalised->scheme() != "http" && normalised->scheme() != "https")) {
      return std::nullopt;
    }
    return normalised->string();
  }
  // libcurl's normaliser would rewrite some deep links ("x:/%377" becomes
  // "x://77/"), so they go as written, or not at all.
  if (holdsSpaceOrControl(url)) return std::nullopt;
  return url;
}

}  // namespace

bool OpenAd::openAd(const std::optional<std::string>& url) {
  ULog("openAd(by:)", "START");
  if (!url) return false;
  const auto target = clickTarget(*url);
  if (!target) return false;
  ULogPrints(*target);
  if (!ui::Application::canOpenURL(*target)) return false;
  // What the opener says: a host's handler or the desktop opener may still
  // decline, or fail to start.
  return ui::Application::openURL(*target);
}

}  // namespace ovix
