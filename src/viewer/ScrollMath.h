// The scroller's arithmetic: positions, page steps, scroll-bar ranges and thumbs
// (scaled beyond the 16-bit range the bars carry), scroll codes, auto-scrolling, and
// panning by dragging. The window class owns one ScrollModel and applies each
// ScrollMove with ScrollWindow or an invalidation.
#pragma once

#include <cstdint>
#include <optional>

#include "viewer/Geometry.h"

namespace viewer {

// Scroll bars carry positions up to this; larger totals are scaled into it.
constexpr int32_t kMaxScrollBarRange = 32767;

enum class Axis { Horizontal, Vertical };

// The codes of WM_HSCROLL and WM_VSCROLL, by value.
enum class ScrollCode : int32_t {
  LineUp = 0,  // also left
  LineDown = 1,
  PageUp = 2,
  PageDown = 3,
  ThumbPosition = 4,
  ThumbTrack = 5,
  Top = 6,
  Bottom = 7,
  EndScroll = 8,
};

struct ScrollMove {
  bool changed = false;
  Point position;  // the new position, in units
  // Move the window contents by `by` pixels and repaint the exposed strip; otherwise
  // repaint the whole window.
  bool scrollContents = false;
  Point by;
  std::optional<int32_t> thumb;  // live tracking: put the bar's thumb here
};

class ScrollModel {
 public:
  Point Position() const { return position_; }
  Size Total() const { return total_; }
  Size Unit() const { return unit_; }
  Size LineStep() const { return line_; }
  Size PageStep() const { return page_; }

  bool liveTracking = true;
  bool viewportOriginScrolling = true;
  bool autoScroll = true;

  // Pixels per unit and units per line; at least 1 each.
  void SetUnits(Size unit);
  void SetLineSteps(Size line);
  // The scroll-range maxima; the position is pulled back inside them.
  void SetTotal(Size total);
  // Sets the position without any repaint decision (layout resets, paint corrections).
  void SetPosition(Point position);
  // A page is the client size in units less one, at least 1.
  void RecalcPages(Size client);

  // The bar's range is 0 .. BarRange.
  int32_t BarRange(Axis axis) const;
  // The position as the bar's thumb shows it.
  int32_t ThumbPosition(Axis axis) const;
  // The visible part in bar units, for a thumb of proportional size: the bar's range
  // then runs to BarRange + BarPage - 1 and positions stay as they are.
  int32_t BarPage(Axis axis, int32_t clientPixels) const;

  // A scroll-bar message; thumbValue is the bar's value for the two thumb codes.
  ScrollMove OnScroll(Axis axis, ScrollCode code, int32_t thumbValue);
  // Clamps the target to 0 .. total and stores it.
  ScrollMove ScrollTo(Point target);
  // One step of auto-scrolling with the cursor (client coordinates) outside the client.
  ScrollMove AutoScrollStep(Point cursor, Size client);

 private:
  ScrollMove Unchanged() const;

  Point position_;
  Size total_;
  Size unit_{1, 1};
  Size line_{1, 1};
  Size page_{1, 1};
};

// Panning the image with the left mouse button.
class DragTracker {
 public:
  // Starts a drag when panning is enabled and an axis is scrollable.
  bool Begin(Point scroll, Point mouse, bool panning, bool scrollableX, bool scrollableY);
  // The scroll target for a mouse move; nothing when not dragging or not moved.
  std::optional<Point> Move(Point mouse);
  // True when a drag ended (release the mouse, show the open hand).
  bool End();
  bool Dragging() const { return dragging_; }

 private:
  Point anchor_;
  Point last_;
  bool dragging_ = false;
  bool scrollableX_ = false;
  bool scrollableY_ = false;
};

}  // namespace viewer
