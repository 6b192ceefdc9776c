// The manager's visibility-triggered impression.
#include <algorithm>
#include <cctype>

#include "ovix/model/OvixAds.hpp"
#include "ovix/Impression.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"

namespace ovix {
namespace {

bool namesWillDisplay(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.find("willdisplay") != std::string::npos;
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
