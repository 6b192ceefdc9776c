#include "ovix/platform/Dispatch.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/PendingWork.hpp"
#include "platform/dispatch/ThreadPool.hpp"

namespace ovix::dispatch {
namespace {

MainQueue& theMainQueue() {
  static MainQueue* queue = new MainQueue;  // outlives every thread that may post to it
  return *queue;
}

}  // namespace

std::shared_ptr<Queue> mainQueueHandle() {
  // Never destroyed, like the queue: the main thread may ask for it at exit.
  static const auto* const handle = new std::shared_ptr<Queue>(&theMainQueue(), [](Queue*) {});
  return *handle;
}

namespace {

std::atomic<std::thread::id> hostMainThread{};

thread_local std::shared_ptr<Queue> runningSerialQueue;

// Runs its tasks one after another on the global queue.
class SerialQueue final : public Queue, public std::enable_shared_from_this<SerialQueue> {
 public:
  void async(Task task) override {
    task = counted(std::move(task));
    bool start = false;
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      start = !running_;
      running_ = true;
    }
    if (start && !globalPool().tryAsync([self = shared_from_this()] { self->runAll(); })) {
      // The pool has stopped: the process is exiting. The waiting tasks go
      // now, as they may hold this queue and would otherwise keep it forever.
      std::deque<Task> dropped;
      std::lock_guard lock(mutex_);
      dropped.swap(tasks_);
      running_ = false;
    }
  }

 private:
  void runAll() {
    runningSerialQueue = shared_from_this();
    for (;;) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) {
          running_ = false;
          break;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    runningSerialQueue.reset();
  }

  std::mutex mutex_;
  std::deque<Task> tasks_;  // guarded by mutex_
  bool running_ = false;    // guarded by mutex_
};

}  // namespace

Queue& mainQueue() {
  return theMainQueue();
}

void wakeMainQueue() {
  theMainQueue().wake();
}

Queue& globalQueue() {
  return globalPool();
}

std::shared_ptr<Queue> makeSerialQueue() {
  return std::make_shared<SerialQueue>();
}

std::shared_ptr<Queue> currentQueue() {
  if (isMainThread()) return mainQueueHandle();
  return runningSerialQueue;
}

bool isMainThread() {
  const std::thread::id named = hostMainThread.load(std::memory_order_relaxed);
  if (named != std::thread::id()) return named == std::this_thread::get_id();
  // A thread's kernel id never changes, so each thread asks once.
  static thread_local const bool initial = ::syscall(SYS_gettid) == ::getpid();
  return initial;
}

void setMainThread(std::thread::id id) {
  hostMainThread.store(id, std::memory_order_relaxed);
}

std::size_t drainMainQueue() {
  return theMainQueue().drain();
}

bool runMainQueueUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return theMainQueue().runUntil(done, timeout);
}

void setMainExecutor(Executor executor) {
  theMainQueue().setExecutor(std::move(executor));
}

}  // namespace ovix::dispatch
