#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/ImageView.hpp"
#include "ovix/platform/Label.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// A row of a table. Its content view fills the cell and holds an image view,
// a text label and, in the styles that have one, a detail text label; placing
// those within the content view is the renderer's part, since it measures the
// text. Hosts may subclass it (see ViewKey). Main thread only.
class OVIX_EXPORT TableViewCell : public View {
 public:
  enum class Style {
    basic,     // the default style: image and text, no detail
    value1,    // text on the left, detail on the right
    value2,    // detail beside the text
    subtitle,  // detail under the text
  };

  explicit TableViewCell(ViewKey key, Style style = Style::basic);
  ~TableViewCell() override;

  Style style() const { return style_; }
  std::shared_ptr<View> contentView() const { return contentView_; }
  std::shared_ptr<ImageView> imageView() const { return imageView_; }
  std::shared_ptr<Label> textLabel() const { return textLabel_; }
  // Null in the basic style.
  std::shared_ptr<Label> detailTextLabel() const { return detailTextLabel_; }

 protected:
  // Keeps the content view over the whole cell.
  void layoutSubviews() override;

 private:
  Style style_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<Label> detailTextLabel_;
};

}  // namespace ovix::ui
