// Leaving with work in flight. A host process that exits, or returns from
// main, while loads, image downloads and beacons are under way ends cleanly:
// status 0, no hang, nothing on standard error (where a sanitizer reports).
// A host's own manager may go while its work is in flight.
#include "support/BackgroundProcess.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

class ShutdownTest : public test::IntegrationTest {
 protected:
  // Holds every request until the test ends, but answers loads of the slot
  // "answered" at once.
  void SetUp() override {
    IntegrationTest::SetUp();
    const auto holdOrAnswer = [this](const httplib::Request& request, httplib::Response& response) {
      if (request.body.find("\"answered\"") == std::string::npos) server_.hold();
      response.set_content(R"({"ads": {"answered": [{"title": "t"}]}})", "application/json");
    };
    server_.handle("POST", "/ad/v2.ios", holdOrAnswer);
    server_.handle("GET", "/im[gp]/.*", holdOrAnswer);
  }
};

struct Leaving {
  const char* how;   // exit, return, or callback: exit from the delegate on a worker
  const char* what;  // the work in flight: all, images or beacons
  std::size_t held;  // requests the server holds of it
};

class ShutdownHostTest : public ShutdownTest, public ::testing::WithParamInterface<Leaving> {};

// Runs the shutdown host, lets it leave once the server holds its work, and
// expects a clean end. Without a load first, the worker pool starts before
// the network thread and so outlives it at exit.
TEST_P(ShutdownHostTest, HostLeavesCleanlyWithWorkInFlight) {
  const auto [how, what, held] = GetParam();
  test::BackgroundProcess host({OVIX_SHUTDOWN_HOST_PATH, how, what, std::to_string(server_.port()),
                                test::TlsServer::trustedCertificatesPath()});
  ASSERT_TRUE(host.running());
  EXPECT_TRUE(server_.waitForHeld(held, 20s)) << "the work never reached the server";
  host.write("go\n");
  EXPECT_EQ(host.wait(60s), 0) << host.errors();
  EXPECT_EQ(host.errors(), "");
  EXPECT_NE(host.remainingOutput().find("leaving\n"), std::string::npos) << host.remainingOutput();
}

INSTANTIATE_TEST_SUITE_P(Ways, ShutdownHostTest,
                         ::testing::Values(Leaving{"exit", "all", 6}, Leaving{"return", "all", 6},
                                           Leaving{"callback", "all", 6},
                                           Leaving{"exit", "images", 2},
                                           Leaving{"exit", "beacons", 2}),
                         [](const auto& info) {
                           return std::string(info.param.how) + "_" + info.param.what;
                         });

TEST_F(ShutdownTest, HostManagerDestroyedWhileItsWorkIsInFlight) {
  auto manager = std::make_unique<OvixManager>();
  auto delegate = std::make_shared<test::RecordingDelegate>();
  OvixRequest request;
  request.set("held", 1);
  manager->loadOvix(request, delegate);
  // Impressions go through the shared inventory whatever the receiver.
  auto ad = stock("host-manager-ad", {server_.url("/imp/1")});
  ad->setImageUrl(server_.url("/img/1.png"));
  auto cell = ui::make<ui::TableViewCell>();
  manager->setInfeed(cell, ad, ui::make<ui::ImageView>(), ui::make<ui::Label>(), nullptr,
                     ui::make<ui::Label>(), nullptr, 80);
  manager->tryImpression(cell, test::kWillDisplay);
  ASSERT_TRUE(server_.waitForHeld(3, 10s));

  manager.reset();
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(delegate->calls(), 1);
  EXPECT_EQ(net::pendingTransfers(), 0u);
}

}  // namespace
}  // namespace ovix
