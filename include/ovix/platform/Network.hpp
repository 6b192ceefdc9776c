#pragma once

#include <chrono>
#include <cstddef>

#include "ovix/Export.hpp"
#include "ovix/platform/DevelopmentSettings.hpp"

// The SDK's network: every transfer runs on one network thread, over verified
// TLS, http and https only.
namespace ovix::net {

// Transfers resumed whose completion handler has not yet returned. Any thread.
OVIX_EXPORT std::size_t pendingTransfers();

// Waits until pendingTransfers() is 0 or the time-out passes; on the main
// thread it runs the main queue meanwhile. Returns whether all are done.
OVIX_EXPORT bool waitForIdle(std::chrono::milliseconds timeout);

}  // namespace ovix::net
