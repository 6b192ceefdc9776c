// The sessions under the SDK's fetch: what goes on the wire, what comes back,
// where handlers run and the bounds of a transfer. Servers that fail are the
// fault matrix's (tests/integration/FaultTest.cpp).
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/net/Session.hpp"
#include "support/TlsServer.hpp"

namespace ovix::net {
namespace {

using namespace std::chrono_literals;
using test::TlsServer;
using Fields = std::vector<std::pair<std::string, std::string>>;

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
  // Waits for the handler, on the main thread running the main queue meanwhile.
  Delivery wait() const {
    const auto ran = [this] { return delivered.wait_for(0s) == std::future_status::ready; };
    EXPECT_TRUE(dispatch::runMainQueueUntil(ran, 10s)) << "the handler never ran";
    return ran() ? delivered.get() : Delivery{};
  }
};

Request request(std::string_view url) {
  return Request(*Url::make(url));
}

// Runs `request` to its end on a session made on the main thread, whose
// handlers run on the main queue.
Delivery fetch(Request request, const Configuration& configuration = {}) {
  Receiver receiver;
  Session::make(configuration)->dataTask(std::move(request), receiver.handler())->resume();
  const Delivery delivery = receiver.wait();
  EXPECT_TRUE(delivery.onMainThread);
  return delivery;
}

// The error code of a failed delivery, 0 for a success.
std::int64_t code(const Delivery& delivery) {
  EXPECT_EQ(delivery.data.has_value(), !delivery.error);
  return delivery.error ? delivery.error->code() : 0;
}

// Trusts the test servers' certificates and checks that no transfer outlives
// a test. Runs on the main thread.
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(setExtraTrustedCertificates(TlsServer::trustedCertificatesPath()));
  }
  void TearDown() override {
    clearConnectOverrides();
    EXPECT_TRUE(waitForIdle(10s)) << pendingTransfers() << " transfers left over";
  }
};

TEST_F(SessionTest, PostGoesOnTheWireAsMadeAndItsResponseComesBack) {
  test::RawTlsServer server(
      "HTTP/1.1 201 Created\r\nX-Reply: yes\r\nx-reply:  again \r\n"
      "Content-Length: 4\r\nConnection: close\r\n\r\npong");
  const std::string url = server.url("/ad/v2.ios?slot=feed&n=2");
  Request post = request(url);
  post.method = "POST";
  post.addValue("text/plain", "content-type");
  post.addValue("text/html", "CONTENT-TYPE");
  post.setValue("application/json", "Content-Type");  // replaces every field of the name
  post.addValue("1", "X-Multi");
  post.addValue("abc", "X-Ovix-Token");
  post.addValue("2", "X-Multi");
  post.addValue("", "X-Empty");
  post.body = std::string("{\"a\":1}\0tail", 12);

  const Delivery delivery = fetch(post);

  // Exactly the request's fields, in order, plus the two the protocol needs.
  EXPECT_EQ(
      server.requests().at(0),
      "POST /ad/v2.ios?slot=feed&n=2 HTTP/1.1\r\nHost: localhost:" + std::to_string(server.port()) +
          "\r\nContent-Type: application/json\r\nX-Multi: 1\r\nX-Ovix-Token: abc\r\n"
          "X-Multi: 2\r\nX-Empty:\r\nContent-Length: 12\r\n\r\n" +
          post.body);
  ASSERT_FALSE(delivery.error) << delivery.error->description();
  EXPECT_EQ(delivery.data, "pong");
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->statusCode(), 201);
  EXPECT_EQ(delivery.response->headerFields(), (Fields{{"X-Reply", "yes"},
                                                       {"x-reply", "again"},
                                                       {"Content-Length", "4"},
                                                       {"Connection", "close"}}));
}

TEST_F(SessionTest, RedirectsAreFollowedTenTimesAtMostAndEmptyBodiesArePresent) {
  TlsServer server(TlsServer::Certificate::kTrusted, 16, 1s);
  server.handle("GET", "/from", [](const auto&, auto& response) { response.set_redirect("/to"); });
  server.handle("GET", "/to", [](const auto&, auto& response) { response.status = 204; });
  server.handle("GET", "/loop",
                [](const auto&, auto& response) { response.set_redirect("/loop"); });

  const Delivery followed = fetch(request(server.url("/from")));
  EXPECT_EQ(code(followed), 0);
  EXPECT_EQ(followed.data, "");
  ASSERT_TRUE(followed.response);
  EXPECT_EQ(followed.response->statusCode(), 204);
  EXPECT_EQ(followed.response->url(), server.url("/to"));

  EXPECT_EQ(code(fetch(request(server.url("/loop")))), kHTTPTooManyRedirects);
  EXPECT_EQ(code(fetch(request("ftp://127.0.0.1/file"))), kUnsupportedURL);
  Configuration own;
  own.reusesConnections = false;
  EXPECT_EQ(code(fetch(request(server.url("/to")), own)), 0);
  EXPECT_EQ(code(fetch(request(server.url("/to")))), 0);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u + 11u + 2u);
  EXPECT_EQ(requests[0].remote_port, requests[2].remote_port) << "a kept connection reused";
  EXPECT_NE(requests[12].remote_port, requests[13].remote_port) << "a connection of its own";
  EXPECT_NE(requests[13].remote_port, requests[14].remote_port) << "closed after it";
}

TEST_F(SessionTest, RequestsThatCannotGoOnTheWireAndBadSettingsAreRefused) {
  TlsServer server;
  Request injected = request(server.url("/"));
  injected.addValue("a\r\nX-Injected: 1", "X-Note");
  EXPECT_EQ(code(fetch(injected)), kBadURL);
  Request spaced = request(server.url("/"));
  spaced.method = "GET /other";
  EXPECT_EQ(code(fetch(spaced)), kBadURL);
  EXPECT_TRUE(server.requests().empty());

  EXPECT_TRUE(setConnectOverride("", 443, "127.0.0.1", server.port()));
  // Trust ends with the setting, connections before notwithstanding.
  EXPECT_EQ(code(fetch(request(server.url("/")))), 0);
  ASSERT_FALSE(setExtraTrustedCertificates(""));
  EXPECT_EQ(code(fetch(request(server.url("/")))), kServerCertificateUntrusted);
  EXPECT_TRUE(setExtraTrustedCertificates("/nonexistent/ovix.pem"));
}

TEST_F(SessionTest, RequestTimeOutEndsATransferWhoseDataStopsComing) {
  // The first connection of the process builds the trust store, which may
  // take longer than the time-out under a sanitizer.
  ASSERT_EQ(code(fetch(request(TlsServer().url("/")))), 0);
  test::RawTlsServer stalling("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nfirst",
                              test::RawTlsServer::Mode::kStall);
  Configuration configuration;
  configuration.timeoutIntervalForRequest = 0.5;
  const Delivery delivery = fetch(request(stalling.url("/")), configuration);
  EXPECT_EQ(code(delivery), kTimedOut);
  ASSERT_TRUE(delivery.response) << "the head had arrived";
  EXPECT_EQ(delivery.response->statusCode(), 200);
}

TEST_F(SessionTest, HandlersRunOnTheQueueOfTheThreadThatMadeTheSessionAndWaitForIdleWaits) {
  TlsServer server;
  server.handle("GET", "/held", [&](const auto&, auto& response) {
    server.hold();
    response.set_content("q", "x/y");
  });
  // Made on a serial queue: its handlers run there.
  auto serial = dispatch::makeSerialQueue();
  Receiver onSerial;
  serial->async([url = server.url("/held"), handler = onSerial.handler()] {
    Session::make({})->dataTask(request(url), handler)->resume();
  });
  // Made on a thread without a queue: one serial queue of the session's own.
  std::shared_ptr<Session> session;
  std::thread([&] { session = Session::make({}); }).join();
  Receiver a, b;
  session->dataTask(request(server.url("/held")), a.handler())->resume();
  session->dataTask(request(server.url("/held")), b.handler())->resume();
  ASSERT_TRUE(server.waitForHeld(3, 10s));
  EXPECT_EQ(pendingTransfers(), 3u);
  EXPECT_FALSE(waitForIdle(50ms));
  server.releaseHeld();
  auto idle = std::async(std::launch::async, [] { return waitForIdle(10s); });
  EXPECT_TRUE(idle.get()) << "waits off the main thread";

  EXPECT_EQ(onSerial.wait().queue, serial);
  EXPECT_FALSE(a.wait().onMainThread);
  ASSERT_TRUE(a.wait().queue);
  EXPECT_EQ(a.wait().queue, b.wait().queue);
  EXPECT_NE(a.wait().queue, serial);
}

}  // namespace
}  // namespace ovix::net
