#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "encoders/ImageEncoders.hpp"
#include "ovix/Ovix.hpp"
#include "platform/clock/Clock.hpp"
#include "platform/dispatch/Timers.hpp"
#include "support/CaptureStdout.hpp"
#include "support/TlsServer.hpp"

namespace ovix::test {

// Records the outcomes a load delivers, and where they arrived.
class RecordingDelegate : public OvixInfeed {
 public:
  // Runs inside successfulToReceivedAt, on its thread.
  std::function<void()> onSuccess;

  void successfulToReceivedAt(std::int64_t count) override {
    if (onSuccess) onSuccess();
    record(std::to_string(count) + " ads");
  }
  void failedToReceivedWith(const std::optional<Error>& error) override {
    record(error ? error->domain() + " " + std::to_string(error->code()) : "no error");
  }

  int calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // The last outcome, "" before any: "COUNT ads", "DOMAIN CODE" or "no
  // error", then " on main" or " off main", and " (N calls)" beyond one.
  std::string heard() const {
    std::lock_guard lock(mutex_);
    return calls_ > 1 ? heard_ + " (" + std::to_string(calls_) + " calls)" : heard_;
  }

 private:
  void record(std::string outcome) {
    outcome += dispatch::isMainThread() ? " on main" : " off main";
    std::lock_guard lock(mutex_);
    ++calls_;
    heard_ = std::move(outcome);
  }

  mutable std::mutex mutex_;
  int calls_ = 0;      // guarded by mutex_
  std::string heard_;  // guarded by mutex_
};

// Records the events it hears, one line each, in order: "impression UUID",
// "viewable UUID",
// "beacon UUID URL [STATUS] [DOMAIN CODE]", "click UUID URL opened|refused",
// "expired UUID", with " off main" for one heard elsewhere. The lines outlive
// the listener.
class RecordingListener : public OvixEventListener {
 public:
  const std::shared_ptr<std::vector<std::string>> heard =
      std::make_shared<std::vector<std::string>>();
  // Runs after each event is recorded.
  std::function<void()> onEvent;

  void impressionRecorded(const std::string& uuid) override { record("impression " + uuid); }
  void viewableImpressionRecorded(const std::string& uuid) override { record("viewable " + uuid); }
  void beaconFinished(const std::string& uuid, const std::string& url,
                      const BeaconOutcome& outcome) override {
    std::string line = "beacon " + uuid + " " + url;
    if (outcome.status) line.append(" ").append(std::to_string(*outcome.status));
    if (outcome.error) {
      line.append(" ").append(outcome.error->domain());
      line.append(" ").append(std::to_string(outcome.error->code()));
    }
    record(std::move(line));
  }
  void adClicked(const std::string& uuid, const std::string& url, bool opened) override {
    record("click " + uuid + " " + url + (opened ? " opened" : " refused"));
  }
  void adExpired(const std::string& uuid) override { record("expired " + uuid); }

 private:
  void record(std::string line) {
    if (!dispatch::isMainThread()) line += " off main";
    heard->push_back(std::move(line));
    if (onEvent) onEvent();
  }
};

inline constexpr const char* kWillDisplay = "tableView(_:willDisplay:forRowAt:)";
// The colours of the fixture's banners.
inline constexpr std::uint32_t kRed = 0xFFC81E1E, kGreen = 0xFF1EC81E, kBlue = 0xFF1E1EC8;

// A PNG of `width` by `height` pixels of one colour, 0xAARRGGBB.
inline std::string png(int width, int height, std::uint32_t colour) {
  const auto bytes = encoders::encodePng(
      encoders::RgbaImage(width, height,
                          {std::uint8_t(colour >> 16), std::uint8_t(colour >> 8),
                           std::uint8_t(colour), std::uint8_t(colour >> 24)}));
  return std::string(bytes.begin(), bytes.end());
}

// The integration tests' fixture: a loopback HTTPS server, trusted, that
// stands in for the ad server (ad.ovix.example:443). Releases what the server
// holds, expects no work to outlive the test and puts the shared manager back
// as it found it. Runs on the main thread, which drives the main queue.
class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(net::setExtraTrustedCertificates(TlsServer::trustedCertificatesPath()));
    ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server_.port()));
    manager().setScreenWidth(320);
    // Banners of 300 by 200: /img/COLOUR.png at once, /slow/COLOUR.png once
    // releaseHeld() lets it go. Beacons at /imp/ and /vimp/.
    server_.handle("GET", "/(img|slow)/(red|green|blue)\\.png", [this](const auto& req, auto& res) {
      if (req.matches[1] == "slow") server_.hold();
      const std::uint32_t colour = req.matches[2] == "red"     ? kRed
                                   : req.matches[2] == "green" ? kGreen
                                                               : kBlue;
      res.set_content(png(300, 200, colour), "image/png");
    });
    answer("GET", "/v?imp/.*", "", 200, "text/plain");
  }

  void TearDown() override {
    manager().setBeaconStore("");
    server_.releaseHeld();
    EXPECT_TRUE(dispatch::waitForPendingWork(std::chrono::seconds(10))) << "work outlived a test";
    net::clearConnectOverrides();
    manager().clearAd();
    manager().setUserAgent("");
    manager().setImageViewRect(Rect());
    manager().setAdLabelString("PR");
    ui::Application::resetURLHandler();
    manager().setEventListener(nullptr);
    manager().setAdTimeToLive(0);
    manager().setMaximumAdsPerSlot(0);
    manager().setViewabilityMeasurement(false);
    manager().setApplicationActive(true);
    clock::setSourceForTesting(nullptr);
  }

  // Stops the SDK's clock; advance() moves it.
  static void stopClock() {
    stoppedClockTicks = std::chrono::steady_clock::now().time_since_epoch().count();
    clock::setSourceForTesting(
        [] { return clock::TimePoint(clock::Duration(stoppedClockTicks.load())); });
  }

  // Moves the stopped clock by `step`, then runs the main queue until every
  // timer due by then has run its task there: timers due at once post in the
  // order set, so a marker set last runs last.
  static void advance(clock::Duration step) {
    stoppedClockTicks += step.count();
    auto marked = std::make_shared<std::atomic<bool>>(false);
    dispatch::after(clock::Duration::zero(), dispatch::mainQueue(), [marked] { *marked = true; });
    dispatch::checkTimersNow();
    EXPECT_TRUE(
        dispatch::runMainQueueUntil([&] { return marked->load(); }, std::chrono::seconds(10)));
  }

  static OvixManager& manager() { return OvixManager::shared(); }

  // Answers `method` requests for paths matching `pattern` with `body`.
  void answer(const std::string& method, const std::string& pattern, std::string body,
              int status = 200, std::string type = "application/json") {
    server_.handle(method, pattern, [=](const httplib::Request&, httplib::Response& response) {
      response.status = status;
      response.set_content(body, type);
    });
  }

  // An ad named `name` for the slot "s", its image at `image`, a path on the
  // ad server or else a URL as it stands.
  static std::shared_ptr<OvixAdInfo> ad(const std::string& name, const std::string& image = "") {
    auto record = std::make_shared<OvixAdInfo>();
    record->setInfeedId("s");
    record->setUuid("uuid-" + name);
    record->setTitle("Title " + name);
    record->setAdvertiser("Advertiser " + name);
    record->setDescript("Description " + name);
    record->setImageUrl(image.rfind('/', 0) == 0 ? "https://ad.ovix.example" + image : image);
    record->setClickUrl("https://click.example/" + name);
    return record;
  }

  // Binds `record` into `cell` with the host's own `imageView` and labels.
  static void bindCustom(const std::shared_ptr<ui::TableViewCell>& cell,
                         const std::shared_ptr<OvixAdInfo>& record,
                         const std::shared_ptr<ui::ImageView>& imageView) {
    manager().setInfeed(cell, record, imageView, ui::make<ui::Label>(), nullptr,
                        ui::make<ui::Label>(), nullptr, 80);
  }

  // The colour at the centre of the view's image, 0 for none.
  static std::uint32_t centre(const ui::ImageView& view) {
    const auto image = view.image();
    return image ? image->pixel(image->width() / 2, image->height() / 2) : 0;
  }

  // The click buttons the SDK put on `view`.
  static std::vector<std::shared_ptr<ui::Button>> clickButtons(const ui::View& view) {
    std::vector<std::shared_ptr<ui::Button>> buttons;
    for (const auto& subview : view.subviews()) {
      if (subview->tag() != kClickButtonTag) continue;
      buttons.push_back(std::dynamic_pointer_cast<ui::Button>(subview));
    }
    return buttons;
  }

  // Starts a load of one ad for the slot "a", or of what `fill` asks.
  static std::shared_ptr<RecordingDelegate> startLoad(
      const std::function<void(OvixRequest&)>& fill = [](OvixRequest& r) { r.set("a", 1); }) {
    auto delegate = std::make_shared<RecordingDelegate>();
    OvixRequest request;
    fill(request);
    manager().loadOvix(request, delegate);
    return delegate;
  }

  // Adds an ad with these beacons to the inventory, alone in its slot, and
  // returns the inventory's copy.
  static std::shared_ptr<OvixAdInfo> stock(const std::string& uuid, std::vector<std::string> imp,
                                           std::vector<std::string> viewable = {}) {
    auto record = std::make_shared<OvixAdInfo>();
    record->setInfeedId(uuid);
    record->setUuid(uuid);
    record->setImpUrl(std::move(imp));
    record->setViewableImpUrl(std::move(viewable));
    manager().add(std::vector{record});
    return manager().hasNextAd(uuid);
  }

  // A plain cell with `ad` bound by the default binding.
  static std::shared_ptr<ui::TableViewCell> boundCell(const std::shared_ptr<OvixAdInfo>& ad) {
    auto cell = ui::make<ui::TableViewCell>();
    manager().setInfeed(cell, ad, 80, Size{60, 40});
    return cell;
  }

  // The log written while `run` runs and the work it starts finishes.
  static std::string logOf(const std::function<void()>& run,
                           std::chrono::seconds timeout = std::chrono::seconds(20)) {
    logging = true;
    CaptureStdout out;
    run();
    const bool finished = dispatch::waitForPendingWork(timeout);
    std::string log = out.stop();
    logging = false;
    EXPECT_TRUE(finished) << "work still pending";
    return log;
  }

  TlsServer server_{TlsServer::Certificate::kTrusted, 32};
  static inline std::atomic<clock::Duration::rep> stoppedClockTicks{0};
};

}  // namespace ovix::test
