#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "ovix/OvixAdInfo.hpp"
#include "support/AdJson.hpp"

// Records as the SDK makes them from an answer, and the shared inventory
// loaded with them.
namespace ovix::bench {

using Records = std::vector<std::shared_ptr<OvixAdInfo>>;

// The records of answerJson(ads, slots, urls), decoded and parsed by the SDK
// from as many answers as its bound on an answer's ads requires.
Records parsedAds(std::size_t ads, std::size_t slots, Urls urls = Urls::kAll);

// Empties the shared manager's inventory and adds `records` as its first
// batch. Main thread.
void loadShared(const Records& records);

// Waits for the SDK's background work and runs what it queued for the main
// thread. Main thread.
void settle();

}  // namespace ovix::bench
