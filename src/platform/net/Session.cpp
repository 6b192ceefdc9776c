#include <algorithm>
#include <utility>

#include "platform/net/SessionImpl.hpp"
#include "platform/net/SessionTask.hpp"

namespace ovix::net {

std::shared_ptr<Session> Session::make(const Configuration& configuration,
                                       std::shared_ptr<dispatch::Queue> delegateQueue) {
  if (!delegateQueue) delegateQueue = dispatch::currentQueue();
  if (!delegateQueue) delegateQueue = dispatch::makeSerialQueue();
  return std::make_shared<SessionImpl>(configuration, std::move(delegateQueue));
}

SessionImpl::SessionImpl(const Configuration& configuration,
                         std::shared_ptr<dispatch::Queue> delegateQueue)
    : configuration_(configuration), delegateQueue_(std::move(delegateQueue)) {}

std::shared_ptr<DataTask> SessionImpl::dataTask(Request request, CompletionHandler handler) {
  std::lock_guard lock(mutex_);
  std::optional<Error> failure;
  if (invalidated_) failure = urlError(kCancelled);
  auto task = std::make_shared<SessionTask>(shared_from_this(), std::move(request),
                                            std::move(handler), std::move(failure));
  std::erase_if(tasks_, [](const auto& weak) { return weak.expired(); });
  tasks_.push_back(task);
  return task;
}

void SessionImpl::finishTasksAndInvalidate() {
  std::lock_guard lock(mutex_);
  invalidated_ = true;
}

void SessionImpl::invalidateAndCancel() {
  std::vector<std::weak_ptr<SessionTask>> tasks;
  {
    std::lock_guard lock(mutex_);
    invalidated_ = true;
    tasks.swap(tasks_);
  }
  for (const auto& weak : tasks) {
    if (auto task = weak.lock()) task->cancel();
  }
}

}  // namespace ovix::net
