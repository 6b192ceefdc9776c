#include "ovix/OvixImageLoader.hpp"

#include <atomic>
#include <cmath>

#include "ovix/DecodeBudget.hpp"
#include "Limits.hpp"
#include "ovix/common/Log.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Reply.hpp"
#include "platform/net/Fetch.hpp"
#include "platform/net/Url.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix {
namespace {

constexpr const char* kFunction = "loadImage(by:isCustomCell:callback:)";

// One load into an image view; the view keeps its latest, and a load no
// longer its view's is not delivered.
struct Ticket {
  std::atomic<bool> live{true};
};
const char ticketKey = 0;

std::shared_ptr<Ticket> replaceTicket(ui::ImageView& view, std::shared_ptr<Ticket> ticket) {
  auto old = std::static_pointer_cast<Ticket>(view.associatedObject(&ticketKey));
  if (old) old->live.store(false, std::memory_order_relaxed);
  view.setAssociatedObject(&ticketKey, ticket);
  return ticket;
}

// The caller's callback, run and destroyed on the main queue, since it may
// hold views; for a load into a view, that load's ticket.
struct Delivery {
  dispatch::Reply<std::shared_ptr<const gfx::Image>> reply;
  std::shared_ptr<Ticket> ticket;  // null for loads not into a view
  bool wanted() const { return !ticket || ticket->live.load(std::memory_order_relaxed); }
};

void deliver(const Delivery& delivery, std::shared_ptr<const gfx::Image> image) {
  delivery.reply(std::move(image));
}

// Decodes downloaded `data` for `rect` and delivers the image to show, within
// the decode budget. An image too large to take is a failed download.
void decodeAndDeliver(std::string data, bool isCustomCell, Rect rect,
                      const Delivery& delivery) {
  if (rect.isZero() && !isCustomCell) return deliver(delivery, nullptr);
  gfx::DecodeHint hint;
  if (!rect.isZero()) {
    hint = {static_cast<int>(std::lround(rect.size.width)),
            static_cast<int>(std::lround(rect.size.height))};
  }
  // The source's size bounds what the codecs hold while decoding, even at a
  // reduced scale; the decoded size is what the image keeps.
  const auto source = gfx::decodedSize(data.data(), data.size());
  const auto size = gfx::decodedSize(data.data(), data.size(), hint);
  if (!source || !size) return deliver(delivery, nullptr);
  if (source->width > limits::kMaximumImageSide || source->height > limits::kMaximumImageSide) {
    ULog(kFunction, "Failure to load the ad image.");
    return;
  }
  std::size_t bytes = std::size_t(source->width) * std::size_t(source->height) * 4;
  if (!rect.isZero()) bytes += std::size_t(std::max(hint.width, 0)) * std::max(hint.height, 0) * 4;
  DecodeBudget::shared().run(bytes, [data = std::move(data), hint, limit = *size, rect, delivery] {
    // A binding replaced while this waited for room needs no decode.
    if (!delivery.wanted()) return deliver(delivery, nullptr);
    auto image = gfx::decodeImage(data.data(), data.size(), hint, {limit.width, limit.height});
    if (image && !rect.isZero()) image = gfx::redraw(*image, rect.size);
    deliver(delivery, std::move(image));
  });
}

void start(const std::string& url, bool isCustomCell, Rect rect, Delivery delivery) {
  ULog(kFunction, "START");
  dispatch::globalQueue().async([url, isCustomCell, rect, delivery = std::move(delivery)] {
    auto address = net::Url::make(url);
    if (!address) {
      ULog(kFunction, "Invalid URL of the ad image. -> " + url);
      return;
    }
    net::Configuration configuration;
    configuration.timeoutIntervalForRequest = limits::kImageTimeout;
    configuration.timeoutIntervalForResource = limits::kImageTimeout;
    configuration.maximumBodySize = limits::kMaximumImageBytes;
    net::fetch(net::Request(std::move(address.value())), configuration,
               [isCustomCell, rect, delivery](std::optional<std::string> data,
                                              std::optional<HttpResponse> response,
                                              std::optional<Error> error) {
                 const bool ok = !error && data && response && response->statusCode() >= 200 &&
                                 response->statusCode() < 300;
                 if (!ok) {
                   ULog(kFunction, "Failure to load the ad image.");
                   return;
                 }
                 decodeAndDeliver(std::move(*data), isCustomCell, rect, delivery);
               });
  });
}

// The callback, checking the ticket: a delivery no longer wanted is dropped.
dispatch::Reply<std::shared_ptr<const gfx::Image>> replyTo(OvixImageLoader::Callback callback,
                                                           std::shared_ptr<Ticket> ticket) {
  return dispatch::Reply<std::shared_ptr<const gfx::Image>>(
      [callback = std::move(callback), ticket](std::shared_ptr<const gfx::Image> image) {
        if (ticket && !ticket->live.load(std::memory_order_relaxed)) {
          ULog("loadImage(to:url:isCustomCell:)", "The image of an earlier binding was dropped.");
          return;
        }
        callback(std::move(image));
      },
      dispatch::mainQueueHandle());
}

}  // namespace

void OvixImageLoader::loadImage(const std::string& url, bool isCustomCell, Rect rect,
                                Callback callback) {
  start(url, isCustomCell, rect, Delivery{replyTo(std::move(callback), nullptr), nullptr});
}

void OvixImageLoader::loadImage(const std::string& url, bool isCustomCell, Callback callback) {
  loadImage(url, isCustomCell, OvixManager::shared().imageViewRect(), std::move(callback));
}

void OvixImageLoader::loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                                bool isCustomCell, Rect rect) {
  auto ticket = imageView ? replaceTicket(*imageView, std::make_shared<Ticket>()) : nullptr;
  auto put = [imageView](std::shared_ptr<const gfx::Image> image) {
    if (!imageView) return;
    imageView->setClipsToBounds(true);
    imageView->setContentMode(ui::ContentMode::scaleAspectFill);
    imageView->setImage(std::move(image));
  };
  start(url, isCustomCell, rect, Delivery{replyTo(std::move(put), ticket), ticket});
}

void OvixImageLoader::loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                                bool isCustomCell) {
  loadImage(std::move(imageView), url, isCustomCell, OvixManager::shared().imageViewRect());
}

void OvixImageLoader::cancelLoad(ui::ImageView& imageView) {
  replaceTicket(imageView, nullptr);
}

}  // namespace ovix
