#include "ovix/common/Events.hpp"

#include <memory>
#include <utility>

#include "ovix/OvixEventListener.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"

namespace ovix::events {

void post(const OvixManager& manager, std::function<void(OvixEventListener&)> event) {
  // Not taken from its weak hold here: off the main thread that could make
  // the last reference to the host's object, and its end, happen here.
  std::weak_ptr<OvixEventListener> listener = manager.weakEventListener();
  if (listener.expired()) return;
  dispatch::mainQueue().async([listener = std::move(listener), event = std::move(event)] {
    if (const auto alive = listener.lock()) event(*alive);
  });
}

void postAdsExpired(const OvixManager& manager, std::vector<std::string> uuids) {
  if (manager.weakEventListener().expired()) return;
  for (std::string& uuid : uuids) {
    post(manager,
         [uuid = std::move(uuid)](OvixEventListener& listener) { listener.adExpired(uuid); });
  }
}

}  // namespace ovix::events
