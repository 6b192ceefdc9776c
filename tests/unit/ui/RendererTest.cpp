#include "ovix/platform/Renderer.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ovix/platform/Button.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageView.hpp"
#include "ovix/platform/ImageWriting.hpp"
#include "ovix/platform/Label.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix::ui {
namespace {

constexpr std::uint32_t kClear = 0;
constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kGreen = 0xff00ff00;
constexpr std::uint32_t kBlue = 0xff0000ff;
constexpr Color kRedColor{1, 0, 0, 1};
constexpr Color kBlueColor{0, 0, 1, 1};

// 4 by 2 pixels: the left half red, the right half blue.
std::shared_ptr<const gfx::Image> redBlue() {
  return gfx::Image::fromPixels(4, 2, {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue});
}

std::shared_ptr<const gfx::Image> solid(int width, int height, std::uint32_t color) {
  return gfx::Image::fromPixels(width, height,
                                std::vector<std::uint32_t>(std::size_t(width) * height, color));
}

// Pixels within `box` (or outside it) that are not transparent.
int inked(const gfx::Image& image, Rect box, bool inside = true) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool in = x >= box.origin.x && x < box.origin.x + box.size.width && y >= box.origin.y &&
                      y < box.origin.y + box.size.height;
      if (in == inside && image.pixel(x, y) != kClear) ++count;
    }
  }
  return count;
}

template <class V>
std::shared_ptr<V> add(const std::shared_ptr<View>& parent, Rect frame) {
  auto view = make<V>(frame);
  parent->addSubview(view);
  return view;
}

TEST(RendererTest, DrawsButtonsBackToFrontInTheirSuperviewsCoordinates) {
  const auto root = make<View>(Rect(50, 50, 100, 60));  // its own origin does not count
  const auto group = add<View>(root, Rect(10, 10, 80, 40));
  add<Button>(group, Rect(5, 5, 20, 10))->setBackgroundColor(kRedColor);
  add<Button>(group, Rect(15, 5, 20, 10))->setBackgroundColor(kBlueColor);
  add<Button>(group, Rect(60, 30, 10, 5))->setBackgroundColor({0, 1, 0, 0.5});

  const auto image = render(*root);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 100);
  EXPECT_EQ(image->height(), 60);
  EXPECT_EQ(image->pixel(15, 15), kRed);
  EXPECT_EQ(image->pixel(24, 24), kRed);
  EXPECT_EQ(image->pixel(25, 15), kBlue) << "drawn later, on top";
  EXPECT_EQ(image->pixel(44, 24), kBlue);
  EXPECT_EQ(image->pixel(45, 15), kClear);
  EXPECT_EQ(image->pixel(14, 15), kClear);
  EXPECT_EQ(image->pixel(75, 42), 0x80008000u) << "premultiplied half green";
  EXPECT_EQ(inked(*image, Rect(15, 15, 30, 10)) + inked(*image, Rect(70, 40, 10, 5)),
            inked(*image, Rect(0, 0, 100, 60)));

  EXPECT_FALSE(render(*make<View>(Rect(0, 0, 0.4, 10))));
  EXPECT_FALSE(render(*make<View>(Rect(0, 0, 10, gfx::Image::kMaxSide + 1))));
}

TEST(RendererTest, ImageViewsFitTheirImagePerContentMode) {
  const auto root = make<View>(Rect(0, 0, 200, 100));
  const auto fill = add<ImageView>(root, Rect(0, 0, 40, 40));
  fill->setImage(redBlue());
  const auto fit = add<ImageView>(root, Rect(50, 0, 40, 40));
  fit->setImage(redBlue());
  fit->setContentMode(ContentMode::scaleAspectFit);
  const auto cover = add<ImageView>(root, Rect(120, 50, 20, 20));
  cover->setImage(redBlue());
  cover->setContentMode(ContentMode::scaleAspectFill);
  add<ImageView>(root, Rect(0, 60, 20, 20));  // no image: nothing

  const auto image = render(*root);
  ASSERT_TRUE(image);
  // Stretched over 40 by 40.
  EXPECT_EQ(image->pixel(2, 2), kRed);
  EXPECT_EQ(image->pixel(2, 37), kRed);
  EXPECT_EQ(image->pixel(37, 37), kBlue);
  // 40 by 20, centred: rows 10 to 29.
  EXPECT_EQ(image->pixel(55, 5), kClear);
  EXPECT_EQ(image->pixel(55, 15), kRed);
  EXPECT_EQ(image->pixel(85, 25), kBlue);
  EXPECT_EQ(image->pixel(85, 35), kClear);
  // 40 by 20 over 20 by 20, centred: columns 110 to 149, drawn past the
  // frame since the view does not clip.
  EXPECT_EQ(image->pixel(112, 60), kRed);
  EXPECT_EQ(image->pixel(122, 60), kRed);
  EXPECT_EQ(image->pixel(137, 60), kBlue);
  EXPECT_EQ(image->pixel(147, 60), kBlue);
  EXPECT_EQ(image->pixel(152, 60), kClear);
  EXPECT_EQ(inked(*image, Rect(0, 60, 20, 20)), 0);
}

TEST(RendererTest, ClippingCutsTheImageAndTheSubviewsAtTheBounds) {
  const auto root = make<View>(Rect(0, 0, 100, 60));
  const auto cover = add<ImageView>(root, Rect(40, 20, 20, 20));
  cover->setImage(redBlue());
  cover->setContentMode(ContentMode::scaleAspectFill);
  cover->setClipsToBounds(true);
  add<Button>(cover, Rect(15, 15, 20, 20))->setBackgroundColor({0, 1, 0, 1});

  const auto image = render(*root);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(42, 30), kRed);
  EXPECT_EQ(image->pixel(57, 30), kBlue);
  EXPECT_EQ(image->pixel(58, 38), kGreen);
  EXPECT_EQ(image->pixel(61, 38), kClear) << "the button goes on past the bounds";
  EXPECT_EQ(image->pixel(35, 30), kClear) << "the image goes on past the bounds";
  EXPECT_EQ(inked(*image, Rect(40, 20, 20, 20), false), 0);
}

TEST(RendererTest, LabelsDrawTheirTextInsideTheirFrameOnly) {
  const auto root = make<View>(Rect(0, 0, 200, 60));
  const auto label = add<Label>(root, Rect(10, 10, 120, 30));
  label->setText("Weekend trips from 49 a night, free cancellation");
  label->setTextColor(kRedColor);
  label->setFont(Font::systemFont(20));
  const auto other = add<Label>(root, Rect(10, 45, 60, 15));
  other->setText("clipped\xff text");
  other->setLineBreakMode(LineBreakMode::clipping);

  const auto image = render(*root);
  ASSERT_TRUE(image);
  const int inside = inked(*image, label->frame());
  EXPECT_GT(inside, 100);
  EXPECT_GT(inked(*image, other->frame()), 20);
  EXPECT_EQ(inked(*image, label->frame()) + inked(*image, other->frame()),
            inked(*image, Rect(0, 0, 200, 60)));
  // Red text: no pixel of the first label has green or blue.
  for (int y = 10; y < 40; ++y) {
    for (int x = 10; x < 130; ++x) EXPECT_EQ(image->pixel(x, y) & 0xffff, 0u) << x << "," << y;
  }
  // The ellipsis ends the line near the right edge; an empty label draws nothing.
  EXPECT_GT(inked(*image, Rect(110, 10, 20, 30)), 0);
  label->setText("");
  EXPECT_EQ(inked(*render(*root), label->frame()), 0);
}

TEST(RendererTest, TableCellsLayOutTheirOwnViewsLikeAPlainCell) {
  const auto cell = make<TableViewCell>(TableViewCell::Style::subtitle);
  cell->setFrame(Rect(0, 0, 320, 80));
  cell->imageView()->setImage(solid(40, 40, kGreen));
  cell->textLabel()->setText("Learn to swim at any age");
  cell->detailTextLabel()->setText("Small classes with patient coaches.");
  cell->detailTextLabel()->setTextColor(kBlueColor);

  const auto image = render(*cell);
  ASSERT_TRUE(image);
  // The image 15 points in, vertically centred.
  EXPECT_EQ(image->pixel(15, 20), kGreen);
  EXPECT_EQ(image->pixel(54, 59), kGreen);
  EXPECT_EQ(image->pixel(14, 40), kClear);
  EXPECT_EQ(image->pixel(15, 19), kClear);
  EXPECT_EQ(image->pixel(55, 40), kClear);
  // Texts start 15 points right of the image: black above the middle, blue below.
  EXPECT_EQ(inked(*image, Rect(55, 0, 15, 80)), 0);
  int black = 0;
  int blue = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 70; x < 320; ++x) {
      const std::uint32_t p = image->pixel(x, y);
      if (p == kClear) continue;
      const bool isBlue = (p & 0xff) > 0 && (p & 0xffff00) == 0;
      const bool isBlack = (p & 0xffffff) == 0;
      if (isBlack) {
        EXPECT_LT(y, 40) << x << "," << y;
      }
      if (isBlue) {
        EXPECT_GE(y, 40) << x << "," << y;
      }
      black += isBlack;
      blue += isBlue;
    }
  }
  EXPECT_GT(black, 50);
  EXPECT_GT(blue, 50);

  // A frame of the host's own is kept.
  cell->imageView()->setFrame(Rect(280, 10, 30, 30));
  const auto moved = render(*cell);
  EXPECT_EQ(moved->pixel(285, 15), kGreen);
  EXPECT_EQ(moved->pixel(30, 40), kClear);
}

TEST(RendererTest, WritesPngFilesThatDecodeToTheSamePixels) {
  const auto root = make<View>(Rect(0, 0, 30, 20));
  add<Button>(root, Rect(0, 0, 10, 20))->setBackgroundColor(kRedColor);
  add<ImageView>(root, Rect(10, 0, 20, 20))->setImage(redBlue());
  const auto image = render(*root);
  ASSERT_TRUE(image);

  test::TemporaryDirectory folder;
  const std::string path = (folder.path() / "tree.png").string();
  ASSERT_FALSE(gfx::writePng(*image, path));
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  const auto decoded = gfx::decodeImage(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->width(), 30);
  ASSERT_EQ(decoded->height(), 20);
  EXPECT_TRUE(
      std::equal(decoded->pixels().begin(), decoded->pixels().end(), image->pixels().begin()));

  const auto missing = gfx::writePng(*image, (folder.path() / "none" / "tree.png").string());
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code(), 4);
  EXPECT_NE(missing->localizedDescription().find("none/tree.png"), std::string::npos);
  const auto folderPath = gfx::writePng(*image, folder.path().string());
  ASSERT_TRUE(folderPath);
  EXPECT_EQ(folderPath->domain(), "NSCocoaErrorDomain");
  EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
}

}  // namespace
}  // namespace ovix::ui
