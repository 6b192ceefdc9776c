#include "ovix/platform/ImageDecoding.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "ovix/platform/ImageDrawing.hpp"
#include "unit/gfx/EncodedImages.hpp"
#include "unit/gfx/LargestAllocation.hpp"

namespace ovix::gfx {

void PrintTo(const PixelSize& size, std::ostream* out) {
  *out << size.width << "x" << size.height;
}

namespace {

using test::Bytes;
using test::RgbaImage;

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kBlue = 0xff0000ff;

std::shared_ptr<const Image> decode(const Bytes& bytes, DecodeHint hint = {}) {
  return decodeImage(bytes.data(), bytes.size(), hint);
}

// For lossy codecs: every channel within 12.
::testing::AssertionResult near(std::uint32_t actual, std::uint32_t expected) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int((actual >> shift) & 0xff) - int((expected >> shift) & 0xff)) > 12) {
      return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

// Distinct colours, each alpha kind: opaque, translucent and clear.
RgbaImage pattern(int width, int height) {
  RgbaImage image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t alpha = (x + y) % 3 == 0 ? 255 : (x + y) % 3 == 1 ? 100 : 0;
      image.at(x, y) = {std::uint8_t(40 * x), std::uint8_t(50 * y), std::uint8_t(200 - 20 * x),
                        alpha};
    }
  }
  return image;
}

// Left half red, right half blue; transparent `border` pixels in from each side.
RgbaImage halves(int width, int height, int border = 0, std::uint8_t alpha = 255) {
  RgbaImage image(width, height, {0, 0, 0, 0});
  for (int y = border; y < height - border; ++y) {
    for (int x = border; x < width - border; ++x) {
      image.at(x, y) =
          x < width / 2 ? test::Rgba8{255, 0, 0, alpha} : test::Rgba8{0, 0, 255, alpha};
    }
  }
  return image;
}

TEST(ImageDecodingTest, LosslessFormatsGiveExactPremultipliedArgbAndLossyWebpKeepsAlpha) {
  const RgbaImage source = pattern(6, 5);
  for (const Bytes& bytes : {test::encodePng(source), test::encodeWebp(source, true),
                             test::encodePng(source, test::PngLayout::palette)}) {
    const auto image = decode(bytes);
    ASSERT_TRUE(image);
    ASSERT_EQ((PixelSize{image->width(), image->height()}), (PixelSize{6, 5}));
    for (int i = 0; i < 30; ++i) {
      ASSERT_EQ(image->pixel(i % 6, i / 6), test::expectedArgb(source.at(i % 6, i / 6))) << i;
    }
  }
  const auto gray =
      decode(test::encodePng(RgbaImage(2, 2, {0x40, 0, 0, 255}), test::PngLayout::gray));
  ASSERT_TRUE(gray);
  EXPECT_EQ(gray->pixel(1, 1), 0xff404040u);
  const auto webp = decode(test::encodeWebp(halves(32, 16, 0, 128)));
  ASSERT_TRUE(webp);
  EXPECT_TRUE(near(webp->pixel(4, 8), 0x80800000));
  EXPECT_TRUE(near(webp->pixel(28, 8), 0x80000080));
}

// What the image loader relies on: decodedSize is exactly the size decoded,
// and limits just below it refuse the image.
TEST(ImageDecodingTest, HintsAndLimitsApplyToTheSizeReadFromTheHeader) {
  const RgbaImage source = halves(64, 48);
  const Bytes jpeg = test::encodeJpeg(source);
  const Bytes webp = test::encodeWebp(source);
  // Its first frame, cropped to the rectangle by the encoder, sits at (8, 8).
  const Bytes animated = test::encodeAnimatedWebp({halves(64, 48, 8), source});
  test::GifFrame offset{.left = 8, .top = 8, .width = 48, .height = 32};
  for (int i = 0; i < 48 * 32; ++i) offset.indices.push_back(i % 48 < 24 ? 0 : 1);
  const test::GifFrame later{.width = 56, .height = 40, .indices = std::vector<std::uint8_t>(2240)};
  const Bytes unsizedGif = test::encodeGif(0, 0, {{255, 0, 0}, {0, 0, 255}}, {offset, later});
  struct Case {
    const char* name;
    Bytes bytes;
    DecodeHint hint;
    PixelSize decoded;
    std::uint32_t corner;  // the top left pixel
  };
  const Case cases[] = {
      {"png", test::encodePng(source), {}, {64, 48}, kRed},
      {"png ignores the hint", test::encodePng(source), {8, 6}, {64, 48}, kRed},
      {"gif ignores the hint", test::encodeGif(source), {8, 6}, {64, 48}, kRed},
      {"gif screen of zero size, first frame", unsizedGif, {}, {56, 40}, 0},
      {"jpeg", jpeg, {}, {64, 48}, kRed},
      {"progressive jpeg",
       test::encodeJpeg(source, test::JpegLayout::progressive),
       {},
       {64, 48},
       kRed},
      {"cmyk jpeg", test::encodeJpeg(source, test::JpegLayout::cmyk), {}, {64, 48}, kRed},
      {"jpeg at 1/8", jpeg, {8, 6}, {8, 6}, kRed},
      {"jpeg at 1/2", jpeg, {20, 10}, {32, 24}, kRed},
      {"jpeg at 1/2", jpeg, {17, 1}, {32, 24}, kRed},
      {"jpeg larger than the hint", jpeg, {100, 100}, {64, 48}, kRed},
      {"webp", webp, {}, {64, 48}, kRed},
      {"webp to the hint's width", webp, {20, 10}, {20, 15}, kRed},
      {"webp to the hint's height", webp, {10, 20}, {27, 20}, kRed},
      {"webp to the hint's width", webp, {63, 1}, {63, 47}, kRed},
      {"webp as wide as the hint", webp, {64, 10}, {64, 48}, kRed},
      {"lossless webp", test::encodeWebp(source, true), {20, 10}, {20, 15}, kRed},
      {"animated webp, first frame", animated, {}, {64, 48}, 0},
      {"animated webp, first frame", animated, {20, 10}, {20, 15}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.name << " hint " << c.hint.width << "x" << c.hint.height);
    EXPECT_EQ(decodedSize(c.bytes.data(), c.bytes.size(), c.hint), c.decoded);
    const auto image = decode(c.bytes, c.hint);
    ASSERT_TRUE(image);
    const auto [width, height] = c.decoded;
    ASSERT_EQ((PixelSize{image->width(), image->height()}), c.decoded);
    EXPECT_TRUE(near(image->pixel(0, 0), c.corner));
    EXPECT_TRUE(near(image->pixel(width / 4, height / 2), kRed));
    EXPECT_TRUE(near(image->pixel(width * 3 / 4, height / 2), kBlue));

    const auto limited = [&](int maxWidth, int maxHeight) {
      return decodeImage(c.bytes.data(), c.bytes.size(), c.hint, {maxWidth, maxHeight});
    };
    EXPECT_TRUE(limited(width, height));
    EXPECT_FALSE(limited(width - 1, height));
    EXPECT_FALSE(limited(width, height - 1));
  }
}

// Rows arrive in four passes; the transparent index is clear, not its colour.
TEST(ImageDecodingTest, InterlacedGifRowsLandWhereTheyBelongAndTheTransparentIndexIsClear) {
  test::GifPalette palette;
  for (int i = 0; i < 16; ++i) palette.push_back({std::uint8_t(i * 16), 0, 0});
  test::GifFrame frame{.width = 2, .height = 11, .interlaced = true, .transparentIndex = 0};
  for (int y = 0; y < 11; ++y) frame.indices.insert(frame.indices.end(), 2, std::uint8_t(y));
  const auto image = decode(test::encodeGif(2, 11, palette, {frame}));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(1, 0), 0u);
  for (int y = 1; y < 11; ++y) EXPECT_EQ(image->pixel(1, y), 0xff000000u | (y * 16u) << 16) << y;
}

std::vector<Bytes> samples() {
  const RgbaImage source = pattern(8, 8);
  const test::GifFrame frame{.width = 8, .height = 8, .indices = std::vector<std::uint8_t>(64, 1)};
  return {test::encodePng(source), test::encodeJpeg(source),
          test::encodeGif(8, 8, {{0, 0, 0}, {255, 0, 0}}, {frame}), test::encodeWebp(source),
          test::encodeWebp(source, true)};
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
  images[0][images[0].size() - 20] ^= 0x55;  // PNG: inside the image data, whose CRC then fails
  images[1][test::jpegMarker(images[1], 0xc0) + 1] =
      0xc3;  // lossless JPEG, which libjpeg-turbo lacks
  images[2][test::gifImageDescriptor(images[2])] = 0x99;  // GIF: no such record
  images[3][12] = 'X';                                    // WebP: the image chunk renamed
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(decode(images[i])) << i;
}

TEST(ImageDecodingTest, SizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  for (const Bytes& bytes : samples()) {
    const bool webp = bytes[0] == 'R';
    if (webp && bytes[15] != 'L') continue;  // only lossless WebP has its size rewritten
    // Within Image's limits, beyond the caller's: 244 MiB of pixels.
    const Bytes large = test::withSize(bytes, 8000, 8000);
    std::vector<Bytes> claims = {test::withSize(bytes, 16384, 16384)};  // 256 Mpixel
    if (!webp) claims.push_back(test::withSize(bytes, 65000, 65000));   // beyond WebP's reach
    test::resetLargestAllocation();
    EXPECT_EQ(decodedSize(large.data(), large.size()), (PixelSize{8000, 8000})) << bytes[1];
    EXPECT_FALSE(decodeImage(large.data(), large.size(), {}, {4096, 4096})) << bytes[1];
    for (const Bytes& claim : claims) {
      EXPECT_FALSE(decodedSize(claim.data(), claim.size())) << bytes[1];
      EXPECT_FALSE(decode(claim)) << bytes[1];
    }
    EXPECT_LT(test::largestAllocation(), std::size_t{1} << 20) << bytes[1];
  }

  const auto widest = decode(test::encodePng(RgbaImage(Image::kMaxSide, 1, {0, 0, 255, 255})));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->pixel(Image::kMaxSide - 1, 0), kBlue);
  EXPECT_FALSE(decode(test::encodePng(RgbaImage(Image::kMaxSide + 1, 1))));
}

// Lossy: libwebp's lossless decoder holds the whole frame whatever the scale.
TEST(ImageDecodingTest, HintedWebpDecodesInMuchLessMemory) {
  const Bytes webp = test::encodeWebp(halves(1024, 768));
  test::resetLargestAllocation();
  ASSERT_TRUE(decode(webp));
  const std::size_t full = test::largestAllocation();
  test::resetLargestAllocation();
  ASSERT_TRUE(decode(webp, {100, 60}));
  EXPECT_LT(test::largestAllocation(), full / 50);
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
    const auto source = decode(test::encodePng(halves(c.source.width, c.source.height)));
    const auto drawn = redraw(*source, c.drawn);
    ASSERT_TRUE(drawn);
    const PixelSize size{int(std::lround(c.drawn.width)), int(std::lround(c.drawn.height))};
    ASSERT_EQ((PixelSize{drawn->width(), drawn->height()}), size);
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
