#include "viewer/LoadAdjustments.h"

#include <cmath>

namespace viewer {
namespace {

bool Usable(float resolution) { return resolution > 0.0f && std::isfinite(resolution); }

}  // namespace

AlphaDisplay AlphaDisplayFromSetting(int32_t value) {
  switch (value) {
    case 1:
      return AlphaDisplay::CheckedPattern;
    case 2:
      return AlphaDisplay::Suppressed;
    default:
      return AlphaDisplay::SolidBackground;
  }
}

AlphaHandling AlphaHandlingFor(AlphaDisplay display) {
  return {display == AlphaDisplay::CheckedPattern, display == AlphaDisplay::Suppressed};
}

uint32_t CheckerPixel(int32_t x, int32_t y) {
  // Unsigned so that negative coordinates keep the pattern's phase.
  const uint32_t column = uint32_t(x) / kCheckerSquare;
  const uint32_t row = uint32_t(y) / kCheckerSquare;
  return ((column ^ row) & 1) ? kCheckerWhite : kCheckerGrey;
}

void FillCheckerRow(uint8_t* row, int32_t width, int32_t y) {
  if (!row) return;
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t pixel = CheckerPixel(x, y);
    row[4 * x + 0] = uint8_t(pixel);
    row[4 * x + 1] = uint8_t(pixel >> 8);
    row[4 * x + 2] = uint8_t(pixel >> 16);
    row[4 * x + 3] = uint8_t(pixel >> 24);
  }
}

bool HasNonSquarePixels(float resolutionX, float resolutionY) {
  return Usable(resolutionX) && Usable(resolutionY) && resolutionX != resolutionY;
}

std::optional<Size> SquarePixelSize(Size layer, float resolutionX, float resolutionY, float targetX,
                                    float targetY) {
  if (!Usable(resolutionX) || !Usable(resolutionY)) return std::nullopt;
  const double x = resolutionX, y = resolutionY;
  double width = layer.width, height = layer.height;
  if (y > x) width = width * y / x;
  if (y < x) height = height * x / y;
  if (targetX >= 0.0f && targetY >= 0.0f) {
    const double larger = std::max(x, y);
    width *= targetX / larger;
    height *= targetY / larger;
  }
  width = std::trunc(width);
  height = std::trunc(height);
  if (!(width > 0.0 && height > 0.0) || width > kMaxSide || height > kMaxSide) return std::nullopt;
  Size result{int32_t(width), int32_t(height)};
  if (result == layer) return std::nullopt;
  return result;
}

}  // namespace viewer
