#include "ovix/OvixRequest.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ovix/RequestBody.hpp"
#include "ovix/platform/AdSupport.hpp"

namespace ovix {
namespace {

TEST(OvixRequestTest, SlotMapValidatesOnlyWhenAbsentOrFilled) {
  OvixRequest request;
  EXPECT_FALSE(request.validateRequired());
  request.set("a", 3);
  request.set("a", 5);
  EXPECT_TRUE(request.validateRequired());
  EXPECT_EQ(*request.infeeds(), (OvixRequest::Infeeds{{"a", {{"count", 5}}}}));
  request.setInfeeds(std::nullopt);
  request.set("b", 1);
  EXPECT_FALSE(request.infeeds());
  EXPECT_TRUE(request.validateRequired());
}

TEST(OvixRequestTest, TimeoutsLocationAndAdvertisingId) {
  OvixRequest request;
  for (const double asked : {10.0, -1.0, 3.5, std::nan("")}) {
    request.setRequestTimeout(asked);
    const double kept = request.timeout();
    EXPECT_TRUE(kept == std::min(asked, 5.0) || (std::isnan(asked) && std::isnan(kept))) << asked;
  }
  // A zero is a missing value (LoadTest's bodies); a negative altitude counts.
  request.setLocation(35.6, 139.7, -3);
  EXPECT_TRUE(request.enableCoordinate() && request.enableAltitude());

  adsupport::setAdvertisingIdentifier("6D92078A-8246-4BA4-AE5B-76104861E7DC");
  EXPECT_EQ(OvixRequest().advertisingId(), "") << "while tracking is limited";
  adsupport::setAdvertisingTrackingEnabled(true);
  EXPECT_EQ(OvixRequest().advertisingId(), "6D92078A-8246-4BA4-AE5B-76104861E7DC");
  adsupport::setAdvertisingTrackingEnabled(false);
}

// The body as hosts' servers know it: any change to names, order or
// whitespace breaks them.
TEST(OvixRequestTest, BodyKeepsItsWireFormat) {
  OvixRequest request;
  request.set("a", 2);
  request.setLocation(35.6, 139.7, -3);
  request.setAdvertisingId("ID");
  EXPECT_EQ(makePostBody(request, "com.example.app", "1.2.3").value(),
            R"({
  "advertising_id": "ID",
  "altitude": -3.0,
  "app": "com.example.app",
  "infeeds": {
    "a": {
      "count": 2
    }
  },
  "lat": 35.6,
  "lon": 139.7,
  "version": "1.2.3"
})");
}

}  // namespace
}  // namespace ovix
