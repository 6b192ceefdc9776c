#include "platform/dispatch/PendingWork.hpp"

#include <condition_variable>
#include <mutex>

#include "ovix/platform/Dispatch.hpp"
#include "platform/dispatch/MainQueue.hpp"

namespace ovix::dispatch {
namespace {

struct Counter {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t count = 0;  // guarded by mutex
};

Counter& counter() {
  static Counter* const instance = new Counter;  // used by work that may outlive statics
  return *instance;
}

}  // namespace

PendingWork::PendingWork() {
  std::lock_guard lock(counter().mutex);
  ++counter().count;
}

PendingWork::~PendingWork() {
  {
    std::lock_guard lock(counter().mutex);
    --counter().count;
  }
  counter().changed.notify_all();
  // Wakes a main thread waiting in runMainQueueUntil.
  if (!isMainThread()) wakeMainQueue();
}

namespace {

// A task and its count, which ends only once what the task holds is gone.
struct Counted {
  std::shared_ptr<PendingWork> work;  // destroyed after the task
  Task task;
  void operator()() const { task(); }
};

}  // namespace

Task counted(Task task) {
  return Counted{std::make_shared<PendingWork>(), std::move(task)};
}

std::size_t pendingWork() {
  std::lock_guard lock(counter().mutex);
  return counter().count;
}

bool waitForPendingWork(std::chrono::milliseconds timeout) {
  if (isMainThread()) return runMainQueueUntil([] { return pendingWork() == 0; }, timeout);
  std::unique_lock lock(counter().mutex);
  return counter().changed.wait_for(lock, timeout, [] { return counter().count == 0; });
}

}  // namespace ovix::dispatch
