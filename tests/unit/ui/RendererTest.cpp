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

constexpr std::uint32_t kClear = 0, kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff;

// Pixels within `box` with any of `channels` (0xAARRGGBB) inked.
int count(const gfx::Image& image, Rect box, std::uint32_t channels = 0xffffffff) {
  int found = 0;
  for (int y = int(box.origin.y); y < box.origin.y + box.size.height; ++y) {
    for (int x = int(box.origin.x); x < box.origin.x + box.size.width; ++x) {
      found += (image.pixel(x, y) & channels) != 0;
    }
  }
  return found;
}

void expectPixels(const gfx::Image& image,
                  std::initializer_list<std::array<std::uint32_t, 3>> probes) {
  for (const auto& [x, y, pixel] : probes) EXPECT_EQ(image.pixel(x, y), pixel) << x << "," << y;
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
  add<Button>(group, Rect(5, 5, 20, 10))->setBackgroundColor(Color{1, 0, 0, 1});
  add<Button>(group, Rect(15, 5, 20, 10))->setBackgroundColor(Color{0, 0, 1, 1});
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
  label->setTextColor(Color{1, 0, 0, 1});
  label->setFont(Font::systemFont(16));
  const auto hidden = add<View>(root, Rect(0, 0, 10, 10));  // nor its subviews
  add<Button>(hidden, Rect(0, 0, 10, 10))->setBackgroundColor({1, 0, 0, 1});
  hidden->setHidden(true);

  const auto image = render(*root);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->size(), Size(200, 100));
  // Buttons, the later on top and half green premultiplied; images stretched,
  // fitted and filled, drawn past the frame; clipped, image and button stop at the bounds.
  expectPixels(*image,
               {{15, 15, kRed},    {24, 24, kRed},    {25, 15, kBlue},       {44, 24, kBlue},
                {45, 15, kClear},  {14, 15, kClear},  {75, 42, 0x80008000u}, {102, 2, kRed},
                {102, 37, kRed},   {137, 37, kBlue},  {155, 5, kClear},      {155, 15, kRed},
                {185, 25, kBlue},  {185, 35, kClear}, {92, 70, kRed},        {117, 70, kBlue},
                {127, 70, kBlue},  {132, 70, kClear}, {152, 60, kRed},       {167, 60, kBlue},
                {168, 68, kGreen}, {171, 68, kClear}, {145, 60, kClear}});
  // Nothing where there is no image, nor past the label's frame, nor hidden.
  EXPECT_EQ(count(*image, Rect(0, 60, 20, 20)) + count(*image, Rect(140, 82, 60, 18)) +
                count(*image, Rect(0, 0, 10, 10)),
            0);
  // The label's text, invalid byte and all, in red only: no green or blue.
  EXPECT_GT(count(*image, label->frame()), 100);
  EXPECT_EQ(count(*image, label->frame(), 0xffff), 0);
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
  EXPECT_TRUE(missing && missing->code() == 4 &&
              missing->localizedDescription().find("none/tree.png") != std::string::npos);
}

TEST(RendererTest, CellsLayOutTheirOwnViewsInAContentViewThatFollowsTheCell) {
  const auto cell = make<TableViewCell>(TableViewCell::Style::subtitle);
  cell->setFrame(Rect(0, 0, 320, 80));
  cell->imageView()->setImage(
      gfx::Image::fromPixels(40, 40, std::vector<std::uint32_t>(1600, kGreen)));
  cell->textLabel()->setText("Learn to swim at any age");
  cell->detailTextLabel()->setText("Small classes with patient coaches.");
  cell->detailTextLabel()->setTextColor(Color{0, 0, 1, 1});

  const auto image = render(*cell);
  ASSERT_TRUE(image);
  // The image 15 points in, vertically centred; the texts 15 points right of
  // it: black above the middle, blue below.
  expectPixels(
      *image,
      {{15, 20, kGreen}, {54, 59, kGreen}, {14, 40, kClear}, {15, 19, kClear}, {55, 40, kClear}});
  EXPECT_EQ(count(*image, Rect(55, 0, 15, 80)), 0);
  const Rect upper(70, 0, 250, 40), lower(70, 40, 250, 40);
  EXPECT_TRUE(count(*image, upper) > 50 && count(*image, lower, 0xff) > 50);
  // No colour above; nothing but blue below.
  EXPECT_EQ(count(*image, upper, 0xffffff) + count(*image, lower) - count(*image, lower, 0xff), 0);

  // A frame of the host's own is kept.
  cell->imageView()->setFrame(Rect(280, 10, 30, 30));
  expectPixels(*render(*cell), {{285, 15, kGreen}, {30, 40, kClear}});
}

}  // namespace
}  // namespace ovix::ui
