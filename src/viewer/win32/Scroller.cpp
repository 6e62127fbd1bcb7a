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
  RECT client{};
  GetClientRect(owner_, &client);
  for (Axis axis : {Axis::Horizontal, Axis::Vertical}) {
    int range = model_.BarRange(axis);
    int page = model_.BarPage(axis, axis == Axis::Horizontal ? client.right : client.bottom);
    int* known = ranges_[axis == Axis::Horizontal ? 0 : 1];
    if (range == known[0] && page == known[1]) continue;
    known[0] = range;
    known[1] = page;
    // Without a range there is no page either, so the bar can be hidden.
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE,
                    0,
                    range > 0 ? range + page - 1 : 0,
                    UINT(range > 0 ? page : 0),
                    0,
                    0};
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
