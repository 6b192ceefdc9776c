#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>

#include "ovix/platform/Image.hpp"

// Owning handles for cairo objects, and surfaces over the SDK's images.
namespace ovix::gfx {

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextDeleter {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextDeleter>;

// An ARGB32 surface over `pixels` (width * height words), which must outlive it.
CairoSurface surfaceOver(std::uint32_t* pixels, int width, int height);

// A surface over the image's pixels for cairo to read from; drawing into it
// is not allowed. `image` must outlive it.
CairoSurface sourceSurface(const Image& image);

}  // namespace ovix::gfx
