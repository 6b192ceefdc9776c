#include "platform/net/SessionTask.hpp"

#include <utility>

#include "platform/net/DevelopmentSettings.hpp"
#include "platform/net/NetworkThread.hpp"
#include "platform/net/SessionImpl.hpp"
#include "platform/net/Transfer.hpp"

namespace ovix::net {

SessionTask::SessionTask(std::shared_ptr<SessionImpl> session, Request request,
                         CompletionHandler handler, std::optional<Error> failure)
    : session_(std::move(session)),
      failure_(std::move(failure)),
      request_(std::move(request)),
      handler_(std::move(handler)) {}

void SessionTask::resume() {
  std::unique_lock lock(mutex_);
  if (state_ != State::kSuspended) return;
  work_ = std::make_unique<PendingTransfer>();
  if (failure_) {
    state_ = State::kCompleted;
    CompletionHandler handler = std::move(handler_);
    auto work = std::move(work_);
    lock.unlock();
    deliver(std::move(handler), Outcome::failure(*failure_), std::move(work));
    return;
  }
  state_ = State::kRunning;
  auto transfer = std::make_unique<Transfer>(
      std::move(*request_), session_->configuration(), developmentSettings(),
      [self = shared_from_this()](Outcome outcome) { self->transferFinished(std::move(outcome)); });
  request_.reset();
  transferId_ = transfer->id();
  // Under the lock, so that a cancel() racing with this call abandons a
  // transfer the network thread already knows.
  NetworkThread::shared().start(std::move(transfer));
}

void SessionTask::cancel() {
  std::unique_lock lock(mutex_);
  if (state_ == State::kCompleted) return;
  const bool running = state_ == State::kRunning;
  state_ = State::kCompleted;
  CompletionHandler handler = std::move(handler_);
  auto work = std::move(work_);
  const std::uint64_t transferId = transferId_;
  lock.unlock();
  if (running) NetworkThread::shared().abandon(transferId);
  deliver(std::move(handler), Outcome::failure(urlError(kCancelled)), std::move(work));
}

void SessionTask::transferFinished(Outcome outcome) {
  std::unique_lock lock(mutex_);
  if (state_ != State::kRunning) return;
  state_ = State::kCompleted;
  CompletionHandler handler = std::move(handler_);
  auto work = std::move(work_);
  lock.unlock();
  deliver(std::move(handler), std::move(outcome), std::move(work));
}

void SessionTask::deliver(CompletionHandler handler, Outcome outcome,
                          std::unique_ptr<PendingTransfer> work) {
  session_->delegateQueue().async(
      [self = shared_from_this(), handler = std::move(handler), outcome = std::move(outcome),
       work = std::shared_ptr<PendingTransfer>(std::move(work))]() mutable {
        if (handler)
          handler(std::move(outcome.data), std::move(outcome.response), std::move(outcome.error));
        handler = nullptr;  // what it holds goes before the transfer counts as done
        work.reset();  // last: the count covers the transfer to its very end
      });
}

}  // namespace ovix::net
