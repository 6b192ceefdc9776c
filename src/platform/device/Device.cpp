#include "ovix/platform/Device.hpp"

#include <mutex>

namespace ovix::device {
namespace {

std::mutex mutex;
std::string deviceModel = "iPhone";  // guarded by mutex
Rect screenBounds{0, 0, 375, 812};   // guarded by mutex

}  // namespace

std::string model() {
  std::lock_guard lock(mutex);
  return deviceModel;
}

void setModel(std::string model) {
  std::lock_guard lock(mutex);
  deviceModel = std::move(model);
}

Rect mainScreenBounds() {
  std::lock_guard lock(mutex);
  return screenBounds;
}

void setMainScreenBounds(Rect bounds) {
  std::lock_guard lock(mutex);
  screenBounds = bounds;
}

}  // namespace ovix::device
