#include "ovix/OvixManager.hpp"

#include "ovix/DurableBeacons.hpp"
#include "ovix/OvixClient.hpp"
#include "ovix/OvixEventListener.hpp"
#include "ovix/Viewability.hpp"
#include "ovix/common/Events.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/model/OvixAds.hpp"
#include "ovix/platform/Device.hpp"
#include "ovix/platform/UserAgent.hpp"
#include "platform/clock/Clock.hpp"

namespace ovix {

OvixManager& OvixManager::shared() {
  static OvixManager* const instance = new OvixManager;  // lives as long as the process
  return *instance;
}

OvixManager::OvixManager() : OvixManager(Bundle::sdk()) {}

OvixManager::OvixManager(std::shared_ptr<const Bundle> bundle)
    : urlString_(std::string(OVIX_AD_SERVER_URL) + "/ad/v2.ios"),
      ovixAds_(std::make_unique<OvixAds>([this](std::vector<std::string> uuids) {
        events::postAdsExpired(*this, std::move(uuids));
      })),
      viewability_(std::make_unique<Viewability>()) {
  screenWidth_ = device::mainScreenBounds().size.width;
  bundle_ = bundle ? std::move(bundle) : Bundle::sdk();
  bundleIdentifier_ = Bundle::mainBundleIdentifier();
  if (const auto* value = bundle_->objectForInfoDictionaryKey("CFBundleShortVersionString")) {
    if (const auto* text = std::get_if<std::string>(value)) version_ = *text;
  }
}

OvixManager::~OvixManager() = default;

void OvixManager::log(bool isEnabled) {
  logging.store(isEnabled, std::memory_order_relaxed);
}

void OvixManager::loadOvix(const OvixRequest& request,
                           const std::shared_ptr<OvixInfeed>& ovixInfeed) {
  // The entry shows the SDK version where other entries show their file.
  ULog(version(), "loadOvix(by:ovixInfeed:)", std::source_location::current().line(), "");
  if (isDisableTablet()) return;
  if (userAgent().empty()) setUserAgent(useragent::browserUserAgent());
  std::make_shared<OvixClient>(privacySignals())->request(request, ovixInfeed);
}

void OvixManager::clearAd() {
  ovixAds_->clear();
}

void OvixManager::add(const std::optional<std::vector<std::shared_ptr<OvixAdInfo>>>& list) {
  ovixAds_->add(list);
}

void OvixManager::setAdTimeToLive(double seconds) {
  ovixAds_->setTimeToLive(clock::fromSeconds(seconds));
}

double OvixManager::adTimeToLive() const {
  return std::chrono::duration<double>(ovixAds_->timeToLive()).count();
}

void OvixManager::setMaximumAdsPerSlot(std::size_t maximum) {
  ovixAds_->setMaximumPerSlot(maximum);
}

std::size_t OvixManager::maximumAdsPerSlot() const {
  return ovixAds_->maximumPerSlot();
}

std::shared_ptr<OvixAdInfo> OvixManager::hasNextAd(const std::string& infeedId) {
  return ovixAds_->hasNextAd(infeedId);
}

bool OvixManager::isDisableTablet() const {
  return device::model() == "iPad" && disableTablet();
}

#define OVIX_GUARDED_GET(type, name, field) \
  type OvixManager::name() const {          \
    std::lock_guard lock(mutex_);           \
    return field;                           \
  }
#define OVIX_GUARDED_SET(type, name, field) \
  void OvixManager::name(type value) {      \
    std::lock_guard lock(mutex_);           \
    field = std::move(value);               \
  }

OVIX_GUARDED_GET(std::shared_ptr<const Bundle>, bundle, bundle_)
OVIX_GUARDED_SET(std::shared_ptr<const Bundle>, setBundle, bundle_)
OVIX_GUARDED_GET(bool, disableTablet, disableTablet_)
OVIX_GUARDED_SET(bool, setDisableTablet, disableTablet_)
OVIX_GUARDED_GET(Rect, adFrameInDefaultCell, adFrameInDefaultCell_)
OVIX_GUARDED_SET(Rect, setAdFrameInDefaultCell, adFrameInDefaultCell_)
OVIX_GUARDED_GET(std::string, adLabelString, adLabelString_)
OVIX_GUARDED_SET(std::string, setAdLabelString, adLabelString_)
OVIX_GUARDED_GET(Rect, imageViewRect, imageViewRect_)
OVIX_GUARDED_SET(Rect, setImageViewRect, imageViewRect_)
OVIX_GUARDED_GET(std::string, bundleIdentifier, bundleIdentifier_)
OVIX_GUARDED_SET(std::string, setBundleIdentifier, bundleIdentifier_)
OVIX_GUARDED_GET(std::string, version, version_)
OVIX_GUARDED_SET(std::string, setVersion, version_)
OVIX_GUARDED_GET(double, screenWidth, screenWidth_)
OVIX_GUARDED_SET(double, setScreenWidth, screenWidth_)
OVIX_GUARDED_GET(std::string, userAgent, userAgent_)
OVIX_GUARDED_SET(std::string, setUserAgent, userAgent_)
OVIX_GUARDED_GET(PrivacySignals, privacySignals, privacySignals_)
OVIX_GUARDED_SET(PrivacySignals, setPrivacySignals, privacySignals_)
OVIX_GUARDED_GET(bool, viewabilityMeasurement, viewabilityMeasurement_)
OVIX_GUARDED_SET(bool, setViewabilityMeasurement, viewabilityMeasurement_)

OVIX_GUARDED_SET(std::shared_ptr<OvixEventListener>, setEventListener, eventListener_)
OVIX_GUARDED_GET(std::weak_ptr<OvixEventListener>, weakEventListener, eventListener_)
OVIX_GUARDED_GET(std::shared_ptr<DurableBeacons>, durableBeacons, durableBeacons_)

#undef OVIX_GUARDED_GET
#undef OVIX_GUARDED_SET

std::shared_ptr<OvixEventListener> OvixManager::eventListener() const {
  return weakEventListener().lock();
}

void OvixManager::setBeaconStore(std::string path) {
  auto beacons = path.empty() ? nullptr : DurableBeacons::open(std::move(path));
  {
    std::lock_guard lock(mutex_);
    durableBeacons_.swap(beacons);
  }
  if (beacons) DurableBeacons::close(std::move(beacons));
}

}  // namespace ovix
