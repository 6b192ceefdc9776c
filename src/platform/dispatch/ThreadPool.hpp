#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "ovix/platform/Dispatch.hpp"

namespace ovix::dispatch {

// A fixed set of worker threads taking tasks in order of submission. Stopping
// lets running tasks finish and drops those not started, and those submitted
// afterwards. Every call is thread-safe.
class ThreadPool final : public Queue {
 public:
  explicit ThreadPool(unsigned workers);
  // Stops.
  ~ThreadPool() override;
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Runs the task later; once stopping, drops it.
  void async(Task task) override;
  // As async; false when the task was dropped because the pool is stopping.
  bool tryAsync(Task task);

  // Joins the workers once their running tasks end and drops the tasks not
  // started. A worker that stops its own pool (a host exiting from a task)
  // is left to finish on its own. Later calls do nothing.
  void stop();

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;            // guarded by mutex_
  bool stopping_ = false;             // guarded by mutex_
  std::vector<std::thread> workers_;  // guarded by mutex_
};

// The pool behind globalQueue(). Never destroyed, so that threads still
// running at exit can submit to it; it stops at exit. Any thread.
ThreadPool& globalPool();

}  // namespace ovix::dispatch
