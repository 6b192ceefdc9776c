#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// An item of a collection: a content view over the whole cell, for whatever
// the item shows. Hosts may subclass it (see ViewKey). Main thread only.
class OVIX_EXPORT CollectionViewCell : public View {
 public:
  explicit CollectionViewCell(ViewKey key, Rect frame = Rect());
  ~CollectionViewCell() override;

  std::shared_ptr<View> contentView() const { return contentView_; }

 protected:
  // Keeps the content view over the whole cell.
  void layoutSubviews() override;

 private:
  std::shared_ptr<View> contentView_;
};

}  // namespace ovix::ui
