#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "ovix/OvixInfeed.hpp"
#include "ovix/platform/Dispatch.hpp"

namespace ovix::test {

// Records the outcomes a load delivers, and where they arrived.
class RecordingDelegate : public OvixInfeed {
 public:
  struct Outcome {
    std::optional<std::int64_t> count;  // present for a success
    std::optional<Error> error;
    bool onMainThread = false;
  };

  // Runs inside successfulToReceivedAt, on its thread.
  std::function<void()> onSuccess;

  void successfulToReceivedAt(std::int64_t count) override {
    if (onSuccess) onSuccess();
    record({count, std::nullopt, dispatch::isMainThread()});
  }
  void failedToReceivedWith(const std::optional<Error>& error) override {
    record({std::nullopt, error, dispatch::isMainThread()});
  }

  int calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::optional<Outcome> outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
  }
  // Runs the main queue until an outcome arrives; false after 10 s.
  bool waitOnMainQueue() {
    return dispatch::runMainQueueUntil([this] { return calls() > 0; }, std::chrono::seconds(10));
  }

 private:
  void record(Outcome outcome) {
    std::lock_guard lock(mutex_);
    ++calls_;
    outcome_ = std::move(outcome);
  }

  mutable std::mutex mutex_;
  int calls_ = 0;                   // guarded by mutex_
  std::optional<Outcome> outcome_;  // guarded by mutex_
};

}  // namespace ovix::test
