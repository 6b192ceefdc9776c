#include "platform/dispatch/WorkCount.hpp"

#include "ovix/platform/Dispatch.hpp"
#include "platform/dispatch/MainQueue.hpp"

namespace ovix::dispatch {

void WorkCount::add() {
  std::lock_guard lock(mutex_);
  ++count_;
}

void WorkCount::remove() {
  {
    std::lock_guard lock(mutex_);
    --count_;
  }
  none_.notify_all();
  if (!isMainThread()) wakeMainQueue();
}

std::size_t WorkCount::value() const {
  std::lock_guard lock(mutex_);
  return count_;
}

bool WorkCount::waitUntilNone(std::chrono::milliseconds timeout) {
  if (isMainThread()) return runMainQueueUntil([this] { return value() == 0; }, timeout);
  std::unique_lock lock(mutex_);
  return none_.wait_for(lock, timeout, [this] { return count_ == 0; });
}

}  // namespace ovix::dispatch
