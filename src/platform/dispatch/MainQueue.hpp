#pragma once

#include <chrono>
#include <condition_variable>
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

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;  // guarded by mutex_
  Executor executor_;       // guarded by mutex_
};

}  // namespace ovix::dispatch
