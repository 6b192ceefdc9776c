#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "ovix/platform/Dispatch.hpp"

namespace ovix::dispatch {

// The answer to work done elsewhere, in the manner of Chromium's
// PostTaskAndReply: made on a queue (the main queue on the main thread, or the
// serial queue running the caller), its callback runs there when the reply is
// sent and is destroyed there, sent or not, so it may hold that queue's
// objects, such as views. Send it at most once, from any thread; copies share
// it. If the queue never runs again, the callback is never destroyed.
template <class... Args>
class Reply {
 public:
  // Runs and is destroyed on `origin`: by default the queue of the caller,
  // who must be on the main thread or in a serial queue's task.
  explicit Reply(std::function<void(Args...)> callback,
                 std::shared_ptr<Queue> origin = currentQueue())
      : state_(new State{std::move(callback), std::move(origin)}, &destroy) {}

  void operator()(Args... args) const {
    state_->origin->async(
        [state = state_, args...]() mutable { state->callback(std::move(args)...); });
  }

 private:
  struct State {
    std::function<void(Args...)> callback;
    std::shared_ptr<Queue> origin;
  };

  static void destroy(State* state) {
    if (!state->origin || currentQueue() == state->origin) {
      delete state;
      return;
    }
    auto origin = state->origin;
    origin->async([owned = std::shared_ptr<State>(state)] {});
  }

  std::shared_ptr<State> state_;
};

}  // namespace ovix::dispatch
