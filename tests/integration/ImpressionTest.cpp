// Impression beacons, sent once per ad when its cell is about to be displayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "ovix/common/PercentEncoding.hpp"
#include "ovix/model/OvixAds.hpp"
#include "ovix/Impression.hpp"
#include "ovix/Ovix.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "support/CaptureStdout.hpp"
#include "support/TlsServer.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::TlsServer;

constexpr const char* kWillDisplay = "tableView(_:willDisplay:forRowAt:)";

class ImpressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::setExtraTrustedCertificates(TlsServer::trustedCertificatesPath());
    net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server_.port());
    for (const char* path : {"/imp/.*", "/vimp/.*"}) {
      server_.handle("GET", path, [](const httplib::Request&, httplib::Response& res) {
        res.set_content("", "text/plain");
      });
    }
    server_.handle("GET", "/gone",
                   [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    OvixManager::shared().setUserAgent("Beacon/1.0");
  }

  void TearDown() override {
    EXPECT_TRUE(dispatch::waitForPendingWork(10s));
    OvixManager::shared().clearAd();
    OvixManager::shared().setUserAgent("");
    net::clearConnectOverrides();
  }

  // Loads one ad as a first batch and returns the inventory's copy of it.
  static std::shared_ptr<OvixAdInfo> load(std::vector<std::string> imp,
                                          std::vector<std::string> viewable) {
    auto record = std::make_shared<OvixAdInfo>();
    record->setInfeedId("s");
    record->setUuid("AD-" + std::to_string(++loaded_));
    record->setImpUrl(std::move(imp));
    record->setViewableImpUrl(std::move(viewable));
    OvixManager::shared().add(std::vector{record});
    return OvixManager::shared().hasNextAd("s");
  }

  static std::shared_ptr<ui::TableViewCell> boundCell(const std::shared_ptr<OvixAdInfo>& ad) {
    auto cell = ui::make<ui::TableViewCell>();
    OvixManager::shared().setInfeed(cell, ad, 80, Size{60, 40});
    return cell;
  }

  std::vector<std::string> paths() const {
    std::vector<std::string> seen;
    for (const auto& request : server_.requests()) {
      seen.push_back(request.path + (request.query.empty() ? "" : "?" + request.query));
    }
    std::sort(seen.begin(), seen.end());
    return seen;
  }

  static inline int loaded_ = 0;
  TlsServer server_;
};

TEST_F(ImpressionTest, DisplayedCellSendsEveryUsableBeaconOnceWithTheUserAgent) {
  auto ad = load({"https://ad.ovix.example/imp/1", "", "https://ad.ovix.example/imp/2"},
                 {"https://ad.ovix.example/vimp/1"});
  auto cell = boundCell(ad);
  OvixManager::shared().tryImpression(cell, kWillDisplay);
  OvixManager::shared().tryImpression(cell, kWillDisplay);
  EXPECT_EQ(OvixManager::shared().ovixAds()->impressed(), std::vector<std::string>{ad->uuid()});
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(paths(), (std::vector<std::string>{"/imp/1", "/imp/2", "/vimp/1"}));
  for (const auto& request : server_.requests()) {
    EXPECT_EQ(request.header("User-Agent"), "Beacon/1.0");
  }
}

TEST_F(ImpressionTest, OnlyDisplayCallbacksCountAndEachAdOnceAcrossCellsAndCycles) {
  auto ad = load({"https://ad.ovix.example/imp/once"}, {});
  auto cell = boundCell(ad);
  OvixManager::shared().tryImpression(cell, "tableView(_:didEndDisplaying:forRowAt:)");
  OvixManager::shared().tryImpression(cell, "");
  OvixManager::shared().tryImpression(ui::make<ui::TableViewCell>(), kWillDisplay);
  EXPECT_TRUE(OvixManager::shared().ovixAds()->impressed().empty());

  OvixManager::shared().tryImpression(cell, "collectionView(_:WillDisplay:forItemAt:)");
  auto nextCycle = OvixManager::shared().hasNextAd("s");
  ASSERT_NE(nextCycle, ad);
  OvixManager::shared().tryImpression(boundCell(nextCycle), kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 1u);

  OvixManager::shared().clearAd();
  OvixManager::shared().tryImpression(cell, kWillDisplay);
  EXPECT_TRUE(OvixManager::shared().ovixAds()->impressed().empty()) << "nothing loaded";
  OvixManager::shared().add(std::vector{ad});
  OvixManager::shared().tryImpression(cell, kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 2u) << "clearing forgets what was sent";
}

TEST_F(ImpressionTest, BeaconUrlsAreQueryEncodedAndPercentSignsEscapedAgain) {
  EXPECT_EQ(addingPercentEncodingForURLQuery("a b%41\xC3\xA9#[]\"<>|"),
            "a%20b%2541%C3%A9%23%5B%5D%22%3C%3E%7C");
  EXPECT_EQ(addingPercentEncodingForURLQuery("-._~!$&'()*+,;=:@/?"), "-._~!$&'()*+,;=:@/?");
  auto ad = load({"https://ad.ovix.example/imp/a b?x=%41&y=\xC3\xA9"}, {});
  OvixManager::shared().tryImpression(boundCell(ad), kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  // The server decodes the path and keeps the query as sent.
  EXPECT_EQ(paths(), (std::vector<std::string>{"/imp/a b?x=%2541&y=%C3%A9"}));
}

TEST_F(ImpressionTest, FailuresAreOnlyLoggedAndTheOtherBeaconsStillGo) {
  auto ad = load({"https://127.0.0.1:1/refused", "https://ad.ovix.example/gone"},
                 {"https://ad.ovix.example/vimp/ok"});
  logging = true;
  test::CaptureStdout out;
  OvixManager::shared().tryImpression(boundCell(ad), kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  const std::string text = out.stop();
  logging = false;
  EXPECT_NE(text.find("Impression request error."), std::string::npos);
  EXPECT_NE(text.find("error code:-1004"), std::string::npos);
  EXPECT_NE(text.find("HTTP status code:404\n404 Not Found.\n"), std::string::npos);
  EXPECT_NE(text.find("Impression request completion."), std::string::npos);
  EXPECT_NE(text.find("Impression:"), std::string::npos);
  EXPECT_NE(text.find("deinit  message: deinit"), std::string::npos);
  EXPECT_EQ(paths(), (std::vector<std::string>{"/gone", "/vimp/ok"}));
}

TEST_F(ImpressionTest, TwoThreadsReportingOneAdAtOnceSendItOnce) {
  auto ad = load({"https://ad.ovix.example/imp/race"}, {});
  auto cell = boundCell(ad);
  std::thread other([&] { OvixManager::shared().tryImpression(cell, kWillDisplay); });
  OvixManager::shared().tryImpression(cell, kWillDisplay);
  other.join();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(OvixManager::shared().ovixAds()->impressed().size(), 1u);
}

TEST_F(ImpressionTest, ImpressionCalledDirectlySendsEveryTime) {
  auto ad = load({"https://ad.ovix.example/imp/direct"}, {});
  std::make_shared<Impression>()->imp(ad);
  std::make_shared<Impression>()->imp(ad);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 2u);
  EXPECT_EQ(OvixManager::shared().ovixAds()->impressed().size(), 2u);
}

}  // namespace
}  // namespace ovix
