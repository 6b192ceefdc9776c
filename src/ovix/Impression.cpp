#include "ovix/Impression.hpp"

#include <map>

#include "common/Log.hpp"
#include "common/PercentEncoding.hpp"
#include "dispatch/PendingWork.hpp"
#include "model/OvixAds.hpp"
#include "net/Session.hpp"
#include "ovix/OvixManager.hpp"

namespace ovix {
namespace {

constexpr double kResourceTimeout = 3.0;
constexpr double kRequestTimeout = 10.0;
constexpr std::size_t kMaximumAnswerSize = 1 << 20;

}  // namespace

Impression::Impression() : pending_(std::make_unique<dispatch::PendingWork>()) {}

Impression::~Impression() {
  ULog("deinit", "deinit");
}

void Impression::imp(const std::shared_ptr<OvixAdInfo>& ad) {
  ULog("imp(by:)", "START");
  if (!ad) return;
  OvixManager::shared().ovixAds()->appendImpressed(ad->fields()->uuid);
  schedule(ad);
}

void Impression::impRecorded(const std::shared_ptr<OvixAdInfo>& ad) {
  ULog("imp(by:)", "START");
  schedule(ad);
}

void Impression::schedule(const std::shared_ptr<OvixAdInfo>& ad) {
  dispatch::globalQueue().async([self = shared_from_this(), values = ad->fields()] {
    std::vector<std::string> urls = values->impUrl;
    urls.insert(urls.end(), values->viewableImpUrl.begin(), values->viewableImpUrl.end());
    self->imp(urls, [self] { self->update(); });
  });
}

bool Impression::imp(const std::vector<std::string>& urls, const std::function<void()>& callback) {
  ULog("imp(by:callback:)", "START");
  if (urls.empty()) return false;
  bool started = false;
  const std::string userAgent = OvixManager::shared().userAgent();
  for (const std::string& text : urls) {
    if (text.empty()) continue;
    auto url = net::Url::make(addingPercentEncodingForURLQuery(text));
    if (!url) continue;
    net::Request request(std::move(*url));
    request.setValue(userAgent, "User-Agent");

    net::Configuration configuration;
    configuration.timeoutIntervalForResource = kResourceTimeout;
    configuration.timeoutIntervalForRequest = kRequestTimeout;
    configuration.maximumBodySize = kMaximumAnswerSize;
    if (logging.load(std::memory_order_relaxed)) {
      ULogPrints(
          std::map<std::string, std::string>(request.headers.begin(), request.headers.end()));
    }
    ULog("imp(by:callback:)", "dataTaskWithRequest");
    auto session = net::Session::make(configuration);
    auto task = session->dataTask(
        std::move(request),
        [session, callback](std::optional<std::string>, std::optional<HttpResponse> response,
                            std::optional<Error> error) {
          ULogPrints(response);
          if (!error) {
            ULog("imp(by:callback:)", "Impression request completion.");
          } else {
            session->invalidateAndCancel();
            ULog("imp(by:callback:)", "Impression request error.");
            ULogPrints(*error);
          }
          callback();
        });
    task->resume();
    session->finishTasksAndInvalidate();
    started = true;
  }
  ULog("imp(by:callback:)", "END");
  return started;
}

}  // namespace ovix
