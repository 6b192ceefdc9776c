// Two hundred loads in flight at once while the main thread keeps taking ads
// from every slot, binding them into cells and reporting them displayed, and
// the delegates of one load in four are released along the way. Run under
// ThreadSanitizer in the tsan tree.
//
// Loads and beacons are bounded to 3 seconds and never retried, so on a
// starved machine some end unsent. The test holds each to what the SDK
// promises whatever the timing: a load's ads arrive whole or not at all, and
// a beacon reaches the server once or fails in the log.
#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "ovix/model/OvixAds.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::RecordingDelegate;

constexpr int kLoads = 200;
constexpr int kSlots = 5;
constexpr std::size_t kReleased = 50;  // every fourth load
constexpr const char* kBase = "https://ad.ovix.example";

// What the server sent and which beacons reached it.
struct Ledger {
  std::mutex mutex;
  std::map<std::string, std::vector<std::string>> sent;  // guarded by mutex; load -> titles
  std::map<std::string, int> beacons;                    // guarded by mutex; path -> hits
};

// One answer per load, told apart by the advertising id the load sends: one
// or two ads of the slot asked for, each with its own beacon, those of every
// tenth load with an image.
void serve(test::TlsServer& server, Ledger& ledger) {
  server.handle(
      "POST", "/ad/v2.ios", [&ledger](const httplib::Request& req, httplib::Response& res) {
        const auto body = nlohmann::json::parse(req.body);
        const std::string load = body["advertising_id"];
        const std::string slot = body["infeeds"].begin().key();
        const int count = body["infeeds"][slot]["count"];
        nlohmann::json ads = nlohmann::json::array();
        std::lock_guard lock(ledger.mutex);
        for (int k = 0; k < count; ++k) {
          const std::string title = load + "-" + std::to_string(k);
          ledger.sent[load].push_back(title);
          ads.push_back(
              {{"title", title},
               {"image_url", load.back() == '0' ? std::string(kBase) + "/img/red.png" : ""},
               {"imp_url", {std::string(kBase) + "/imp/" + title}}});
        }
        res.set_content(nlohmann::json{{"ads", {{slot, ads}}}}.dump(), "application/json");
      });
  server.handle("GET", "/imp/.*", [&ledger](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(ledger.mutex);
    ++ledger.beacons[req.path];
    res.set_content("", "text/plain");
  });
}

class StressTest : public test::IntegrationTest {};

TEST_F(StressTest, TwoHundredLoadsWhileTheMainThreadTakesBindsAndDisplaysAds) {
  Ledger ledger;
  serve(server_, ledger);
  manager().setUserAgent("Stress/1.0");
  logging = true;  // each failed beacon says so
  test::CaptureStdout out;

  std::vector<std::shared_ptr<RecordingDelegate>> delegates;
  std::vector<std::weak_ptr<RecordingDelegate>> watchers;
  for (int n = 0; n < kLoads; ++n) {
    delegates.push_back(std::make_shared<RecordingDelegate>());
    watchers.push_back(delegates.back());
    OvixRequest request;
    request.setAdvertisingId("load" + std::to_string(n));
    request.set("slot" + std::to_string(n % kSlots), 1 + n % 2);
    manager().loadOvix(request, delegates.back());
  }

  const auto finished = [&] {
    return std::all_of(delegates.begin(), delegates.end(),
                       [](const auto& delegate) { return !delegate || delegate->calls() > 0; });
  };
  const auto inventory = [&] {
    const auto ads = manager().ovixAds()->ads();
    return ads ? ads->size() : 0;
  };
  std::set<std::string> boundTitles;  // unique to each ad
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (std::size_t released = 0;;) {
    for (int slot = 0; slot < kSlots; ++slot) {
      const auto ad = manager().hasNextAd("slot" + std::to_string(slot));
      if (!ad || !boundTitles.insert(ad->title()).second) continue;
      cells.push_back(ui::make<ui::TableViewCell>());
      manager().setInfeed(cells.back(), ad, 80, Size{60, 40});
      manager().tryImpression(cells.back(), "tableView(_:willDisplay:forRowAt:)");
    }
    if (released < kReleased) delegates[4 * released++].reset();
    if (released == kReleased && finished()) {
      // What remains: the loads of released delegates, images and beacons.
      ASSERT_TRUE(dispatch::waitForPendingWork(30s));
      break;
    }
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the loads did not finish";
    // Releases go one a round while the loads are in flight; then each round
    // waits for more ads or the last outcomes, running the main queue.
    const std::size_t seen = inventory();
    dispatch::runMainQueueUntil(
        [&] { return released < kReleased || inventory() != seen || finished(); }, 1s);
  }
  EXPECT_EQ(dispatch::pendingWork(), 0u);
  EXPECT_EQ(net::pendingTransfers(), 0u);
  const std::string log = out.stop();
  logging = false;

  std::lock_guard lock(ledger.mutex);
  // Each answer's ads are in the inventory exactly once, or, for a load the
  // 3-second bound ended on a starved machine, none of them; only such a load
  // may fail. Ads nobody sent are not there.
  std::map<std::string, int> stored;
  const auto inventoried = manager().ovixAds()->ads();
  ASSERT_TRUE(inventoried);
  for (const auto& ad : *inventoried) ++stored[ad->title()];
  std::size_t delivered = 0, deliveredAds = 0;
  for (int n = 0; n < kLoads; ++n) {
    const auto& titles = ledger.sent["load" + std::to_string(n)];
    const bool present = !titles.empty() && stored.count(titles.front());
    delivered += present;
    for (const auto& title : titles) {
      EXPECT_EQ(stored.count(title) ? stored[title] : 0, present ? 1 : 0) << title;
    }
    if (present) deliveredAds += titles.size();
    if (!delegates[n]) {
      EXPECT_TRUE(watchers[n].expired()) << "the SDK kept a released delegate";
      continue;
    }
    EXPECT_EQ(delegates[n]->heard(), present ? std::to_string(titles.size()) + " ads off main"
                                             : "NSURLErrorDomain -1001 on main")
        << n;
  }
  EXPECT_EQ(stored.size(), deliveredAds) << "an ad nobody sent, or one stored twice";
  EXPECT_GT(delivered, 0u);

  // The server counted each bound ad's beacon once at most, and no other
  // beacon; each one missing failed in the log.
  std::size_t missing = boundTitles.size();
  for (const auto& [path, hits] : ledger.beacons) {
    EXPECT_EQ(hits, 1) << path;
    EXPECT_EQ(boundTitles.count(path.substr(5)), 1u) << "a beacon of an ad never displayed";
    --missing;
  }
  const std::size_t failed = test::occurrences(log, "Impression request error.");
  EXPECT_LE(missing, failed) << "a beacon neither sent nor failed";
  std::printf("%zu of %d loads delivered, %zu of %zu beacons failed\n", delivered, kLoads, failed,
              boundTitles.size());
}

}  // namespace
}  // namespace ovix
