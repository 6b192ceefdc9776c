// Leaving with work in flight. A host process that exits, or returns from
// main, while loads, image downloads and beacons are under way ends cleanly:
// status 0, no hang, nothing on standard error (where a sanitizer reports).
// A host's own manager may go while its work is in flight.
#include <gtest/gtest.h>

#include "ovix/model/OvixAds.hpp"
#include "ovix/Ovix.hpp"
#include "support/BackgroundProcess.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/TlsServer.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::TlsServer;

constexpr const char* kWillDisplay = "tableView(_:willDisplay:forRowAt:)";

class ShutdownTest : public ::testing::Test {
 protected:
  // Holds every request until the test ends, but answers loads of the slot
  // "answered" at once.
  void SetUp() override {
    const auto holdOrAnswer = [this](const httplib::Request& request, httplib::Response& response) {
      if (request.body.find("\"answered\"") == std::string::npos) server_.hold();
      response.set_content(R"({"ads": {"answered": [{"title": "t"}]}})", "application/json");
    };
    server_.handle("POST", "/ad/v2.ios", holdOrAnswer);
    server_.handle("GET", "/img/.*", holdOrAnswer);
    server_.handle("GET", "/imp/.*", holdOrAnswer);
  }

  // Runs the shutdown host, lets it leave once the server holds `held`
  // requests of its work, and expects a clean end.
  void expectCleanExit(const std::string& how, const std::string& what, std::size_t held) {
    test::BackgroundProcess host({OVIX_SHUTDOWN_HOST_PATH, how, what,
                                  std::to_string(server_.port()),
                                  TlsServer::trustedCertificatesPath()});
    ASSERT_TRUE(host.running());
    EXPECT_TRUE(server_.waitForHeld(held, 20s)) << "the work never reached the server";
    host.write("go\n");
    const int status = host.wait(60s);
    EXPECT_EQ(status, 0) << host.errors();
    EXPECT_EQ(host.errors(), "");
    EXPECT_NE(host.remainingOutput().find("leaving\n"), std::string::npos)
        << host.remainingOutput();
  }

  TlsServer server_;
};

TEST_F(ShutdownTest, ExitWithLoadsImagesAndBeaconsInFlight) {
  expectCleanExit("exit", "all", 6);
}

TEST_F(ShutdownTest, ReturnFromMainWithLoadsImagesAndBeaconsInFlight) {
  expectCleanExit("return", "all", 6);
}

TEST_F(ShutdownTest, ExitFromTheDelegateOnAWorkerWithWorkInFlight) {
  expectCleanExit("callback", "all", 6);
}

// Without a load first, the worker pool starts before the network thread and
// so outlives it at exit.
TEST_F(ShutdownTest, ExitWithOnlyImagesInFlight) {
  expectCleanExit("exit", "images", 2);
}

TEST_F(ShutdownTest, ExitWithOnlyBeaconsInFlight) {
  expectCleanExit("exit", "beacons", 2);
}

TEST_F(ShutdownTest, HostManagerDestroyedWhileItsWorkIsInFlight) {
  ASSERT_FALSE(net::setExtraTrustedCertificates(TlsServer::trustedCertificatesPath()));
  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server_.port()));
  auto manager = std::make_unique<OvixManager>();
  auto delegate = std::make_shared<test::RecordingDelegate>();
  OvixRequest request;
  request.set("held", 1);
  manager->loadOvix(request, delegate);

  auto ad = std::make_shared<OvixAdInfo>();
  ad->setInfeedId("host");
  ad->setUuid("host-manager-ad");
  ad->setImageUrl(server_.url("/img/1.png"));
  ad->setImpUrl({server_.url("/imp/1")});
  // Impressions go through the shared inventory whatever the receiver.
  OvixManager::shared().add(std::vector{ad});
  auto cell = ui::make<ui::TableViewCell>();
  auto imageView = ui::make<ui::ImageView>();
  manager->setInfeed(cell, OvixManager::shared().hasNextAd("host"), imageView,
                     ui::make<ui::Label>(), nullptr, ui::make<ui::Label>(), nullptr, 80);
  manager->tryImpression(cell, kWillDisplay);
  ASSERT_TRUE(server_.waitForHeld(3, 10s));

  manager.reset();
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(delegate->calls(), 1);
  EXPECT_EQ(dispatch::pendingWork(), 0u);
  EXPECT_EQ(net::pendingTransfers(), 0u);
  net::clearConnectOverrides();
  OvixManager::shared().clearAd();
}

}  // namespace
}  // namespace ovix
