// Rows of a glib::CoreBitmap as the editing code walks them.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"

namespace viewer {

// True when the record describes rows that hold its pixels: a size, rows no shorter
// than the packed ones and a byte count within 32 bits.
inline bool RowsHoldPixels(const glib::CoreBitmap& bitmap) {
  const uint32_t bits = glib::BitsPerPixel(bitmap.pixelType);
  if (!bitmap.pixels || bitmap.width <= 0 || bitmap.height <= 0) return false;
  const uint64_t packed = glib::RowBytes(bitmap.width, bits, glib::kStridePacked);
  return packed != 0 && glib::RowBytes(bitmap) >= packed &&
         glib::ImageBytes(bitmap.width, bitmap.height, bits, bitmap.stride) != 0;
}

}  // namespace viewer
