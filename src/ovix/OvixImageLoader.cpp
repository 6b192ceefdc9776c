#include "OvixImageLoader.hpp"

#include <cmath>

#include "common/Log.hpp"
#include "dispatch/MainThreadBound.hpp"
#include "dispatch/PendingWork.hpp"
#include "net/Session.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix {
namespace {

constexpr double kTimeout = 10.0;
constexpr std::size_t kMaximumImageSize = 10 << 20;

// The image to show for downloaded `data`, given the rectangle read now.
std::shared_ptr<const gfx::Image> imageFor(const std::string& data, bool isCustomCell) {
  const Rect rect = OvixManager::shared().imageViewRect();
  if (rect.isZero()) {
    return isCustomCell ? gfx::decodeImage(data.data(), data.size()) : nullptr;
  }
  const gfx::DecodeHint hint{static_cast<int>(std::lround(rect.size.width)),
                             static_cast<int>(std::lround(rect.size.height))};
  const auto decoded = gfx::decodeImage(data.data(), data.size(), hint);
  return decoded ? gfx::redraw(*decoded, rect.size) : nullptr;
}

// The caller's callback, which may hold views: released on the main thread,
// and counted as pending work until then.
struct Delivery {
  explicit Delivery(OvixImageLoader::Callback callback) : callback(std::move(callback)) {}
  OvixImageLoader::Callback callback;
  dispatch::PendingWork pending;
};

}  // namespace

void OvixImageLoader::loadImage(const std::string& url, bool isCustomCell, Callback callback) {
  ULog("loadImage(by:isCustomCell:callback:)", "START");
  auto delivery = dispatch::makeMainThreadBound<Delivery>(std::move(callback));
  dispatch::globalQueue().async([url, isCustomCell, delivery] {
    auto address = net::Url::make(url);
    if (!address) {
      ULog("loadImage(by:isCustomCell:callback:)", "Invalid URL of the ad image. -> " + url);
      return;
    }
    net::Configuration configuration;
    configuration.timeoutIntervalForRequest = kTimeout;
    configuration.timeoutIntervalForResource = kTimeout;
    configuration.maximumBodySize = kMaximumImageSize;
    auto session = net::Session::make(configuration);
    auto task = session->dataTask(
        net::Request(std::move(*address)),
        [isCustomCell, delivery](std::optional<std::string> data,
                                 std::optional<HttpResponse> response, std::optional<Error> error) {
          const bool ok = !error && data && response && response->statusCode() >= 200 &&
                          response->statusCode() < 300;
          if (!ok) {
            ULog("loadImage(by:isCustomCell:callback:)", "Failure to load the ad image.");
            return;
          }
          auto image = imageFor(*data, isCustomCell);
          dispatch::mainQueue().async(
              [delivery, image = std::move(image)] { delivery->callback(image); });
        });
    task->resume();
    session->finishTasksAndInvalidate();
  });
}

void OvixImageLoader::loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                                bool isCustomCell) {
  loadImage(url, isCustomCell, [imageView](std::shared_ptr<const gfx::Image> image) {
    if (!imageView) return;
    imageView->setClipsToBounds(true);
    imageView->setContentMode(ui::ContentMode::scaleAspectFill);
    imageView->setImage(std::move(image));
  });
}

}  // namespace ovix
