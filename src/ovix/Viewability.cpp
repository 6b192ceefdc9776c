#include "ovix/Viewability.hpp"

#include <algorithm>
#include <chrono>
#include <string>

#include "ovix/Impression.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/model/OvixAds.hpp"
#include "platform/dispatch/Timers.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

// Views of at least this many points need only kLargeShare on screen.
constexpr double kLargeViewPoints = 242'500;
constexpr double kShare = 0.5;
constexpr double kLargeShare = 0.3;
constexpr clock::Duration kViewableTime = 1s;

// The key of a view's clock.
const char viewabilityClockKey = 0;

// The length of [start, start + length) within [0, limit); 0 for NaN.
double overlap(double start, double length, double limit) {
  const double covered = std::min(start + length, limit) - std::max(start, 0.0);
  return covered > 0 ? covered : 0;
}

bool measuring() {
  return OvixManager::shared().viewabilityMeasurement();
}

}  // namespace

struct Viewability::Clock {
  std::string uuid;  // the ad it measures
  Rect visible;      // the last report's
  clock::TimePoint started;
  std::uint64_t timesHidden = 0;    // the view's, when it started
  std::uint64_t inactivations = 0;  // the application's, when it started
  std::uint64_t generation = 0;
};

bool Viewability::meetsStandard(Size bounds, Rect visible) {
  const double points = bounds.width * bounds.height;
  if (!(points > 0)) return false;
  const double shown = overlap(visible.origin.x, visible.size.width, bounds.width) *
                       overlap(visible.origin.y, visible.size.height, bounds.height);
  return shown / points >= (points >= kLargeViewPoints ? kLargeShare : kShare);
}

void Viewability::report(const std::shared_ptr<ui::View>& view, Rect visible) {
  if (!view) return;
  auto clock = std::static_pointer_cast<Clock>(view->associatedObject(&viewabilityClockKey));
  // The inventory last: a report may come with every frame.
  const bool onScreen =
      measuring() && active_ && !view->isHidden() && meetsStandard(view->frame().size, visible);
  std::string uuid = onScreen ? identifier(*view) : std::string();
  if (!uuid.empty() && clock && clock->uuid == uuid && continues(*clock, *view)) {
    // A running clock asks the inventory only when it completes.
    clock->visible = visible;
    finish(*view, clock);
    return;
  }
  if (uuid.empty() || !OvixManager::shared().ovixAds()->awaitsViewable(uuid)) {
    if (clock) stop(*view);
    return;
  }
  clock = std::make_shared<Clock>(Clock{std::move(uuid), visible, clock::now(), view->timesHidden(),
                                        inactivations_, ++generations_});
  view->setAssociatedObject(&viewabilityClockKey, clock);
  dispatch::after(kViewableTime, dispatch::mainQueue(),
                  [weakView = std::weak_ptr<ui::View>(view), generation = clock->generation] {
                    OvixManager::shared().viewability()->check(weakView, generation);
                  });
}

void Viewability::setApplicationActive(bool active) {
  if (active_ && !active) ++inactivations_;
  active_ = active;
}

void Viewability::stop(ui::View& view) {
  view.setAssociatedObject(&viewabilityClockKey, nullptr);
}

void Viewability::check(const std::weak_ptr<ui::View>& weakView, std::uint64_t generation) {
  const auto view = weakView.lock();
  if (!view) return;
  const auto clock = std::static_pointer_cast<Clock>(view->associatedObject(&viewabilityClockKey));
  if (!clock || clock->generation != generation) return;
  if (!measuring() || !continues(*clock, *view) || identifier(*view) != clock->uuid ||
      !meetsStandard(view->frame().size, clock->visible)) {
    stop(*view);
    return;
  }
  finish(*view, clock);
}

bool Viewability::continues(const Clock& clock, const ui::View& view) const {
  return active_ && !view.isHidden() && clock.timesHidden == view.timesHidden() &&
         clock.inactivations == inactivations_;
}

void Viewability::finish(ui::View& view, const std::shared_ptr<Clock>& clock) {
  const clock::TimePoint due = clock->started + kViewableTime;
  const clock::TimePoint now = clock::now();
  if (now < due) return;  // its timer will look again
  stop(view);
  if (const auto ad = OvixManager::shared().ovixAds()->claimViewable(clock->uuid)) {
    std::make_shared<Impression>()->viewRecorded(ad);
  }
}

}  // namespace ovix
