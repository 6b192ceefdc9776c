#include "platform/dispatch/PendingWork.hpp"

#include <memory>

#include "platform/dispatch/WorkCount.hpp"

namespace ovix::dispatch {
namespace {

WorkCount& count() {
  static WorkCount* const instance = new WorkCount;  // used by work that may outlive statics
  return *instance;
}

// A task and its count, which ends only once what the task holds is gone.
struct Counted {
  std::shared_ptr<PendingWork> work;  // destroyed after the task
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
  return Counted{std::make_shared<PendingWork>(), std::move(task)};
}

std::size_t pendingWork() {
  return count().value();
}

bool waitForPendingWork(std::chrono::milliseconds timeout) {
  return count().waitUntilNone(timeout);
}

}  // namespace ovix::dispatch
