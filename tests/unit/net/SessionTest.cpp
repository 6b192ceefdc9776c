// The sessions under the SDK's fetch: what goes on the wire, what comes back,
// where handlers run and the bounds of a transfer. Servers that fail are the
// fault matrix's (tests/integration/FaultTest.cpp).
#include <thread>

#include "support/RawTlsServer.hpp"
#include "unit/net/NetTest.hpp"

namespace ovix::net {
namespace {

using test::TlsServer;
using Fields = std::vector<std::pair<std::string, std::string>>;

class SessionTest : public NetTest {};

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
  EXPECT_EQ(server.waitForRequest(0, 10s),
            "POST /ad/v2.ios?slot=feed&n=2 HTTP/1.1\r\n"
            "Host: localhost:" +
                std::to_string(server.port()) +
                "\r\n"
                "Content-Type: application/json\r\n"
                "X-Multi: 1\r\n"
                "X-Ovix-Token: abc\r\n"
                "X-Multi: 2\r\n"
                "X-Empty:\r\n"
                "Content-Length: 12\r\n"
                "\r\n" +
                post.body);
  ASSERT_FALSE(delivery.error) << delivery.error->description();
  EXPECT_EQ(delivery.data, "pong");
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->statusCode(), 201);
  EXPECT_EQ(delivery.response->url(), url);
  EXPECT_EQ(delivery.response->headerFields(), (Fields{{"X-Reply", "yes"},
                                                       {"x-reply", "again"},
                                                       {"Content-Length", "4"},
                                                       {"Connection", "close"}}));
}

TEST_F(SessionTest, RedirectsAreFollowedTenTimesAtMostAndEmptyBodiesArePresent) {
  TlsServer server;
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
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u + 11u);
  EXPECT_NE(requests[0].remotePort, requests[2].remotePort) << "each session a connection";
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
  auto missing = setExtraTrustedCertificates("/nonexistent/ovix.pem");
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->localizedDescription().find("/nonexistent/ovix.pem"), std::string::npos);
}

TEST_F(SessionTest, RequestTimeOutEndsATransferWhoseDataStopsComing) {
  TlsServer server;
  server.handle("GET", "/drip", [&](const auto&, httplib::Response& response) {
    response.set_chunked_content_provider("text/plain", [&](std::size_t offset, auto& sink) {
      if (offset == 0) return sink.write("first", 5);
      server.hold();
      return false;
    });
  });
  // The first connection of the process builds the trust store, which may
  // take longer than the time-out under a sanitizer.
  ASSERT_EQ(code(fetch(request(server.url("/ok")))), 0);
  Configuration configuration;
  configuration.timeoutIntervalForRequest = 0.5;
  const Delivery delivery = fetch(request(server.url("/drip")), configuration);
  EXPECT_EQ(code(delivery), kTimedOut);
  EXPECT_EQ(delivery.error->localizedDescription(), "The request timed out.");
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

  EXPECT_FALSE(onSerial.wait().onMainThread);
  EXPECT_EQ(onSerial.wait().queue, serial);
  EXPECT_FALSE(a.wait().onMainThread);
  ASSERT_TRUE(a.wait().queue);
  EXPECT_EQ(a.wait().queue, b.wait().queue);
  EXPECT_NE(a.wait().queue, serial);
}

}  // namespace
}  // namespace ovix::net
