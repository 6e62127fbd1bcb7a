#include "viewer/LoadAdjustments.h"

#include <cmath>

namespace viewer {
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

}  // namespace viewer
