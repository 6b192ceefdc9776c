#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ovix/platform/Image.hpp"
#include "ovix/platform/ImageView.hpp"

namespace ovix {

// Downloads an ad's image in the background, redraws it to the shared
// manager's imageViewRect and delivers it on the main queue. No cache, no
// retry. Downloads are verified HTTPS or HTTP, at most 10 MiB, and give up
// after 10 seconds; a status outside 2xx counts as a failed download.
class OvixImageLoader {
 public:
  using Callback = std::function<void(std::shared_ptr<const gfx::Image>)>;

  OvixImageLoader() = delete;

  // Calls `callback` once on the main queue with the image, or null when the
  // bytes are not an image or no image is wanted (a zero imageViewRect outside
  // custom cells). Not called when the URL is invalid or the download fails.
  // Any thread; returns at once.
  static void loadImage(const std::string& url, bool isCustomCell, Callback callback);

  // The same, putting the result into `imageView` (held until then): clipped,
  // aspect-filled, and cleared by a null image. A null view downloads anyway.
  static void loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                        bool isCustomCell = true);
};

}  // namespace ovix
