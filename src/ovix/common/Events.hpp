#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ovix {

class OvixEventListener;
class OvixManager;

namespace events {

// Posts `event` to the main queue, to run there with `manager`'s event
// listener as set now. The listener is held weakly until then and skipped if
// it is gone by that time. Posts nothing while the manager has none. Any
// thread.
void post(const OvixManager& manager, std::function<void(OvixEventListener&)> event);

// Reports each uuid's adExpired to `manager`'s event listener, in order, each
// in a main-queue task of its own: a listener released in one hears none of
// the rest. Posts nothing for an empty list or while there is no listener.
// Any thread.
void postAdsExpired(const OvixManager& manager, std::vector<std::string> uuids);

}  // namespace events
}  // namespace ovix
