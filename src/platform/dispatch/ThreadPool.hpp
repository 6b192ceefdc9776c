#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "ovix/platform/Dispatch.hpp"

namespace ovix::dispatch {

// A fixed set of worker threads taking tasks in order of submission. Stopping
// lets running tasks finish and drops those not started.
class ThreadPool final : public Queue {
 public:
  explicit ThreadPool(unsigned workers);
  ~ThreadPool() override;
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  void async(Task task) override;

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;  // guarded by mutex_
  bool stopping_ = false;   // guarded by mutex_
  std::vector<std::thread> workers_;
};

}  // namespace ovix::dispatch
