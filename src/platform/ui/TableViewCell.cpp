#include "ovix/platform/TableViewCell.hpp"

namespace ovix::ui {

TableViewCell::TableViewCell(ViewKey key, Style style)
    : View(key),
      style_(style),
      contentView_(make<View>()),
      imageView_(make<ImageView>()),
      textLabel_(make<Label>()),
      detailTextLabel_(style == Style::basic ? nullptr : make<Label>()) {
  addSubview(contentView_);
  contentView_->addSubview(imageView_);
  contentView_->addSubview(textLabel_);
  if (detailTextLabel_) contentView_->addSubview(detailTextLabel_);
}

TableViewCell::~TableViewCell() = default;

void TableViewCell::layoutSubviews() {
  contentView_->setFrame(Rect(0, 0, frame().size.width, frame().size.height));
}

}  // namespace ovix::ui
