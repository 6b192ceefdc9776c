#include "ovix/platform/ImageDecoding.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "EncodedImages.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix::gfx {
namespace {

using test::Bytes;
using test::expectedArgb;
using test::RgbaImage;

std::shared_ptr<const Image> decode(const Bytes& bytes, DecodeHint hint = {}) {
  return decodeImage(bytes.data(), bytes.size(), hint);
}

// Each channel of a lossy result within `tolerance` of the expected value.
::testing::AssertionResult near(std::uint32_t actual, std::uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = (actual >> shift) & 0xff;
    const int e = (expected >> shift) & 0xff;
    if (std::abs(a - e) > tolerance) {
      return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

// Distinct colours and every kind of alpha: opaque, translucent, clear.
RgbaImage pattern(int width, int height) {
  RgbaImage image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t alpha = (x + y) % 3 == 0 ? 255 : (x + y) % 3 == 1 ? 100 : 0;
      image.at(x, y) = {static_cast<std::uint8_t>(40 * x), static_cast<std::uint8_t>(50 * y),
                        static_cast<std::uint8_t>(255 - 20 * (x + y)), alpha};
    }
  }
  return image;
}

// Left half red, right half blue.
RgbaImage halves(int width, int height) {
  RgbaImage image(width, height, {255, 0, 0, 255});
  for (int y = 0; y < height; ++y) {
    for (int x = width / 2; x < width; ++x) image.at(x, y) = {0, 0, 255, 255};
  }
  return image;
}

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kBlue = 0xff0000ff;

TEST(ImageDecodingTest, PngLayoutsAllBecomePremultipliedArgb) {
  const RgbaImage source = pattern(9, 7);
  for (auto layout : {test::PngLayout::rgba, test::PngLayout::palette, test::PngLayout::rgba16,
                      test::PngLayout::adam7}) {
    SCOPED_TRACE(static_cast<int>(layout));
    const auto image = decode(test::encodePng(source, layout));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 9);
    ASSERT_EQ(image->height(), 7);
    EXPECT_EQ(image->scale(), 1.0);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) {
        ASSERT_EQ(image->pixel(x, y), expectedArgb(source.at(x, y))) << x << "," << y;
      }
    }
  }
  const auto gray =
      decode(test::encodePng(RgbaImage(2, 2, {0x40, 0, 0, 255}), test::PngLayout::gray));
  ASSERT_TRUE(gray);
  EXPECT_EQ(gray->pixel(1, 1), 0xff404040u);
}

TEST(ImageDecodingTest, JpegDecodesOpaqueInEveryLayout) {
  const RgbaImage source = halves(32, 16);
  for (auto layout :
       {test::JpegLayout::baseline, test::JpegLayout::progressive, test::JpegLayout::cmyk}) {
    SCOPED_TRACE(static_cast<int>(layout));
    const auto image = decode(test::encodeJpeg(source, layout));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 32);
    ASSERT_EQ(image->height(), 16);
    EXPECT_TRUE(near(image->pixel(4, 8), kRed, 12));
    EXPECT_TRUE(near(image->pixel(28, 8), kBlue, 12));
  }
}

TEST(ImageDecodingTest, JpegHintPicksTheSmallestScaleThatStillCoversIt) {
  const Bytes jpeg = test::encodeJpeg(halves(64, 48));
  const auto sizeFor = [&](DecodeHint hint) {
    const auto image = decode(jpeg, hint);
    return image ? std::make_pair(image->width(), image->height()) : std::make_pair(0, 0);
  };
  EXPECT_EQ(sizeFor({}), std::make_pair(64, 48));
  EXPECT_EQ(sizeFor({8, 6}), std::make_pair(8, 6));
  EXPECT_EQ(sizeFor({20, 10}), std::make_pair(32, 24));
  EXPECT_EQ(sizeFor({17, 1}), std::make_pair(32, 24));
  EXPECT_EQ(sizeFor({100, 100}), std::make_pair(64, 48));
  // The redraw still takes a reduced decode to the size asked for.
  const auto drawn = redraw(*decode(jpeg, {20, 10}), {20, 10});
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->width(), 20);
  EXPECT_TRUE(near(drawn->pixel(2, 5), kRed, 12));
}

TEST(ImageDecodingTest, GifGivesItsFirstFrameOnTheScreenWithTransparency) {
  const std::vector<std::array<std::uint8_t, 3>> palette = {
      {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  test::GifFrame first{.left = 1, .top = 1, .width = 2, .height = 2, .indices = {0, 1, 2, 3}};
  first.transparentIndex = 1;
  test::GifFrame second{.width = 4, .height = 3, .indices = std::vector<std::uint8_t>(12, 3)};
  const auto image = decode(test::encodeGif(4, 3, palette, {first, second}));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 4);
  ASSERT_EQ(image->height(), 3);
  EXPECT_EQ(image->pixel(1, 1), kRed);
  EXPECT_EQ(image->pixel(2, 1), 0u) << "the transparent index";
  EXPECT_EQ(image->pixel(1, 2), kBlue);
  EXPECT_EQ(image->pixel(2, 2), 0xffffffffu);
  EXPECT_EQ(image->pixel(0, 0), 0u) << "the screen outside the frame";
  EXPECT_EQ(image->pixel(3, 2), 0u);
}

TEST(ImageDecodingTest, InterlacedGifRowsLandWhereTheyBelong) {
  std::vector<std::array<std::uint8_t, 3>> palette;
  for (int i = 0; i < 16; ++i) palette.push_back({static_cast<std::uint8_t>(i * 16), 0, 0});
  test::GifFrame frame{.width = 2, .height = 11, .interlaced = true};
  for (int y = 0; y < 11; ++y) frame.indices.insert(frame.indices.end(), 2, y);
  const auto image = decode(test::encodeGif(2, 11, palette, {frame}));
  ASSERT_TRUE(image);
  for (int y = 0; y < 11; ++y) EXPECT_EQ(image->pixel(1, y), 0xff000000u | (y * 16u) << 16) << y;
}

TEST(ImageDecodingTest, WebpStillAndAnimatedDecode) {
  const RgbaImage source = pattern(6, 5);
  const auto lossless = decode(test::encodeWebpLossless(source));
  ASSERT_TRUE(lossless);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) ASSERT_EQ(lossless->pixel(x, y), expectedArgb(source.at(x, y)));
  }

  RgbaImage translucent = halves(32, 16);
  for (auto& p : translucent.pixels) p[3] = 128;
  const auto lossy = decode(test::encodeWebp(translucent));
  ASSERT_TRUE(lossy);
  EXPECT_TRUE(near(lossy->pixel(4, 8), 0x80800000, 12));
  EXPECT_TRUE(near(lossy->pixel(28, 8), 0x80000080, 12));

  const auto animated =
      decode(test::encodeAnimatedWebp({halves(8, 8), RgbaImage(8, 8, {0, 255, 0, 255})}));
  ASSERT_TRUE(animated);
  EXPECT_EQ(animated->pixel(0, 0), kRed);
  EXPECT_EQ(animated->pixel(7, 7), kBlue);
}

std::vector<std::pair<std::string, Bytes>> samples() {
  const RgbaImage source = pattern(8, 8);
  test::GifFrame frame{.width = 8, .height = 8, .indices = std::vector<std::uint8_t>(64, 1)};
  return {{"png", test::encodePng(source)},
          {"jpeg", test::encodeJpeg(source)},
          {"gif", test::encodeGif(8, 8, {{0, 0, 0}, {255, 0, 0}}, {frame})},
          {"webp", test::encodeWebp(source)},
          {"webp lossless", test::encodeWebpLossless(source)}};
}

TEST(ImageDecodingTest, ForeignTruncatedAndCorruptBytesGiveNoImage) {
  const std::string text = "GIF is a format, this is not";
  EXPECT_FALSE(decodeImage(nullptr, 10));
  EXPECT_FALSE(decodeImage(text.data(), 0));
  EXPECT_FALSE(decodeImage(text.data(), text.size()));
  EXPECT_FALSE(decodeImage("BM\x3a\0\0\0", 6)) << "a BMP";

  for (const auto& [name, bytes] : samples()) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(decode(bytes));
    EXPECT_FALSE(decode(Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2)));
  }

  auto samplesByName = samples();
  Bytes png = samplesByName[0].second;
  png[png.size() - 20] ^= 0x55;  // inside IDAT, so its CRC fails
  EXPECT_FALSE(decode(png));
  Bytes jpeg = samplesByName[1].second;
  jpeg[test::jpegMarkerOffset(jpeg, 0xc0) + 1] = 0xc3;  // a lossless JPEG, which is unsupported
  EXPECT_FALSE(decode(jpeg));
  Bytes gif = samplesByName[2].second;
  gif[test::gifImageDescriptorOffset(gif)] = 0x99;  // no such record
  EXPECT_FALSE(decode(gif));
  Bytes webp = samplesByName[3].second;
  webp[12] = 'X';  // the image chunk renamed
  EXPECT_FALSE(decode(webp));
}

TEST(ImageDecodingTest, EveryTruncationAndFlippedByteIsSurvived) {
  // Whatever comes back, nothing may crash, leak or read out of bounds.
  for (const auto& [name, bytes] : samples()) {
    SCOPED_TRACE(name);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
      decodeImage(bytes.data(), length);
    }
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      Bytes damaged = bytes;
      damaged[at] ^= 0xff;
      if (const auto image = decode(damaged)) {
        EXPECT_EQ(image->pixels().size(), std::size_t(image->width()) * image->height());
      }
    }
  }
}

TEST(ImageDecodingTest, HostileDimensionsAreRefusedBeforeAllocating) {
  // Were the limits not applied before allocation, each of these would ask for
  // gigabytes and fill them.
  const RgbaImage small = pattern(8, 8);
  EXPECT_FALSE(decode(test::withPngSize(test::encodePng(small), 100000, 100000)));
  EXPECT_FALSE(decode(test::withPngSize(test::encodePng(small), 16000, 16000)));
  EXPECT_FALSE(decode(test::withJpegSize(test::encodeJpeg(small), 65500, 65500)));
  test::GifFrame frame{.width = 8, .height = 8, .indices = std::vector<std::uint8_t>(64, 1)};
  EXPECT_FALSE(decode(
      test::withGifSize(test::encodeGif(8, 8, {{0, 0, 0}, {255, 0, 0}}, {frame}), 65535, 65535)));
  EXPECT_FALSE(decode(test::withWebpLosslessSize(test::encodeWebpLossless(small), 16384, 16384)));
}

TEST(ImageDecodingTest, SidesUpTo16384PixelsAreAccepted) {
  const RgbaImage atLimit(Image::kMaxSide, 1, {0, 0, 255, 255});
  const auto image = decode(test::encodePng(atLimit));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(Image::kMaxSide - 1, 0), kBlue);
  EXPECT_FALSE(decode(test::encodePng(RgbaImage(Image::kMaxSide + 1, 1))));
  EXPECT_FALSE(decode(test::encodeJpeg(RgbaImage(1, Image::kMaxSide + 1))));
}

TEST(ImageDecodingTest, WorkerThreadsDecodeAndDrawInParallel) {
  const auto inputs = samples();
  std::vector<std::shared_ptr<const Image>> expected;
  for (const auto& [name, bytes] : inputs) expected.push_back(redraw(*decode(bytes), {5, 3}));

  std::vector<std::vector<std::shared_ptr<const Image>>> results(4);
  std::vector<std::thread> workers;
  for (auto& result : results) {
    workers.emplace_back([&inputs, &result] {
      for (int round = 0; round < 5; ++round) {
        for (const auto& [name, bytes] : inputs) {
          const auto image = decode(bytes);
          result.push_back(image ? redraw(*image, {5, 3}) : nullptr);
        }
      }
    });
  }
  for (auto& worker : workers) worker.join();
  for (const auto& result : results) {
    ASSERT_EQ(result.size(), inputs.size() * 5);
    for (std::size_t i = 0; i < result.size(); ++i) {
      const auto& want = expected[i % inputs.size()];
      ASSERT_TRUE(result[i]);
      EXPECT_TRUE(std::equal(want->pixels().begin(), want->pixels().end(),
                             result[i]->pixels().begin(), result[i]->pixels().end()));
    }
  }
}

}  // namespace
}  // namespace ovix::gfx
