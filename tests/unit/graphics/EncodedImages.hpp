#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Small images encoded by the codec libraries themselves, for the decoders
// to read back, and ways to damage them.
namespace ovix::test {

using Bytes = std::vector<std::uint8_t>;
using Rgba8 = std::array<std::uint8_t, 4>;

// Straight-alpha RGBA pixels, rows from the top.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<Rgba8> pixels;

  RgbaImage(int width, int height, Rgba8 fill = {0, 0, 0, 255});
  Rgba8& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The premultiplied 0xAARRGGBB word a decoder should give for `c`.
std::uint32_t expectedArgb(Rgba8 c);

// Gray keeps each pixel's red; palette stores alpha in a tRNS chunk.
enum class PngLayout { rgba, gray, palette };
Bytes encodePng(const RgbaImage& image, PngLayout layout = PngLayout::rgba);

// CMYK is written with Adobe's inverted inks, as Adobe's applications do.
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

Bytes encodeWebp(const RgbaImage& image, bool lossless = false);
Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames);

// Where the first image descriptor of a GIF starts.
std::size_t gifImageDescriptor(const Bytes& gif);
// Where the first marker `code` of a JPEG starts, or 0.
std::size_t jpegMarker(const Bytes& jpeg, std::uint8_t code);

// The same file claiming another size, its checksums still valid.
Bytes withSize(Bytes image, std::uint32_t width, std::uint32_t height);

}  // namespace ovix::test
