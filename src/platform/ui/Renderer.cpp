#include "ovix/platform/Renderer.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ovix/platform/Button.hpp"
#include "ovix/platform/CollectionViewCell.hpp"
#include "ovix/platform/ImageView.hpp"
#include "ovix/platform/Label.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "platform/gfx/Cairo.hpp"
#include "platform/gfx/Pixels.hpp"
#include "platform/ui/CellLayout.hpp"
#include "platform/ui/Text.hpp"

namespace ovix::ui {
namespace {

// Where the image goes within `bounds` for each content mode.
Rect imageFrame(ContentMode mode, Size image, Size bounds) {
  if (mode == ContentMode::scaleToFill) return Rect(0, 0, bounds.width, bounds.height);
  const double across = bounds.width / image.width;
  const double down = bounds.height / image.height;
  const double scale =
      mode == ContentMode::scaleAspectFit ? std::min(across, down) : std::max(across, down);
  const Size size{image.width * scale, image.height * scale};
  return Rect((bounds.width - size.width) / 2, (bounds.height - size.height) / 2, size.width,
              size.height);
}

void fill(cairo_t* cr, Color color, Size bounds) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
  cairo_rectangle(cr, 0, 0, bounds.width, bounds.height);
  cairo_fill(cr);
}

void drawImage(cairo_t* cr, const ImageView& view, Size bounds) {
  const auto& image = view.image();
  if (!image || bounds.width <= 0 || bounds.height <= 0) return;
  const gfx::CairoSurface source = gfx::sourceSurface(*image);
  if (cairo_surface_status(source.get()) != CAIRO_STATUS_SUCCESS) return;
  const Rect frame = imageFrame(view.contentMode(), image->size(), bounds);
  cairo_save(cr);
  cairo_translate(cr, frame.origin.x, frame.origin.y);
  cairo_scale(cr, frame.size.width / image->width(), frame.size.height / image->height());
  cairo_set_source_surface(cr, source.get(), 0, 0);
  // Edge pixels are extended rather than faded into transparency.
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_rectangle(cr, 0, 0, image->width(), image->height());
  cairo_fill(cr);
  cairo_restore(cr);
}

// One walk of a tree; it places the views that cells lay out as it meets them.
class Walk {
 public:
  explicit Walk(cairo_t* cr) : cr_(cr) {}

  // Draws `view` and its subviews at `frame`, in the current coordinates.
  // A hidden view draws nothing.
  void draw(const View& view, Rect frame) {
    if (view.isHidden()) return;
    cairo_save(cr_);
    cairo_translate(cr_, frame.origin.x, frame.origin.y);
    const Size bounds = frame.size;
    const auto* imageView = dynamic_cast<const ImageView*>(&view);
    if (imageView && imageView->clipsToBounds()) {
      cairo_rectangle(cr_, 0, 0, bounds.width, bounds.height);
      cairo_clip(cr_);
    }
    if (const auto* button = dynamic_cast<const Button*>(&view)) {
      fill(cr_, button->backgroundColor(), bounds);
    } else if (const auto* label = dynamic_cast<const Label*>(&view)) {
      text::drawLabel(cr_, *label, bounds);
    } else if (imageView) {
      drawImage(cr_, *imageView, bounds);
    } else if (const auto* cell = dynamic_cast<const TableViewCell*>(&view)) {
      placed_.merge(layOutCell(cr_, *cell));
    } else if (const auto* item = dynamic_cast<const CollectionViewCell*>(&view)) {
      if (const auto content = item->contentView()) {
        placed_[content.get()] = Rect(0, 0, bounds.width, bounds.height);
      }
    }
    for (const auto& subview : view.subviews()) {
      if (subview) draw(*subview, frameOf(*subview));
    }
    cairo_restore(cr_);
  }

 private:
  Rect frameOf(const View& view) const {
    const auto found = placed_.find(&view);
    return found != placed_.end() ? found->second : view.frame();
  }

  cairo_t* cr_;
  Frames placed_;
};

}  // namespace

std::shared_ptr<const gfx::Image> render(const View& root) {
  const double w = std::round(root.frame().size.width);
  const double h = std::round(root.frame().size.height);
  if (!(w >= 1 && h >= 1 && w <= gfx::Image::kMaxSide && h <= gfx::Image::kMaxSide)) {
    return nullptr;
  }
  const int width = static_cast<int>(w);
  const int height = static_cast<int>(h);
  std::vector<std::uint32_t> pixels;
  if (!gfx::pixels::allocate(pixels, width, height)) return nullptr;
  {
    const gfx::CairoSurface surface = gfx::surfaceOver(pixels.data(), width, height);
    const gfx::CairoContext cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    Walk(cr.get()).draw(root, Rect(0, 0, root.frame().size.width, root.frame().size.height));
    cairo_surface_flush(surface.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  }
  return gfx::Image::fromPixels(width, height, std::move(pixels));
}

}  // namespace ovix::ui
