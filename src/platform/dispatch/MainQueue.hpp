#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "ovix/platform/Dispatch.hpp"

namespace ovix::dispatch {

// The serial queue of the main thread, run by the host's loop or handed to the
// host's executor.
class MainQueue final : public Queue {
 public:
  void async(Task task) override;

  std::size_t drain();
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  void setExecutor(Executor executor);
  // Makes runUntil test its condition again, without a task. Any thread.
  void wake();

 private:
  // Puts tasks[from...] back at the front, in order, or hands them to the
  // executor if one is set now.
  void requeue(std::deque<Task> tasks, std::size_t from);

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;     // guarded by mutex_
  Executor executor_;          // guarded by mutex_
  std::uint64_t wakeups_ = 0;  // guarded by mutex_
};

// The main queue's wake(): for code that waits on the main thread for work
// done elsewhere. Any thread.
void wakeMainQueue();

// The main queue as currentQueue() gives it on the main thread. Any thread.
std::shared_ptr<Queue> mainQueueHandle();

}  // namespace ovix::dispatch
