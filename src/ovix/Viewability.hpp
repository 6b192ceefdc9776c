#pragma once

#include <cstdint>
#include <memory>

#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/View.hpp"

namespace ovix {

// Measures viewable impressions by the display standard: an ad is viewable
// once at least half of its view (30% of a view of 242,500 points or more)
// has been on screen for one continuous second, while the application was
// active and the view shown. Each view's clock lives beside the view, from a
// qualifying report until the standard is met or anything interrupts it; a
// view measures nothing else. Main thread, every call.
class Viewability {
 public:
  // Records what part of `view`, in its own coordinates, is on screen, and
  // starts, continues or stops its clock. Keeps no state for a view whose
  // ad is not impressed or already viewed, or while measurement is off.
  void report(const std::shared_ptr<ui::View>& view, Rect visible);

  // While inactive, no clock runs; going inactive stops every clock.
  void setApplicationActive(bool active);

  // Stops the view's clock: its binding changed or went.
  static void stop(ui::View& view);

  // Whether `visible` covers enough of a view of `bounds` to count as on
  // screen: 50%, or 30% for at least 242,500 points.
  static bool meetsStandard(Size bounds, Rect visible);

 private:
  struct Clock;

  // A clock's timer: completes or stops the clock of `generation`, if it is
  // still the view's.
  void check(const std::weak_ptr<ui::View>& weakView, std::uint64_t generation);
  // Whether `clock` has run without interruption until now on `view`.
  bool continues(const Clock& clock, const ui::View& view) const;
  // Once the clock has run a second: ends it and sends the ad's viewable
  // beacons, unless they went already. Before then its timer looks again.
  void finish(ui::View& view, const std::shared_ptr<Clock>& clock);

  bool active_ = true;
  std::uint64_t inactivations_ = 0;
  std::uint64_t generations_ = 0;
};

}  // namespace ovix
