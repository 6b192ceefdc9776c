#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ovix/Beacon.hpp"

namespace ovix {

class BeaconStore;

// Beacons sent through a beacon store (OvixManager::setBeaconStore): each is
// stored before it is sent and removed once an answer arrives. One that
// certainly did not reach the server (no such host, connection refused, TLS
// handshake failed, before its request was written) is retried up to
// limits::kMaximumBeaconRetries times while its impression is younger than
// limits::kBeaconLifetimeSeconds; a time-out or any answer is final. Once its
// request is about to be written the beacon is settled in the store, and no
// process sends it again. The store is used on a serial queue of its own,
// and on the network thread to settle; never on the main queue. Any thread.
class DurableBeacons : public std::enable_shared_from_this<DurableBeacons> {
 public:
  // Opens the store at `path` and sends the beacons pending in it, before
  // any sent through this. Returns at once; a store that cannot be opened
  // is logged, and beacons then go as without one.
  static std::shared_ptr<DurableBeacons> open(std::string path);
  ~DurableBeacons();
  DurableBeacons(const DurableBeacons&) = delete;
  DurableBeacons& operator=(const DurableBeacons&) = delete;

  // Stores and sends the ad `uuid`'s beacon to `url`, as percent-encoded.
  // `finished` hears the final outcome once, on a worker; not at all when
  // the store already holds this ad's beacon to `url`.
  void send(std::string uuid, std::string url, std::string userAgent, beacon::Finished finished);
  // Stops `beacons`: those waiting for a retry stay pending in the store
  // for its next open; those in flight end as they would. Takes the
  // caller's hold, so that the store is closed on its own queue.
  static void close(std::shared_ptr<DurableBeacons> beacons);

 private:
  struct Beacon;
  DurableBeacons() = default;

  // The rest run on the store's queue.
  void attempt(const std::shared_ptr<Beacon>& beacon);
  void completed(const std::shared_ptr<Beacon>& beacon, BeaconOutcome outcome);
  void retryLater(const std::shared_ptr<Beacon>& beacon);

  std::shared_ptr<BeaconStore> store_;  // on the store's queue only; null without a store
  bool closed_ = false;                 // on the store's queue only
};

}  // namespace ovix
