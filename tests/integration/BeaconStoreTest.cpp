// The beacon store, on a real SQLite file: a beacon that met no server is
// sent once it listens; beacons a host left queued go at the next start,
// once even with two processes on the store; one whose request was written
// before the host left never goes again; an unreadable file is replaced.
#include <fstream>
#include <sstream>

#include "platform/dispatch/Timers.hpp"
#include "support/BackgroundProcess.hpp"
#include "support/IntegrationTest.hpp"
#include "support/RefusingPort.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

std::atomic<std::int64_t> storeClockAheadSeconds{0};
clock::TimePoint storeClock() {
  return std::chrono::steady_clock::now() + std::chrono::seconds(storeClockAheadSeconds.load());
}

// The folder goes after the servers have stopped: a descriptor their
// library closed, unseen by ThreadSanitizer, may be the one its removal opens.
class BeaconStoreTest : protected test::TemporaryDirectory, public test::IntegrationTest {
 protected:
  // The paths the server was asked for under /imp/, in order.
  std::vector<std::string> beaconsReceived() const {
    std::vector<std::string> paths;
    for (const auto& request : server_.requests()) {
      if (request.path.rfind("/imp/", 0) == 0) paths.push_back(request.path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // The shutdown host on this test's store, sending the beacons /imp/3 and
  // /imp/4 when `what` is "beacons", to the server at `port`.
  test::BackgroundProcess host(const char* how, const char* what, std::uint16_t port) const {
    return test::BackgroundProcess({OVIX_SHUTDOWN_HOST_PATH, how, what, std::to_string(port),
                                    test::TlsServer::trustedCertificatesPath(), store_});
  }

  const std::string store_ = (path() / "beacons.db").string();
};

TEST_F(BeaconStoreTest, ABeaconThatMetNoServerIsSentOnceItListens) {
  clock::setSourceForTesting(&storeClock);
  storeClockAheadSeconds = 0;
  const test::RefusingPort refusing;
  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", refusing.port()));
  auto listener = std::make_shared<test::RecordingListener>();
  manager().setEventListener(listener);
  manager().setBeaconStore(store_);
  manager().tryImpression(boundCell(stock("retried", {"https://ad.ovix.example/imp/r"})),
                          test::kWillDisplay);
  // The refused attempt is done and its retry waits on the clock.
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  dispatch::drainMainQueue();
  EXPECT_EQ(*listener->heard, std::vector<std::string>{"impression retried"});

  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server_.port()));
  storeClockAheadSeconds = 600;
  dispatch::checkTimersNow();
  EXPECT_TRUE(dispatch::runMainQueueUntil([&] { return listener->heard->size() == 2; }, 20s));
  EXPECT_EQ(listener->heard->back(), "beacon retried https://ad.ovix.example/imp/r 200");
  EXPECT_EQ(beaconsReceived(), std::vector<std::string>{"/imp/r"});
}

// The first host meets a refused port and leaves its beacons queued; then a
// second host and this process open the store at once.
TEST_F(BeaconStoreTest, BeaconsAHostLeftQueuedGoAtTheNextStartOnceWhoeverOpensTheStore) {
  {
    const test::RefusingPort refusing;
    auto first = host("idle", "beacons", refusing.port());
    ASSERT_EQ(first.readLine(20s), "idle") << first.errors();
    first.write("go\n");
    ASSERT_EQ(first.wait(20s), 0) << first.errors();
  }
  auto second = host("idle", "none", server_.port());
  manager().setBeaconStore(store_);
  ASSERT_TRUE(dispatch::waitForPendingWork(20s));
  EXPECT_EQ(second.readLine(20s), "idle") << second.errors();
  second.write("go\n");
  EXPECT_EQ(second.wait(20s), 0) << second.errors();
  EXPECT_EQ(beaconsReceived(), (std::vector<std::string>{"/imp/3", "/imp/4"}));
}

TEST_F(BeaconStoreTest, BeaconsWrittenBeforeTheHostLeftAreNeverSentAgain) {
  server_.handle("GET", "/imp/.*", [this](const auto&, auto& response) {
    server_.hold();
    response.status = 204;
  });
  auto first = host("exit", "beacons", server_.port());
  ASSERT_TRUE(server_.waitForHeld(2, 20s)) << "the beacons never reached the server";
  first.write("go\n");
  ASSERT_EQ(first.wait(20s), 0) << first.errors();

  // A beacon sent again would be held, and outlive the wait.
  manager().setBeaconStore(store_);
  EXPECT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(beaconsReceived(), (std::vector<std::string>{"/imp/3", "/imp/4"}));
}

TEST_F(BeaconStoreTest, AnUnreadableStoreIsReplacedAndBeaconsStillGo) {
  const std::string garbage(8192, '\x1b');
  std::ofstream(store_, std::ios::binary) << garbage;
  const std::string log = logOf([&] {
    manager().setBeaconStore(store_);
    manager().tryImpression(boundCell(stock("replaced", {"https://ad.ovix.example/imp/x"})),
                            test::kWillDisplay);
  });
  EXPECT_NE(log.find("beacons.db is not readable (file is not a database): replacing it."),
            std::string::npos)
      << log;
  EXPECT_EQ(beaconsReceived(), std::vector<std::string>{"/imp/x"});
  std::stringstream aside, replaced;
  aside << std::ifstream(store_ + ".corrupt", std::ios::binary).rdbuf();
  replaced << std::ifstream(store_, std::ios::binary).rdbuf();
  EXPECT_EQ(aside.str(), garbage);
  EXPECT_EQ(replaced.str().rfind("SQLite format 3", 0), 0u);
}

}  // namespace
}  // namespace ovix
