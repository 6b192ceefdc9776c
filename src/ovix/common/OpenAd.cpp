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
  ui::Application::openURL(*url);  // handed on; what the opener does next is not ours to report
  return true;
}

}  // namespace ovix
