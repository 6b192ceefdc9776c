#pragma once

#include <cstddef>
#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/Image.hpp"

namespace ovix::gfx {

// The size in pixels an image is about to be drawn at; 0 for unknown. A JPEG
// much larger than this decodes at 1/2, 1/4 or 1/8 of its size, never smaller
// than the hint, which saves time and memory. Other formats ignore it, so the
// decoded size is only a lower bound for the drawing code to scale from.
struct DecodeHint {
  int width = 0;
  int height = 0;
};

// Decodes PNG, JPEG, GIF (its first frame) or WebP (the first frame of an
// animation), told apart by their leading bytes. Returns no image for bytes no
// codec accepts: other formats, corrupt or truncated data, and images beyond
// Image::kMaxSide or Image::kMaxPixels. Never throws. Any thread; calls on
// different threads run in parallel.
OVIX_EXPORT std::shared_ptr<const Image> decodeImage(const void* data, std::size_t size,
                                                     DecodeHint hint = {});

}  // namespace ovix::gfx
