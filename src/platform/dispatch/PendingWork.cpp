#include "platform/dispatch/PendingWork.hpp"

#include <utility>

#include "platform/dispatch/WorkCount.hpp"

namespace ovix::dispatch {
namespace {

WorkCount& count() {
  static WorkCount* const instance = new WorkCount;  // used by work that may outlive statics
  return *instance;
}

// Counts as pending work while it lives, and so does each copy, since a Task
// may be copied; a move hands its count over.
class CountedCopy {
 public:
  CountedCopy() { count().add(); }
  CountedCopy(const CountedCopy&) { count().add(); }
  CountedCopy(CountedCopy&& other) noexcept : counts_(std::exchange(other.counts_, false)) {}
  CountedCopy& operator=(CountedCopy other) noexcept {
    std::swap(counts_, other.counts_);
    return *this;
  }
  ~CountedCopy() {
    if (counts_) count().remove();
  }

 private:
  bool counts_ = true;
};

// A task and its count, which ends only once what the task holds is gone.
// One allocation, where a PendingWork held by pointer would take two.
struct Counted {
  CountedCopy work;  // destroyed after the task
  Task task;
  void operator()() const { task(); }
};

}  // namespace

PendingWork::PendingWork() {
  count().add();
}

PendingWork::~PendingWork() {
  count().remove();
}

Task counted(Task task) {
  return Counted{CountedCopy(), std::move(task)};
}

std::size_t pendingWork() {
  return count().value();
}

bool waitForPendingWork(std::chrono::milliseconds timeout) {
  return count().waitUntilNone(timeout);
}

}  // namespace ovix::dispatch
