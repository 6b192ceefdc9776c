#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace ovix {

// Memory that image decodes may take at once. Work that needs more than is
// left waits in order of arrival, queued rather than blocking a worker, so
// the global queue's other work goes on. Thread-safe.
class DecodeBudget {
 public:
  using Work = std::function<void()>;

  explicit DecodeBudget(std::size_t capacity) : capacity_(capacity) {}
  DecodeBudget(const DecodeBudget&) = delete;
  DecodeBudget& operator=(const DecodeBudget&) = delete;

  // The budget of every ad image decode in the process.
  static DecodeBudget& shared();

  // Runs `work` holding `bytes` (at most the capacity) of the budget: at once
  // on this thread when they are free and nothing waits, else later on a
  // global-queue worker when they are. The bytes are returned when `work`
  // returns.
  void run(std::size_t bytes, Work work);

  // Bytes held now. Any thread.
  std::size_t used() const;

 private:
  struct Waiting {
    std::size_t bytes;
    Work work;
  };

  void runHolding(std::size_t bytes, const Work& work);
  void release(std::size_t bytes);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::size_t used_ = 0;         // guarded by mutex_
  std::deque<Waiting> waiting_;  // guarded by mutex_
};

}  // namespace ovix
