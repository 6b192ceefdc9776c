#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Images encoded by the codec libraries themselves: the development server's
// banners and the decoder tests' samples. Every encoder returns no bytes when
// its library refuses the image; none throws. Any thread.
namespace ovix::encoders {

using Bytes = std::vector<std::uint8_t>;
using Rgba8 = std::array<std::uint8_t, 4>;

// Straight-alpha RGBA pixels, rows from the top.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<Rgba8> pixels;

  RgbaImage(int width, int height, Rgba8 fill = {0, 0, 0, 255});
  Rgba8& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgba8& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Gray keeps each pixel's red; palette stores alpha in a tRNS chunk.
enum class PngLayout { rgba, gray, palette };
Bytes encodePng(const RgbaImage& image, PngLayout layout = PngLayout::rgba);

// CMYK is written with Adobe's inverted inks, as Adobe's applications do.
// Alpha is dropped.
enum class JpegLayout { baseline, progressive, cmyk };
Bytes encodeJpeg(const RgbaImage& image, JpegLayout layout = JpegLayout::baseline);

struct GifFrame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices{};  // row by row, top first
  bool interlaced = false;
  int transparentIndex = -1;
};
using GifPalette = std::vector<std::array<std::uint8_t, 3>>;  // 2, 4, ... 256 colours
Bytes encodeGif(int width, int height, const GifPalette& palette,
                const std::vector<GifFrame>& frames);
// One frame of the image's own colours, alpha dropped; no bytes when it has
// more than 256.
Bytes encodeGif(const RgbaImage& image);

Bytes encodeWebp(const RgbaImage& image, bool lossless = false);
Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames);

}  // namespace ovix::encoders
