#include "ovix/OvixRequest.hpp"

#include <algorithm>
#include <cmath>

#include "ovix/common/Log.hpp"
#include "ovix/platform/AdSupport.hpp"

namespace ovix {

OvixRequest::OvixRequest()
    : advertisingId_(adsupport::isAdvertisingTrackingEnabled() ? adsupport::advertisingIdentifier()
                                                               : std::string()) {}

OvixRequest::~OvixRequest() {
  ULog("deinit", "deinit");
}

bool OvixRequest::validateRequired() const {
  if (!infeeds_ || !infeeds_->empty()) return true;
  ULog("validateRequired()", "Infeeds is invalid.");
  return false;
}

void OvixRequest::set(const std::string& infeedId, std::int64_t count) {
  if (!infeeds_) return;
  (*infeeds_)[infeedId] = {{"count", count}};
}

void OvixRequest::setCoordinate(double lat, double lon) {
  latitude_ = lat;
  longitude_ = lon;
}

void OvixRequest::setLocation(double lat, double lon, double altitude) {
  latitude_ = lat;
  longitude_ = lon;
  altitude_ = altitude;
}

void OvixRequest::setRequestTimeout(double timeout) {
  // NaN is stored as NaN, as a plain comparison would keep it.
  timeout_ = std::isnan(timeout) ? timeout : std::min(timeout, kDefaultTimeout);
}

bool OvixRequest::enableCoordinate() const {
  return latitude_ != 0 && longitude_ != 0;
}

bool OvixRequest::enableAltitude() const {
  return altitude_ != 0;
}

}  // namespace ovix
