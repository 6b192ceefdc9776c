#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "ovix/Export.hpp"
#include "ovix/platform/Image.hpp"

namespace ovix::gfx {

// The size in pixels an image is about to be drawn at; 0 for unknown. A JPEG
// or WebP larger than this on both sides decodes at a reduced size that still
// covers the hint on both sides, which saves time and memory: a JPEG at 1/2,
// 1/4 or 1/8 of its size, a WebP at the smallest size of its aspect ratio
// (within rounding). PNG and GIF ignore it, so the decoded size is only a lower
// bound for the drawing code to scale from.
struct DecodeHint {
  int width = 0;
  int height = 0;
};

// The largest image, in decoded pixels, the caller accepts. Image::kMaxSide
// and Image::kMaxPixels hold whatever these say.
struct DecodeLimits {
  int maxWidth = Image::kMaxSide;
  int maxHeight = Image::kMaxSide;
};

struct PixelSize {
  int width = 0;
  int height = 0;

  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The size in pixels decodeImage(data, size, hint) would make of these bytes,
// read from the header alone: nothing for bytes no codec recognises, whose
// header is malformed or whose size is beyond Image::kMaxSide or
// Image::kMaxPixels. Decodes and allocates no pixels, so the pixels may still
// turn out corrupt. Never throws. Any thread.
OVIX_EXPORT std::optional<PixelSize> decodedSize(const void* data, std::size_t size,
                                                 DecodeHint hint = {});

// Decodes PNG, JPEG, GIF (its first frame) or WebP (the first frame of an
// animation), told apart by their leading bytes. Returns no image for bytes no
// codec accepts: other formats, corrupt or truncated data, and images beyond
// Image::kMaxSide or Image::kMaxPixels or whose decoded size is beyond
// `limits`, which are refused from the header before any pixel is allocated.
// Never throws. Any thread; calls on different threads run in parallel.
OVIX_EXPORT std::shared_ptr<const Image> decodeImage(const void* data, std::size_t size,
                                                     DecodeHint hint = {},
                                                     DecodeLimits limits = {});

}  // namespace ovix::gfx
