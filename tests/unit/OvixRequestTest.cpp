#include "ovix/OvixRequest.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "ovix/Logging.hpp"
#include "ovix/RequestBody.hpp"
#include "ovix/platform/AdSupport.hpp"
#include "support/CaptureStdout.hpp"

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

// The body of a fixed request, as hosts' servers know it: any change to
// names, order or whitespace breaks them.
constexpr const char* kFixedBody = R"({
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
})";

Result<std::string> fixedBody(const PrivacySignals& privacy = {}) {
  OvixRequest request;
  request.set("a", 2);
  request.setLocation(35.6, 139.7, -3);
  request.setAdvertisingId("ID");
  return makePostBody(request, "com.example.app", "1.2.3", privacy);
}

// Signals go under their OpenRTB names, flags as 0 or 1, strings as given up
// to the limit; the members of today stay as they were.
TEST(OvixRequestTest, BodyKeepsItsWireFormatAndCarriesEachPrivacySignalOnlyWhenSet) {
  EXPECT_EQ(fixedBody().value(), kFixedBody);
  EXPECT_EQ(fixedBody(PrivacySignals{}).value(), kFixedBody);

  const std::string longest(10000, 'G'), tooLong(10001, 'C');
  const struct {
    PrivacySignals signals;
    nlohmann::json added;
    bool leftOut = false;  // each string, with a log entry
  } cases[] = {
      {{.gdpr = true}, {{"gdpr", 1}}},
      {{.gdpr = false, .consent = "CPc\"\\/é"}, {{"gdpr", 0}, {"consent", "CPc\"\\/é"}}},
      {{.gpp = longest, .gppSid = std::vector{2, 6}}, {{"gpp", longest}, {"gpp_sid", {2, 6}}}},
      {{.gppSid = std::vector<int>{}, .usPrivacy = ""},
       {{"gpp_sid", nlohmann::json::array()}, {"us_privacy", ""}}},
      {{.usPrivacy = "1YNN", .coppa = false, .lmt = false},
       {{"us_privacy", "1YNN"}, {"coppa", 0}, {"lmt", 0}}},
      // Too long: left out, and the load goes on.
      {{.gdpr = true, .consent = tooLong, .gpp = tooLong, .usPrivacy = tooLong},
       {{"gdpr", 1}},
       true},
  };
  for (const auto& [signals, added, leftOut] : cases) {
    logging = true;
    test::CaptureStdout out;
    const auto body = fixedBody(signals);
    const std::string log = out.stop();
    logging = false;
    ASSERT_TRUE(body) << added;
    auto expected = nlohmann::json::parse(kFixedBody);
    expected.update(added);
    EXPECT_EQ(nlohmann::json::parse(body.value()), expected);
    for (const char* name : {"consent", "gpp", "us_privacy"}) {
      const auto entry = std::string("makePostDictionary(from:)  message: \"") + name +
                         "\" left out: 10001 bytes, more than the limit of 10000\n";
      EXPECT_EQ(test::occurrences(log, entry), leftOut ? 1u : 0u) << name << " in " << log;
    }
  }
  // A string that is not UTF-8 cannot be written, like any other member's.
  EXPECT_EQ(fixedBody({.consent = "\xff"}).error().code(), 3852);
}

TEST(OvixRequestTest, CoppaOrLmtWithholdsTheAdvertisingIdAndTheLocation) {
  for (const PrivacySignals& signals : {PrivacySignals{.coppa = true},
                                        {.lmt = true},
                                        {.coppa = true, .lmt = false},
                                        {.coppa = false, .lmt = true},
                                        {.gdpr = false, .coppa = true, .lmt = true}}) {
    const auto body = nlohmann::json::parse(fixedBody(signals).value());
    EXPECT_EQ(body["advertising_id"], "");
    for (const char* name : {"lat", "lon", "altitude"}) EXPECT_FALSE(body.contains(name)) << name;
    EXPECT_EQ(body["app"], "com.example.app");
  }
}

}  // namespace
}  // namespace ovix
