#include "ovix/platform/ImageView.hpp"

namespace ovix::ui {

ImageView::ImageView(ViewKey key, Rect frame) : View(key, frame) {}

ImageView::~ImageView() = default;

}  // namespace ovix::ui
