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
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;  // the task goes when this returns, outside the lock
    tasks_.push_back(std::move(task));
  }
  arrived_.notify_one();
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
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      arrived_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (stopping_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

ThreadPool& globalPool() {
  static ThreadPool* const pool = new ThreadPool(std::max(4u, std::thread::hardware_concurrency()));
  static const AtExit stop([] { pool->stop(); });
  return *pool;
}

}  // namespace ovix::dispatch
