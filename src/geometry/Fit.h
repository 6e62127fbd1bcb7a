// How a picture is fitted into a box, and the size that makes non-square pixels square.
// The document uses both when it resizes and loads; the display when it lays out.
#pragma once

#include <optional>

#include "geometry/Geometry.h"

namespace geometry {

// The image fitted into the box with its aspect kept, enlarged or reduced; each side
// at least 1. Nothing for an image without area.
std::optional<Size> FitInto(Size box, Size image);

// True when the pixels are not square and both resolutions are usable.
bool HasNonSquarePixels(float resolutionX, float resolutionY);

// The size a picture of non-square pixels is resampled to: the shorter-resolution side
// stretched so the pixels become square, then scaled to the target resolutions when
// both are given (-1 for none). Nothing when no resampling is needed or possible: equal
// resolutions, unusable resolutions, a result without area, equal to the picture's size
// or beyond the sides we compute with.
std::optional<Size> SquarePixelSize(Size picture, float resolutionX, float resolutionY,
                                    float targetX = -1.0f, float targetY = -1.0f);

}  // namespace geometry
