#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/Image.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// How an image view fits its image into its bounds.
enum class ContentMode {
  scaleToFill,      // stretched over the bounds, aspect ratio not kept
  scaleAspectFit,   // as large as fits whole, centred
  scaleAspectFill,  // as small as covers the bounds, centred
};

// Shows an image, or nothing. Main thread only.
class OVIX_EXPORT ImageView : public View {
 public:
  explicit ImageView(ViewKey key, Rect frame = Rect());
  ~ImageView() override;

  // May be null.
  const std::shared_ptr<const gfx::Image>& image() const { return image_; }
  void setImage(std::shared_ptr<const gfx::Image> image) { image_ = std::move(image); }

  // Whether drawing is cut at the bounds. False unless set.
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }

  // scaleToFill unless set.
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode mode) { contentMode_ = mode; }

 private:
  std::shared_ptr<const gfx::Image> image_;
  bool clipsToBounds_ = false;
  ContentMode contentMode_ = ContentMode::scaleToFill;
};

}  // namespace ovix::ui
