#include "ovix/platform/Label.hpp"

namespace ovix::ui {

Label::Label(ViewKey key, Rect frame) : View(key, frame) {}

Label::~Label() = default;

}  // namespace ovix::ui
