// The manager's visibility-triggered impression.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "ovix/Impression.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/model/OvixAds.hpp"

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
  // The test of the sent uuids and the record of this one are one step, so a
  // display reported twice at once still sends once.
  auto ad = shared().ovixAds()->claimImpression(identifier(*view));
  if (!ad) return;
  std::make_shared<Impression>()->impRecorded(ad);
}

}  // namespace ovix
