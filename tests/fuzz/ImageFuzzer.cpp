// Downloaded image bytes as the image loader handles them: sized from their
// header and decoded by whichever codec their leading bytes name, with and
// without a size hint and under limits, and redrawn to other sizes.
#include <cmath>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix::fuzz {
namespace {

// An image keeps to its limits and holds premultiplied pixels: no colour
// channel above the alpha.
void checkImage(const gfx::Image& image) {
  const std::int64_t width = image.width(), height = image.height();
  OVIX_FUZZ_CHECK(std::min(width, height) >= 1 && std::max(width, height) <= gfx::Image::kMaxSide);
  OVIX_FUZZ_CHECK(width * height <= gfx::Image::kMaxPixels &&
                  image.pixels().size() == static_cast<std::size_t>(width * height));
  for (const std::uint32_t pixel : image.pixels()) {
    const std::uint32_t alpha = pixel >> 24;
    OVIX_FUZZ_CHECK(((pixel >> 16) & 0xff) <= alpha && ((pixel >> 8) & 0xff) <= alpha &&
                    (pixel & 0xff) <= alpha);
  }
}

// The size read from the header is the decoded image's, and limits just below
// it refuse the image.
void checkSize(const std::uint8_t* data, std::size_t size, gfx::DecodeHint hint,
               const gfx::Image& image) {
  checkImage(image);
  const gfx::PixelSize decoded{image.width(), image.height()};
  OVIX_FUZZ_CHECK(gfx::decodedSize(data, size, hint) == decoded);
  OVIX_FUZZ_CHECK(!gfx::decodeImage(data, size, hint, {decoded.width - 1, decoded.height}));
  OVIX_FUZZ_CHECK(!gfx::decodeImage(data, size, hint, {decoded.width, decoded.height - 1}));
}

}  // namespace

int fuzzImage(const std::uint8_t* data, std::size_t size) {
  // A hint may shrink what a codec decodes, never below the hint.
  const gfx::DecodeHint hint{1 + static_cast<int>(size % 7), 1 + static_cast<int>(size % 5)};
  const auto hinted = gfx::decodeImage(data, size, hint);
  const auto image = gfx::decodeImage(data, size);
  if (!image) return 0;
  checkSize(data, size, {}, *image);
  // As a cell shows it: smaller, stretched, a single pixel.
  for (const Size cell : {Size{std::ceil(image->width() / 3.0), std::ceil(image->height() / 2.0)},
                          Size{17, 5}, Size{1, 1}}) {
    const auto drawn = gfx::redraw(*image, cell);
    OVIX_FUZZ_CHECK(drawn != nullptr && drawn->size() == cell);
    checkImage(*drawn);
  }
  if (hinted) {
    checkSize(data, size, hint, *hinted);
    OVIX_FUZZ_CHECK(hinted->width() >= std::min(hint.width, image->width()) &&
                    hinted->height() >= std::min(hint.height, image->height()));
    OVIX_FUZZ_CHECK(hinted->width() <= image->width() && hinted->height() <= image->height());
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzImage)
