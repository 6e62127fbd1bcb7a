// What one paint of the display control draws where: the destination and source of
// the slide, the background bands around it and the scroll corrections the paint
// makes. Rectangles are in drawing coordinates (client coordinates moved by the
// scroll position) unless said otherwise.
#pragma once

#include <array>
#include <optional>

#include "viewer/DisplayMath.h"
#include "viewer/Geometry.h"

namespace viewer {

struct PaintInput {
  ViewState view;
  Size displayed;  // from the last Layout
  Size client;
  Size image;  // the current slide; no area for an empty document
  Point scroll;
  bool autoSize = false;
  bool frozen = false;
  // A picture smaller than the client sits in its middle, else at its top left.
  bool centred = true;
};

enum class DrawKind {
  None,     // nothing of the slide is drawn
  Copy,     // unscaled: source and destination have the same size
  Stretch,  // scaled with the control's stretch mode
};

struct PaintPlan {
  DrawKind draw = DrawKind::None;
  Rect destination;
  Rect source;                 // slide pixels
  Rect imageRect;              // remembered as where the image was last drawn
  Point scroll;                // the scroll position after the paint's corrections
  std::array<Rect, 4> fill{};  // background bands, the first fillCount used
  int fillCount = 0;
};

PaintPlan PlanPaint(const PaintInput& input);

// The viewport origin for drawing coordinates. The scroller moves it only while the
// position in pixels stays below 32768 on both axes; beyond that nothing is returned
// and the caller draws with the plan's rectangles moved by -scroll (DrawingToClient).
std::optional<Point> PrepareDcOrigin(Point scroll, Size unit);
Rect DrawingToClient(const Rect& drawing, Point scroll);

}  // namespace viewer
