#include "viewer/PaintMath.h"

#include <cmath>

namespace viewer {
namespace {

Rect AreaAt(Point origin, Size size) {
  return {origin.x, origin.y, ClampCoord(int64_t(origin.x) + size.width),
          ClampCoord(int64_t(origin.y) + size.height)};
}

// Centres a side smaller than the client, else keeps the scroll inside the excess.
// Returns the offset and corrects the scroll position.
int32_t PlaceAxis(int32_t displayed, int32_t client, int32_t& scroll) {
  if (client > displayed) {
    scroll = 0;
    return (client - displayed) / 2;
  }
  scroll = std::clamp(scroll, 0, displayed - client);
  return 0;
}

// The part of the slide behind a destination drawn at the given zoom; empty when the
// zoom cannot scale anything.
Rect ScaledSource(Point scroll, Size destination, float zoom, Size image) {
  const double z = zoom;
  if (!(z > 0.0) || !std::isfinite(z)) return {};
  int32_t x = std::max(RoundHalfUp(scroll.x / z), 0);
  int32_t y = std::max(RoundHalfUp(scroll.y / z), 0);
  if (x > image.width) x = 0;
  if (y > image.height) y = 0;
  int32_t width = std::min(RoundHalfUp(destination.width / z), image.width - x);
  int32_t height = std::min(RoundHalfUp(destination.height / z), image.height - y);
  return {x, y, x + width, y + height};
}

void AddBand(PaintPlan& plan, Rect band) {
  if (!band.IsEmpty()) plan.fill[plan.fillCount++] = band;
}

// The visible area minus the destination, as at most four bands.
void PlanFill(PaintPlan& plan, const Rect& visible) {
  Rect image = Intersect(plan.destination, visible);
  if (image.IsEmpty()) {
    AddBand(plan, visible);
    return;
  }
  AddBand(plan, {visible.left, visible.top, visible.right, image.top});
  AddBand(plan, {visible.left, image.bottom, visible.right, visible.bottom});
  AddBand(plan, {visible.left, image.top, image.left, image.bottom});
  AddBand(plan, {image.right, image.top, visible.right, image.bottom});
}

}  // namespace

PaintPlan PlanPaint(const PaintInput& input) {
  PaintPlan plan;
  plan.scroll = input.scroll;
  if (input.frozen) return plan;
  const Size client = NonNegative(input.client);
  const Size image = input.image;
  if (image.width <= 0 || image.height <= 0) {
    // An empty document shows only its background colour.
    AddBand(plan, AreaAt(plan.scroll, client));
    return plan;
  }
  if (input.view.mode == ViewMode::Natural) {
    plan.draw = DrawKind::Stretch;
    plan.destination = AreaAt(plan.scroll, client);
    plan.source = {0, 0, image.width, image.height};
    plan.imageRect = plan.source;
    return plan;
  }

  ViewMode mode = input.view.mode;
  if (mode == ViewMode::BestFit) {
    const bool fits = image.width <= client.width && image.height <= client.height;
    mode = fits ? ViewMode::Zoom : ViewMode::FitInWindow;
  }
  const Size shown = NonNegative(input.displayed);
  const bool overflow = (mode == ViewMode::FitWidth && shown.height > client.height) ||
                        (mode == ViewMode::FitHeight && shown.width > client.width);
  Point offset;
  if (!input.autoSize) {
    offset.x = PlaceAxis(shown.width, client.width, plan.scroll.x);
    offset.y = PlaceAxis(shown.height, client.height, plan.scroll.y);
    if (!input.centred) offset = {};
  }

  if (mode == ViewMode::Zoom || overflow) {
    // Only the visible part of the slide is scaled.
    Size cut{std::min(client.width, shown.width), std::min(client.height, shown.height)};
    Point at{ClampCoord(int64_t(plan.scroll.x) + offset.x),
             ClampCoord(int64_t(plan.scroll.y) + offset.y)};
    plan.destination = AreaAt(at, cut);
    if (mode == ViewMode::Zoom && input.view.zoom == 1.0f) {
      plan.source = Intersect(AreaAt(plan.scroll, cut), {0, 0, image.width, image.height});
      plan.destination = AreaAt(at, {int32_t(plan.source.Width()), int32_t(plan.source.Height())});
      plan.draw = plan.source.IsEmpty() ? DrawKind::None : DrawKind::Copy;
    } else {
      plan.source = ScaledSource(plan.scroll, cut, input.view.zoom, image);
      plan.draw = plan.source.IsEmpty() ? DrawKind::None : DrawKind::Stretch;
    }
  } else {
    plan.destination = AreaAt(offset, shown);
    plan.source = {0, 0, image.width, image.height};
    plan.draw = DrawKind::Stretch;
  }
  if (plan.destination.IsEmpty()) plan.draw = DrawKind::None;
  if (!input.autoSize) PlanFill(plan, AreaAt(plan.scroll, client));
  plan.imageRect = plan.destination;
  return plan;
}

std::optional<Point> PrepareDcOrigin(Point scroll, Size unit) {
  const int64_t x = int64_t(scroll.x) * unit.width;
  const int64_t y = int64_t(scroll.y) * unit.height;
  if (x >= 32768 || y >= 32768) return std::nullopt;
  return Point{ClampCoord(-x), ClampCoord(-y)};
}

Rect DrawingToClient(const Rect& drawing, Point scroll) {
  return Offset(drawing, {-scroll.x, -scroll.y});
}

}  // namespace viewer
