// Plain integer geometry shared by the document and the display: sizes, points and
// rectangles, and the fit rule. Window code converts to and from its own structures
// at the edge.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace geometry {

struct Size {
  int32_t width = 0;
  int32_t height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

// The largest displayed side we compute with. It leaves room for offsets and scroll
// positions to be added without leaving 32 bits; no screen comes near it.
constexpr int32_t kMaxSide = 0x3FFFFFFF;

// Wide results brought back into the range the geometry uses.
inline int32_t ClampSide(int64_t value) { return int32_t(std::clamp<int64_t>(value, 0, kMaxSide)); }
inline int32_t ClampCoord(int64_t value) {
  return int32_t(std::clamp<int64_t>(value, -int64_t(kMaxSide), kMaxSide));
}

// Right and bottom are exclusive, as window rectangles have them. The sides are wide
// so that no pair of 32-bit edges overflows. All zero means "none" where a canvas is
// meant.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int64_t Width() const { return int64_t(right) - left; }
  int64_t Height() const { return int64_t(bottom) - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

// trunc(x + 0.5), truncation towards zero, as every rounding of the display does it.
// Out-of-range and NaN inputs come back clamped (NaN as 0) instead of being undefined.
inline int32_t RoundHalfUp(double x) {
  double r = std::trunc(x + 0.5);
  if (!(r == r)) return 0;
  return int32_t(std::clamp(r, -double(kMaxSide), double(kMaxSide)));
}

// The common part of two rectangles; empty (all zero) when they do not meet.
inline Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  return r.IsEmpty() ? Rect{} : r;
}

inline Rect Offset(const Rect& r, Point by) {
  return {ClampCoord(int64_t(r.left) + by.x), ClampCoord(int64_t(r.top) + by.y),
          ClampCoord(int64_t(r.right) + by.x), ClampCoord(int64_t(r.bottom) + by.y)};
}

// Rectangle of w x h at (x, y), with the far edges kept inside 32 bits.
inline Rect RectAt(int32_t x, int32_t y, int64_t w, int64_t h) {
  auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return {x, y, clamp(x + w), clamp(y + h)};
}

// Negative sizes (a window being destroyed, a bad record) count as empty.
inline Size NonNegative(Size s) { return {std::max(s.width, 0), std::max(s.height, 0)}; }

}  // namespace geometry
