// The smallest host: states its screen and device, puts an ad of its own into
// a plain cell, reports the cell displayed and taps it. Exits 0 when the SDK
// did all of it.
#include <cstdio>
#include <ovix/Ovix.hpp>

namespace {

// Records the URL a tap opens instead of starting a browser.
class Opener : public ovix::ui::URLHandler {
 public:
  bool canOpenURL(const std::string&) override { return true; }
  bool openURL(const std::string& url) override {
    opened = url;
    return true;
  }
  std::string opened;
};

}  // namespace

int main() {
  ovix::device::setMainScreenBounds(ovix::Rect(0, 0, 320, 640));
  auto& manager = ovix::OvixManager::shared();
  auto opener = std::make_shared<Opener>();
  ovix::ui::Application::setURLHandler(opener);

  auto ad = std::make_shared<ovix::OvixAdInfo>();
  ad->setInfeedId("top");
  ad->setTitle("Hello from the host");
  ad->setClickUrl("https://example.com/");
  manager.add(std::vector{ad});

  auto cell = ovix::ui::make<ovix::ui::TableViewCell>();
  manager.setInfeed(cell, manager.hasNextAd("top"), 80, ovix::Size{60, 40});
  manager.tryImpression(cell, "tableView(_:willDisplay:forRowAt:)");
  const bool opened = manager.openAd(cell);
  ovix::dispatch::waitForPendingWork(std::chrono::seconds(10));

  // The placeholder comes from the installed resources; the ad has no image.
  const bool placeholder = cell->imageView()->image() != nullptr;
  std::printf("version %s\ntitle %s\nplaceholder %s\nopened %s\n", manager.version().c_str(),
              cell->textLabel()->text().c_str(), placeholder ? "yes" : "no",
              opened ? opener->opened.c_str() : "nothing");
  return opened && placeholder && cell->textLabel()->text() == "Hello from the host" ? 0 : 1;
}
