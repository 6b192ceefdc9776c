#include "ovix/platform/CollectionViewCell.hpp"

namespace ovix::ui {

CollectionViewCell::CollectionViewCell(ViewKey key, Rect frame)
    : View(key, frame), contentView_(make<View>(Rect(0, 0, frame.size.width, frame.size.height))) {
  addSubview(contentView_);
}

CollectionViewCell::~CollectionViewCell() = default;

void CollectionViewCell::layoutSubviews() {
  contentView_->setFrame(Rect(0, 0, frame().size.width, frame().size.height));
}

}  // namespace ovix::ui
