// The part of a picture the filter browser's preview shows: at the preview's zoom,
// around a centre the user moves by dragging, never beyond the picture's edges. The
// preview scales that part to `shown` pixels and runs the effect on that much only.
#pragma once

#include <cstdint>

#include "viewer/Geometry.h"

namespace viewer {

// A position in picture pixels, kept fractional so that small drags at high zoom
// add up.
struct PreviewCentre {
  double x = 0.0;
  double y = 0.0;
};

struct PreviewPart {
  Rect source;           // picture pixels
  Size shown;            // preview pixels, at most the area
  PreviewCentre centre;  // the centre of `source`: where a drag continues from
};

// The middle of a picture: where the preview starts.
PreviewCentre PictureCentre(Size picture);

// The part around `centre` that fills `area` at `zoom` (the whole picture when it is
// smaller than that); an empty part for an empty picture, area or a zoom not above 0.
PreviewPart VisiblePart(Size picture, Size area, double zoom, PreviewCentre centre);

// The centre after the pointer moved by (dx, dy) preview pixels: the picture goes
// with the pointer.
PreviewCentre DraggedCentre(PreviewCentre from, double zoom, int32_t dx, int32_t dy);

}  // namespace viewer
