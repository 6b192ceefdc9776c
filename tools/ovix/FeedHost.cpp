#include "FeedHost.hpp"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "ovix/platform/ImageWriting.hpp"
#include "ovix/platform/Renderer.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

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

}  // namespace

std::unique_ptr<devserver::Server> startServer(
    const std::function<void(devserver::ServerOptions&)>& adjust) {
  const auto samples = Bundle::sdk()->pathForResource("sample-ads.json");
  auto inventory = samples ? devserver::Inventory::load(*samples)
                           : devserver::Result<devserver::Inventory>(
                                 devserver::Failure{"the sample ads are missing"});
  if (!inventory) {
    std::fprintf(stderr, "ovix feed: %s\n", inventory.error().message.c_str());
    return nullptr;
  }
  devserver::ServerOptions options;
  options.port = 0;
  options.inventory = std::move(inventory.value());
  if (adjust) adjust(options);
  auto server = std::make_unique<devserver::Server>(std::move(options));
  if (auto failure = server->start()) {
    std::fprintf(stderr, "ovix feed: the development server: %s\n", failure->c_str());
    return nullptr;
  }
  return server;
}

std::string imageName(const std::string& url) {
  return url.substr(url.rfind('/') + 1);
}

void configure(const FeedOptions& options, const devserver::Server& server,
               std::shared_ptr<ui::URLHandler> opener) {
  device::setMainScreenBounds(Rect(0, 0, kScreenWidth, kScreenHeight));
  device::setModel("iPhone");
  Bundle::setMainBundleIdentifier("io.ovix.feed-demo");
  useragent::setProvider([] { return std::string("OvixFeedDemo/1.0 (Linux)"); });
  if (opener) ui::Application::setURLHandler(std::move(opener));
  OvixManager::shared().log(options.log);
  // Development settings: reach the ad server's host on the local server.
  net::setExtraTrustedCertificates(server.certificatePath().string());
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
}

std::int64_t loadAds() {
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

void BeaconTally::displayed(const OvixAdInfo& ad) {
  if (!impressed_.insert(ad.uuid()).second) return;
  const auto usable = [](const std::vector<std::string>& urls) {
    return static_cast<std::size_t>(
        std::count_if(urls.begin(), urls.end(), [](const auto& url) { return !url.empty(); }));
  };
  sent_ += usable(ad.impUrl());
  if (viewabilityMeasured_) {
    viewableLater_[ad.uuid()] = usable(ad.viewableImpUrl());
  } else {
    sent_ += usable(ad.viewableImpUrl());
  }
}

void BeaconTally::viewed(const std::string& uuid) {
  const auto found = viewableLater_.find(uuid);
  if (found == viewableLater_.end()) return;
  sent_ += found->second;
  viewableLater_.erase(found);
}

std::optional<std::string> drawPicture(const std::vector<PictureRow>& rows, double height,
                                       const std::string& path) {
  auto screen = ui::make<ui::View>(Rect(0, 0, kScreenWidth, height));
  auto background = ui::make<ui::Button>(screen->frame());
  background->setBackgroundColor(ui::Color::white());
  screen->addSubview(background);
  for (const auto& row : rows) {
    const Rect frame(0, row.y, kScreenWidth, row.view->frame().size.height);
    if (row.isAd) {
      auto band = ui::make<ui::Button>(frame);
      band->setBackgroundColor(ui::Color{1.0, 0.97, 0.85, 1.0});
      screen->addSubview(band);
    }
    row.view->setFrame(frame);
    screen->addSubview(row.view);
  }
  const auto picture = ui::render(*screen);
  if (!picture) return std::nullopt;
  if (auto error = gfx::writePng(*picture, path)) {
    std::fprintf(stderr, "ovix feed: %s\n", error->localizedDescription().c_str());
    return std::nullopt;
  }
  return std::to_string(picture->width()) + "x" + std::to_string(picture->height());
}

}  // namespace ovix::tool
