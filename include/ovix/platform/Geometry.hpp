#pragma once

namespace ovix {

// Points, as the screen measures them.
struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(double x, double y, double width, double height)
      : origin{x, y}, size{width, height} {}

  static constexpr Rect zero() { return Rect(); }
  // True when all four components are 0.
  bool isZero() const { return *this == Rect(); }

  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace ovix
