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
  OVIX_FUZZ_CHECK(image.width() >= 1 && image.width() <= gfx::Image::kMaxSide);
  OVIX_FUZZ_CHECK(image.height() >= 1 && image.height() <= gfx::Image::kMaxSide);
  OVIX_FUZZ_CHECK(static_cast<std::int64_t>(image.width()) * image.height() <=
                  gfx::Image::kMaxPixels);
  OVIX_FUZZ_CHECK(image.pixels().size() ==
                  static_cast<std::size_t>(image.width()) * image.height());
  for (const std::uint32_t pixel : image.pixels()) {
    const std::uint32_t alpha = pixel >> 24;
    OVIX_FUZZ_CHECK(((pixel >> 16) & 0xff) <= alpha && ((pixel >> 8) & 0xff) <= alpha &&
                    (pixel & 0xff) <= alpha);
  }
}

void checkRedraw(const gfx::Image& image, Size size) {
  const auto drawn = gfx::redraw(image, size);
  OVIX_FUZZ_CHECK(drawn != nullptr);
  OVIX_FUZZ_CHECK(drawn->size() == size);
  checkImage(*drawn);
}

// The size read from the header is the decoded image's, and limits just below
// it refuse the image.
void checkSize(const std::uint8_t* data, std::size_t size, gfx::DecodeHint hint,
               const gfx::Image& image) {
  const gfx::PixelSize decoded{image.width(), image.height()};
  OVIX_FUZZ_CHECK(gfx::decodedSize(data, size, hint) == decoded);
  OVIX_FUZZ_CHECK(!gfx::decodeImage(data, size, hint, {decoded.width - 1, decoded.height}));
  OVIX_FUZZ_CHECK(!gfx::decodeImage(data, size, hint, {decoded.width, decoded.height - 1}));
}

}  // namespace

int fuzzImage(const std::uint8_t* data, std::size_t size) {
  const auto image = gfx::decodeImage(data, size);
  if (image) {
    checkImage(*image);
    checkSize(data, size, {}, *image);
    // As a cell shows it: smaller, stretched, a single pixel.
    checkRedraw(*image, Size{std::ceil(image->width() / 3.0), std::ceil(image->height() / 2.0)});
    checkRedraw(*image, Size{17, 5});
    checkRedraw(*image, Size{1, 1});
  }
  // A hint may shrink what a codec decodes, never below the hint.
  const gfx::DecodeHint hint{1 + static_cast<int>(size % 7), 1 + static_cast<int>(size % 5)};
  if (const auto hinted = gfx::decodeImage(data, size, hint); hinted && image) {
    checkImage(*hinted);
    checkSize(data, size, hint, *hinted);
    OVIX_FUZZ_CHECK(hinted->width() >= std::min(hint.width, image->width()));
    OVIX_FUZZ_CHECK(hinted->height() >= std::min(hint.height, image->height()));
    OVIX_FUZZ_CHECK(hinted->width() <= image->width() && hinted->height() <= image->height());
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzImage)
