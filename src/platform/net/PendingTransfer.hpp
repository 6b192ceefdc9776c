#pragma once

#include "platform/dispatch/PendingWork.hpp"

namespace ovix::net {

// Counts a transfer from the moment it is resumed until its completion
// handler has returned: in pendingTransfers() and, as all the SDK's work, in
// dispatch::pendingWork(). Any thread.
class PendingTransfer {
 public:
  PendingTransfer();
  ~PendingTransfer();
  PendingTransfer(const PendingTransfer&) = delete;
  PendingTransfer& operator=(const PendingTransfer&) = delete;

 private:
  dispatch::PendingWork work_;  // destroyed last: the work covers the transfer to its end
};

}  // namespace ovix::net
