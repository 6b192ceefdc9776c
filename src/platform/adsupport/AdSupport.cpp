#include "ovix/platform/AdSupport.hpp"

#include <mutex>

namespace ovix::adsupport {
namespace {

std::mutex mutex;
bool trackingEnabled = false;  // guarded by mutex
std::string identifier;        // guarded by mutex

}  // namespace

bool isAdvertisingTrackingEnabled() {
  std::lock_guard lock(mutex);
  return trackingEnabled;
}

void setAdvertisingTrackingEnabled(bool enabled) {
  std::lock_guard lock(mutex);
  trackingEnabled = enabled;
}

std::string advertisingIdentifier() {
  std::lock_guard lock(mutex);
  return identifier;
}

void setAdvertisingIdentifier(std::string value) {
  std::lock_guard lock(mutex);
  identifier = std::move(value);
}

}  // namespace ovix::adsupport
