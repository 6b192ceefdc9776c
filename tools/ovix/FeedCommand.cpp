// A sample host, written as the integration guide reads: configure the SDK,
// load two slots, build a feed with an ad every fourth row, report rows as
// they appear, tap an ad, then show what happened and draw the feed.
#include "FeedCommand.hpp"

#include <cstdio>
#include <iostream>
#include <set>

#include "FeedCells.hpp"
#include "Options.hpp"
#include "devserver/Server.hpp"
#include "ovix/Ovix.hpp"
#include "ovix/platform/ImageWriting.hpp"
#include "ovix/platform/Renderer.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

constexpr double kScreenWidth = 375;
constexpr const char* kDisplayCallback = "tableView(_:willDisplay:forRowAt:)";

struct FeedOptions {
  long long rows = 24;
  std::string png = "feed.png";
  bool log = false;
};

// Hears the load's outcome; any thread.
class FeedDelegate : public OvixInfeed {
 public:
  void successfulToReceivedAt(std::int64_t count) override { finish(count); }
  void failedToReceivedWith(const std::optional<Error>& error) override {
    std::fprintf(stderr, "ovix feed: the load failed: %s\n",
                 error ? error->description().c_str() : "no error");
    finish(-1);
  }
  std::optional<std::int64_t> count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  void finish(std::int64_t count) {
    std::lock_guard lock(mutex_);
    count_ = count;
  }
  mutable std::mutex mutex_;
  std::optional<std::int64_t> count_;  // guarded by mutex_
};

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
  std::shared_ptr<ui::View> view;  // what the feed shows: the cell, or the cell on an ad marker
  std::shared_ptr<ui::TableViewCell> cell;
  std::shared_ptr<OvixAdInfo> ad;  // null for content rows
};

int usage(const std::string& message) {
  std::fprintf(stderr, "ovix feed: %s\nusage: ovix feed [--rows N] [--png PATH] [--log]\n",
               message.c_str());
  return 2;
}

std::optional<int> parse(int argc, char** argv, FeedOptions& options) {
  Options args(argc, argv, 2);
  while (auto name = args.next()) {
    if (*name == "rows") {
      const auto value = args.value();
      const auto rows = value ? parseInteger(*value) : std::nullopt;
      if (!rows || *rows < 1 || *rows > 1000) return usage("--rows takes 1 to 1000");
      options.rows = *rows;
    } else if (*name == "png") {
      const auto value = args.value();
      if (!value) return usage("--png takes a path");
      options.png = *value;
    } else if (*name == "log") {
      options.log = true;
    } else {
      return usage("unknown option '" + *name + "'");
    }
  }
  return std::nullopt;
}

// Step 1: the SDK's configuration, before the first use of the manager.
void configure(const FeedOptions& options, const devserver::Server& server,
               const std::shared_ptr<ClickRecorder>& clicks) {
  device::setMainScreenBounds(Rect(0, 0, kScreenWidth, 812));
  device::setModel("iPhone");
  Bundle::setMainBundleIdentifier("io.ovix.feed-demo");
  useragent::setProvider([] { return std::string("OvixFeedDemo/1.0 (Linux)"); });
  ui::Application::setURLHandler(clicks);
  OvixManager::shared().log(options.log);
  // Development settings: reach the ad server's host on the local server.
  net::setExtraTrustedCertificates(server.certificatePath().string());
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
}

// Step 2: one request for two slots.
std::int64_t load() {
  auto delegate = std::make_shared<FeedDelegate>();
  {
    OvixRequest request;
    request.set("top-feed", 3);
    request.set("news-feed", 3);
    OvixManager::shared().loadOvix(request, delegate);
  }
  dispatch::runMainQueueUntil([&] { return delegate->count().has_value(); }, 10s);
  return delegate->count().value_or(-1);
}

// A pale band under an ad row, so the picture shows which rows are ads.
std::shared_ptr<ui::View> marked(const std::shared_ptr<ui::TableViewCell>& cell) {
  auto row = ui::make<ui::View>(Rect(0, 0, kScreenWidth, kRowHeight));
  auto band = ui::make<ui::Button>(Rect(0, 0, kScreenWidth, kRowHeight));
  band->setBackgroundColor(ui::Color{1.0, 0.97, 0.85, 1.0});
  row->addSubview(band);
  row->addSubview(cell);
  return row;
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
      auto cell = makeStoryCell(stories++, kScreenWidth);
      feed.push_back({cell, cell, nullptr});
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
    feed.push_back({marked(cell), cell, ad});
  }
  return feed;
}

// Step 4: rows reported in scroll order; returns the beacon URLs the SDK sends.
std::size_t scroll(const std::vector<Row>& feed) {
  std::set<std::string> impressed;
  std::size_t beacons = 0;
  for (const auto& row : feed) {
    OvixManager::shared().tryImpression(row.cell, kDisplayCallback);
    if (row.ad && impressed.insert(row.ad->uuid()).second) {
      for (const auto* urls : {&row.ad->impUrl(), &row.ad->viewableImpUrl()}) {
        for (const auto& url : *urls) beacons += !url.empty();
      }
    }
  }
  return beacons;
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

// Step 5: the feed as a phone would show it.
std::optional<std::string> drawFeed(const std::vector<Row>& feed, const std::string& path) {
  auto screen =
      ui::make<ui::View>(Rect(0, 0, kScreenWidth, kRowHeight * static_cast<double>(feed.size())));
  auto background = ui::make<ui::Button>(screen->frame());
  background->setBackgroundColor(ui::Color::white());
  screen->addSubview(background);
  double y = 0;
  for (const auto& row : feed) {
    row.view->setFrame(Rect(0, y, kScreenWidth, kRowHeight));
    screen->addSubview(row.view);
    y += kRowHeight;
  }
  const auto picture = ui::render(*screen);
  if (!picture) return std::nullopt;
  if (auto error = gfx::writePng(*picture, path)) {
    std::fprintf(stderr, "ovix feed: %s\n", error->localizedDescription().c_str());
    return std::nullopt;
  }
  return std::to_string(picture->width()) + "x" + std::to_string(picture->height());
}

}  // namespace

int runFeed(int argc, char** argv) {
  FeedOptions options;
  if (auto status = parse(argc, argv, options)) return *status;

  devserver::ServerOptions serverOptions;
  serverOptions.port = 0;
  const auto samples = Bundle::sdk()->pathForResource("sample-ads.json");
  auto inventory = samples ? devserver::Inventory::load(*samples)
                           : devserver::Result<devserver::Inventory>(
                                 devserver::Failure{"the sample ads are missing"});
  if (!inventory) return usage(inventory.error());
  serverOptions.inventory = std::move(inventory.value());
  devserver::Server server(std::move(serverOptions));
  if (auto failure = server.start()) return usage("the development server: " + *failure);

  auto clicks = std::make_shared<ClickRecorder>();
  configure(options, server, clicks);
  const std::int64_t loaded = load();
  if (loaded < 0) return 1;

  const auto feed = buildFeed(options.rows);
  const std::size_t sent = scroll(feed);
  tapFirstAd(feed);
  const bool settled = dispatch::waitForPendingWork(10s);
  const auto totals = server.stats().totals;
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
  ui::Application::resetURLHandler();
  server.stop();
  const bool ok = settled && loaded > 0 && adRows > 0 && sent > 0 &&
                  counted == static_cast<std::int64_t>(sent) && !clicks->opened.empty() &&
                  size.has_value();
  return ok ? 0 : 1;
}

}  // namespace ovix::tool
