#include "ovix/platform/ImageDrawing.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "EncodedImages.hpp"
#include "ovix/platform/Bundle.hpp"

namespace ovix::gfx {
namespace {

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kBlue = 0xff0000ff;

std::shared_ptr<const Image> redAndBlue(int width, int height) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(x < width / 2 ? kRed : kBlue);
  }
  return Image::fromPixels(width, height, std::move(pixels));
}

TEST(ImageDrawingTest, RedrawStretchesOverExactlyTheRoundedSize) {
  const auto wide = redraw(*redAndBlue(2, 1), {20, 5});
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->width(), 20);
  EXPECT_EQ(wide->height(), 5);
  EXPECT_EQ(wide->scale(), 1.0);
  for (int y : {0, 4}) {
    EXPECT_EQ(wide->pixel(0, y), kRed);
    EXPECT_EQ(wide->pixel(19, y), kBlue);
  }

  const auto small = redraw(*redAndBlue(64, 64), {10.4, 3.6});
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width(), 10);
  EXPECT_EQ(small->height(), 4);
  EXPECT_EQ(small->pixel(1, 2), kRed);
  EXPECT_EQ(small->pixel(8, 2), kBlue);
}

TEST(ImageDrawingTest, RedrawGivesNothingForEmptyOrOversizedTargets) {
  const auto image = redAndBlue(2, 2);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (Size size : {Size{0, 10}, Size{10, 0}, Size{-5, 10}, Size{0.4, 10}, Size{nan, 10},
                    Size{Image::kMaxSide + 1.0, 1}}) {
    EXPECT_FALSE(redraw(*image, size)) << size.width << "x" << size.height;
  }
}

TEST(ImageDrawingTest, FromPixelsChecksItsArguments) {
  EXPECT_FALSE(Image::fromPixels(2, 2, std::vector<std::uint32_t>(3)));
  EXPECT_FALSE(Image::fromPixels(0, 0, {}));
  EXPECT_FALSE(Image::fromPixels(-1, -1, std::vector<std::uint32_t>(1)));
  const auto image = Image::fromPixels(2, 1, {kRed, kBlue});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->stride(), 8);
  EXPECT_EQ(image->size(), (Size{2, 1}));
}

TEST(ImageDrawingTest, NamedImagesComeFromTheBundleResources) {
  const auto sdk = Bundle::sdk();
  const auto empty = Image::named("empty.gif", *sdk);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width(), 1);
  EXPECT_EQ(empty->height(), 1);
  EXPECT_EQ(empty->pixel(0, 0) >> 24, 0u) << "transparent";
  EXPECT_FALSE(Image::named("missing.png", *sdk));

  const auto folder = std::filesystem::path(::testing::TempDir()) / "ovix-named-images";
  std::filesystem::create_directories(folder);
  const auto png = test::encodePng(test::RgbaImage(3, 2, {0, 0, 255, 255}));
  std::ofstream(folder / "blue.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  std::ofstream(folder / "notes.txt") << "not an image";
  const Bundle bundle(folder.string(), {});
  const auto blue = Image::named("blue.png", bundle);
  ASSERT_TRUE(blue);
  EXPECT_EQ(blue->pixel(2, 1), kBlue);
  EXPECT_FALSE(Image::named("notes.txt", bundle));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ovix::gfx
