#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/platform/Geometry.hpp"

namespace ovix {
class Bundle;
}  // namespace ovix

namespace ovix::gfx {

// A bitmap, immutable once made: safe to share and to read from any thread.
//
// Pixels are cairo's ARGB32: one native-endian 32-bit word per pixel,
// 0xAARRGGBB with the colour premultiplied by alpha, rows packed from the top
// (stride() == width() * 4, the stride cairo uses for ARGB32), so cairo and
// most toolkits can draw them without conversion.
class OVIX_EXPORT Image {
  struct Private {
    explicit Private() = default;
  };

 public:
  // Limits every image keeps to, so that a hostile header cannot make the SDK
  // allocate without bound: at most kMaxSide pixels a side, kMaxPixels in all.
  static constexpr int kMaxSide = 16384;
  static constexpr std::int64_t kMaxPixels = std::int64_t{64} * 1024 * 1024;

  // An image of `pixels` (width * height words, as above). Null when a side is
  // not positive, the limits are exceeded or the count does not match.
  // Any thread.
  static std::shared_ptr<const Image> fromPixels(int width, int height,
                                                 std::vector<std::uint32_t> pixels);

  // The resource `name` of `bundle`, decoded. Null when the bundle has no such
  // file or no codec accepts it. Any thread.
  static std::shared_ptr<const Image> named(const std::string& name, const Bundle& bundle);

  // For fromPixels, which checks the arguments.
  Image(Private, int width, int height, std::vector<std::uint32_t> pixels);
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  // Pixels per point. Images are made at one pixel per point.
  double scale() const { return 1.0; }
  // The size in points.
  Size size() const { return {width_ / scale(), height_ / scale()}; }
  // Bytes from one row to the next.
  int stride() const { return width_ * 4; }

  std::span<const std::uint32_t> pixels() const { return pixels_; }
  // The pixel at column x, row y; both must be inside the image.
  std::uint32_t pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
  }

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace ovix::gfx
