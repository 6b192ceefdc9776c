#include "support/Inventory.hpp"

#include <chrono>
#include <stdexcept>

#include "ovix/OvixJsonParser.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/json/Json.hpp"

namespace ovix::bench {

Records parsedAds(std::size_t ads, std::size_t slots, Urls urls) {
  auto decoded = json::decode(answerJson(ads, slots, urls));
  if (!decoded) throw std::runtime_error("the generated answer is not JSON");
  auto records = OvixJsonParser().parse(decoded.value());
  if (records.size() != ads) throw std::runtime_error("the generated answer lost ads");
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
