#include "common/OpenAd.hpp"

#include "common/Log.hpp"
#include "net/Url.hpp"
#include "ovix/platform/Application.hpp"

namespace ovix {

bool OpenAd::openAd(const std::optional<std::string>& url) {
  ULog("openAd(by:)", "START");
  if (!url || !net::Url::make(*url)) return false;
  ULogPrints(*url);
  if (!ui::Application::canOpenURL(*url)) return false;
  // What the opener says: a host's handler or the desktop opener may still
  // decline, or fail to start.
  return ui::Application::openURL(*url);
}

}  // namespace ovix
