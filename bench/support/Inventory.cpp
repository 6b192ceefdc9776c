#include "support/Inventory.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "Limits.hpp"
#include "ovix/OvixJsonParser.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/json/Json.hpp"

namespace ovix::bench {

Records parsedAds(std::size_t ads, std::size_t slots, Urls urls) {
  Records records;
  records.reserve(ads);
  // One answer adds at most limits::kMaximumAdsPerAnswer ads.
  for (std::size_t first = 0; first < ads; first += limits::kMaximumAdsPerAnswer) {
    const std::size_t count = std::min(ads - first, limits::kMaximumAdsPerAnswer);
    auto decoded = json::decode(answerJson(count, slots, urls, first));
    if (!decoded) throw std::runtime_error("the generated answer is not JSON");
    const auto parsed = OvixJsonParser().parse(decoded.value());
    if (parsed.size() != count) throw std::runtime_error("the generated answer lost ads");
    records.insert(records.end(), parsed.begin(), parsed.end());
  }
  return records;
}

void loadShared(const Records& records) {
  OvixManager::shared().clearAd();
  OvixManager::shared().add(records);
}

void settle() {
  if (!dispatch::waitForPendingWork(std::chrono::seconds(30))) {
    throw std::runtime_error("background work did not finish");
  }
  dispatch::drainMainQueue();
}

}  // namespace ovix::bench
