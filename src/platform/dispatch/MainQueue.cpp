#include "MainQueue.hpp"

#include <utility>

namespace ovix::dispatch {

void MainQueue::async(Task task) {
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
  while (!done()) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      if (!arrived_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
        lock.unlock();
        return done();
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
  return true;
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
