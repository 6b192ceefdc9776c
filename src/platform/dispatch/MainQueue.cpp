#include "platform/dispatch/MainQueue.hpp"

#include <iterator>
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
  std::size_t ran = 0;
  try {
    for (; ran < now.size(); ++ran) {
      now[ran]();
      now[ran] = nullptr;  // release what the task holds before the next one runs
    }
  } catch (...) {
    // The thrower is dropped; those after it stay queued, ahead of any
    // queued since, and the exception goes on to the host's loop.
    now[ran] = nullptr;
    requeue(std::move(now), ran + 1);
    throw;
  }
  return ran;
}

void MainQueue::requeue(std::deque<Task> tasks, std::size_t from) {
  std::unique_lock lock(mutex_);
  if (executor_) {
    // Set by one of the tasks that ran: it takes what was queued.
    Executor executor = executor_;
    lock.unlock();
    for (std::size_t i = from; i < tasks.size(); ++i) executor(std::move(tasks[i]));
    return;
  }
  tasks_.insert(tasks_.begin(), std::make_move_iterator(tasks.begin() + from),
                std::make_move_iterator(tasks.end()));
  lock.unlock();
  arrived_.notify_all();
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
