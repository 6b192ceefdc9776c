// The manager's visibility-triggered impressions: on display, and viewable.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "ovix/Impression.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/Viewability.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/model/OvixAds.hpp"
#include "ovix/platform/Dispatch.hpp"

namespace ovix {
namespace {

// Whether `name` holds "willdisplay" in any case. Runs at every display, so
// it makes no lower-case copy.
bool namesWillDisplay(std::string_view name) {
  constexpr std::string_view kWillDisplay = "willdisplay";
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
  };
  return std::search(name.begin(), name.end(), kWillDisplay.begin(), kWillDisplay.end(), same) !=
         name.end();
}

}  // namespace

void OvixManager::tryImpression(const std::shared_ptr<ui::View>& view, const std::string& from) {
  if (!view || !namesWillDisplay(from)) return;
  // With measurement on, the viewable beacons wait for the view's second.
  const bool viewable = !shared().viewabilityMeasurement();
  // The test of the sent uuids and the record of this one are one step, so a
  // display reported twice at once still sends once.
  auto ad = shared().ovixAds()->claimImpression(identifier(*view), viewable);
  if (!ad) return;
  std::make_shared<Impression>()->impRecorded(ad, viewable);
}

void OvixManager::reportVisibility(const std::shared_ptr<ui::View>& view, Rect visibleRect) {
  // Views and the clocks beside them belong to the main thread.
  if (!dispatch::isMainThread()) {
    ULog("reportVisibility(_:_:)", "Ignored: called off the main thread.");
    return;
  }
  shared().viewability()->report(view, visibleRect);
}

void OvixManager::setApplicationActive(bool isActive) {
  if (!dispatch::isMainThread()) {
    ULog("setApplicationActive(_:)", "Ignored: called off the main thread.");
    return;
  }
  shared().viewability()->setApplicationActive(isActive);
}

}  // namespace ovix
