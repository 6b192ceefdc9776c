#include "ovix/platform/ImageDrawing.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "unit/gfx/EncodedImages.hpp"
#include "ovix/platform/Bundle.hpp"

namespace ovix::gfx {
namespace {

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kBlue = 0xff0000ff;

// Left half red, right half blue.
std::shared_ptr<const Image> halves(int width, int height) {
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.push_back(i % width < width / 2 ? kRed : kBlue);
  return Image::fromPixels(width, height, std::move(pixels));
}

TEST(ImageDrawingTest, RedrawStretchesOverExactlyTheRoundedSize) {
  const auto wide = redraw(*halves(2, 1), {20, 5});
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->width(), 20);
  EXPECT_EQ(wide->height(), 5);
  EXPECT_EQ(wide->scale(), 1.0);
  for (int y : {0, 4}) {
    EXPECT_EQ(wide->pixel(0, y), kRed);
    EXPECT_EQ(wide->pixel(19, y), kBlue);
  }
  const auto narrow = redraw(*halves(64, 64), {10.4, 3.6});
  ASSERT_TRUE(narrow);
  EXPECT_EQ(narrow->width(), 10);
  EXPECT_EQ(narrow->height(), 4);
  EXPECT_EQ(narrow->pixel(1, 2), kRed);
  EXPECT_EQ(narrow->pixel(8, 2), kBlue);
}

// A quarter-size JPEG of 640 by 360 drawn at 120 by 80 shrinks by exactly 4/3
// across, where the drawing changes filter.
TEST(ImageDrawingTest, ShrinkingByFourThirdsKeepsColoursAndEdges) {
  const auto drawn = redraw(*halves(160, 90), {120, 80});
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->width(), 120);
  EXPECT_EQ(drawn->height(), 80);
  for (int y : {0, 40, 79}) {
    EXPECT_EQ(drawn->pixel(0, y), kRed);
    EXPECT_EQ(drawn->pixel(58, y), kRed);
    EXPECT_EQ(drawn->pixel(61, y), kBlue);
    EXPECT_EQ(drawn->pixel(119, y), kBlue);
  }
}

TEST(ImageDrawingTest, EmptyOversizedOrMismatchedGiveNoImage) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (Size size :
       {Size{0, 10}, Size{10, -5}, Size{0.4, 10}, Size{nan, 10}, Size{Image::kMaxSide + 1.0, 1}}) {
    EXPECT_FALSE(redraw(*halves(2, 2), size)) << size.width << "x" << size.height;
  }
  EXPECT_FALSE(Image::fromPixels(2, 2, std::vector<std::uint32_t>(3)));
  EXPECT_FALSE(Image::fromPixels(-1, -1, std::vector<std::uint32_t>(1)));
}

TEST(ImageDrawingTest, NamedImagesComeFromTheBundleResources) {
  const auto empty = Image::named("empty.gif", *Bundle::sdk());
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width(), 1);
  EXPECT_EQ(empty->height(), 1);
  EXPECT_EQ(empty->pixel(0, 0), 0u) << "transparent";
  EXPECT_FALSE(Image::named("missing.png", *Bundle::sdk()));

  const auto folder = std::filesystem::path(::testing::TempDir()) / "ovix-named-images";
  std::filesystem::create_directories(folder);
  const auto png = test::encodePng(test::RgbaImage(3, 2, {0, 0, 255, 255}));
  std::ofstream(folder / "blue.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
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
