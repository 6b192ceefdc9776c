#include "ovix/OvixRequest.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "ovix/Logging.hpp"
#include "ovix/platform/AdSupport.hpp"
#include "support/CaptureStdout.hpp"

namespace ovix {
namespace {

TEST(OvixRequestTest, SlotMapValidatesOnlyWhenAbsentOrFilled) {
  OvixRequest request;
  logging = true;
  test::CaptureStdout out;
  EXPECT_FALSE(request.validateRequired());
  const std::string text = out.stop();
  logging = false;
  EXPECT_NE(text.find("validateRequired()  message: Infeeds is invalid."), std::string::npos);

  request.set("a", 3);
  request.set("a", 5);
  EXPECT_TRUE(request.validateRequired());
  EXPECT_EQ(request.infeeds()->size(), 1u);
  EXPECT_EQ(request.infeeds()->at("a").at("count"), 5);

  request.setInfeeds(std::nullopt);
  request.set("b", 1);
  EXPECT_FALSE(request.infeeds());
  EXPECT_TRUE(request.validateRequired());
}

TEST(OvixRequestTest, RequestTimeoutIsClampedButTheFieldIsNot) {
  OvixRequest request;
  request.setRequestTimeout(10);
  EXPECT_EQ(request.timeout(), 5);
  request.setRequestTimeout(-1);
  EXPECT_EQ(request.timeout(), -1);
  request.setRequestTimeout(NAN);
  EXPECT_TRUE(std::isnan(request.timeout()));
  request.setTimeout(10);
  EXPECT_EQ(request.timeout(), 10);
}

TEST(OvixRequestTest, ZeroMeansAMissingCoordinate) {
  OvixRequest request;
  request.setAltitude(-3);
  request.setCoordinate(35.6, 0);
  EXPECT_FALSE(request.enableCoordinate());
  EXPECT_TRUE(request.enableAltitude()) << "setCoordinate keeps the altitude";
  request.setLocation(35.6, 139.7, 0);
  EXPECT_TRUE(request.enableCoordinate());
  EXPECT_FALSE(request.enableAltitude());
}

TEST(OvixRequestTest, AdvertisingIdIsEmptyWhileTrackingIsLimited) {
  adsupport::setAdvertisingIdentifier("6D92078A-8246-4BA4-AE5B-76104861E7DC");
  EXPECT_EQ(OvixRequest().advertisingId(), "");
  adsupport::setAdvertisingTrackingEnabled(true);
  EXPECT_EQ(OvixRequest().advertisingId(), "6D92078A-8246-4BA4-AE5B-76104861E7DC");
  adsupport::setAdvertisingTrackingEnabled(false);
}

}  // namespace
}  // namespace ovix
