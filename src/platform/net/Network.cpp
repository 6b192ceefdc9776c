#include "ovix/platform/Network.hpp"

#include "platform/dispatch/WorkCount.hpp"
#include "platform/net/PendingTransfer.hpp"

namespace ovix::net {
namespace {

dispatch::WorkCount& count() {
  // Handlers may finish while the process exits.
  static dispatch::WorkCount* const instance = new dispatch::WorkCount;
  return *instance;
}

}  // namespace

PendingTransfer::PendingTransfer() {
  count().add();
}

PendingTransfer::~PendingTransfer() {
  count().remove();
}

std::size_t pendingTransfers() {
  return count().value();
}

bool waitForIdle(std::chrono::milliseconds timeout) {
  return count().waitUntilNone(timeout);
}

}  // namespace ovix::net
