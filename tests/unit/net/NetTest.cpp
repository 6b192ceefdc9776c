#include "unit/net/NetTest.hpp"

#include <condition_variable>
#include <mutex>

namespace ovix::net {

struct Receiver::State {
  std::mutex mutex;
  std::condition_variable ran;
  Delivery delivery;  // guarded by mutex
  int calls = 0;      // guarded by mutex
};

Receiver::Receiver() : state_(std::make_shared<State>()) {}

CompletionHandler Receiver::handler() {
  return [state = state_](std::optional<std::string> data, std::optional<HttpResponse> response,
                          std::optional<Error> error) {
    {
      std::lock_guard lock(state->mutex);
      state->delivery = Delivery{std::move(data), std::move(response), std::move(error),
                                 dispatch::isMainThread(), dispatch::currentQueue()};
      ++state->calls;
    }
    state->ran.notify_all();
  };
}

bool Receiver::waitOnMainQueue(std::chrono::milliseconds timeout) {
  return dispatch::runMainQueueUntil([this] { return calls() > 0; }, timeout);
}

bool Receiver::wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(state_->mutex);
  return state_->ran.wait_for(lock, timeout, [this] { return state_->calls > 0; });
}

Delivery Receiver::delivery() const {
  std::lock_guard lock(state_->mutex);
  return state_->delivery;
}

int Receiver::calls() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls;
}

void NetTest::SetUp() {
  ASSERT_FALSE(setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
}

void NetTest::TearDown() {
  clearConnectOverrides();
  EXPECT_TRUE(waitForIdle(10s)) << pendingTransfers() << " transfers left over";
}

Request NetTest::request(std::string_view url) {
  auto parsed = Url::make(url);
  EXPECT_TRUE(parsed) << url;
  return Request(parsed ? *parsed : *Url::make("https://invalid.invalid/"));
}

Delivery NetTest::fetch(Request request, const Configuration& configuration) {
  Receiver receiver;
  auto session = Session::make(configuration);
  session->dataTask(std::move(request), receiver.handler())->resume();
  EXPECT_TRUE(receiver.waitOnMainQueue());
  return receiver.delivery();
}

}  // namespace ovix::net
