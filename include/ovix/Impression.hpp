#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/OvixAdInfo.hpp"

namespace ovix {

class Viewability;

// Sends one ad's impression beacons: a GET per usable URL of impUrl and then
// viewableImpUrl, each on a session of its own, never retried unless the
// shared manager has a beacon store (OvixManager::setBeaconStore); at most the
// first 10 usable URLs of each list, the rest logged as dropped. Answers and
// failures are logged, and reported to the shared manager's event listener
// when it has one (see OvixEventListener); an answer's body is not kept. Make
// it with std::make_shared; it lives until the last beacon has completed.
// Most hosts call OvixManager::tryImpression, which sends each ad once,
// instead (and its viewableImpUrl once the ad is viewable, with viewability
// measurement on).
class OVIX_EXPORT Impression : public std::enable_shared_from_this<Impression> {
 public:
  Impression();
  // Logs "deinit".
  ~Impression();
  Impression(const Impression&) = delete;
  Impression& operator=(const Impression&) = delete;

  // Records the ad's uuid as impressed, then sends its beacons from a worker
  // of the global queue. Any thread; returns at once.
  void imp(const std::shared_ptr<OvixAdInfo>& ad);

 private:
  friend class OvixManager;
  friend class Viewability;

  // As imp, for an ad whose uuid the caller has already recorded; without
  // `viewable`, its viewableImpUrl list waits for viewRecorded.
  void impRecorded(const std::shared_ptr<OvixAdInfo>& ad, bool viewable = true);
  // Sends the ad's viewableImpUrl list, for an ad the caller has recorded as
  // viewed, after posting viewableImpressionRecorded. Any thread.
  void viewRecorded(const std::shared_ptr<OvixAdInfo>& ad);
  // Reports the impression (or, for the viewable list alone, the viewable
  // impression) and sends the lists asked for from a worker.
  void schedule(const std::shared_ptr<OvixAdInfo>& ad, bool impressions, bool viewable);
  // Starts a GET per usable URL of impUrl when `impressions`, then of
  // viewableImpUrl when `viewable`, calling `callback` after each completes.
  // Returns whether any was started.
  bool imp(const OvixAdInfo::Values& ad, bool impressions, bool viewable,
           const std::function<void()>& callback);
  void update() {}
};

}  // namespace ovix
