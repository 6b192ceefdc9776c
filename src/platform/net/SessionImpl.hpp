#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/net/Session.hpp"

namespace ovix::net {

class SessionTask;

// A session: its configuration, the queue its handlers run on, and its
// unfinished tasks, which it can cancel. Its tasks keep it alive. Every call
// is thread-safe.
class SessionImpl final : public Session, public std::enable_shared_from_this<SessionImpl> {
 public:
  SessionImpl(const Configuration& configuration, std::shared_ptr<dispatch::Queue> delegateQueue);

  std::shared_ptr<DataTask> dataTask(Request request, CompletionHandler handler) override;
  void finishTasksAndInvalidate() override;
  void invalidateAndCancel() override;

  const Configuration& configuration() const { return configuration_; }
  dispatch::Queue& delegateQueue() const { return *delegateQueue_; }

 private:
  const Configuration configuration_;
  const std::shared_ptr<dispatch::Queue> delegateQueue_;

  std::mutex mutex_;
  bool invalidated_ = false;                       // guarded by mutex_
  std::vector<std::weak_ptr<SessionTask>> tasks_;  // guarded by mutex_
};

}  // namespace ovix::net
