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
  const Rgba8& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The premultiplied 0xAARRGGBB word a decoder should give for `c`.
std::uint32_t expectedArgb(Rgba8 c);

enum class PngLayout { rgba, gray, palette, rgba16, adam7 };
// Gray takes each pixel's red; the palette layout stores alpha in tRNS.
Bytes encodePng(const RgbaImage& image, PngLayout layout = PngLayout::rgba);

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
// Frames share one global palette of a power-of-two size (2 to 256).
Bytes encodeGif(int screenWidth, int screenHeight,
                const std::vector<std::array<std::uint8_t, 3>>& palette,
                const std::vector<GifFrame>& frames);

Bytes encodeWebp(const RgbaImage& image);  // lossy, alpha kept
Bytes encodeWebpLossless(const RgbaImage& image);
Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames);

// The same file claiming another size; its checksums still hold.
Bytes withPngSize(Bytes png, std::uint32_t width, std::uint32_t height);
Bytes withJpegSize(Bytes jpeg, std::uint16_t width, std::uint16_t height);
Bytes withGifSize(Bytes gif, std::uint16_t width, std::uint16_t height);
Bytes withWebpLosslessSize(Bytes webp, int width, int height);

// Offset of the first image descriptor (the 0x2C byte) of a GIF.
std::size_t gifImageDescriptorOffset(const Bytes& gif);
// Offset of the first marker `code` (the 0xFF byte) of a JPEG, or 0.
std::size_t jpegMarkerOffset(const Bytes& jpeg, std::uint8_t code);

}  // namespace ovix::test
