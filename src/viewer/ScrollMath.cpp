#include "viewer/ScrollMath.h"

#include <cstdlib>

namespace viewer {
namespace {

Size AtLeastOne(Size s) { return {std::max(s.width, 1), std::max(s.height, 1)}; }

int32_t Get(Point p, Axis axis) { return axis == Axis::Horizontal ? p.x : p.y; }
int32_t Get(Size s, Axis axis) { return axis == Axis::Horizontal ? s.width : s.height; }
void Set(Point& p, Axis axis, int32_t value) { (axis == Axis::Horizontal ? p.x : p.y) = value; }

// Distance of the cursor outside [0, extent) on one axis, signed by direction.
int32_t AutoStep(int32_t cursor, int32_t extent, int32_t line, int32_t page) {
  int64_t distance;
  if (cursor < 0) {
    distance = -int64_t(cursor);
  } else if (cursor >= extent) {
    distance = int64_t(cursor) - extent + 1;
  } else {
    return 0;
  }
  int64_t step = std::min(std::max(distance / 10 * line, int64_t(line)), int64_t(page));
  return int32_t(cursor < 0 ? -step : step);
}

}  // namespace

void ScrollModel::SetUnits(Size unit) { unit_ = AtLeastOne(unit); }

void ScrollModel::SetLineSteps(Size line) { line_ = AtLeastOne(line); }

void ScrollModel::SetTotal(Size total) {
  total_ = NonNegative(total);
  SetPosition(position_);
}

void ScrollModel::SetPosition(Point position) {
  position_ = {std::clamp(position.x, 0, total_.width), std::clamp(position.y, 0, total_.height)};
}

void ScrollModel::RecalcPages(Size client) {
  client = NonNegative(client);
  auto page = [](int64_t clientSide, int32_t unit) { return int32_t((clientSide + 1) / unit - 1); };
  page_ = AtLeastOne({page(client.width, unit_.width), page(client.height, unit_.height)});
}

ScrollMove ScrollModel::Unchanged() const {
  ScrollMove move;
  move.position = position_;
  return move;
}

int32_t ScrollModel::BarRange(Axis axis) const {
  return std::min(Get(total_, axis), kMaxScrollBarRange);
}

int32_t ScrollModel::ThumbPosition(Axis axis) const {
  const int64_t total = Get(total_, axis);
  const int64_t position = Get(position_, axis);
  if (total <= kMaxScrollBarRange) return int32_t(position);
  return int32_t(position * kMaxScrollBarRange / total);
}

int32_t ScrollModel::BarPage(Axis axis, int32_t clientPixels) const {
  const int64_t total = Get(total_, axis);
  int64_t page = std::max<int64_t>(clientPixels, 0) / Get(unit_, axis);
  if (total > kMaxScrollBarRange) page = page * kMaxScrollBarRange / total;
  return int32_t(std::clamp<int64_t>(page, 1, kMaxScrollBarRange));
}

ScrollMove ScrollModel::OnScroll(Axis axis, ScrollCode code, int32_t thumbValue) {
  const int64_t position = Get(position_, axis);
  const int64_t total = Get(total_, axis);
  const int64_t thumb =
      total > kMaxScrollBarRange ? int64_t(thumbValue) * total / kMaxScrollBarRange : thumbValue;
  int64_t target;
  switch (code) {
    case ScrollCode::LineUp:
      target = position - Get(line_, axis);
      break;
    case ScrollCode::LineDown:
      target = position + Get(line_, axis);
      break;
    case ScrollCode::PageUp:
      target = position - Get(page_, axis);
      break;
    case ScrollCode::PageDown:
      target = position + Get(page_, axis);
      break;
    case ScrollCode::ThumbPosition:
      target = thumb;
      break;
    case ScrollCode::ThumbTrack:
      if (!liveTracking) return Unchanged();
      target = thumb;
      break;
    case ScrollCode::Top:
      target = 0;
      break;
    case ScrollCode::Bottom:
      target = total;
      break;
    default:
      return Unchanged();
  }
  Point point = position_;
  Set(point, axis, int32_t(std::clamp<int64_t>(target, 0, total)));
  ScrollMove move = ScrollTo(point);
  if (code == ScrollCode::ThumbTrack) move.thumb = thumbValue;
  return move;
}

ScrollMove ScrollModel::ScrollTo(Point target) {
  const Point old = position_;
  SetPosition(target);
  ScrollMove move;
  move.position = position_;
  if (position_ == old) return move;
  move.changed = true;
  const int64_t dx = int64_t(old.x) - position_.x;
  const int64_t dy = int64_t(old.y) - position_.y;
  move.scrollContents =
      viewportOriginScrolling || (std::llabs(dx) < page_.width && std::llabs(dy) < page_.height);
  if (move.scrollContents) move.by = {ClampCoord(dx * unit_.width), ClampCoord(dy * unit_.height)};
  return move;
}

ScrollMove ScrollModel::AutoScrollStep(Point cursor, Size client) {
  if (!autoScroll) return Unchanged();
  client = NonNegative(client);
  const int32_t stepX = AutoStep(cursor.x, client.width, line_.width, page_.width);
  const int32_t stepY = AutoStep(cursor.y, client.height, line_.height, page_.height);
  return ScrollTo(
      {ClampCoord(int64_t(position_.x) + stepX), ClampCoord(int64_t(position_.y) + stepY)});
}

bool DragTracker::Begin(Point scroll, Point mouse, bool panning, bool scrollableX,
                        bool scrollableY) {
  if (!panning || (!scrollableX && !scrollableY)) return false;
  dragging_ = true;
  scrollableX_ = scrollableX;
  scrollableY_ = scrollableY;
  anchor_ = {ClampCoord(int64_t(scroll.x) + mouse.x), ClampCoord(int64_t(scroll.y) + mouse.y)};
  last_ = mouse;
  return true;
}

std::optional<Point> DragTracker::Move(Point mouse) {
  if (!dragging_ || mouse == last_) return std::nullopt;
  last_ = mouse;
  return Point{scrollableX_ ? ClampCoord(int64_t(anchor_.x) - mouse.x) : 0,
               scrollableY_ ? ClampCoord(int64_t(anchor_.y) - mouse.y) : 0};
}

bool DragTracker::End() {
  const bool was = dragging_;
  dragging_ = false;
  return was;
}

}  // namespace viewer
