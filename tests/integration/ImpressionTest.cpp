// Impression beacons, sent once per ad when its cell is about to be displayed.
#include <algorithm>
#include <thread>

#include "ovix/common/PercentEncoding.hpp"
#include "ovix/model/OvixAds.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::kWillDisplay;

class ImpressionTest : public test::IntegrationTest {};

// Beacons are query-encoded, percent signs escaped again; a failure is only
// logged and the other beacons still go.
TEST_F(ImpressionTest, DisplayedCellSendsEveryUsableBeaconOnceEncodedAndLogsFailures) {
  EXPECT_EQ(addingPercentEncodingForURLQuery("a b%41\xC3\xA9#[]\"<>|"),
            "a%20b%2541%C3%A9%23%5B%5D%22%3C%3E%7C");
  EXPECT_EQ(addingPercentEncodingForURLQuery("-._~!$&'()*+,;=:@/?"), "-._~!$&'()*+,;=:@/?");
  answer("GET", "/gone", "", 404, "text/plain");
  manager().setUserAgent("Beacon/1.0");
  auto ad =
      stock("logged",
            {"https://ad.ovix.example/imp/1", "", "https://127.0.0.1:1/refused",
             "https://ad.ovix.example/gone", "https://ad.ovix.example/imp/a b?x=%41&y=\xC3\xA9"},
            {"https://ad.ovix.example/vimp/1"});
  auto cell = boundCell(ad);
  const std::string text = logOf([&] {
    manager().tryImpression(cell, kWillDisplay);
    manager().tryImpression(cell, kWillDisplay);
    EXPECT_EQ(manager().ovixAds()->impressed(), std::vector<std::string>{ad->uuid()});
  });
  // The targets undecoded, each with its user agent.
  std::vector<std::string> sent;
  for (const auto& request : server_.requests()) {
    sent.push_back(request.target + " " + request.get_header_value("User-Agent"));
  }
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent, (std::vector<std::string>{"/gone Beacon/1.0", "/imp/1 Beacon/1.0",
                                            "/imp/a%20b?x=%2541&y=%C3%A9 Beacon/1.0",
                                            "/vimp/1 Beacon/1.0"}));
  EXPECT_EQ(test::occurrences(text, "Impression request error."), 1u) << text;
  EXPECT_NE(text.find("error code:-1004\n"), std::string::npos);
  EXPECT_NE(text.find("HTTP status code:404\n404 Not Found.\n"), std::string::npos);
  EXPECT_EQ(test::occurrences(text, "Impression request completion."), 4u);
  EXPECT_NE(text.find("Impression:"), std::string::npos);
  EXPECT_NE(text.find("deinit  message: deinit"), std::string::npos);
}

// The listener hears of an impression before any of its beacons, then of
// each beacon once, with the URL as sent and its status or error; on the main
// thread, never inside the call that caused it.
TEST_F(ImpressionTest, ListenerHearsTheImpressionThenEachBeaconOnceOnTheMainThread) {
  answer("GET", "/gone", "", 404, "text/plain");
  const auto listener = std::make_shared<test::RecordingListener>();
  manager().setEventListener(listener);
  auto cell =
      boundCell(stock("heard", {"https://ad.ovix.example/imp/a b", "https://127.0.0.1:1/refused"},
                      {"https://ad.ovix.example/gone"}));
  manager().tryImpression(cell, kWillDisplay);
  manager().tryImpression(cell, kWillDisplay);
  std::make_shared<Impression>()->imp(stock("direct", {}));
  EXPECT_TRUE(listener->heard->empty()) << "posted, not called";
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));

  auto heard = *listener->heard;
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.front(), "impression heard");
  std::sort(heard.begin() + 1, heard.end());
  EXPECT_EQ(heard, (std::vector<std::string>{
                       "impression heard",
                       "beacon heard https://127.0.0.1:1/refused NSURLErrorDomain -1004",
                       "beacon heard https://ad.ovix.example/gone 404",
                       "beacon heard https://ad.ovix.example/imp/a%20b 200",
                       "impression direct",
                   }));
}

TEST_F(ImpressionTest, OnlyDisplayCallbacksCountAndEachAdOnceAcrossCellsAndCycles) {
  auto ad = stock("once", {"https://ad.ovix.example/imp/once"});
  auto cell = boundCell(ad);
  manager().tryImpression(cell, "tableView(_:didEndDisplaying:forRowAt:)");
  manager().tryImpression(cell, "");
  manager().tryImpression(ui::make<ui::TableViewCell>(), kWillDisplay);
  EXPECT_TRUE(manager().ovixAds()->impressed().empty());

  manager().tryImpression(cell, "collectionView(_:WillDisplay:forItemAt:)");
  auto nextCycle = manager().hasNextAd(ad->infeedId());
  ASSERT_NE(nextCycle, ad);
  manager().tryImpression(boundCell(nextCycle), kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 1u);

  manager().clearAd();
  manager().tryImpression(cell, kWillDisplay);
  EXPECT_TRUE(manager().ovixAds()->impressed().empty()) << "nothing loaded";
  manager().add(std::vector{ad});
  manager().tryImpression(cell, kWillDisplay);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 2u) << "clearing forgets what was sent";
}

TEST_F(ImpressionTest, TwoThreadsReportingOneAdAtOnceSendItOnceAndDirectCallsSendEveryTime) {
  auto cell = boundCell(stock("race", {"https://ad.ovix.example/imp/race"}));
  std::thread other([&] { manager().tryImpression(cell, kWillDisplay); });
  manager().tryImpression(cell, kWillDisplay);
  other.join();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(manager().ovixAds()->impressed().size(), 1u);

  auto ad = stock("direct", {"https://ad.ovix.example/imp/direct"});
  std::make_shared<Impression>()->imp(ad);
  std::make_shared<Impression>()->imp(ad);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 3u);
  EXPECT_EQ(manager().ovixAds()->impressed().size(), 3u);
}

// With measurement on, an ad's impUrl goes on display and its viewableImpUrl
// once a view has shown enough of it for one continuous second: half, or 30%
// of a view of 242,500 points or more. Anything that takes the view off
// screen starts the second again at the next report.
TEST_F(ImpressionTest, ViewableBeaconsWaitForOneContinuousSecondAtTheStandard) {
  stopClock();
  manager().setViewabilityMeasurement(true);
  using Change = std::function<void(const std::shared_ptr<ui::TableViewCell>&)>;
  const auto report = [](Rect visible) {
    return [visible](const auto& cell) { manager().reportVisibility(cell, visible); };
  };
  const Rect half(-100, -100, 1000, 150);  // of 300 by 100, clipped to its bounds
  struct Case {
    std::string name;
    Size size;
    Rect visible;
    Change interrupt;  // 600 ms in; the second starts again at the next report
    Change resume;     // before that report
  };
  const std::vector<Case> cases{
      {"half", {300, 100}, half, nullptr, nullptr},
      {"short", {300, 100}, Rect(0, 51, 300, 49), nullptr, nullptr},
      {"large", {500, 500}, Rect(0, 350, 500, 150), nullptr, nullptr},
      {"largeshort", {500, 500}, Rect(0, 355, 500, 145), nullptr, nullptr},
      {"scrolled", {300, 100}, half, report(Rect(0, 51, 300, 49)), nullptr},
      {"offscreen", {300, 100}, half, report(Rect()), nullptr},
      {"hidden",
       {300, 100},
       half,
       [](const auto& cell) {
         cell->setHidden(true);
         cell->setHidden(false);
       },
       nullptr},
      {"reused",
       {300, 100},
       half,
       [](const auto& cell) { manager().prepareForReuse(cell); },
       [](const auto& cell) { manager().setInfeed(cell, manager().hasNextAd("reused"), 80, {}); }},
      {"inactive",
       {300, 100},
       half,
       [](const auto&) {
         manager().setApplicationActive(false);
         manager().setApplicationActive(true);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto viewable = [&] {
      EXPECT_TRUE(dispatch::waitForPendingWork(10s));
      std::size_t count = 0;
      for (const auto& request : server_.requests()) count += request.target == "/vimp/" + c.name;
      return count;
    };
    auto cell = boundCell(stock(c.name, {"https://ad.ovix.example/imp/" + c.name},
                                {"https://ad.ovix.example/vimp/" + c.name}));
    cell->setFrame(Rect(0, 0, c.size.width, c.size.height));
    manager().reportVisibility(cell, c.visible);  // not yet impressed: no clock
    manager().tryImpression(cell, kWillDisplay);
    ASSERT_TRUE(dispatch::waitForPendingWork(10s));
    EXPECT_EQ(server_.requests().back().target, "/imp/" + c.name) << "impUrl only";
    manager().reportVisibility(cell, c.visible);
    advance(600ms);
    if (c.interrupt) c.interrupt(cell);
    advance(400ms);
    const bool meets = c.name.find("short") == std::string::npos;
    EXPECT_EQ(viewable(), meets && !c.interrupt ? 1u : 0u) << "after one second";
    if (!c.interrupt) {
      advance(5s);
      manager().reportVisibility(cell, c.visible);
      EXPECT_EQ(viewable(), meets ? 1u : 0u) << "once";
      continue;
    }
    if (c.resume) c.resume(cell);
    manager().reportVisibility(cell, c.visible);
    advance(999ms);
    EXPECT_EQ(viewable(), 0u) << "a fresh second";
    advance(1ms);
    EXPECT_EQ(viewable(), 1u);
  }
}

// An ad shown in two cells is viewable once; the listener hears it once, on
// the main thread. Off, nothing is measured; clearAd forgets what was viewed.
TEST_F(ImpressionTest, AnAdIsViewableOnceAcrossCellsHeardOnTheMainThreadUntilCleared) {
  stopClock();
  const auto listener = std::make_shared<test::RecordingListener>();
  manager().setEventListener(listener);
  manager().setViewabilityMeasurement(true);
  auto ad =
      stock("twice", {"https://ad.ovix.example/imp/twice"}, {"https://ad.ovix.example/vimp/twice"});
  std::vector cells{boundCell(ad), boundCell(manager().hasNextAd("twice"))};
  for (const auto& cell : cells) {
    cell->setFrame(Rect(0, 0, 320, 80));
    manager().tryImpression(cell, kWillDisplay);
    manager().reportVisibility(cell, cell->frame());
  }
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  advance(1s);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(*listener->heard,
            (std::vector<std::string>{
                "impression twice", "beacon twice https://ad.ovix.example/imp/twice 200",
                "viewable twice", "beacon twice https://ad.ovix.example/vimp/twice 200"}));

  // Off: the claim sends both lists, and reports start nothing.
  manager().setViewabilityMeasurement(false);
  manager().clearAd();
  manager().add(std::vector{ad});
  manager().tryImpression(cells[0], kWillDisplay);
  manager().reportVisibility(cells[0], cells[0]->frame());
  advance(2s);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 4u);
  EXPECT_EQ(listener->heard->size(), 7u) << "no viewable event of its own";

  // Cleared again, the ad can be viewable again.
  manager().setViewabilityMeasurement(true);
  manager().clearAd();
  manager().add(std::vector{ad});
  manager().tryImpression(cells[1], kWillDisplay);
  manager().reportVisibility(cells[1], cells[1]->frame());
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  advance(1s);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(server_.requests().size(), 6u);
  EXPECT_EQ(listener->heard->back(), "beacon twice https://ad.ovix.example/vimp/twice 200");
}

}  // namespace
}  // namespace ovix
