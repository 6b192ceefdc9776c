#pragma once

#include <atomic>
#include <chrono>
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
//
// Waking a sleeping worker is a system call, several microseconds on the
// submitting thread, and the main thread hands work off at every binding and
// first display. So a worker that runs out of tasks first polls the queue a
// short while (one worker at a time), and a task submitted meanwhile wakes
// nobody. A worker that takes a task while more wait wakes the next.
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

  // How long a worker out of tasks polls before it sleeps.
  static constexpr std::chrono::microseconds kPoll{50};

  // Takes the next task, polling then sleeping while there is none; empty
  // once stopping.
  Task next();

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Task> tasks_;            // guarded by mutex_
  bool stopping_ = false;             // guarded by mutex_
  std::vector<std::thread> workers_;  // guarded by mutex_
  unsigned sleeping_ = 0;             // guarded by mutex_
  bool polling_ = false;              // guarded by mutex_
  // tasks_.size(), for the poller to read without the lock.
  std::atomic<std::size_t> queued_{0};
};

// The pool behind globalQueue(). Never destroyed, so that threads still
// running at exit can submit to it; it stops at exit. Any thread.
ThreadPool& globalPool();

}  // namespace ovix::dispatch
