#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/OvixAdInfo.hpp"

namespace ovix {

namespace dispatch {
class PendingWork;
}

// Sends one ad's impression beacons: a GET per usable URL of impUrl and then
// viewableImpUrl, each on a session of its own, never retried. Answers and
// failures are only logged. Make it with std::make_shared; it lives until the
// last beacon has completed. Most hosts call OvixManager::tryImpression, which
// sends each ad once, instead.
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

  // As imp, for an ad whose uuid the caller has already recorded.
  void impRecorded(const std::shared_ptr<OvixAdInfo>& ad);
  void schedule(const std::shared_ptr<OvixAdInfo>& ad);
  // Starts a GET per usable URL, calling `callback` after each completes.
  // Returns whether any was started.
  bool imp(const std::vector<std::string>& urls, const std::function<void()>& callback);
  void update() {}

  std::unique_ptr<dispatch::PendingWork> pending_;
};

}  // namespace ovix
