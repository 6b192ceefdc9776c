#include <future>
#include <thread>
#include <vector>

#include "unit/net/NetTest.hpp"
#include "support/RawTlsServer.hpp"

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
  post.setValue("application/json", "Content-Type");
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

TEST_F(SessionTest, EmptyBodyIsDeliveredAsPresentAndEmpty) {
  TlsServer server;
  server.handle("GET", "/none",
                [](const auto&, httplib::Response& response) { response.status = 204; });
  const Delivery delivery = fetch(request(server.url("/none")));
  EXPECT_FALSE(delivery.error);
  EXPECT_EQ(delivery.data, "");
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->statusCode(), 204);
}

TEST_F(SessionTest, EachLoadHasAConnectionOfItsOwn) {
  TlsServer server;
  server.handle("GET", "/n", [](const auto&, auto& response) { response.set_content("n", "x/y"); });
  auto session = Session::make({});
  Receiver first, second;
  session->dataTask(request(server.url("/n")), first.handler())->resume();
  ASSERT_TRUE(first.waitOnMainQueue());
  session->dataTask(request(server.url("/n")), second.handler())->resume();
  ASSERT_TRUE(second.waitOnMainQueue());
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].remotePort, requests[1].remotePort);
}

TEST_F(SessionTest, HandlersRunOnTheQueueOfTheThreadThatMadeTheSession) {
  TlsServer server;
  server.handle("GET", "/q", [](const auto&, auto& response) { response.set_content("q", "x/y"); });

  Receiver onMain;
  Session::make({})->dataTask(request(server.url("/q")), onMain.handler())->resume();
  ASSERT_TRUE(onMain.waitOnMainQueue());
  EXPECT_TRUE(onMain.delivery().onMainThread);

  // Made on a serial queue: its handlers run there.
  auto serial = dispatch::makeSerialQueue();
  Receiver onSerial;
  serial->async([&, url = server.url("/q"), handler = onSerial.handler()] {
    Session::make({})->dataTask(request(url), handler)->resume();
  });
  ASSERT_TRUE(onSerial.wait());
  EXPECT_FALSE(onSerial.delivery().onMainThread);
  EXPECT_EQ(onSerial.delivery().queue, serial);

  // Made on a thread without a queue: one serial queue of the session's own.
  std::shared_ptr<Session> session;
  std::thread([&] { session = Session::make({}); }).join();
  Receiver a, b;
  session->dataTask(request(server.url("/q")), a.handler())->resume();
  session->dataTask(request(server.url("/q")), b.handler())->resume();
  ASSERT_TRUE(a.wait());
  ASSERT_TRUE(b.wait());
  EXPECT_FALSE(a.delivery().onMainThread);
  ASSERT_TRUE(a.delivery().queue);
  EXPECT_EQ(a.delivery().queue, b.delivery().queue);
  EXPECT_NE(a.delivery().queue, serial);
}

TEST_F(SessionTest, CancelDeliversCancelledOnceWhetherResumedOrNot) {
  TlsServer server;
  server.handle("GET", "/held", [&](const auto&, auto& response) {
    server.hold();
    response.set_content("late", "text/plain");
  });
  auto session = Session::make({});
  Receiver running, suspended;
  auto task = session->dataTask(request(server.url("/held")), running.handler());
  task->resume();
  ASSERT_TRUE(server.waitForHeld(1, 10s));
  task->cancel();
  session->dataTask(request(server.url("/held")), suspended.handler())->cancel();

  for (Receiver* receiver : {&running, &suspended}) {
    ASSERT_TRUE(receiver->waitOnMainQueue());
    const Delivery delivery = receiver->delivery();
    ASSERT_TRUE(delivery.error);
    EXPECT_EQ(delivery.error->domain(), Error::kURLDomain);
    EXPECT_EQ(delivery.error->code(), kCancelled);
    EXPECT_EQ(delivery.error->localizedDescription(), "cancelled");
    EXPECT_FALSE(delivery.data);
    EXPECT_FALSE(delivery.response);
  }
  task->cancel();
  task->resume();
  server.releaseHeld();
  EXPECT_TRUE(waitForIdle(10s));
  EXPECT_EQ(running.calls(), 1);
  EXPECT_EQ(suspended.calls(), 1);
}

TEST_F(SessionTest, InvalidateAndCancelEndsEveryUnfinishedTask) {
  TlsServer server;
  server.handle("GET", "/held", [&](const auto&, auto& response) {
    if (server.hold()) response.set_content("late", "text/plain");
  });
  auto session = Session::make({});
  Receiver first, second, suspended, later;
  session->dataTask(request(server.url("/held")), first.handler())->resume();
  session->dataTask(request(server.url("/held")), second.handler())->resume();
  auto notResumed = session->dataTask(request(server.url("/held")), suspended.handler());
  ASSERT_TRUE(server.waitForHeld(2, 10s));

  session->invalidateAndCancel();
  session->dataTask(request(server.url("/held")), later.handler())->resume();

  for (Receiver* receiver : {&first, &second, &suspended, &later}) {
    ASSERT_TRUE(receiver->waitOnMainQueue());
    ASSERT_TRUE(receiver->delivery().error);
    EXPECT_EQ(receiver->delivery().error->code(), kCancelled);
  }
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(SessionTest, FinishTasksAndInvalidateLetsTasksAlreadyMadeFinish) {
  TlsServer server;
  server.handle("GET", "/ok",
                [](const auto&, auto& response) { response.set_content("ok", "x/y"); });
  auto session = Session::make({});
  Receiver made, later;
  auto task = session->dataTask(request(server.url("/ok")), made.handler());
  session->finishTasksAndInvalidate();
  task->resume();
  session->dataTask(request(server.url("/ok")), later.handler())->resume();

  ASSERT_TRUE(made.waitOnMainQueue());
  EXPECT_EQ(made.delivery().data, "ok");
  ASSERT_TRUE(later.waitOnMainQueue());
  ASSERT_TRUE(later.delivery().error);
  EXPECT_EQ(later.delivery().error->code(), kCancelled);
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(SessionTest, WaitForIdleRunsTheMainQueueOnTheMainThreadAndWaitsElsewhere) {
  TlsServer server;
  server.handle("GET", "/held", [&](const auto&, auto& response) {
    server.hold();
    response.set_content("done", "text/plain");
  });
  Receiver onMain;
  Session::make({})->dataTask(request(server.url("/held")), onMain.handler())->resume();
  ASSERT_TRUE(server.waitForHeld(1, 10s));
  EXPECT_EQ(pendingTransfers(), 1u);
  EXPECT_FALSE(waitForIdle(50ms));
  server.releaseHeld();
  EXPECT_TRUE(waitForIdle(10s));
  EXPECT_EQ(onMain.calls(), 1);
  EXPECT_EQ(pendingTransfers(), 0u);

  Receiver onSerial;
  auto idle = std::async(std::launch::async, [&] {
    Session::make({})->dataTask(request(server.url("/held")), onSerial.handler())->resume();
    return waitForIdle(10s);
  });
  EXPECT_TRUE(idle.get());
  EXPECT_EQ(onSerial.calls(), 1);
}

}  // namespace
}  // namespace ovix::net
