#include "ovix/OvixManager.hpp"

#include <gtest/gtest.h>

#include "ovix/platform/Device.hpp"

namespace ovix {
namespace {

TEST(OvixManagerTest, ScreenWidthBundleAndVersionComeFromTheDeviceAndTheBundles) {
  device::setMainScreenBounds(Rect(0, 0, 320, 568));
  Bundle::setMainBundleIdentifier("com.example.host");
  OvixManager manager;
  EXPECT_EQ(manager.screenWidth(), 320);
  EXPECT_EQ(manager.bundleIdentifier(), "com.example.host");
  EXPECT_EQ(manager.version(), OVIX_TEST_VERSION);
  EXPECT_TRUE(manager.bundle()->pathForResource("empty.gif"));

  // Only a string counts as a version.
  auto versionOf = [](Bundle::InfoDictionary info) {
    return OvixManager(std::make_shared<const Bundle>("/nonexistent", std::move(info))).version();
  };
  EXPECT_EQ(versionOf({{"CFBundleShortVersionString", std::string("9.1")}}), "9.1");
  EXPECT_EQ(versionOf({}), "");
  EXPECT_EQ(versionOf({{"CFBundleShortVersionString", 2.5}}), "");
}

struct TabletFriendlyManager : OvixManager {
  bool disableTablet() const override { return false; }
};

// Loads are refused on an iPad while the switch is on (LoadTest); a host may
// turn it off through the getter too. (The setter is the shared guarded one.)
TEST(OvixManagerTest, TabletRuleNeedsAnIPadAndTheSwitch) {
  OvixManager manager;
  device::setModel("iPad");
  EXPECT_TRUE(manager.isDisableTablet());
  EXPECT_FALSE(TabletFriendlyManager().isDisableTablet());
  device::setModel("iPad mini");
  EXPECT_FALSE(manager.isDisableTablet());
  device::setModel("iPhone");
}

}  // namespace
}  // namespace ovix
