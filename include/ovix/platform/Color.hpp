#pragma once

// Colours of the view model. Plain values: copy them anywhere.
namespace ovix::ui {

// Red, green, blue and alpha, each from 0 to 1, alpha not premultiplied.
struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;

  static constexpr Color clear() { return {0, 0, 0, 0}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }
  static constexpr Color white() { return {1, 1, 1, 1}; }
  static constexpr Color darkGray() { return {1.0 / 3, 1.0 / 3, 1.0 / 3, 1}; }
  static constexpr Color gray() { return {0.5, 0.5, 0.5, 1}; }
  static constexpr Color lightGray() { return {2.0 / 3, 2.0 / 3, 2.0 / 3, 1}; }

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace ovix::ui
