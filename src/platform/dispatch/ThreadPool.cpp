#include "platform/dispatch/ThreadPool.hpp"

#include "platform/dispatch/PendingWork.hpp"

#include <algorithm>
#include <utility>

#include "platform/dispatch/AtExit.hpp"

namespace ovix::dispatch {

ThreadPool::ThreadPool(unsigned workers) {
  std::lock_guard lock(mutex_);
  workers_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool() {
  stop();
}

void ThreadPool::async(Task task) {
  tryAsync(std::move(task));
}

bool ThreadPool::tryAsync(Task task) {
  task = counted(std::move(task));
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;  // the task goes when this returns, outside the lock
    tasks_.push_back(std::move(task));
    queued_.store(tasks_.size(), std::memory_order_relaxed);
    // A polling worker takes it, or one that is running comes back for it.
    wake = !polling_ && sleeping_ > 0;
  }
  if (wake) arrived_.notify_one();
  return true;
}

void ThreadPool::stop() {
  std::deque<Task> dropped;
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    dropped.swap(tasks_);
    workers.swap(workers_);
  }
  arrived_.notify_all();
  for (std::thread& worker : workers) {
    if (worker.get_id() == std::this_thread::get_id()) {
      worker.detach();
    } else {
      worker.join();
    }
  }
  // The dropped tasks go last: what they hold may submit more, which is dropped.
}

void ThreadPool::work() {
  while (Task task = next()) task();
}

Task ThreadPool::next() {
  std::unique_lock lock(mutex_);
  if (tasks_.empty() && !stopping_ && !polling_) {
    polling_ = true;
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + kPoll;
    while (queued_.load(std::memory_order_relaxed) == 0 &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::yield();  // lets whatever else could run here run
    }
    lock.lock();
    polling_ = false;
  }
  while (tasks_.empty() && !stopping_) {
    ++sleeping_;
    arrived_.wait(lock);
    --sleeping_;
  }
  if (stopping_) return nullptr;
  Task task = std::move(tasks_.front());
  tasks_.pop_front();
  queued_.store(tasks_.size(), std::memory_order_relaxed);
  const bool wake = !tasks_.empty() && !polling_ && sleeping_ > 0;
  lock.unlock();
  if (wake) arrived_.notify_one();
  return task;
}

ThreadPool& globalPool() {
  static ThreadPool* const pool = new ThreadPool(std::max(4u, std::thread::hardware_concurrency()));
  static const AtExit stop([] { pool->stop(); });
  return *pool;
}

}  // namespace ovix::dispatch
