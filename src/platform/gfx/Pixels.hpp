#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ovix/platform/ImageDecoding.hpp"

// Helpers the decoders and the drawing code share.
namespace ovix::gfx::pixels {

// Whether an image of this size keeps to Image::kMaxSide and Image::kMaxPixels.
bool withinLimits(std::uint64_t width, std::uint64_t height);

// Resizes `pixels` to width * height transparent pixels. False when memory
// runs out; never throws.
bool allocate(std::vector<std::uint32_t>& pixels, int width, int height);
// The same for a decoder's bitmap: false, before allocating, when `size` is
// beyond the caller's limits too.
bool allocate(std::vector<std::uint32_t>& pixels, PixelSize size, DecodeLimits limits);

// Turns straight-alpha 0xAARRGGBB words into premultiplied ones, in place.
void premultiply(std::uint32_t* pixels, std::size_t count);

// A premultiplied pixel from straight-alpha 8-bit channels.
std::uint32_t premultiplied(std::uint8_t alpha, std::uint8_t red, std::uint8_t green,
                            std::uint8_t blue);

}  // namespace ovix::gfx::pixels
