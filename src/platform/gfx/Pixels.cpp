#include "platform/gfx/Pixels.hpp"

#include <new>

#include "ovix/platform/Image.hpp"

namespace ovix::gfx::pixels {
namespace {

std::uint8_t scaled(std::uint32_t channel, std::uint32_t alpha) {
  // channel * alpha / 255, rounded, without a division.
  const std::uint32_t t = channel * alpha + 128;
  return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace

bool withinLimits(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width <= Image::kMaxSide && height <= Image::kMaxSide &&
         width * height <= static_cast<std::uint64_t>(Image::kMaxPixels);
}

bool allocate(std::vector<std::uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || !withinLimits(width, height)) return false;
  try {
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool allocate(std::vector<std::uint32_t>& pixels, PixelSize size, DecodeLimits limits) {
  return size.width <= limits.maxWidth && size.height <= limits.maxHeight &&
         allocate(pixels, size.width, size.height);
}

std::uint32_t premultiplied(std::uint8_t alpha, std::uint8_t red, std::uint8_t green,
                            std::uint8_t blue) {
  return std::uint32_t{alpha} << 24 | std::uint32_t{scaled(red, alpha)} << 16 |
         std::uint32_t{scaled(green, alpha)} << 8 | scaled(blue, alpha);
}

void premultiply(std::uint32_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    const std::uint32_t alpha = p >> 24;
    if (alpha == 0xff) continue;
    pixels[i] = premultiplied(static_cast<std::uint8_t>(alpha), (p >> 16) & 0xff, (p >> 8) & 0xff,
                              p & 0xff);
  }
}

}  // namespace ovix::gfx::pixels
