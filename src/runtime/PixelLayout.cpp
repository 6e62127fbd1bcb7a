#include "runtime/PixelLayout.h"

#include <array>

#include "formats/PixelType.h"

namespace glib {
namespace {

using K = PixelKind;
using S = ColourSpace;

constexpr std::array<PixelLayout, 17> kLayouts{{
    {kPixelBW1, K::kIndex1, S::kPalette, 1, 1, false},
    {kPixelGray8, K::kSamples8, S::kGrey, 8, 1, false},
    {kPixelGray12, K::kGray12, S::kGrey, 12, 1, false},
    {kPixelGray16, K::kSamples16, S::kGrey, 16, 1, false},
    {kPixelIndexed1, K::kIndex1, S::kPalette, 1, 1, false},
    {kPixelIndexed4, K::kIndex4, S::kPalette, 4, 1, false},
    {kPixelIndexed8, K::kIndex8, S::kPalette, 8, 1, false},
    {kPixelRGB24, K::kSamples8, S::kBgr, 24, 3, false},
    {kPixelRGB48, K::kSamples16, S::kBgr, 48, 3, false},
    {kPixelRGB565, K::kRgb565, S::kBgr, 16, 3, false},
    {kPixelRGB5551, K::kRgb555, S::kBgr, 16, 3, false},
    {kPixelRGBA5551, K::kArgb1555, S::kBgr, 16, 4, true},
    {kPixelRGBA4444, K::kArgb4444, S::kBgr, 16, 4, true},
    {kPixelRGBA32, K::kSamples8, S::kBgr, 32, 4, true},
    {kPixelRGBA64, K::kSamples16, S::kBgr, 64, 4, true},
    {kPixelModel5x8, K::kSamples8, S::kCmyk, 32, 4, false},
    {kPixelModel6x8, K::kSamples8, S::kYCbCr, 24, 3, false},
}};

}  // namespace

const PixelLayout* FindPixelLayout(uint32_t type) {
  for (const PixelLayout& layout : kLayouts) {
    if (layout.type == type) return &layout;
  }
  return nullptr;
}

}  // namespace glib

namespace glib {

int PaletteEntries(const PixelLayout& layout, uint32_t paletteSize) {
  int limit = layout.kind == PixelKind::kIndex1 ? 2 : layout.kind == PixelKind::kIndex4 ? 16 : 256;
  if (paletteSize == 0 || paletteSize > uint32_t(limit)) return limit;
  return int(paletteSize);
}

bool PaletteIsTranslucent(const uint32_t* palette, int entries) {
  bool anyBelow = false, allZero = true;
  for (int i = 0; i < entries; ++i) {
    uint32_t alpha = palette[i] >> 24;
    anyBelow |= alpha != 255;
    allZero &= alpha == 0;
  }
  return anyBelow && !allZero;
}

void CopyPaletteWithAlpha(const uint32_t* palette, int entries, uint32_t* out) {
  bool allZero = true;
  for (int i = 0; i < entries; ++i) allZero &= (palette[i] >> 24) == 0;
  for (int i = 0; i < entries; ++i) out[i] = allZero ? palette[i] | 0xFF000000u : palette[i];
}

uint32_t FilteredPixelType(const PixelLayout& layout, const CoreBitmap& bitmap) {
  switch (layout.kind) {
    case PixelKind::kIndex1:
    case PixelKind::kIndex4:
    case PixelKind::kIndex8:
      return PaletteIsTranslucent(bitmap.palette, PaletteEntries(layout, bitmap.paletteSize))
                 ? kPixelRGBA32
                 : kPixelRGB24;
    case PixelKind::kGray12:
      return kPixelGray16;
    case PixelKind::kRgb565:
    case PixelKind::kRgb555:
      return kPixelRGB24;
    case PixelKind::kArgb1555:
    case PixelKind::kArgb4444:
      return kPixelRGBA32;
    default:
      return layout.type;
  }
}

}  // namespace glib
