// Scale types, flags and the source rectangle shared by the resampler's callers.
#pragma once

#include <cstdint>

namespace glib {

// The interpolation choices of the scale dialog, in its order.
enum EScaleType : uint32_t {
  kScaleNearest = 0,   // nearest pixel; indices and palettes are kept
  kScaleBilinear = 1,  // triangle, radius 1
  kScaleBicubic = 2,   // Catmull-Rom cubic (Keys, a = -0.5), radius 2
  kScaleSpline16 = 3,  // Dersch's cubic spline over 4 x 4 pixels, radius 2
  kScaleSpline36 = 4,  // Dersch's cubic spline over 6 x 6 pixels, radius 3
  kScaleSpline64 = 5,  // Dersch's cubic spline over 8 x 8 pixels, radius 4
  kScaleSinc256 = 6,   // Lanczos-windowed sinc over 16 x 16 pixels, radius 8
  kScaleSinc1024 = 7,  // Lanczos-windowed sinc over 32 x 32 pixels, radius 16
};
constexpr uint32_t kScaleTypeCount = 8;

// Scale flags; other bits are reserved and ignored.
// Kernels keep their own width when shrinking: faster, but fine detail aliases.
constexpr uint32_t kScaleNoAntialias = 0x1;
// Alpha is filtered like any channel instead of weighting the colours by it.
constexpr uint32_t kScaleStraightAlpha = 0x2;

// A rectangle of the source picture in pixels; a width or height below 1 reaches
// to the right or bottom edge.
struct ScaleRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace glib
