#include "ovix/platform/ImageDrawing.hpp"

#include <cmath>
#include <new>
#include <vector>

#include "Cairo.hpp"
#include "Pixels.hpp"

namespace ovix::gfx {
namespace {

// Paints `source` stretched over all of `target`. Edge pixels are extended
// rather than faded into transparency when scaling up.
bool paintStretched(cairo_surface_t* source, int sourceWidth, int sourceHeight,
                    cairo_surface_t* target, int width, int height) {
  const CairoContext cr(cairo_create(target));
  cairo_scale(cr.get(), static_cast<double>(width) / sourceWidth,
              static_cast<double>(height) / sourceHeight);
  cairo_set_source_surface(cr.get(), source, 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr.get());
  cairo_surface_flush(target);
  return cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::shared_ptr<const Image> redraw(const Image& image, Size size) {
  const double w = std::round(size.width);
  const double h = std::round(size.height);
  if (!(w >= 1 && h >= 1 && w <= Image::kMaxSide && h <= Image::kMaxSide)) return nullptr;
  const int width = static_cast<int>(w);
  const int height = static_cast<int>(h);

  std::vector<std::uint32_t> pixels;
  if (!pixels::allocate(pixels, width, height)) return nullptr;
  {
    const CairoSurface target = surfaceOver(pixels.data(), width, height);
    const CairoSurface source = sourceSurface(image);
    if (cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_status(source.get()) != CAIRO_STATUS_SUCCESS ||
        !paintStretched(source.get(), image.width(), image.height(), target.get(), width, height)) {
      return nullptr;
    }
  }
  return Image::fromPixels(width, height, std::move(pixels));
}

}  // namespace ovix::gfx
