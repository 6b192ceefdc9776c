#include "ovix/platform/Network.hpp"

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "ovix/platform/Dispatch.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/net/PendingTransfer.hpp"

namespace ovix::net {
namespace {

struct Count {
  std::mutex mutex;
  std::condition_variable idle;
  std::size_t pending = 0;      // guarded by mutex
  std::size_t mainWaiters = 0;  // guarded by mutex
};

Count& count() {
  static Count* instance = new Count;  // handlers may finish while the process exits
  return *instance;
}

}  // namespace

PendingTransfer::PendingTransfer() {
  std::lock_guard lock(count().mutex);
  ++count().pending;
}

PendingTransfer::~PendingTransfer() {
  bool wakeMain = false;
  {
    std::lock_guard lock(count().mutex);
    if (--count().pending != 0) return;
    wakeMain = count().mainWaiters > 0;
  }
  count().idle.notify_all();
  // A main thread in waitForIdle sleeps on the main queue, not on `idle`.
  if (wakeMain && !dispatch::isMainThread()) dispatch::wakeMainQueue();
}

std::size_t pendingTransfers() {
  std::lock_guard lock(count().mutex);
  return count().pending;
}

bool waitForIdle(std::chrono::milliseconds timeout) {
  Count& c = count();
  if (!dispatch::isMainThread()) {
    std::unique_lock lock(c.mutex);
    return c.idle.wait_for(lock, timeout, [&] { return c.pending == 0; });
  }
  {
    std::lock_guard lock(c.mutex);
    ++c.mainWaiters;
  }
  const bool idle = dispatch::runMainQueueUntil([] { return pendingTransfers() == 0; }, timeout);
  std::lock_guard lock(c.mutex);
  --c.mainWaiters;
  return idle;
}

}  // namespace ovix::net
