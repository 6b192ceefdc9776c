#include "ovix/Beacon.hpp"

#include <map>
#include <optional>
#include <utility>

#include "Limits.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/common/Events.hpp"
#include "ovix/common/Log.hpp"
#include "platform/net/Fetch.hpp"

namespace ovix::beacon {

void fetch(const std::string& url, const std::string& userAgent,
           std::function<bool()> beforeSending, Finished finished,
           std::shared_ptr<dispatch::Queue> queue) {
  auto parsed = net::Url::make(url);
  if (!parsed) {
    finished(BeaconOutcome{std::nullopt, parsed.error()});
    return;
  }
  fetch(std::move(*parsed), userAgent, std::move(beforeSending), std::move(finished),
        std::move(queue));
}

void fetch(net::Url url, const std::string& userAgent, std::function<bool()> beforeSending,
           Finished finished, std::shared_ptr<dispatch::Queue> queue) {
  net::Request request(std::move(url));
  request.setValue(userAgent, "User-Agent");

  net::Configuration configuration;
  configuration.timeoutIntervalForResource = limits::kBeaconTimeout;
  configuration.timeoutIntervalForRequest = limits::kBeaconRequestTimeout;
  configuration.maximumBodySize = limits::kMaximumBeaconAnswerBytes;
  configuration.keepsBody = false;  // nobody reads a beacon's answer
  configuration.beforeSending = std::move(beforeSending);
  if (logging.load(std::memory_order_relaxed)) {
    ULogPrints(std::map<std::string, std::string>(request.headers.begin(), request.headers.end()));
  }
  ULog("imp(by:callback:)", "dataTaskWithRequest");
  net::fetch(
      std::move(request), configuration,
      [finished = std::move(finished)](std::optional<std::string>,
                                       std::optional<HttpResponse> response,
                                       std::optional<Error> error) {
        ULogPrints(response);
        if (!error) {
          ULog("imp(by:callback:)", "Impression request completion.");
        } else {
          ULog("imp(by:callback:)", "Impression request error.");
          ULogPrints(*error);
        }
        BeaconOutcome outcome{std::nullopt, std::move(error)};
        if (response) outcome.status = static_cast<int>(response->statusCode());
        finished(std::move(outcome));
      },
      std::move(queue));
}

void report(const std::string& uuid, const std::string& url, const BeaconOutcome& outcome) {
  events::post(OvixManager::shared(), [uuid, url, outcome](OvixEventListener& listener) {
    listener.beaconFinished(uuid, url, outcome);
  });
}

}  // namespace ovix::beacon
