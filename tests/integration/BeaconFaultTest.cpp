// Impression beacons to servers that misbehave: each failure is logged with
// its error and reaches the host in no other way; nothing is left running.
#include <gtest/gtest.h>

#include <map>

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

}  // namespace
}  // namespace ovix
