#include "ovix/platform/ImageDecoding.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "encoders/ImageEncoders.hpp"
#include "ovix/platform/ImageDrawing.hpp"
#include "unit/gfx/LargestAllocation.hpp"

namespace ovix::gfx {
namespace {

using encoders::Bytes;
using encoders::encodeGif;
using encoders::encodeJpeg;
using encoders::encodePng;
using encoders::encodeWebp;
using encoders::GifFrame;
using encoders::RgbaImage;

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff;

std::shared_ptr<const Image> decode(const Bytes& bytes, DecodeHint hint = {}) {
  return decodeImage(bytes.data(), bytes.size(), hint);
}

// For lossy codecs: every channel within 12.
bool near(std::uint32_t actual, std::uint32_t expected) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int((actual >> shift) & 0xff) - int((expected >> shift) & 0xff)) > 12)
      return false;
  }
  return true;
}

// Left half red, right half blue; transparent `border` pixels in from each side.
RgbaImage halves(int width, int height, int border = 0, std::uint8_t alpha = 255) {
  RgbaImage image(width, height, {0, 0, 0, 0});
  for (int y = border; y < height - border; ++y) {
    for (int x = border; x < width - border; ++x) {
      image.at(x, y) = {std::uint8_t(x < width / 2 ? 255 : 0), 0,
                        std::uint8_t(x < width / 2 ? 0 : 255), alpha};
    }
  }
  return image;
}

// Where a JPEG's baseline frame header starts, or 0.
std::size_t jpegFrame(const Bytes& jpeg) {
  for (std::size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xff;) {
    if (jpeg[at + 1] == 0xc0) return at;
    at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  }
  return 0;
}

void putBigEndian(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = std::uint8_t(value >> 8 * (size - 1 - i));
}

// The same PNG, JPEG or lossless WebP claiming to be `side` pixels square,
// its checksums still valid.
Bytes withSize(Bytes image, std::uint32_t side) {
  if (image[0] == 0x89) {  // PNG: IHDR's data follows the signature and chunk header
    putBigEndian(image, 16, side, 4);
    putBigEndian(image, 20, side, 4);
    putBigEndian(image, 29, std::uint32_t(crc32(0, image.data() + 12, 17)), 4);
  } else if (image[0] == 0xff) {
    putBigEndian(image, jpegFrame(image) + 5, side << 16 | side, 4);
  } else {  // lossless WebP: 14 bits each of width - 1 and height - 1, little-endian
    const std::uint32_t bits = (side - 1) | (side - 1) << 14 | (image[24] & 0xf0u) << 24;
    for (int i = 0; i < 4; ++i) image[21 + i] = std::uint8_t(bits >> 8 * i);
  }
  return image;
}

TEST(ImageDecodingTest, LosslessFormatsGiveExactPremultipliedArgbAndLossyWebpKeepsAlpha) {
  // Distinct colours, each alpha kind: opaque, translucent and clear.
  RgbaImage source(6, 5);
  for (int i = 0; i < 30; ++i) {
    source.pixels[i] = {std::uint8_t(40 * (i % 6)), std::uint8_t(50 * (i / 6)),
                        std::uint8_t(200 - 20 * (i % 6)),
                        std::array<std::uint8_t, 3>{255, 100, 0}[i % 3]};
  }
  const RgbaImage gray(2, 2, {0x40, 0x40, 0x40, 255});
  for (const auto& [bytes, expected] : std::vector<std::pair<Bytes, RgbaImage>>{
           {encodePng(source), source},
           {encodeWebp(source, true), source},
           {encodePng(source, encoders::PngLayout::palette), source},
           {encodePng(gray, encoders::PngLayout::gray), gray}}) {
    const auto image = decode(bytes);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), Size(expected.width, expected.height));
    for (int i = 0; i < expected.width * expected.height; ++i) {
      const auto [r, g, b, a] = expected.pixels[i];
      const auto times = [a](int c) { return std::uint32_t(std::lround(c * a / 255.0)); };
      ASSERT_EQ(image->pixel(i % expected.width, i / expected.width),
                std::uint32_t{a} << 24 | times(r) << 16 | times(g) << 8 | times(b))
          << i;
    }
  }
  const auto webp = decode(encodeWebp(halves(32, 16, 0, 128)));
  ASSERT_TRUE(webp);
  EXPECT_PRED2(near, webp->pixel(4, 8), 0x80800000);
  EXPECT_PRED2(near, webp->pixel(28, 8), 0x80000080);
}

// The fuzz corpus replay checks that decodedSize is exactly the size decoded
// and limits just below it refuse the image, what the image loader relies on.
TEST(ImageDecodingTest, HintsShrinkJpegAndWebpToCoverThemInLessMemory) {
  const RgbaImage source = halves(64, 48);
  const Bytes jpeg = encodeJpeg(source), webp = encodeWebp(source);
  // Its first frame, cropped to the rectangle by the encoder, sits at (8, 8).
  const Bytes animated = encoders::encodeAnimatedWebp({halves(64, 48, 8), source});
  GifFrame offset{.left = 8, .top = 8, .width = 48, .height = 32};
  for (int i = 0; i < 48 * 32; ++i) offset.indices.push_back(i % 48 < 24 ? 0 : 1);
  const GifFrame later{.width = 56, .height = 40, .indices = Bytes(2240)};
  // Each case: the bytes, the hint, the size decoded and its top left pixel.
  const std::tuple<Bytes, DecodeHint, PixelSize, std::uint32_t> cases[] = {
      // PNG ignores the hint; a GIF screen of zero size takes its first frame's.
      {encodePng(source), {8, 6}, {64, 48}, kRed},
      {encodeGif(0, 0, {{255, 0, 0}, {0, 0, 255}}, {offset, later}), {}, {56, 40}, 0},
      // A JPEG in each layout; then at 1/8, 1/2, and not scaled up.
      {jpeg, {}, {64, 48}, kRed},
      {encodeJpeg(source, encoders::JpegLayout::progressive), {}, {64, 48}, kRed},
      {encodeJpeg(source, encoders::JpegLayout::cmyk), {}, {64, 48}, kRed},
      {jpeg, {8, 6}, {8, 6}, kRed},
      {jpeg, {20, 10}, {32, 24}, kRed},
      {jpeg, {100, 100}, {64, 48}, kRed},
      // A WebP to the hint's width, to its height (rounded); lossless; an
      // animation, whose first frame is shown.
      {webp, {20, 10}, {20, 15}, kRed},
      {webp, {10, 20}, {27, 20}, kRed},
      {encodeWebp(source, true), {20, 10}, {20, 15}, kRed},
      {animated, {20, 10}, {20, 15}, 0}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [bytes, hint, decoded, corner] = cases[i];
    SCOPED_TRACE(i);
    const auto image = decode(bytes, hint);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), Size(decoded.width, decoded.height));
    EXPECT_PRED2(near, image->pixel(0, 0), corner);
    EXPECT_PRED2(near, image->pixel(decoded.width / 4, decoded.height / 2), kRed);
    EXPECT_PRED2(near, image->pixel(decoded.width * 3 / 4, decoded.height / 2), kBlue);
  }

  // Hinted, a WebP decodes in much less memory. (Lossy: libwebp's lossless
  // decoder holds the whole frame whatever the scale.)
  const Bytes large = encodeWebp(halves(1024, 768));
  test::takeLargestAllocation();
  ASSERT_TRUE(decode(large));
  const std::size_t full = test::takeLargestAllocation();
  ASSERT_TRUE(decode(large, {100, 60}));
  EXPECT_LT(test::takeLargestAllocation(), full / 50);
}

// Rows arrive in four passes; the transparent index is clear, not its colour.
TEST(ImageDecodingTest, InterlacedGifRowsLandWhereTheyBelongAndTheTransparentIndexIsClear) {
  encoders::GifPalette palette;
  for (int i = 0; i < 16; ++i) palette.push_back({std::uint8_t(i * 16), 0, 0});
  GifFrame frame{.width = 2, .height = 11, .interlaced = true, .transparentIndex = 0};
  for (int y = 0; y < 11; ++y) frame.indices.insert(frame.indices.end(), 2, std::uint8_t(y));
  const auto image = decode(encodeGif(2, 11, palette, {frame}));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(1, 0), 0u);
  for (int y = 1; y < 11; ++y) EXPECT_EQ(image->pixel(1, y), 0xff000000u | (y * 16u) << 16) << y;
}

const GifFrame kGifFrame{.width = 8, .height = 8, .indices = Bytes(64, 1)};

// PNG, JPEG, GIF, lossy and lossless WebP.
std::vector<Bytes> samples() {
  const RgbaImage source = halves(8, 8, 1, 100);
  return {encodePng(source), encodeJpeg(source),
          encodeGif(8, 8, {{0, 0, 0}, {255, 0, 0}}, {kGifFrame}), encodeWebp(source),
          encodeWebp(source, true)};
}

TEST(ImageDecodingTest, ForeignTruncatedAndCorruptBytesGiveNoImage) {
  for (const std::string& text : std::vector<std::string>{"", "GIF is a format; this is text",
                                                          std::string("BM\x3a\0\0\0", 6)}) {
    EXPECT_FALSE(decodeImage(text.data(), text.size())) << text;
    EXPECT_FALSE(decodedSize(text.data(), text.size())) << text;
  }
  EXPECT_FALSE(decodeImage(nullptr, 10));
  auto images = samples();
  for (const Bytes& bytes : images) {
    ASSERT_TRUE(decode(bytes));
    EXPECT_FALSE(decode(Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2))) << bytes[1];
  }
  images[0][images[0].size() - 20] ^= 0x55;    // PNG: inside the image data, whose CRC then fails
  images[1][jpegFrame(images[1]) + 1] = 0xc3;  // lossless JPEG, which libjpeg-turbo lacks
  images[3][12] = 'X';                         // WebP: the image chunk renamed
  for (int i : {0, 1, 3}) EXPECT_FALSE(decode(images[i])) << i;
}

TEST(ImageDecodingTest, SizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  for (const Bytes& bytes : samples()) {
    const bool webp = bytes[0] == 'R';
    if (webp && bytes[15] != 'L') continue;  // only lossless WebP has its size rewritten
    const auto claiming = [&bytes](std::uint32_t side) {
      return bytes[0] == 'G' ? encodeGif(side, side, {{0, 0, 0}, {255, 0, 0}}, {kGifFrame})
                             : withSize(bytes, side);
    };
    // Within Image's limits, beyond the caller's: 244 MiB of pixels.
    const Bytes large = claiming(8000);
    std::vector<Bytes> claims = {claiming(16384)};  // 256 Mpixel
    if (!webp) claims.push_back(claiming(65000));   // beyond WebP's reach
    test::takeLargestAllocation();
    EXPECT_EQ(decodedSize(large.data(), large.size()), (PixelSize{8000, 8000})) << bytes[1];
    EXPECT_FALSE(decodeImage(large.data(), large.size(), {}, {4096, 4096})) << bytes[1];
    for (const Bytes& claim : claims) {
      EXPECT_FALSE(decodedSize(claim.data(), claim.size())) << bytes[1];
      EXPECT_FALSE(decode(claim)) << bytes[1];
    }
    EXPECT_LT(test::takeLargestAllocation(), std::size_t{1} << 20) << bytes[1];
  }

  const auto widest = decode(encodePng(RgbaImage(Image::kMaxSide, 1, {0, 0, 255, 255})));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->pixel(Image::kMaxSide - 1, 0), kBlue);
  EXPECT_FALSE(decode(encodePng(RgbaImage(Image::kMaxSide + 1, 1))));
}

TEST(ImageDrawingTest, RedrawStretchesOverExactlyTheRoundedSizeKeepingTheEdge) {
  struct Case {
    PixelSize source;
    Size drawn;
    int red, blue;  // columns either side of where the halves meet
  };
  // Shrinking by exactly 4/3 across is where the drawing changes filter.
  for (const Case c : {Case{{2, 1}, {20, 5}, 0, 19}, Case{{64, 64}, {10.4, 3.6}, 1, 8},
                       Case{{160, 90}, {120, 80}, 58, 61}}) {
    const auto source = decode(encodePng(halves(c.source.width, c.source.height)));
    const auto drawn = redraw(*source, c.drawn);
    ASSERT_TRUE(drawn);
    const PixelSize size{int(std::lround(c.drawn.width)), int(std::lround(c.drawn.height))};
    ASSERT_EQ(drawn->size(), Size(size.width, size.height));
    for (int y : {0, size.height / 2, size.height - 1}) {
      EXPECT_EQ(drawn->pixel(0, y), kRed);
      EXPECT_EQ(drawn->pixel(c.red, y), kRed) << size.width;
      EXPECT_EQ(drawn->pixel(c.blue, y), kBlue) << size.width;
      EXPECT_EQ(drawn->pixel(size.width - 1, y), kBlue);
    }
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto image = Image::fromPixels(2, 2, std::vector<std::uint32_t>(4, kRed));
  for (Size size :
       {Size{0, 10}, Size{10, -5}, Size{0.4, 10}, Size{nan, 10}, Size{Image::kMaxSide + 1.0, 1}}) {
    EXPECT_FALSE(redraw(*image, size)) << size.width << "x" << size.height;
  }
  EXPECT_FALSE(Image::fromPixels(2, 2, std::vector<std::uint32_t>(3)));
  EXPECT_FALSE(Image::fromPixels(-1, -1, std::vector<std::uint32_t>(1)));
}

}  // namespace
}  // namespace ovix::gfx
