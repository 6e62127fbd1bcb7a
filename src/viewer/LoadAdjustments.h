// What the load path does to a freshly loaded document for display: the choice of
// alpha handling ("ShowAlphaChannel"), the checkerboard behind transparent pixels and
// the size a slide with non-square pixels is resampled to ("ResampleByResolution",
// SquarePixelSize of the shared geometry).
#pragma once

#include <cstdint>
#include <optional>

#include "viewer/Geometry.h"

namespace viewer {

enum class AlphaDisplay : int32_t {
  SolidBackground = 0,  // composited over the document's background colour
  CheckedPattern = 1,   // 32-bit layers start as a checkerboard before they are filled
  Suppressed = 2,       // alpha made opaque after a successful load
};

// Unknown setting values show the solid background, the default.
AlphaDisplay AlphaDisplayFromSetting(int32_t value);

struct AlphaHandling {
  bool checkerBeforeFill = false;  // answer the loader's request for a background
  bool opaqueAfterLoad = false;    // SetAlpha(255) on every slide
};
AlphaHandling AlphaHandlingFor(AlphaDisplay display);

// Opaque grey 0xA0A0A0 and white squares of 4 x 4 pixels, grey at the layer's origin.
constexpr int32_t kCheckerSquare = 4;
constexpr uint32_t kCheckerGrey = 0xFFA0A0A0;
constexpr uint32_t kCheckerWhite = 0xFFFFFFFF;
uint32_t CheckerPixel(int32_t x, int32_t y);
// Fills one row of 32-bit pixels (blue, green, red, alpha in memory); y is the row's
// index in the layer.
void FillCheckerRow(uint8_t* row, int32_t width, int32_t y);

}  // namespace viewer
