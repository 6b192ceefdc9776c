#include "ThreadPool.hpp"

#include <utility>

namespace ovix::dispatch {

ThreadPool::ThreadPool(unsigned workers) {
  workers_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(tasks_);
  }
  arrived_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::async(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
  }
  arrived_.notify_one();
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

}  // namespace ovix::dispatch
