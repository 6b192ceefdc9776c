#include "FeedCells.hpp"

namespace ovix::tool {

StoryAdCell::StoryAdCell(ui::ViewKey key, double width)
    : TableViewCell(key, Style::basic),
      picture(ui::make<ui::ImageView>(Rect(12, 10, 100, 60))),
      title(ui::make<ui::Label>(Rect(124, 8, width - 136, 22))),
      description(ui::make<ui::Label>(Rect(124, 31, width - 136, 18))),
      advertiser(ui::make<ui::Label>(Rect(124, 53, width - 170, 18))),
      adLabel(ui::make<ui::Label>(Rect(width - 36, 53, 24, 18))) {
  description->setFont(ui::Font::systemFont(13));
  description->setTextColor(ui::Color::darkGray());
  advertiser->setFont(ui::Font::systemFont(12));
  advertiser->setTextColor(ui::Color::gray());
  adLabel->setFont(ui::Font::systemFont(11));
  adLabel->setTextColor(ui::Color::gray());
  for (const std::shared_ptr<ui::View>& view : std::initializer_list<std::shared_ptr<ui::View>>{
           picture, title, description, advertiser, adLabel}) {
    contentView()->addSubview(view);
  }
}

void showStory(ui::TableViewCell& cell, int number) {
  static const char* const kHeadlines[] = {
      "City council approves the new riverside park", "Five recipes for a rainy weekend",
      "Local team wins the regional final",           "What the new transit map means for you",
      "A quiet street that became a gallery",         "Ten minutes with the town's oldest baker",
  };
  cell.textLabel()->setText(kHeadlines[number % std::size(kHeadlines)]);
  if (const auto detail = cell.detailTextLabel()) {
    detail->setText("Story " + std::to_string(number + 1));
  }
  cell.imageView()->setImage(nullptr);
}

std::shared_ptr<ui::TableViewCell> makeStoryCell(int number, double width) {
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  cell->setFrame(Rect(0, 0, width, kRowHeight));
  showStory(*cell, number);
  return cell;
}

}  // namespace ovix::tool
