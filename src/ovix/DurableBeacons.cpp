#include "ovix/DurableBeacons.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <random>
#include <utility>

#include "Limits.hpp"
#include "ovix/BeaconStore.hpp"
#include "ovix/common/Log.hpp"
#include "platform/dispatch/Timers.hpp"
#include "platform/net/URLError.hpp"

namespace ovix {

struct DurableBeacons::Beacon {
  StoredBeacon row;
  beacon::Finished finished;  // empty for a beacon of an earlier run
  BeaconOutcome last;         // of the latest attempt
  // Set on the network thread before the attempt completes.
  std::atomic<bool> settled{false};
  std::atomic<bool> refused{false};  // the store no longer gives it to this process
};

namespace {

// Every store's calls, in order: a store replaced by one at the same path
// releases its claims before the new one claims them.
const std::shared_ptr<dispatch::Queue>& storeQueue() {
  static const auto* const queue =
      new std::shared_ptr<dispatch::Queue>(dispatch::makeSerialQueue());
  return *queue;
}

std::int64_t wallClockMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

constexpr std::int64_t kLifetimeMilliseconds = limits::kBeaconLifetimeSeconds * 1000;

// Whether the attempt certainly did not reach the server: no answer, and a
// failure before a connection stood. Whether its request was written is
// the store's to say.
bool neverReachedServer(const BeaconOutcome& outcome) {
  if (outcome.status || !outcome.error || outcome.error->domain() != Error::kURLDomain) {
    return false;
  }
  switch (outcome.error->code()) {
    case net::kCannotFindHost:
    case net::kCannotConnectToHost:
    case net::kSecureConnectionFailed:
    case net::kServerCertificateHasBadDate:
    case net::kServerCertificateUntrusted:
      return true;
    default:
      return false;
  }
}

// The wait before retry `retry` (1 for the first): doubling, plus up to a
// quarter, so that hosts that lost the network together do not come back
// together.
clock::Duration retryDelay(int retry) {
  thread_local std::mt19937 generator{std::random_device{}()};
  const double base = limits::kFirstBeaconRetrySeconds * std::ldexp(1.0, retry - 1);
  return clock::fromSeconds(base * std::uniform_real_distribution<double>(1.0, 1.25)(generator));
}

void durableLog(const std::string& message) {
  ULog("DurableBeacons", message);
}

}  // namespace

std::shared_ptr<DurableBeacons> DurableBeacons::open(std::string path) {
  auto beacons = std::shared_ptr<DurableBeacons>(new DurableBeacons);
  storeQueue()->async([beacons, path = std::move(path)] {
    beacons->store_ = BeaconStore::open(path);
    if (!beacons->store_) return;
    auto stored = beacons->store_->claimPending(wallClockMilliseconds() - kLifetimeMilliseconds);
    if (!stored.empty()) {
      durableLog("Sending " + std::to_string(stored.size()) + " beacons left in the store.");
    }
    for (StoredBeacon& row : stored) {
      auto beacon = std::make_shared<Beacon>();
      beacon->row = std::move(row);
      beacons->attempt(beacon);
    }
  });
  return beacons;
}

DurableBeacons::~DurableBeacons() = default;

void DurableBeacons::send(std::string uuid, std::string url, std::string userAgent,
                          beacon::Finished finished) {
  auto beacon = std::make_shared<Beacon>();
  beacon->row.uuid = std::move(uuid);
  beacon->row.url = std::move(url);
  beacon->row.userAgent = std::move(userAgent);
  beacon->row.impressedAt = wallClockMilliseconds();
  beacon->finished = std::move(finished);
  storeQueue()->async([self = shared_from_this(), beacon] {
    std::optional<std::int64_t> id;
    if (self->store_ && !self->closed_) {
      id = self->store_->add(beacon->row.uuid, beacon->row.url, beacon->row.userAgent,
                             beacon->row.impressedAt);
    }
    if (id == 0) {
      durableLog("The beacon of " + beacon->row.uuid + " to " + beacon->row.url +
                 " is stored already: not sent again.");
      return;
    }
    if (!id) {
      // No store to keep it in: sent once, as without one.
      beacon::fetch(beacon->row.url, beacon->row.userAgent, nullptr, std::move(beacon->finished),
                    storeQueue());
      return;
    }
    beacon->row.id = *id;
    self->attempt(beacon);
  });
}

void DurableBeacons::close(std::shared_ptr<DurableBeacons> beacons) {
  storeQueue()->async([self = std::move(beacons)] {
    self->closed_ = true;
    if (self->store_) self->store_->releaseClaims();
  });
}

void DurableBeacons::attempt(const std::shared_ptr<Beacon>& beacon) {
  ++beacon->row.attempts;
  auto settle = [store = store_, beacon] {
    if (store->settle(beacon->row.id)) {
      beacon->settled = true;
      return true;
    }
    beacon->refused = true;
    return false;
  };
  beacon::fetch(
      beacon->row.url, beacon->row.userAgent, std::move(settle),
      [self = shared_from_this(), beacon](BeaconOutcome outcome) {
        self->completed(beacon, std::move(outcome));
      },
      storeQueue());
}

void DurableBeacons::completed(const std::shared_ptr<Beacon>& beacon, BeaconOutcome outcome) {
  if (beacon->refused) {
    durableLog("The beacon of " + beacon->row.uuid + " to " + beacon->row.url +
               " is no longer this process's to send.");
  } else if (!beacon->settled && neverReachedServer(outcome) && !closed_ &&
             beacon->row.attempts <= limits::kMaximumBeaconRetries &&
             wallClockMilliseconds() < beacon->row.impressedAt + kLifetimeMilliseconds) {
    store_->setAttempts(beacon->row.id, beacon->row.attempts);
    beacon->last = std::move(outcome);
    retryLater(beacon);
    return;
  } else {
    // Settled, answered, or final: a retry could count twice, or comes too late.
    store_->remove(beacon->row.id);
  }
  if (beacon->finished) beacon->finished(std::move(outcome));
}

void DurableBeacons::retryLater(const std::shared_ptr<Beacon>& beacon) {
  const int retry = beacon->row.attempts;
  durableLog("The beacon of " + beacon->row.uuid + " to " + beacon->row.url +
             " met no server: retry " + std::to_string(retry) + " of " +
             std::to_string(limits::kMaximumBeaconRetries) + " later.");
  dispatch::after(retryDelay(retry), *storeQueue(), [weak = weak_from_this(), beacon] {
    auto self = weak.lock();
    // A closed store left it pending for its next open.
    if (!self || self->closed_) return;
    if (wallClockMilliseconds() >= beacon->row.impressedAt + kLifetimeMilliseconds) {
      durableLog("Gave up the beacon of " + beacon->row.uuid + " to " + beacon->row.url +
                 ": an hour has passed.");
      self->store_->remove(beacon->row.id);
      if (beacon->finished) beacon->finished(std::move(beacon->last));
      return;
    }
    self->attempt(beacon);
  });
}

}  // namespace ovix
