#include "platform/ui/CellLayout.hpp"

#include <algorithm>
#include <cmath>

#include "platform/ui/Text.hpp"

namespace ovix::ui {
namespace {

constexpr double kInset = 15;
constexpr double kGap = 6;  // between the text and the detail on one line

struct Line {
  double width;   // of the text as drawn in one line
  double height;  // of one line of the font, rounded up to whole points
};

Line measure(cairo_t* cr, const Label& label) {
  text::useFont(cr, label.font());
  return {text::width(cr, text::oneLine(label.text())), std::ceil(text::lineHeight(cr))};
}

// Sets the frame of `view` unless it has one of its own.
void place(Frames& frames, const View* view, Rect frame) {
  if (view && view->frame().isZero()) frames[view] = frame;
}

}  // namespace

Frames layOutCell(cairo_t* cr, const TableViewCell& cell) {
  Frames frames;
  const Size size = cell.frame().size;
  if (const auto content = cell.contentView())
    frames[content.get()] = Rect(0, 0, size.width, size.height);

  double left = kInset;
  const auto imageView = cell.imageView();
  if (imageView && imageView->image()) {
    const Size image = imageView->image()->size();
    place(frames, imageView.get(),
          Rect(kInset, (size.height - image.height) / 2, image.width, image.height));
    const Rect placed = imageView->frame().isZero() ? frames[imageView.get()] : imageView->frame();
    left = placed.origin.x + placed.size.width + kInset;
  }
  const double width = std::max(0.0, size.width - left - kInset);
  const auto textLabel = cell.textLabel();
  const auto detail = cell.detailTextLabel();
  cairo_save(cr);
  const Line text = textLabel ? measure(cr, *textLabel) : Line{0, 0};
  const Line under = detail ? measure(cr, *detail) : Line{0, 0};
  cairo_restore(cr);

  switch (cell.style()) {
    case TableViewCell::Style::basic:
      place(frames, textLabel.get(), Rect(left, 0, width, size.height));
      break;
    case TableViewCell::Style::subtitle: {
      const double top = (size.height - text.height - under.height) / 2;
      place(frames, textLabel.get(), Rect(left, top, width, text.height));
      place(frames, detail.get(), Rect(left, top + text.height, width, under.height));
      break;
    }
    case TableViewCell::Style::value1: {
      // The detail keeps its width while there is room; the text takes the rest.
      const double detailWidth = std::min(under.width, width);
      const double textWidth = std::max(0.0, width - detailWidth - kGap);
      place(frames, textLabel.get(), Rect(left, 0, textWidth, size.height));
      place(frames, detail.get(), Rect(left + width - detailWidth, 0, detailWidth, size.height));
      break;
    }
    case TableViewCell::Style::value2: {
      const double textWidth = std::min(text.width, width);
      const double detailLeft = left + textWidth + kGap;
      place(frames, textLabel.get(), Rect(left, 0, textWidth, size.height));
      place(frames, detail.get(),
            Rect(detailLeft, 0, std::max(0.0, left + width - detailLeft), size.height));
      break;
    }
  }
  return frames;
}

}  // namespace ovix::ui
