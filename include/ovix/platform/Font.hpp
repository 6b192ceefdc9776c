#pragma once

#include <cmath>

// Fonts of the view model. Plain values: copy them anywhere.
namespace ovix::ui {

// The system font at a size; the host draws it with its own UI font.
class Font {
 public:
  static constexpr double smallSystemFontSize() { return 12; }
  static constexpr double systemFontSize() { return 14; }
  // A label's size unless told otherwise.
  static constexpr double labelFontSize() { return 17; }

  // Sizes that are not positive numbers give systemFontSize().
  static Font systemFont(double pointSize) {
    return Font(std::isfinite(pointSize) && pointSize > 0 ? pointSize : systemFontSize());
  }

  double pointSize() const { return pointSize_; }

  friend bool operator==(const Font&, const Font&) = default;

 private:
  explicit Font(double pointSize) : pointSize_(pointSize) {}

  double pointSize_;
};

}  // namespace ovix::ui
