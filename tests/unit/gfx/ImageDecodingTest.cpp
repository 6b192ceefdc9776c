#include "ovix/platform/ImageDecoding.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "unit/gfx/EncodedImages.hpp"
#include "unit/gfx/LargestAllocation.hpp"
#include "ovix/platform/ImageDrawing.hpp"

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

// For lossy codecs: every channel within `tolerance`.
::testing::AssertionResult near(std::uint32_t actual, std::uint32_t expected, int tolerance = 12) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int((actual >> shift) & 0xff) - int((expected >> shift) & 0xff)) > tolerance) {
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
      const int kind = (x + y) % 3;
      image.at(x, y) = {std::uint8_t(40 * x), std::uint8_t(50 * y), std::uint8_t(200 - 20 * x),
                        std::uint8_t(kind == 0   ? 255
                                     : kind == 1 ? 100
                                                 : 0)};
    }
  }
  return image;
}

// Left half red, right half blue, opaque.
RgbaImage halves(int width, int height) {
  RgbaImage image(width, height, {255, 0, 0, 255});
  for (int y = 0; y < height; ++y) {
    for (int x = width / 2; x < width; ++x) image.at(x, y) = {0, 0, 255, 255};
  }
  return image;
}

void expectExactly(const std::shared_ptr<const Image>& image, RgbaImage source) {
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), source.width);
  ASSERT_EQ(image->height(), source.height);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < source.width; ++x) {
      ASSERT_EQ(image->pixel(x, y), test::expectedArgb(source.at(x, y))) << x << "," << y;
    }
  }
}

TEST(ImageDecodingTest, LosslessFormatsGivePremultipliedArgb) {
  const RgbaImage source = pattern(6, 5);
  expectExactly(decode(test::encodePng(source)), source);
  expectExactly(decode(test::encodePng(source, test::PngLayout::palette)), source);
  expectExactly(decode(test::encodeWebp(source, true)), source);
  const auto gray =
      decode(test::encodePng(RgbaImage(2, 2, {0x40, 0, 0, 255}), test::PngLayout::gray));
  ASSERT_TRUE(gray);
  EXPECT_EQ(gray->pixel(1, 1), 0xff404040u);
}

TEST(ImageDecodingTest, LossyFormatsKeepColourAndAlpha) {
  for (auto layout :
       {test::JpegLayout::baseline, test::JpegLayout::progressive, test::JpegLayout::cmyk}) {
    const auto image = decode(test::encodeJpeg(halves(32, 16), layout));
    ASSERT_TRUE(image);
    EXPECT_TRUE(near(image->pixel(4, 8), kRed)) << int(layout);
    EXPECT_TRUE(near(image->pixel(28, 8), kBlue)) << int(layout);
  }
  RgbaImage translucent = halves(32, 16);
  for (auto& p : translucent.pixels) p[3] = 128;
  const auto webp = decode(test::encodeWebp(translucent));
  ASSERT_TRUE(webp);
  EXPECT_TRUE(near(webp->pixel(4, 8), 0x80800000));
  EXPECT_TRUE(near(webp->pixel(28, 8), 0x80000080));
}

// Transparent, but for the halves in a rectangle 8 pixels in from each side.
RgbaImage framedHalves(int width, int height) {
  RgbaImage image = halves(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (x < 8 || y < 8 || x >= width - 8 || y >= height - 8) image.at(x, y) = {0, 0, 0, 0};
    }
  }
  return image;
}

TEST(ImageDecodingTest, HintsAndLimitsApplyToTheSizeReadFromTheHeader) {
  const RgbaImage source = halves(64, 48);
  const Bytes jpeg = test::encodeJpeg(source);
  const Bytes webp = test::encodeWebp(source);
  // Its first frame, cropped to the rectangle by the encoder, sits at (8, 8).
  const Bytes animated = test::encodeAnimatedWebp({framedHalves(64, 48), source});
  test::GifFrame offset{.left = 8, .top = 8, .width = 48, .height = 32};
  for (int i = 0; i < 48 * 32; ++i) offset.indices.push_back(i % 48 < 24 ? 0 : 1);
  const Bytes unsizedGif = test::encodeGif(0, 0, {{255, 0, 0}, {0, 0, 255}}, {offset});
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
      {"gif screen of zero size", unsizedGif, {}, {56, 40}, 0},
      {"jpeg", jpeg, {}, {64, 48}, kRed},
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
      {"animated webp", animated, {}, {64, 48}, 0},
      {"animated webp", animated, {20, 10}, {20, 15}, 0},
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

TEST(ImageDecodingTest, AnimationsGiveTheirFirstFrame) {
  const test::GifPalette palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  test::GifFrame first{.left = 1, .top = 1, .width = 2, .height = 2, .indices = {0, 1, 2, 3}};
  first.transparentIndex = 1;
  const test::GifFrame second{.width = 4, .height = 3, .indices = std::vector<std::uint8_t>(12, 3)};
  const auto gif = decode(test::encodeGif(4, 3, palette, {first, second}));
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->width(), 4);
  ASSERT_EQ(gif->height(), 3);
  EXPECT_EQ(gif->pixel(1, 1), kRed);
  EXPECT_EQ(gif->pixel(2, 1), 0u) << "the transparent index";
  EXPECT_EQ(gif->pixel(1, 2), kBlue);
  EXPECT_EQ(gif->pixel(0, 0), 0u) << "the screen outside the frame";

  const auto webp = decode(test::encodeAnimatedWebp({halves(8, 8), RgbaImage(8, 8)}));
  ASSERT_TRUE(webp);
  EXPECT_EQ(webp->pixel(0, 0), kRed);
  EXPECT_EQ(webp->pixel(7, 7), kBlue);
}

TEST(ImageDecodingTest, InterlacedGifRowsLandWhereTheyBelong) {
  test::GifPalette palette;
  for (int i = 0; i < 16; ++i) palette.push_back({std::uint8_t(i * 16), 0, 0});
  test::GifFrame frame{.width = 2, .height = 11, .interlaced = true};
  for (int y = 0; y < 11; ++y) frame.indices.insert(frame.indices.end(), 2, std::uint8_t(y));
  const auto image = decode(test::encodeGif(2, 11, palette, {frame}));
  ASSERT_TRUE(image);
  for (int y = 0; y < 11; ++y) EXPECT_EQ(image->pixel(1, y), 0xff000000u | (y * 16u) << 16) << y;
}

std::vector<Bytes> samples() {
  const RgbaImage source = pattern(8, 8);
  const test::GifFrame frame{.width = 8, .height = 8, .indices = std::vector<std::uint8_t>(64, 1)};
  return {test::encodePng(source), test::encodeJpeg(source),
          test::encodeGif(8, 8, {{0, 0, 0}, {255, 0, 0}}, {frame}), test::encodeWebp(source),
          test::encodeWebp(source, true)};
}

TEST(ImageDecodingTest, ForeignTruncatedAndCorruptBytesGiveNoImage) {
  EXPECT_FALSE(decodeImage(nullptr, 10));
  EXPECT_FALSE(decodeImage("GIF89a", 0));
  EXPECT_FALSE(decodeImage("GIF is a format; this is text", 29));
  EXPECT_FALSE(decodeImage("BM\x3a\0\0\0", 6)) << "BMP is not taken";
  EXPECT_FALSE(decodedSize(nullptr, 10));
  EXPECT_FALSE(decodedSize("GIF is a format; this is text", 29));
  EXPECT_FALSE(decodedSize("BM\x3a\0\0\0", 6));

  auto images = samples();
  for (const Bytes& bytes : images) {
    ASSERT_TRUE(decode(bytes));
    EXPECT_FALSE(decode(Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2))) << bytes[1];
  }
  Bytes& png = images[0];
  png[png.size() - 20] ^= 0x55;  // inside the image data, whose CRC then fails
  Bytes& jpeg = images[1];
  jpeg[test::jpegMarker(jpeg, 0xc0) + 1] = 0xc3;  // lossless JPEG, which libjpeg-turbo lacks
  Bytes& gif = images[2];
  gif[test::gifImageDescriptor(gif)] = 0x99;  // no such record
  Bytes& webp = images[3];
  webp[12] = 'X';  // the image chunk renamed
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
  const auto hinted = decode(webp, {100, 60});
  ASSERT_TRUE(hinted);
  EXPECT_EQ(hinted->width(), 100);
  EXPECT_EQ(hinted->height(), 75);
  EXPECT_LT(test::largestAllocation(), full / 50);
}

TEST(ImageDecodingTest, WorkerThreadsDecodeAndDrawInParallel) {
  const auto inputs = samples();
  std::vector<std::vector<std::shared_ptr<const Image>>> results(4);
  std::vector<std::thread> workers;
  for (auto& result : results) {
    workers.emplace_back([&inputs, &result] {
      for (const Bytes& bytes : inputs) result.push_back(redraw(*decode(bytes), {5, 3}));
    });
  }
  for (auto& worker : workers) worker.join();
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const auto expected = redraw(*decode(inputs[i]), {5, 3});
    for (const auto& result : results) {
      ASSERT_TRUE(result[i]);
      EXPECT_TRUE(std::ranges::equal(result[i]->pixels(), expected->pixels())) << i;
    }
  }
}

}  // namespace
}  // namespace ovix::gfx
