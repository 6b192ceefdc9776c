#pragma once

#include <cstdint>
#include <optional>

#include "ovix/Export.hpp"
#include "ovix/platform/Error.hpp"

namespace ovix {

// The host's delegate for the outcome of one load. The SDK holds it weakly:
// a delegate released before the outcome hears nothing. Each load calls at
// most one of the two, once, holding the delegate alive for the call.
class OVIX_EXPORT OvixInfeed {
 public:
  virtual ~OvixInfeed() = default;

  // `count` ads arrived and are already in the inventory. Called on a worker
  // of the global queue, never on the main thread.
  virtual void successfulToReceivedAt(std::int64_t count) = 0;

  // The load failed; `error` is absent when there is nothing more to say.
  // Before loadOvix returns for a request that cannot be sent; on the queue
  // current when the load started (the main queue from the main thread) for a
  // failed transfer or an answer that is not JSON.
  virtual void failedToReceivedWith(const std::optional<Error>& error) = 0;
};

}  // namespace ovix
