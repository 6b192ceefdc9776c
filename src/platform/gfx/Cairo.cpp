#include "platform/gfx/Cairo.hpp"

namespace ovix::gfx {

CairoSurface surfaceOver(std::uint32_t* pixels, int width, int height) {
  return CairoSurface(cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, width * 4));
}

CairoSurface sourceSurface(const Image& image) {
  // cairo only reads a source surface, so the image stays unchanged.
  return surfaceOver(const_cast<std::uint32_t*>(image.pixels().data()), image.width(),
                     image.height());
}

}  // namespace ovix::gfx
