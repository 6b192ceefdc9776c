#include "platform/dispatch/Timers.hpp"

#include <condition_variable>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "platform/dispatch/AtExit.hpp"

namespace ovix::dispatch {
namespace {

using namespace std::chrono_literals;

// One thread that sleeps until the earliest timer is due. It wakes at least
// every 100 ms as well, since the clock may be one that tests move.
class TimerThread {
 public:
  void add(clock::TimePoint due, Queue& queue, Task task) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      timers_.push(Timer{due, sequence_++, &queue, std::move(task)});
      if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
  }

  void check() { wake_.notify_one(); }

  void stop() {
    std::thread thread;
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      thread.swap(thread_);
      timers_ = {};
    }
    wake_.notify_one();
    if (thread.joinable()) thread.join();
  }

 private:
  struct Timer {
    clock::TimePoint due;
    std::uint64_t sequence;  // keeps timers due at once in the order set
    Queue* queue;
    Task task;
    bool operator>(const Timer& other) const {
      return due != other.due ? due > other.due : sequence > other.sequence;
    }
  };

  void run() {
    std::unique_lock lock(mutex_);
    while (!stopped_) {
      std::vector<Timer> due;
      const auto now = clock::now();
      while (!timers_.empty() && timers_.top().due <= now) {
        due.push_back(std::move(const_cast<Timer&>(timers_.top())));
        timers_.pop();
      }
      if (!due.empty()) {
        lock.unlock();
        for (Timer& timer : due) timer.queue->async(std::move(timer.task));
        lock.lock();
        continue;
      }
      auto wait = timers_.empty() ? clock::Duration(1h) : timers_.top().due - now;
      wake_.wait_for(lock, std::min<clock::Duration>(wait, 100ms));
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::priority_queue<Timer, std::vector<Timer>, std::greater<>> timers_;  // guarded by mutex_
  std::uint64_t sequence_ = 0;                                             // guarded by mutex_
  bool stopped_ = false;                                                   // guarded by mutex_
  std::thread thread_;                                                     // guarded by mutex_
};

TimerThread& timers() {
  static auto* const thread = new TimerThread;  // reached by threads still running at exit
  static AtExit stop([] { thread->stop(); });
  return *thread;
}

}  // namespace

void after(clock::Duration delay, Queue& queue, Task task) {
  timers().add(clock::now() + delay, queue, std::move(task));
}

void checkTimersNow() {
  timers().check();
}

}  // namespace ovix::dispatch
