// Impression beacons to servers that misbehave: each failure is logged with
// its error and reaches the host in no other way; nothing is left running.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/net/NetworkThread.hpp"
#include "ovix/Ovix.hpp"
#include "support/CaptureStdout.hpp"
#include "support/FaultServer.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultServer;
using test::occurrences;

TEST(BeaconFaultTest, EachFailedBeaconIsLoggedWithItsErrorAndNothingElse) {
  ASSERT_FALSE(net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
  std::vector<std::unique_ptr<FaultServer>> servers;
  std::vector<std::string> impressions;
  std::vector<std::string> viewable;
  std::map<std::int64_t, std::size_t> expected;
  for (Fault fault : test::allFaults()) {
    servers.push_back(std::make_unique<FaultServer>(fault));
    (servers.size() % 2 ? impressions : viewable).push_back(servers.back()->url("/imp"));
    ++expected[test::expectedCode(fault)];
  }
  auto ad = std::make_shared<OvixAdInfo>();
  ad->setInfeedId("beacons");
  ad->setUuid("beacon-faults");
  ad->setImpUrl(impressions);
  ad->setViewableImpUrl(viewable);
  OvixManager::shared().add(std::vector{ad});
  auto cell = ui::make<ui::TableViewCell>();
  OvixManager::shared().setInfeed(cell, OvixManager::shared().hasNextAd("beacons"), 80,
                                  Size{60, 40});

  logging = true;
  test::CaptureStdout out;
  OvixManager::shared().tryImpression(cell, "tableView(_:willDisplay:forRowAt:)");
  const bool finished = dispatch::waitForPendingWork(10s);
  const std::string log = out.stop();
  logging = false;
  OvixManager::shared().clearAd();
  ASSERT_TRUE(finished);

  EXPECT_EQ(occurrences(log, "Impression request error."), servers.size()) << log;
  EXPECT_EQ(occurrences(log, "Impression request completion."), 0u);
  for (const auto& [code, count] : expected) {
    EXPECT_EQ(occurrences(log, "error code:" + std::to_string(code) + "\n"), count)
        << "code " << code;
  }
  EXPECT_EQ(dispatch::pendingWork(), 0u);
  EXPECT_EQ(net::pendingTransfers(), 0u);
}

// Open file descriptors of this process.
std::size_t openDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                       std::filesystem::directory_iterator());
}

TEST(BeaconFaultTest, AdsWithThousandsOfBeaconsSendTenAListWithinTheConnectionBudget) {
  ASSERT_FALSE(net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
  constexpr std::size_t kAds = 5;
  test::TlsServer server(test::TlsServer::Certificate::kTrusted, 2 * 64);
  server.handle("GET", "/imp/.*", [&](const auto&, auto& response) {
    server.hold();
    response.status = 204;
  });
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  for (std::size_t i = 0; i < kAds; ++i) {
    std::vector<std::string> urls;
    for (int n = 0; n < 5000; ++n) urls.push_back(server.url("/imp/" + std::to_string(n)));
    auto ad = std::make_shared<OvixAdInfo>();
    const std::string name = "many-" + std::to_string(i);
    ad->setInfeedId(name);
    ad->setUuid(name);
    ad->setImpUrl(urls);
    ad->setViewableImpUrl(urls);
    OvixManager::shared().add(std::vector{ad});
    cells.push_back(ui::make<ui::TableViewCell>());
    OvixManager::shared().setInfeed(cells.back(), OvixManager::shared().hasNextAd(name), 80,
                                    Size{60, 40});
  }
  const std::size_t before = openDescriptors();
  logging = true;
  test::CaptureStdout out;
  for (const auto& cell : cells) {
    OvixManager::shared().tryImpression(cell, "tableView(_:willDisplay:forRowAt:)");
  }
  // 100 beacons: 64 on the wire and held, the rest waiting for a connection.
  ASSERT_TRUE(server.waitForHeld(64, 10s));
  EXPECT_EQ(net::NetworkThread::shared().waiting(), 2 * 10 * kAds - 64);
  EXPECT_LE(openDescriptors(), before + 2 * 64 + 16) << "both ends of each connection";
  server.releaseHeld();
  const bool finished = dispatch::waitForPendingWork(10s);
  const std::string log = out.stop();
  logging = false;
  OvixManager::shared().clearAd();
  ASSERT_TRUE(finished);
  EXPECT_EQ(server.requests().size(), 2 * 10 * kAds);
  EXPECT_EQ(occurrences(log, "Dropped 4990 beacon URLs beyond the first 10 of a list."), 2 * kAds);
  EXPECT_EQ(occurrences(log, "Impression request completion."), 2 * 10 * kAds);
}

}  // namespace
}  // namespace ovix
