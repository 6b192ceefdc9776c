// A sample host that reuses its cells, as a table view does: a pool of as
// many plain cells as fit on the screen plus two draws a long feed, and each
// cell is rebound or unbound whenever its row changes (FeedDataSource.cpp).
// The feed scrolls from top to bottom one screen at a time without waiting
// for images; every second ad's image comes slowly, so some arrive after
// their cell has moved on. After each screen, every row on it is checked.
// Viewability is measured: only the ads that a screen held long enough
// showed at least half of may become viewable, and exactly those must.
#include "ScrollFeed.hpp"

#include <algorithm>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <thread>

#include "ReuseTable.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

constexpr long long kScrollRows = 200;
// Some screens long: a slow image lands on a cell that shows another row.
constexpr auto kImageDelay = 300ms;
// Each screen stays up for a few frames of the host's loop, too short for
// an ad to become viewable; every tenth, from the second, for a bit over a
// second, until the ads at least half on it are heard as viewable.
constexpr auto kFrame = 16ms;
constexpr int kFramesPerScreen = 5;
constexpr int kHeldScreenEvery = 10;
constexpr auto kHeld = 1100ms;
constexpr auto kHeldAtMost = 3s;

// Hears which ads became viewable. Main thread, like every callback.
class ViewableAds : public OvixEventListener {
 public:
  void viewableImpressionRecorded(const std::string& uuid) override { uuids.insert(uuid); }
  std::set<std::string> uuids;
};

// The images of every second sample ad, in the inventory's order.
std::set<std::string> everySecondImage(const devserver::Inventory& inventory) {
  std::set<std::string> names;
  std::size_t index = 0;
  for (const auto& [slot, ads] : inventory.slots()) {
    for (const auto& ad : ads) {
      const auto url = ad.fields.find("image_url");
      if (index++ % 2 == 0 || url == ad.fields.end() || !url->is_string()) continue;
      names.insert(imageName(url->get<std::string>()));
    }
  }
  return names;
}

// The host's loop while a screen is up: the main queue once a frame.
void showScreen() {
  for (int frame = 0; frame < kFramesPerScreen; ++frame) {
    std::this_thread::sleep_for(kFrame);
    dispatch::drainMainQueue();
  }
}

// The same for a screen held for at least kHeld, until `done` or kHeldAtMost.
void holdScreen(const std::function<bool()>& done) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    std::this_thread::sleep_for(kFrame);
    dispatch::drainMainQueue();
    const auto held = std::chrono::steady_clock::now() - start;
    if ((held >= kHeld && done()) || held >= kHeldAtMost) return;
  }
}

}  // namespace

int runScrollFeed(const FeedOptions& options) {
  const auto server = startServer([&](devserver::ServerOptions& server) {
    server.http2 = options.http2;
    server.faults.imageDelay = kImageDelay;
    server.faults.slowImages = everySecondImage(server.inventory);
  });
  if (!server) return 2;
  configure(options, *server, nullptr);
  auto& manager = OvixManager::shared();
  manager.setViewabilityMeasurement(true);
  const auto viewable = std::make_shared<ViewableAds>();
  manager.setEventListener(viewable);
  const std::int64_t loaded = loadAds();
  if (loaded < 0) return 1;

  const long long rows = options.rows.value_or(kScrollRows);
  ReuseTable table(rows, true);
  RowFaults faults;
  // The ads a held screen showed at least half of: exactly the viewable ones.
  std::set<std::string> held;
  int screen = 0;
  for (double offset = 0;; offset = std::min(offset + kScreenHeight, table.bottom())) {
    table.scrollTo(offset);
    if (screen++ % kHeldScreenEvery == 1) {
      const auto shown = table.adsHalfOnScreen();
      held.insert(shown.begin(), shown.end());
      holdScreen([&] {
        return std::includes(viewable->uuids.begin(), viewable->uuids.end(), shown.begin(),
                             shown.end());
      });
    } else {
      showScreen();
    }
    table.check(true, faults);
    if (offset >= table.bottom()) break;
  }
  // The window loses focus: the last screen, up while images settle, counts
  // no longer.
  manager.setApplicationActive(false);
  // The last screen once every image has come: each ad row with its banner.
  const bool settled = dispatch::waitForPendingWork(10s);
  dispatch::drainMainQueue();
  table.check(false, faults);
  for (const auto& uuid : viewable->uuids) table.viewed(uuid);

  const auto totals = server->stats().totals;
  const std::int64_t counted = totals.impressions + totals.viewableImpressions;
  const std::size_t sent = table.beaconsSent();
  const auto size = drawPicture(table.screen(), kScreenHeight, options.png);
  std::cout << "loaded " << loaded << " ads\n"
            << "impressions sent " << sent << ", counted by server " << counted << '\n'
            << "scrolled " << rows << " rows with " << table.cells() << " cells: " << table.adRows()
            << " ad rows, " << faults.wrongImages << " wrong images, " << faults.strayLabels
            << " stray labels, " << faults.strayButtons << " stray buttons\n"
            << "viewable impressions " << viewable->uuids.size() << " of " << table.adRows()
            << " ad rows shown\n"
            << "picture " << options.png << ' ' << size.value_or("none") << std::endl;
  server->stop();
  if (viewable->uuids != held) {
    std::cerr << "ovix feed: viewable ads differ from those held half on screen\n";
  }
  const bool ok = settled && loaded > 0 && table.adRows() > 0 && !faults.any() &&
                  viewable->uuids == held && counted == static_cast<std::int64_t>(sent) &&
                  size.has_value();
  return ok ? 0 : 1;
}

}  // namespace ovix::tool
