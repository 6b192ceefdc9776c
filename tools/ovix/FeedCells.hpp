#pragma once

#include <memory>
#include <string>

#include "ovix/Ovix.hpp"

namespace ovix::tool {

// The demo host's own ad cell: its own image view and labels, laid out for a
// row of `kRowHeight` points on a screen `width` wide.
class StoryAdCell : public ui::TableViewCell {
 public:
  StoryAdCell(ui::ViewKey key, double width);

  std::shared_ptr<ui::ImageView> picture;
  std::shared_ptr<ui::Label> title;
  std::shared_ptr<ui::Label> description;
  std::shared_ptr<ui::Label> advertiser;
  std::shared_ptr<ui::Label> adLabel;
};

inline constexpr double kRowHeight = 80;

// Shows story `number` in a plain cell: its headline and number, no picture.
void showStory(ui::TableViewCell& cell, int number);

// A content row: a plain cell with a story's headline.
std::shared_ptr<ui::TableViewCell> makeStoryCell(int number, double width);

}  // namespace ovix::tool
