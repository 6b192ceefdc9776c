// A sample host that reuses its cells, as a table view does: a pool of as
// many plain cells as fit on the screen plus two draws a long feed, and each
// cell is rebound or unbound whenever its row changes (FeedDataSource.cpp).
// The feed scrolls from top to bottom one screen at a time without waiting
// for images; every second ad's image comes slowly, so some arrive after
// their cell has moved on. After each screen, every row on it is checked.
#include "ScrollFeed.hpp"

#include <algorithm>
#include <iostream>
#include <thread>

#include "ReuseTable.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

constexpr long long kScrollRows = 200;
// Some screens long: a slow image lands on a cell that shows another row.
constexpr auto kImageDelay = 300ms;
// Each screen stays up for a few frames of the host's loop.
constexpr auto kFrame = 16ms;
constexpr int kFramesPerScreen = 5;

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

}  // namespace

int runScrollFeed(const FeedOptions& options) {
  const auto server = startServer([&](devserver::ServerOptions& server) {
    server.http2 = options.http2;
    server.faults.imageDelay = kImageDelay;
    server.faults.slowImages = everySecondImage(server.inventory);
  });
  if (!server) return 2;
  configure(options, *server, nullptr);
  const std::int64_t loaded = loadAds();
  if (loaded < 0) return 1;

  const long long rows = options.rows.value_or(kScrollRows);
  ReuseTable table(rows);
  RowFaults faults;
  for (double offset = 0;; offset = std::min(offset + kScreenHeight, table.bottom())) {
    table.scrollTo(offset);
    showScreen();
    table.check(true, faults);
    if (offset >= table.bottom()) break;
  }
  // The last screen once every image has come: each ad row with its banner.
  const bool settled = dispatch::waitForPendingWork(10s);
  dispatch::drainMainQueue();
  table.check(false, faults);

  const auto totals = server->stats().totals;
  const std::int64_t counted = totals.impressions + totals.viewableImpressions;
  const std::size_t sent = table.beaconsSent();
  const auto size = drawPicture(table.screen(), kScreenHeight, options.png);
  std::cout << "loaded " << loaded << " ads\n"
            << "impressions sent " << sent << ", counted by server " << counted << '\n'
            << "scrolled " << rows << " rows with " << table.cells() << " cells: " << table.adRows()
            << " ad rows, " << faults.wrongImages << " wrong images, " << faults.strayLabels
            << " stray labels, " << faults.strayButtons << " stray buttons\n"
            << "picture " << options.png << ' ' << size.value_or("none") << std::endl;
  server->stop();
  const bool ok = settled && loaded > 0 && table.adRows() > 0 && !faults.any() &&
                  counted == static_cast<std::int64_t>(sent) && size.has_value();
  return ok ? 0 : 1;
}

}  // namespace ovix::tool
