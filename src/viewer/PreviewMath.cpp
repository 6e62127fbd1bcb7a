#include "viewer/PreviewMath.h"

#include <algorithm>
#include <cmath>

namespace viewer {
namespace {

struct Span {
  int32_t start = 0;
  int32_t length = 0;
  int32_t shown = 0;
};

// One axis: the shown length fills the area or the zoomed picture, whichever is
// smaller; the source is what that length covers, placed around the centre.
Span SpanOn(int32_t picture, int32_t area, double zoom, double centre) {
  Span span;
  const double zoomed = std::max(1.0, std::round(double(picture) * zoom));
  span.shown = int32_t(std::min<double>(area, zoomed));
  span.length = int32_t(std::clamp<double>(std::ceil(span.shown / zoom), 1.0, picture));
  const double start = std::round(centre - span.length / 2.0);
  span.start = int32_t(std::clamp<double>(start, 0.0, double(picture - span.length)));
  return span;
}

}  // namespace

PreviewCentre PictureCentre(Size picture) { return {picture.width / 2.0, picture.height / 2.0}; }

PreviewPart VisiblePart(Size picture, Size area, double zoom, PreviewCentre centre) {
  PreviewPart part;
  if (picture.width <= 0 || picture.height <= 0 || area.width <= 0 || area.height <= 0 ||
      !(zoom > 0.0) || !std::isfinite(centre.x) || !std::isfinite(centre.y))
    return part;
  const Span x = SpanOn(picture.width, area.width, zoom, centre.x);
  const Span y = SpanOn(picture.height, area.height, zoom, centre.y);
  part.source = geometry::RectAt(x.start, y.start, x.length, y.length);
  part.shown = {x.shown, y.shown};
  part.centre = {x.start + x.length / 2.0, y.start + y.length / 2.0};
  return part;
}

PreviewCentre DraggedCentre(PreviewCentre from, double zoom, int32_t dx, int32_t dy) {
  if (!(zoom > 0.0)) return from;
  return {from.x - dx / zoom, from.y - dy / zoom};
}

}  // namespace viewer
