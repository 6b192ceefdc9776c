#include "ovix/Impression.hpp"

#include "Limits.hpp"
#include "ovix/Beacon.hpp"
#include "ovix/DurableBeacons.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/common/Events.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/common/PercentEncoding.hpp"
#include "ovix/model/AdValues.hpp"
#include "ovix/model/OvixAds.hpp"
#include "platform/net/Url.hpp"

namespace ovix {
namespace {

// Sends one beacon of the ad `uuid`, through the beacon store when there is
// one, calling `callback` once it has ended.
void send(net::Url url, const std::string& userAgent, std::string_view uuid,
          const std::function<void()>& callback) {
  std::string sent = url.string();
  auto finished = [callback, uuid = std::string(uuid), sent](BeaconOutcome outcome) {
    beacon::report(uuid, sent, outcome);
    callback();
  };
  if (auto beacons = OvixManager::shared().durableBeacons()) {
    beacons->send(std::string(uuid), std::move(sent), userAgent, std::move(finished));
    return;
  }
  beacon::fetch(std::move(url), userAgent, nullptr, std::move(finished));
}

}  // namespace

Impression::Impression() = default;

Impression::~Impression() {
  ULog("deinit", "deinit");
}

void Impression::imp(const std::shared_ptr<OvixAdInfo>& ad) {
  ULog("imp(by:)", "START");
  if (!ad) return;
  OvixManager::shared().ovixAds()->appendImpressed(std::string(ad->values()->uuid));
  schedule(ad, true, true);
}

void Impression::impRecorded(const std::shared_ptr<OvixAdInfo>& ad, bool viewable) {
  ULog("imp(by:)", "START");
  schedule(ad, true, viewable);
}

void Impression::viewRecorded(const std::shared_ptr<OvixAdInfo>& ad) {
  ULog("imp(by:)", "VIEWABLE");
  schedule(ad, false, true);
}

void Impression::schedule(const std::shared_ptr<OvixAdInfo>& ad, bool impressions, bool viewable) {
  auto values = ad->values();
  events::post(OvixManager::shared(), [uuid = std::string(values->uuid),
                                       impressions](OvixEventListener& listener) {
    impressions ? listener.impressionRecorded(uuid) : listener.viewableImpressionRecorded(uuid);
  });
  dispatch::globalQueue().async(
      [self = shared_from_this(), values = std::move(values), impressions, viewable] {
        self->imp(*values, impressions, viewable, [self] { self->update(); });
      });
}

bool Impression::imp(const OvixAdInfo::Values& ad, bool impressions, bool viewable,
                     const std::function<void()>& callback) {
  ULog("imp(by:callback:)", "START");
  const OvixAdInfo::Values::List none;
  const OvixAdInfo::Values::List lists[] = {impressions ? ad.impUrl : none,
                                            viewable ? ad.viewableImpUrl : none};
  if (lists[0].empty() && lists[1].empty()) return false;
  bool started = false;
  const std::string userAgent = OvixManager::shared().userAgent();
  for (const OvixAdInfo::Values::List urls : lists) {
    std::size_t sent = 0;
    std::size_t dropped = 0;
    for (const std::string_view text : urls) {
      if (sent == limits::kMaximumBeaconsPerList) {
        ++dropped;
        continue;
      }
      if (text.empty()) continue;
      auto url = net::Url::make(addingPercentEncodingForURLQuery(text));
      if (!url) continue;
      send(std::move(*url), userAgent, ad.uuid, callback);
      ++sent;
      started = true;
    }
    if (dropped > 0) {
      ULog("imp(by:callback:)", "Dropped " + std::to_string(dropped) +
                                    " beacon URLs beyond the first " +
                                    std::to_string(limits::kMaximumBeaconsPerList) + " of a list.");
    }
  }
  ULog("imp(by:callback:)", "END");
  return started;
}

}  // namespace ovix
