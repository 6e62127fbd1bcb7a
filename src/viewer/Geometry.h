// The viewer computes in the shared geometry; these are its names inside the viewer.
#pragma once

#include "geometry/Fit.h"
#include "geometry/Geometry.h"

namespace viewer {

using geometry::ClampCoord;
using geometry::ClampSide;
using geometry::FitInto;
using geometry::HasNonSquarePixels;
using geometry::Intersect;
using geometry::kMaxSide;
using geometry::NonNegative;
using geometry::Offset;
using geometry::Point;
using geometry::Rect;
using geometry::RoundHalfUp;
using geometry::Size;
using geometry::SquarePixelSize;

}  // namespace viewer
