// A sample host, written as the integration guide reads: configure the SDK,
// load two slots, build a feed with an ad every fourth row, report rows as
// they appear, tap an ad, then show what happened and draw the feed.
// `--scroll` runs the host that reuses its cells instead (ScrollFeed.cpp).
#include "FeedCommand.hpp"

#include <cstdio>
#include <iostream>

#include "FeedCells.hpp"
#include "FeedHost.hpp"
#include "Options.hpp"
#include "ScrollFeed.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

constexpr long long kFeedRows = 24;

// The host's link opener: records what a tap opens instead of launching a browser.
class ClickRecorder : public ui::URLHandler {
 public:
  bool canOpenURL(const std::string& url) override { return url.rfind("https://", 0) == 0; }
  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

struct Row {
  std::shared_ptr<ui::TableViewCell> cell;
  std::shared_ptr<OvixAdInfo> ad;  // null for content rows
};

constexpr const char* kFeedUsage =
    "usage: ovix feed [--scroll] [--rows N] [--png PATH] [--http2] [--log]\n";

std::optional<int> parse(int argc, char** argv, FeedOptions& options) {
  Options args(argc, argv, 2);
  while (auto name = args.next()) {
    if (*name == "rows") {
      const auto value = args.value();
      const auto rows = value ? parseInteger(*value) : std::nullopt;
      if (!rows || *rows < 1 || *rows > 1000)
        return usageError("feed", "--rows takes 1 to 1000", kFeedUsage);
      options.rows = *rows;
    } else if (*name == "png") {
      const auto value = args.value();
      if (!value) return usageError("feed", "--png takes a path", kFeedUsage);
      options.png = *value;
    } else if (*name == "scroll") {
      options.scroll = true;
    } else if (*name == "log") {
      options.log = true;
    } else if (*name == "http2") {
      options.http2 = true;
    } else {
      return usageError("feed", "unknown option '" + *name + "'", kFeedUsage);
    }
  }
  return std::nullopt;
}

// Step 3: every fourth row an ad, the default and the custom binding in turn.
std::vector<Row> buildFeed(long long rows) {
  auto& manager = OvixManager::shared();
  std::vector<Row> feed;
  int stories = 0;
  int ads = 0;
  for (long long i = 0; i < rows; ++i) {
    std::shared_ptr<OvixAdInfo> ad;
    if (i % 4 == 3) ad = manager.hasNextAd(ads % 2 == 0 ? "top-feed" : "news-feed");
    if (!ad) {
      feed.push_back({makeStoryCell(stories++, kScreenWidth), nullptr});
      continue;
    }
    std::shared_ptr<ui::TableViewCell> cell;
    if (ads++ % 2 == 0) {
      cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
      cell->setFrame(Rect(0, 0, kScreenWidth, kRowHeight));
      manager.setInfeed(cell, ad, kRowHeight, Size{96, 60});
    } else {
      auto custom = ui::make<StoryAdCell>(kScreenWidth);
      custom->setFrame(Rect(0, 0, kScreenWidth, kRowHeight));
      manager.setInfeed(custom, ad, custom->picture, custom->title, custom->description,
                        custom->advertiser, custom->adLabel, kRowHeight, Rect(0, 0, 100, 60));
      cell = custom;
    }
    feed.push_back({cell, ad});
  }
  return feed;
}

// Step 4: rows reported in scroll order; returns the beacon URLs the SDK sends.
std::size_t scroll(const std::vector<Row>& feed) {
  BeaconTally beacons;
  for (const auto& row : feed) {
    OvixManager::shared().tryImpression(row.cell, kDisplayCallback);
    if (row.ad) beacons.displayed(*row.ad);
  }
  return beacons.sent();
}

void tapFirstAd(const std::vector<Row>& feed) {
  for (const auto& row : feed) {
    if (!row.ad) continue;
    for (const auto& view : row.cell->subviews()) {
      auto button = std::dynamic_pointer_cast<ui::Button>(view);
      if (button && button->tag() == kClickButtonTag) {
        button->sendTouchUpInside();
        return;
      }
    }
  }
}

// Step 5: the feed as a phone would show it, every row.
std::optional<std::string> drawFeed(const std::vector<Row>& feed, const std::string& path) {
  std::vector<PictureRow> rows;
  for (const auto& row : feed) {
    rows.push_back({row.cell, kRowHeight * static_cast<double>(rows.size()), row.ad != nullptr});
  }
  return drawPicture(rows, kRowHeight * static_cast<double>(feed.size()), path);
}

}  // namespace

int runFeed(int argc, char** argv) {
  FeedOptions options;
  if (auto status = parse(argc, argv, options)) return *status;
  if (options.scroll) return runScrollFeed(options);

  const auto server =
      startServer([&](devserver::ServerOptions& server) { server.http2 = options.http2; });
  if (!server) return 2;
  auto clicks = std::make_shared<ClickRecorder>();
  configure(options, *server, clicks);
  const std::int64_t loaded = loadAds();
  if (loaded < 0) return 1;

  const auto feed = buildFeed(options.rows.value_or(kFeedRows));
  const std::size_t sent = scroll(feed);
  tapFirstAd(feed);
  const bool settled = dispatch::waitForPendingWork(10s);
  const auto totals = server->stats().totals;
  const std::int64_t counted = totals.impressions + totals.viewableImpressions;
  const auto size = drawFeed(feed, options.png);
  std::size_t adRows = 0;
  for (const auto& row : feed) adRows += row.ad != nullptr;

  std::cout << "loaded " << loaded << " ads\n"
            << "feed " << feed.size() << " rows, " << adRows << " ads\n"
            << "impressions sent " << sent << ", counted by server " << counted << '\n'
            << (clicks->opened.empty() ? std::string("opened nothing")
                                       : "opened " + clicks->opened.front())
            << '\n'
            << "picture " << options.png << ' ' << size.value_or("none") << std::endl;
  if (options.http2) std::cout << "HTTP/2 connections " << server->connections() << std::endl;
  ui::Application::resetURLHandler();
  server->stop();
  // Over HTTP/2 the load has a connection of its own, and every image and
  // beacon shares one more.
  const bool shared = !options.http2 || server->connections() == 2;
  const bool ok = settled && loaded > 0 && adRows > 0 && sent > 0 &&
                  counted == static_cast<std::int64_t>(sent) && !clicks->opened.empty() &&
                  size.has_value() && shared;
  return ok ? 0 : 1;
}

}  // namespace ovix::tool
