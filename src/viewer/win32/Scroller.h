// CScroller: the scrolling component of a display window. The arithmetic lives in
// ScrollModel; this side puts it on the window's scroll bars, moves the window
// contents, and prepares device contexts for drawing coordinates.
#pragma once

#include <windows.h>

#include <optional>

#include "viewer/ScrollMath.h"

namespace viewer {

class CScroller {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  ScrollModel& Model() { return model_; }
  const ScrollModel& Model() const { return model_; }
  Point Position() const { return model_.Position(); }

  // Page steps from the owner's client size.
  void RecalcPages();
  // The total (the scroll-range maxima); ranges and thumbs follow.
  void SetSize(Size total);
  void UpdateRanges();
  void UpdateThumbs();
  void OnScroll(Axis axis, int code);
  void ScrollTo(Point target);
  // Moves the viewport origin so drawing coordinates can be used; false beyond the
  // 16-bit range, where the caller moves its rectangles itself.
  bool PrepareDC(HDC dc) const;

 private:
  void Apply(const ScrollMove& move);
  int BarOf(Axis axis) const { return axis == Axis::Horizontal ? SB_HORZ : SB_VERT; }

  HWND owner_ = nullptr;
  ScrollModel model_;
  int ranges_[2][2] = {{-1, -1}, {-1, -1}};  // range and page per bar, as last set
};

}  // namespace viewer
