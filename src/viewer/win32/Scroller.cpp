#include "viewer/win32/Scroller.h"

#include "viewer/PaintMath.h"

namespace viewer {

void CScroller::RecalcPages() {
  RECT client{};
  GetClientRect(owner_, &client);
  model_.RecalcPages({client.right, client.bottom});
}

void CScroller::SetSize(Size total) {
  model_.SetTotal(total);
  UpdateRanges();
  UpdateThumbs();
}

void CScroller::UpdateRanges() {
  for (Axis axis : {Axis::Horizontal, Axis::Vertical}) {
    int range = model_.BarRange(axis);
    int& known = ranges_[axis == Axis::Horizontal ? 0 : 1];
    if (range == known) continue;
    known = range;
    SCROLLINFO info{sizeof info, SIF_RANGE, 0, range, 0, 0, 0};
    SetScrollInfo(owner_, BarOf(axis), &info, TRUE);
  }
}

void CScroller::UpdateThumbs() {
  for (Axis axis : {Axis::Horizontal, Axis::Vertical}) {
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, model_.ThumbPosition(axis), 0};
    SetScrollInfo(owner_, BarOf(axis), &info, TRUE);
  }
}

void CScroller::OnScroll(Axis axis, int code) {
  SCROLLINFO info{sizeof info, SIF_TRACKPOS | SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(owner_, BarOf(axis), &info);
  int thumb = code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? info.nTrackPos : info.nPos;
  ScrollMove move = model_.OnScroll(axis, ScrollCode(code), thumb);
  if (move.thumb) {
    SCROLLINFO track{sizeof track, SIF_POS, 0, 0, 0, *move.thumb, 0};
    SetScrollInfo(owner_, BarOf(axis), &track, TRUE);
  }
  Apply(move);
}

void CScroller::ScrollTo(Point target) { Apply(model_.ScrollTo(target)); }

void CScroller::Apply(const ScrollMove& move) {
  if (!move.changed) return;
  if (move.scrollContents) {
    ScrollWindowEx(owner_, move.by.x, move.by.y, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
  } else {
    InvalidateRect(owner_, nullptr, FALSE);
  }
  UpdateThumbs();
  UpdateWindow(owner_);
}

bool CScroller::PrepareDC(HDC dc) const {
  std::optional<Point> origin = PrepareDcOrigin(model_.Position(), model_.Unit());
  if (!origin) return false;
  SetViewportOrgEx(dc, origin->x, origin->y, nullptr);
  return true;
}

}  // namespace viewer
