// Where a Film draws: a small interface with a device-context implementation on
// Windows (StretchDIBits, GDI+ for vector pictures) and a 32-bit memory surface
// everywhere (MemorySurface.h), so display and rendering are testable without
// Windows. Rectangles are in the target's coordinates (destination) and in slide
// pixels (source).
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"
#include "image/FilmTypes.h"
#include "image/VectorPicture.h"

namespace glib {

// The stretch modes of the display, with their Win32 values.
enum StretchMode : int32_t {
  kStretchColorOnColor = 3,  // nearest pixel, fast
  kStretchHalftone = 4,      // averaged, quality
};

class DrawTarget {
 public:
  virtual ~DrawTarget() = default;

  // Fills the rectangle with a colour reference (red in the lowest byte).
  virtual void Fill(const Rect& destination, uint32_t colourRef) = 0;

  // Draws `source` of a raster bitmap scaled into `destination`. The bitmap has
  // 4-byte padded rows, top row first, of 1, 4, 8, 24 or 32 bits per pixel (indexed
  // types use its palette); 32-bit pixels are blue, green, red and an alpha byte
  // that the device ignores.
  virtual bool DrawRows(const CoreBitmap& bitmap, const Rect& destination, const Rect& source,
                        StretchMode mode) = 0;

  // Draws `source` of a vector picture that fills a box of boxWidth x boxHeight
  // pixels (its layer's size) scaled into `destination`, with high-quality
  // interpolation and anti-aliasing.
  virtual bool DrawPicture(const VectorPicture& picture, int32_t boxWidth, int32_t boxHeight,
                           const Rect& destination, const Rect& source) = 0;
};

}  // namespace glib
