#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace ovix::dispatch {

// A count of work in flight, and waiting for it to end. Any thread.
class WorkCount {
 public:
  WorkCount() = default;
  WorkCount(const WorkCount&) = delete;
  WorkCount& operator=(const WorkCount&) = delete;

  void add();
  // Ends one; wakes the waiters, and a main thread running the main queue
  // (runMainQueueUntil tests its condition again when work ends elsewhere).
  void remove();
  std::size_t value() const;
  // Waits until none is left: on the main thread by running the main queue.
  // Returns whether none was left in time.
  bool waitUntilNone(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable none_;
  std::size_t count_ = 0;  // guarded by mutex_
};

}  // namespace ovix::dispatch
