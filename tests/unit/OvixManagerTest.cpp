#include "ovix/OvixManager.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "ovix/model/OvixAds.hpp"
#include "ovix/Logging.hpp"
#include "ovix/platform/Device.hpp"

namespace ovix {
namespace {

TEST(OvixManagerTest, SharedIsOneInstanceWhenThreadsRaceToIt) {
  std::vector<std::thread> threads;
  std::vector<OvixManager*> seen(8);
  for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = &OvixManager::shared(); });
  for (auto& thread : threads) thread.join();
  for (OvixManager* manager : seen) EXPECT_EQ(manager, &OvixManager::shared());
}

TEST(OvixManagerTest, FreshManagerHasTheDocumentedDefaults) {
  device::setMainScreenBounds(Rect(0, 0, 320, 568));
  Bundle::setMainBundleIdentifier("com.example.host");
  OvixManager manager;
  EXPECT_TRUE(manager.disableTablet());
  EXPECT_EQ(manager.adLabelString(), "PR");
  EXPECT_TRUE(manager.adFrameInDefaultCell().isZero());
  EXPECT_TRUE(manager.imageViewRect().isZero());
  EXPECT_EQ(manager.userAgent(), "");
  EXPECT_EQ(manager.urlString(), "https://ad.ovix.example/ad/v2.ios");
  EXPECT_EQ(manager.screenWidth(), 320);
  EXPECT_EQ(manager.bundleIdentifier(), "com.example.host");
  EXPECT_EQ(manager.version(), OVIX_TEST_VERSION);
  EXPECT_TRUE(manager.bundle()->pathForResource("empty.gif"));
}

TEST(OvixManagerTest, VersionIsTakenOnlyWhenTheBundleHoldsAString) {
  auto bundleWith = [](Bundle::InfoDictionary info) {
    return std::make_shared<const Bundle>("/nonexistent", std::move(info));
  };
  EXPECT_EQ(OvixManager(bundleWith({{"CFBundleShortVersionString", std::string("9.1")}})).version(),
            "9.1");
  EXPECT_EQ(OvixManager(bundleWith({})).version(), "");
  EXPECT_EQ(OvixManager(bundleWith({{"CFBundleShortVersionString", 2.5}})).version(), "");
  EXPECT_EQ(OvixManager(bundleWith({{"CFBundleShortVersionString", true}})).version(), "");
}

class TabletFriendlyManager : public OvixManager {
 public:
  bool disableTablet() const override { return false; }
};

TEST(OvixManagerTest, TabletRuleNeedsAnIPadAndTheSwitch) {
  OvixManager manager;
  device::setModel("iPad");
  EXPECT_TRUE(manager.isDisableTablet());
  manager.setDisableTablet(false);
  EXPECT_FALSE(manager.isDisableTablet());
  EXPECT_FALSE(TabletFriendlyManager().isDisableTablet()) << "the getter is honoured";
  device::setModel("iPad mini");
  manager.setDisableTablet(true);
  EXPECT_FALSE(manager.isDisableTablet());
  device::setModel("iPhone");
}

TEST(OvixManagerTest, ForwardsToItsInventoryAndTheLogSwitch) {
  OvixManager manager;
  auto record = std::make_shared<OvixAdInfo>();
  record->setInfeedId("S");
  manager.add(std::nullopt);
  EXPECT_EQ(manager.hasNextAd("S"), nullptr);
  manager.add(std::vector{record});
  EXPECT_NE(manager.hasNextAd("S"), nullptr);
  manager.clearAd();
  EXPECT_EQ(manager.hasNextAd("S"), nullptr);
  EXPECT_FALSE(manager.ovixAds()->ads());

  manager.log(true);
  EXPECT_TRUE(logging.load());
  manager.log(false);
  EXPECT_FALSE(logging.load());
}

}  // namespace
}  // namespace ovix
