#include "ovix/platform/Renderer.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ovix/platform/Button.hpp"
#include "ovix/platform/CollectionViewCell.hpp"
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

struct Probe {
  int x, y;
  std::uint32_t pixel;
};

void expectPixels(const gfx::Image& image, std::initializer_list<Probe> probes) {
  for (const auto [x, y, pixel] : probes) EXPECT_EQ(image.pixel(x, y), pixel) << x << "," << y;
}

template <class V>
std::shared_ptr<V> add(const std::shared_ptr<View>& parent, Rect frame) {
  auto view = make<V>(frame);
  parent->addSubview(view);
  return view;
}

// 4 by 2 pixels: the left half red, the right half blue.
std::shared_ptr<ImageView> addImage(const std::shared_ptr<View>& parent, Rect frame,
                                    ContentMode mode) {
  auto view = add<ImageView>(parent, frame);
  view->setImage(
      gfx::Image::fromPixels(4, 2, {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue}));
  view->setContentMode(mode);
  return view;
}

TEST(RendererTest, DrawsViewsBackToFrontInTheirSuperviewsCoordinatesAndWritesThemAsPng) {
  const auto root = make<View>(Rect(50, 50, 200, 100));  // its own origin does not count
  const auto group = add<View>(root, Rect(10, 10, 80, 40));
  add<Button>(group, Rect(5, 5, 20, 10))->setBackgroundColor(kRedColor);
  add<Button>(group, Rect(15, 5, 20, 10))->setBackgroundColor(kBlueColor);
  add<Button>(group, Rect(60, 30, 10, 5))->setBackgroundColor({0, 1, 0, 0.5});
  addImage(root, Rect(100, 0, 40, 40), ContentMode::scaleToFill);
  addImage(root, Rect(150, 0, 40, 40), ContentMode::scaleAspectFit);    // rows 10 to 29
  addImage(root, Rect(100, 60, 20, 20), ContentMode::scaleAspectFill);  // columns 90 to 129
  add<ImageView>(root, Rect(0, 60, 20, 20));                            // no image: nothing
  const auto clipped = addImage(root, Rect(150, 50, 20, 20), ContentMode::scaleAspectFill);
  clipped->setClipsToBounds(true);
  add<Button>(clipped, Rect(15, 15, 20, 20))->setBackgroundColor({0, 1, 0, 1});
  const auto label = add<Label>(root, Rect(0, 82, 140, 18));  // cut short, ending in an ellipsis
  label->setText("Weekend trips from 49\xff a night, free cancellation");
  label->setTextColor(kRedColor);
  label->setFont(Font::systemFont(16));

  const auto image = render(*root);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 200);
  ASSERT_EQ(image->height(), 100);
  // Buttons, the later on top and half green premultiplied; images stretched,
  // fitted and filled, drawn past the frame; clipped, image and button stop at the bounds.
  expectPixels(*image,
               {{15, 15, kRed},    {24, 24, kRed},    {25, 15, kBlue},       {44, 24, kBlue},
                {45, 15, kClear},  {14, 15, kClear},  {75, 42, 0x80008000u}, {102, 2, kRed},
                {102, 37, kRed},   {137, 37, kBlue},  {155, 5, kClear},      {155, 15, kRed},
                {185, 25, kBlue},  {185, 35, kClear}, {92, 70, kRed},        {117, 70, kBlue},
                {127, 70, kBlue},  {132, 70, kClear}, {152, 60, kRed},       {167, 60, kBlue},
                {168, 68, kGreen}, {171, 68, kClear}, {145, 60, kClear}});
  int expected = 0;
  for (Rect box :
       {Rect(15, 15, 30, 10), Rect(70, 40, 10, 5), Rect(100, 0, 40, 40), Rect(150, 10, 40, 20),
        Rect(90, 60, 40, 20), Rect(150, 50, 20, 20), label->frame()}) {
    expected += inked(*image, box);
  }
  EXPECT_EQ(inked(*image, Rect(0, 0, 200, 100)), expected);
  // The label's text, invalid byte and all, in red only: no green or blue.
  EXPECT_GT(inked(*image, label->frame()), 100);
  for (int i = 0; i < 140 * 18; ++i) EXPECT_EQ(image->pixel(i % 140, 82 + i / 140) & 0xffff, 0u);
  EXPECT_FALSE(render(*make<View>(Rect(0, 0, 0.4, 10))));
  EXPECT_FALSE(render(*make<View>(Rect(0, 0, 10, gfx::Image::kMaxSide + 1))));

  test::TemporaryDirectory folder;
  const std::string path = (folder.path() / "tree.png").string();
  ASSERT_FALSE(gfx::writePng(*image, path));
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  const auto decoded = gfx::decodeImage(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(std::ranges::equal(decoded->pixels(), image->pixels()));
  const auto missing = gfx::writePng(*image, (folder.path() / "none" / "tree.png").string());
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code(), 4);
  EXPECT_NE(missing->localizedDescription().find("none/tree.png"), std::string::npos);
  EXPECT_TRUE(gfx::writePng(*image, folder.path().string()));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
}

TEST(RendererTest, CellsLayOutTheirOwnViewsInAContentViewThatFollowsTheCell) {
  EXPECT_EQ(make<TableViewCell>()->detailTextLabel(), nullptr);
  for (auto style : {TableViewCell::Style::value1, TableViewCell::Style::value2}) {
    EXPECT_NE(make<TableViewCell>(style)->detailTextLabel(), nullptr);
  }
  const auto item = make<CollectionViewCell>(Rect(10, 10, 100, 50));
  item->setFrame(Rect(0, 0, 60, 60));
  EXPECT_EQ(item->contentView()->frame(), Rect(0, 0, 60, 60));

  const auto cell = make<TableViewCell>(TableViewCell::Style::subtitle);
  cell->setFrame(Rect(0, 0, 320, 80));
  cell->imageView()->setImage(
      gfx::Image::fromPixels(40, 40, std::vector<std::uint32_t>(1600, kGreen)));
  cell->textLabel()->setText("Learn to swim at any age");
  cell->detailTextLabel()->setText("Small classes with patient coaches.");
  cell->detailTextLabel()->setTextColor(kBlueColor);

  const auto image = render(*cell);
  ASSERT_TRUE(image);
  // The image 15 points in, vertically centred.
  expectPixels(
      *image,
      {{15, 20, kGreen}, {54, 59, kGreen}, {14, 40, kClear}, {15, 19, kClear}, {55, 40, kClear}});
  // Texts start 15 points right of the image: black above the middle, blue below.
  EXPECT_EQ(inked(*image, Rect(55, 0, 15, 80)), 0);
  int black[2] = {};  // above the middle, below it
  int blue[2] = {};
  for (int i = 0; i < 250 * 80; ++i) {
    const std::uint32_t p = image->pixel(70 + i % 250, i / 250);
    black[i / 250 >= 40] += p != kClear && (p & 0xffffff) == 0;
    blue[i / 250 >= 40] += (p & 0xff) > 0 && (p & 0xffff00) == 0;
  }
  EXPECT_GT(black[0], 50);
  EXPECT_EQ(black[1], 0);
  EXPECT_EQ(blue[0], 0);
  EXPECT_GT(blue[1], 50);

  // A frame of the host's own is kept.
  cell->imageView()->setFrame(Rect(280, 10, 30, 30));
  const auto moved = render(*cell);
  EXPECT_EQ(moved->pixel(285, 15), kGreen);
  EXPECT_EQ(moved->pixel(30, 40), kClear);
}

}  // namespace
}  // namespace ovix::ui
