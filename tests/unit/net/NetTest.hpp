#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/Session.hpp"
#include "support/TlsServer.hpp"

namespace ovix::net {

using namespace std::chrono_literals;

// What a completion handler received.
struct Delivery {
  std::optional<std::string> data;
  std::optional<HttpResponse> response;
  std::optional<Error> error;
  bool onMainThread = false;
  std::shared_ptr<dispatch::Queue> queue;  // current while the handler ran
};

// Filled in by the handler of a task, on the delegate queue.
class Receiver {
 public:
  Receiver();
  CompletionHandler handler();
  // Whether the handler ran. Call on the main thread; it runs the main queue
  // while it waits.
  bool waitOnMainQueue(std::chrono::milliseconds timeout = 10s);
  // Whether the handler ran, waiting on it from any thread.
  bool wait(std::chrono::milliseconds timeout = 10s);
  // What the handler received. Call after a wait returned true.
  Delivery delivery() const;
  int calls() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Trusts the test servers' certificates and checks that no transfer outlives a test.
class NetTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static Request request(std::string_view url);
  // Runs one request to its end on a session made on the main thread, whose
  // handlers run on the main queue.
  static Delivery fetch(Request request, const Configuration& configuration = {});
};

}  // namespace ovix::net
