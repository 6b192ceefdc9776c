#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/Session.hpp"
#include "support/TlsServer.hpp"

namespace ovix::net {

using namespace std::chrono_literals;

// What a task's handler received, and where.
struct Delivery {
  std::optional<std::string> data;
  std::optional<HttpResponse> response;
  std::optional<Error> error;
  bool onMainThread = false;
  std::shared_ptr<dispatch::Queue> queue;  // current while the handler ran
};

// A handler, and its delivery once it ran. Any thread.
struct Receiver {
  std::shared_ptr<std::promise<Delivery>> promise = std::make_shared<std::promise<Delivery>>();
  std::shared_future<Delivery> delivered = promise->get_future().share();

  CompletionHandler handler() const {
    return [promise = promise](auto data, auto response, auto error) {
      promise->set_value(Delivery{std::move(data), std::move(response), std::move(error),
                                  dispatch::isMainThread(), dispatch::currentQueue()});
    };
  }
  bool ran() const { return delivered.wait_for(0s) == std::future_status::ready; }
  // Waits for the handler, on the main thread running the main queue meanwhile.
  Delivery wait() const {
    const bool ran = dispatch::isMainThread()
                         ? dispatch::runMainQueueUntil([this] { return this->ran(); }, 10s)
                         : delivered.wait_for(10s) == std::future_status::ready;
    EXPECT_TRUE(ran) << "the handler never ran";
    return ran ? delivered.get() : Delivery{};
  }
};

// Trusts the test servers' certificates and checks that no transfer outlives
// a test. Runs on the main thread.
class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
  }
  void TearDown() override {
    clearConnectOverrides();
    EXPECT_TRUE(waitForIdle(10s)) << pendingTransfers() << " transfers left over";
  }

  static Request request(std::string_view url) { return Request(*Url::make(url)); }

  // Runs `request` to its end on a session made on the main thread, whose
  // handlers run on the main queue.
  static Delivery fetch(Request request, const Configuration& configuration = {}) {
    Receiver receiver;
    Session::make(configuration)->dataTask(std::move(request), receiver.handler())->resume();
    const Delivery delivery = receiver.wait();
    EXPECT_TRUE(delivery.onMainThread);
    return delivery;
  }

  // The error code of a failed delivery, 0 for a success.
  static std::int64_t code(const Delivery& delivery) {
    EXPECT_EQ(delivery.data.has_value(), !delivery.error);
    return delivery.error ? delivery.error->code() : 0;
  }
};

}  // namespace ovix::net
