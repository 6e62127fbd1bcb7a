// A DrawTarget over 32-bit pixels in memory (blue, green, red, alpha; the alpha of
// drawn pixels is 255, as on a screen). It draws with the geometry of a device
// context: colour-on-colour stretching takes the nearest source pixel, halftone
// averages the source pixels each destination pixel covers. Vector pictures are not
// drawn (false).
#pragma once

#include <cstdint>
#include <vector>

#include "image/DrawTarget.h"

namespace glib {

class MemorySurface final : public DrawTarget {
 public:
  // Every pixel starts as `pixel` (0xAARRGGBB).
  MemorySurface(int32_t width, int32_t height, uint32_t pixel = 0xFF000000u);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // 0xAARRGGBB of a pixel; 0 outside the surface.
  uint32_t Pixel(int32_t x, int32_t y) const;
  const uint32_t* Pixels() const { return pixels_.data(); }

  void Fill(const Rect& destination, uint32_t colourRef) override;
  bool DrawRows(const CoreBitmap& bitmap, const Rect& destination, const Rect& source,
                StretchMode mode) override;
  bool DrawPicture(const VectorPicture& picture, int32_t boxWidth, int32_t boxHeight,
                   const Rect& destination, const Rect& source) override;

 private:
  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

}  // namespace glib
