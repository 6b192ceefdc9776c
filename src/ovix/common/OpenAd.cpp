#include "ovix/common/OpenAd.hpp"

#include <string_view>

#include "platform/text/ControlEscaping.hpp"
#include "ovix/common/Log.hpp"
#include "platform/net/Url.hpp"
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
  if (url.find(' ') != std::string::npos || text::holdsControls(url)) return std::nullopt;
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
