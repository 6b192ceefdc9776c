#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/Image.hpp"
#include "ovix/platform/ImageView.hpp"

namespace ovix {

// Downloads an ad's image in the background, redraws it to the size its
// binding asked for and delivers it on the main queue. No cache, no retry.
// Downloads are verified HTTPS or HTTP, at most 10 MiB, and give up after 10
// seconds; a status outside 2xx counts as a failed download, and so does an
// image larger than 4096 pixels a side. Decodes in flight share a memory
// budget (see DecodeBudget).
class OvixImageLoader {
 public:
  using Callback = std::function<void(std::shared_ptr<const gfx::Image>)>;

  OvixImageLoader() = delete;

  // Calls `callback` once on the main queue with the image redrawn to
  // `rect`'s size; with a zero `rect`, at its natural size for custom cells
  // and no image otherwise. Null when the bytes are not an image. Not called
  // when the URL is invalid or the download fails. Any thread; returns at
  // once.
  static void loadImage(const std::string& url, bool isCustomCell, Rect rect, Callback callback);
  // The same with the shared manager's imageViewRect as it is now.
  static void loadImage(const std::string& url, bool isCustomCell, Callback callback);

  // The same, putting the result into `imageView` (held until then): clipped,
  // aspect-filled, and cleared by a null image. The latest load of a view
  // wins: an earlier one still on its way is dropped when it arrives. A null
  // view downloads anyway. Main thread.
  static void loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                        bool isCustomCell, Rect rect);
  static void loadImage(std::shared_ptr<ui::ImageView> imageView, const std::string& url,
                        bool isCustomCell = true);

  // Drops the load on its way to `imageView`, if any: its image will not be
  // set. Main thread.
  static void cancelLoad(ui::ImageView& imageView);
};

}  // namespace ovix
