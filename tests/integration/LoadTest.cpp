// Loading ads end to end against a real HTTPS server on loopback.
#include <atomic>
#include <cmath>
#include <future>
#include <nlohmann/json.hpp>

#include "ovix/model/OvixAds.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::RecordingDelegate;

constexpr const char* kTwoAds = R"({"ads": {"a": [
    {"title": "First", "imp_url": ["https://imp/1"]}, {"title": "Second"}]}})";

// The SDK's clock, moved ahead of the steady clock by what a test adds.
std::atomic<std::int64_t> clockAheadSeconds{0};
clock::TimePoint movedClock() {
  return std::chrono::steady_clock::now() + std::chrono::seconds(clockAheadSeconds.load());
}

class LoadTest : public test::IntegrationTest {
 protected:
  // Loads from the main thread and waits for the outcome.
  static std::shared_ptr<RecordingDelegate> load(const std::function<void(OvixRequest&)>& fill) {
    auto delegate = startLoad(fill);
    dispatch::runMainQueueUntil([&] { return delegate->calls() > 0; }, 10s);
    return delegate;
  }
  static void two(OvixRequest& request) { request.set("a", 2); }
};

TEST_F(LoadTest, SuccessPostsTheWireFormatAndReportsOffTheMainThreadWithAdsInPlace) {
  answer("POST", "/ad/v2.ios", kTwoAds, 500);  // the status is not tested
  answer("PUT", "/ad/v2.ios", "{}");
  std::atomic<int> asked{0};
  useragent::setProvider([&] {
    ++asked;
    return std::string("TestAgent/1.0");
  });
  std::atomic<bool> sawAdInCallback{false};
  std::promise<void> succeeded;
  auto delegate = std::make_shared<RecordingDelegate>();
  delegate->onSuccess = [&] {
    sawAdInCallback = manager().hasNextAd("a") != nullptr;
    succeeded.set_value();
  };
  OvixRequest request;
  request.set("a", 2);
  request.setCoordinate(35.6, 0);  // a zero is a missing coordinate
  request.setAltitude(-3);
  manager().loadOvix(request, delegate);
  // The answer reaches the delegate while nobody runs the main queue.
  ASSERT_EQ(succeeded.get_future().wait_for(10s), std::future_status::ready);
  ASSERT_TRUE(dispatch::runMainQueueUntil([&] { return delegate->calls() > 0; }, 10s));
  EXPECT_EQ(delegate->heard(), "2 ads off main");
  EXPECT_TRUE(sawAdInCallback);

  // Only a POST of /ad/v2.ios is answered with ads.
  const auto sent = server_.requests().at(0);
  EXPECT_EQ(sent.get_header_value("Host"), "ad.ovix.example")
      << "the connect override keeps the name";
  EXPECT_EQ(sent.get_header_value("User-Agent"), "TestAgent/1.0");
  EXPECT_EQ(sent.get_header_value("Content-Type"), "application/json");
  EXPECT_NE(sent.body.find('\n'), std::string::npos) << "pretty-printed";
  // The fields every body has, with `fields`.
  const auto with = [](nlohmann::json fields) {
    fields.update({{"advertising_id", ""},
                   {"app", manager().bundleIdentifier()},
                   {"version", manager().version()}});
    return fields;
  };
  EXPECT_EQ(nlohmann::json::parse(sent.body),
            with({{"infeeds", {{"a", {{"count", 2}}}}}, {"altitude", -3.0}}));

  // The privacy signals go as they were when the load started.
  manager().setPrivacySignals({.gdpr = true, .consent = "C"});
  const auto put = startLoad([](OvixRequest& r) {
    r.setInfeeds(std::nullopt);
    r.setCoordinate(35.6, 139.7);
    r.setHttpMethod("PUT");
  });
  manager().setPrivacySignals({});
  ASSERT_TRUE(dispatch::runMainQueueUntil([&] { return put->calls() > 0; }, 10s));
  useragent::setProvider(nullptr);
  EXPECT_EQ(asked.load(), 1) << "the browser's user agent is asked once";
  EXPECT_EQ(server_.requests().back().method, "PUT");
  EXPECT_EQ(server_.requests().back().get_header_value("User-Agent"), "TestAgent/1.0");
  EXPECT_EQ(nlohmann::json::parse(server_.requests().back().body),
            with({{"infeeds", nlohmann::json::object()},
                  {"lat", 35.6},
                  {"lon", 139.7},
                  {"gdpr", 1},
                  {"consent", "C"}}));
}

// A slot keeps its newest ads up to the cap, and ads leave once older than
// their lifetime: out of the rotation, the inventory and the impressions, each
// heard once as expired.
TEST_F(LoadTest, AdsLeaveBeyondTheCapAndAfterTheirLifetimeAndAreHeardAsExpired) {
  clock::setSourceForTesting(&movedClock);
  clockAheadSeconds = 0;
  auto listener = std::make_shared<test::RecordingListener>();
  manager().setEventListener(listener);
  manager().setAdTimeToLive(60);
  manager().setMaximumAdsPerSlot(2);
  answer("POST", "/ad/v2.ios", R"({"ads": {"a": [{"title": "1"}, {"title": "2"}, {"title": "3"}],
      "b": [{"title": "4", "imp_url": ["https://ad.ovix.example/imp/4"]}]}})");
  EXPECT_EQ(load(two)->heard(), "4 ads off main");
  auto ads = *manager().ovixAds()->ads();
  ASSERT_EQ(ads.size(), 3u);
  EXPECT_EQ(ads[0]->title(), "2") << "the first of slot a left for the cap";
  const auto cell = boundCell(manager().hasNextAd("b"));
  EXPECT_EQ(manager().hasNextAd("a")->title(), "2");

  clockAheadSeconds = 59;
  EXPECT_EQ(manager().hasNextAd("a")->title(), "3") << "not yet older than its lifetime";
  clockAheadSeconds = 61;
  EXPECT_EQ(manager().hasNextAd("a"), nullptr);
  manager().tryImpression(cell, test::kWillDisplay);
  EXPECT_TRUE(manager().ovixAds()->ads()->empty());
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  // One for the cap, then the three in load order.
  std::vector<std::string> expired{listener->heard->at(0)};
  for (const auto& ad : ads) expired.push_back("expired " + ad->uuid());
  EXPECT_EQ(*listener->heard, expired);
  EXPECT_EQ(expired[0].rfind("expired ", 0), 0u);
  EXPECT_EQ(server_.requests().size(), 1u) << "no beacon for an expired ad";
}

TEST_F(LoadTest, RequestsThatCannotBeSentFailBeforeLoadReturnsAndTabletsAreRefusedWhenDisabled) {
  EXPECT_EQ(startLoad([](OvixRequest&) {})->heard(), "no error on main");
  const auto nonFinite = [](OvixRequest& r) {
    r.set("a", 1);
    r.setCoordinate(NAN, 139.7);
  };
  EXPECT_EQ(startLoad(nonFinite)->heard(), "NSCocoaErrorDomain 3852 on main");

  device::setModel("iPad");
  auto refused = startLoad();
  device::setModel("iPhone");
  EXPECT_EQ(dispatch::pendingWork(), 0u) << "no client was made";
  EXPECT_EQ(refused->heard(), "");
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(LoadTest, AnswersThatAreNotJsonFailOnTheMainQueue) {
  for (const auto& [status, body] : {std::pair{204, ""}, std::pair{200, "<html>not json</html>"}}) {
    answer("POST", "/ad/v2.ios", body, status);
    EXPECT_EQ(load(two)->heard(), "NSCocoaErrorDomain 3840 on main") << status;
  }
}

// Found by fuzzing: the wait for data was added to the clock in nanoseconds
// and overflowed, so a host's "never" timed the load out at once.
TEST_F(LoadTest, RequestTimeOutsTooLongForTheClockSetNoBound) {
  answer("POST", "/ad/v2.ios", kTwoAds);
  for (double never : {1e300, static_cast<double>(INFINITY), 1e13}) {
    const auto fill = [never](OvixRequest& r) {
      r.set("a", 2);
      r.setTimeout(never);
    };
    EXPECT_EQ(load(fill)->heard(), "2 ads off main") << never;
  }
}

TEST_F(LoadTest, ReleasedDelegatesHearNothingAndDieOnTheMainThread) {
  server_.handle("POST", "/ad/v2.ios", [this](const httplib::Request&, httplib::Response& res) {
    server_.hold();
    res.set_content(kTwoAds, "application/json");
  });
  auto delegate = startLoad(two);
  std::weak_ptr<RecordingDelegate> watcher = delegate;
  ASSERT_TRUE(server_.waitForHeld(1, 10s));
  delegate.reset();
  EXPECT_TRUE(watcher.expired()) << "the SDK must not own the delegate";
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(manager().ovixAds()->ads()->size(), 2u);

  // A host that lets go during the callback leaves the SDK the last
  // reference: the delegate, and the views it may own, die on the main thread.
  struct Dying : RecordingDelegate {
    explicit Dying(std::atomic<int>& died) : died(died) {}
    ~Dying() override { died = dispatch::isMainThread() ? 1 : 2; }
    std::atomic<int>& died;
  };
  std::atomic<int> died{0};
  std::mutex mutex;
  std::shared_ptr<RecordingDelegate> host = std::make_shared<Dying>(died);
  host->onSuccess = [&] {
    std::lock_guard lock(mutex);
    host.reset();
  };
  {
    OvixRequest request;
    request.set("a", 2);
    std::lock_guard lock(mutex);
    manager().loadOvix(request, host);
  }
  ASSERT_TRUE(dispatch::runMainQueueUntil([&] { return died != 0; }, 10s));
  EXPECT_EQ(died, 1);
}

TEST_F(LoadTest, LogFollowsTheLoadStepByStepAndTheClientsDeinitLineComesEvenWithTheLogOff) {
  answer("POST", "/ad/v2.ios", kTwoAds);
  const std::string text = logOf([] { load(two); });
  const std::vector<std::string> expected = {"request(by:delegate:)  message: START",
                                             "_request(by:callback:)  message: START",
                                             "makePostData(from:)  message: START",
                                             "makePostData(from:)  message: END",
                                             "makeURLRequest(_:model:)  message: TEST",
                                             "_request(by:callback:)  message: dataTaskWithRequest",
                                             "_request(by:callback:)  message: END",
                                             "HTTP status code:200",
                                             "update(_:error:)  message: START",
                                             "parse  message: START",
                                             "parse  message: END"};
  std::size_t at = 0;
  for (const auto& line : expected) {
    at = text.find(line, at);
    ASSERT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n" << text;
  }

  test::CaptureStdout out;
  load(two);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  const std::string quiet = out.stop();
  EXPECT_NE(quiet.find("/src/ovix/OvixClient.cpp deinit\n"), std::string::npos) << quiet;
}

}  // namespace
}  // namespace ovix
