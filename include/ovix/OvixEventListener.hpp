#pragma once

#include <optional>
#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Error.hpp"

namespace ovix {

// How one impression beacon ended: `status` once the answer's head arrived
// (a 404 is an answer, not an error), `error` when the transfer failed. Both
// are present when it failed after the head, such as an answer too large.
struct BeaconOutcome {
  std::optional<int> status;
  std::optional<Error> error;
};

// Hears what the host's users were shown and tapped, for the host's own
// counts. Set it with OvixManager::setEventListener, which holds it weakly.
//
// Every callback runs on the main queue (the main thread), posted when the
// event happens and never inside the SDK call that caused it. The listener is
// taken from its weak hold as each callback is about to run: one released
// before or during a callback hears nothing more. An exception thrown from a
// callback leaves the main queue's run (see dispatch::drainMainQueue) to the
// host; the SDK's state and the tasks queued after it are unharmed. Each
// default does nothing.
class OVIX_EXPORT OvixEventListener {
 public:
  virtual ~OvixEventListener() = default;

  // The ad's impression was recorded and its beacons are starting: the first
  // OvixManager::tryImpression of its displayed cell, or each
  // Impression::imp.
  virtual void impressionRecorded(const std::string& /*uuid*/) {}

  // The ad met the display standard for a viewable impression (see
  // OvixManager::setViewabilityMeasurement) and its viewable beacons are
  // starting. Once per ad until OvixManager::clearAd().
  virtual void viewableImpressionRecorded(const std::string& /*uuid*/) {}

  // One beacon of the ad ended; `url` as it was sent, percent-encoded. After
  // the impressionRecorded it belongs to; with a beacon store, once its
  // retries are over (see OvixManager::setBeaconStore).
  virtual void beaconFinished(const std::string& /*uuid*/, const std::string& /*url*/,
                              const BeaconOutcome& /*outcome*/) {}

  // A click button was tapped, or OvixManager::openAd found one: the ad bound
  // to its cell ("" for none), the click URL as the ad gives it ("" for none)
  // and whether the application opened it.
  virtual void adClicked(const std::string& /*uuid*/, const std::string& /*url*/, bool /*opened*/) {
  }

  // The ad left the inventory: its lifetime ended, or its slot held more ads
  // than it may.
  virtual void adExpired(const std::string& /*uuid*/) {}
};

}  // namespace ovix
