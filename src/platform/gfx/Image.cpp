#include "ovix/platform/Image.hpp"

#include <new>

#include "platform/gfx/Pixels.hpp"

namespace ovix::gfx {

Image::Image(Private, int width, int height, std::vector<std::uint32_t> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {}

std::shared_ptr<const Image> Image::fromPixels(int width, int height,
                                               std::vector<std::uint32_t> pixels) {
  if (width <= 0 || height <= 0 || !pixels::withinLimits(width, height) ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return nullptr;
  }
  try {
    return std::make_shared<const Image>(Private(), width, height, std::move(pixels));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace ovix::gfx
