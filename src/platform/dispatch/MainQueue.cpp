#include "platform/dispatch/MainQueue.hpp"

#include <utility>

#include "platform/dispatch/PendingWork.hpp"

namespace ovix::dispatch {

void MainQueue::async(Task task) {
  task = counted(std::move(task));
  std::unique_lock lock(mutex_);
  if (executor_) {
    Executor executor = executor_;
    lock.unlock();
    executor(std::move(task));
    return;
  }
  tasks_.push_back(std::move(task));
  lock.unlock();
  arrived_.notify_all();
}

std::size_t MainQueue::drain() {
  std::deque<Task> now;
  {
    std::lock_guard lock(mutex_);
    now.swap(tasks_);
  }
  for (Task& task : now) {
    task();
    task = nullptr;  // release what the task holds before the next one runs
  }
  return now.size();
}

bool MainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // Read before `done` is tested, so that a wake-up in between is not lost.
    std::uint64_t seen = 0;
    {
      std::lock_guard lock(mutex_);
      seen = wakeups_;
    }
    if (done()) return true;
    Task task;
    {
      std::unique_lock lock(mutex_);
      if (!arrived_.wait_until(lock, deadline,
                               [&] { return !tasks_.empty() || wakeups_ != seen; })) {
        lock.unlock();
        return done();
      }
      if (tasks_.empty()) continue;  // woken to test `done` again
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

void MainQueue::wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakeups_;
  }
  arrived_.notify_all();
}

void MainQueue::setExecutor(Executor executor) {
  std::deque<Task> pending;
  {
    std::lock_guard lock(mutex_);
    executor_ = std::move(executor);
    if (executor_) pending.swap(tasks_);
  }
  for (Task& task : pending) executor_(std::move(task));
}

}  // namespace ovix::dispatch
