#pragma once

#include <memory>

#include "ovix/platform/Dispatch.hpp"
#include "platform/net/Request.hpp"
#include "platform/net/Session.hpp"

namespace ovix::net {

// Sends `request` on a session of its own, within the limits of
// `configuration`, and hands the outcome to `reply` once, on `queue`: the
// queue current on the calling thread when null (the main queue on the main
// thread), else a serial queue of the fetch's own. The SDK's one way to the
// network, for loads, images and beacons alike. Any thread; returns at once.
void fetch(Request request, const Configuration& configuration, CompletionHandler reply,
           std::shared_ptr<dispatch::Queue> queue = nullptr);

}  // namespace ovix::net
