#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/net/Outcome.hpp"
#include "platform/net/Session.hpp"
#include "platform/net/PendingTransfer.hpp"

namespace ovix::net {

class SessionImpl;

// A data task. The first of completion and cancellation wins and hands the
// outcome to the handler on the session's delegate queue; the task and its
// session live at least until then.
class SessionTask final : public DataTask, public std::enable_shared_from_this<SessionTask> {
 public:
  // With `failure`, resuming delivers that error instead of transferring.
  SessionTask(std::shared_ptr<SessionImpl> session, Request request, CompletionHandler handler,
              std::optional<Error> failure);

  void resume() override;
  void cancel() override;

 private:
  enum class State { kSuspended, kRunning, kCompleted };

  // Called on the network thread when the transfer ends.
  void transferFinished(Outcome outcome);
  // Queues the handler with the outcome. Call once, after leaving kRunning or
  // kSuspended for kCompleted, without holding mutex_. `work` is the task's
  // count in pending work (and in pending transfers) once resumed, else null.
  void deliver(CompletionHandler handler, Outcome outcome,
               std::unique_ptr<PendingTransfer> work);

  const std::shared_ptr<SessionImpl> session_;
  const std::optional<Error> failure_;

  std::mutex mutex_;
  State state_ = State::kSuspended;  // guarded by mutex_
  std::optional<Request> request_;   // guarded by mutex_; handed to the transfer
  CompletionHandler handler_;        // guarded by mutex_; handed to the delivery
  std::uint64_t transferId_ = 0;     // guarded by mutex_
  // From resume() to the handler's return.
  std::unique_ptr<PendingTransfer> work_;  // guarded by mutex_
};

}  // namespace ovix::net
