// How the pixels of each raster type the program uses are laid out in memory.
// One table drives the scan-line converter, the resampler and the rotation.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"

namespace glib {

// 8-bit grey is not among the program's own codes but plug-ins deliver it.
constexpr uint32_t kPixelGray8 = 0x01010108;

enum class PixelKind : uint8_t {
  kIndex1,     // eight indices to a byte, first pixel in the most significant bit
  kIndex4,     // two indices to a byte, first pixel in the high nibble
  kIndex8,     // one index per byte
  kGray12,     // two pixels in three bytes, most significant bits first
  kRgb565,     // little-endian word: red 15-11, green 10-5, blue 4-0
  kRgb555,     // little-endian word: bit 15 unused, red 14-10, green 9-5, blue 4-0
  kArgb1555,   // as kRgb555 with alpha in bit 15
  kArgb4444,   // little-endian word: alpha 15-12, red 11-8, green 7-4, blue 3-0
  kSamples8,   // `channels` bytes per pixel
  kSamples16,  // `channels` little-endian 16-bit samples per pixel
};

// Colour meaning of the samples of kSamples8/16 layouts.
enum class ColourSpace : uint8_t {
  kGrey,
  kBgr,    // blue, green, red (and alpha) in memory order
  kCmyk,   // model 5: cyan, magenta, yellow, black in memory order
  kYCbCr,  // model 6: Y, Cb, Cr in memory order (full-range JPEG coefficients)
  kPalette,
};

struct PixelLayout {
  uint32_t type;
  PixelKind kind;
  ColourSpace space;
  uint8_t bitsPerPixel;
  uint8_t channels;  // samples per pixel after unpacking (grey 1, colour 3, with alpha 4)
  bool alpha;
};

// Null for codes outside the table (vector pictures, "no picture", unknown codes).
const PixelLayout* FindPixelLayout(uint32_t type);

inline bool IsPackedBelowByte(const PixelLayout& layout) {
  return layout.kind == PixelKind::kIndex1 || layout.kind == PixelKind::kIndex4 ||
         layout.kind == PixelKind::kGray12;
}

}  // namespace glib

namespace glib {

// Palette entries an indexed layout can address, limited by the bitmap's count
// (0 counts as the full 256).
int PaletteEntries(const PixelLayout& layout, uint32_t paletteSize);

// True when some entry is not opaque. A table whose alpha bytes are all 0 counts
// as opaque: Windows colour tables leave that byte 0.
bool PaletteIsTranslucent(const uint32_t* palette, int entries);

// The true-colour (or 16-bit grey) type that filtering turns a bitmap of this
// layout into: the layout's own type for sample layouts, 24-bit RGB for indexed
// (32-bit RGBA when the palette is translucent) and 5:6:5 / 5:5:5 types, 32-bit RGBA
// for packed types with alpha, 16-bit grey for 12-bit grey.
uint32_t FilteredPixelType(const PixelLayout& layout, const CoreBitmap& bitmap);

// `palette` with the alpha bytes set to 255 when they are all 0 (see above).
void CopyPaletteWithAlpha(const uint32_t* palette, int entries, uint32_t* out);

}  // namespace glib
