#include "image/BitmapOps.h"

#include <algorithm>
#include <cstring>

#include "formats/IDEPage.h"
#include "image/FilmTypes.h"
#include "runtime/BitmapRows.h"
#include "runtime/PixelLayout.h"

namespace glib {

void ReleaseBitmap(CoreBitmap& bitmap) noexcept {
  ReleasePageBitmap(bitmap);
  // The rows are gone, and with them the rule that released them.
  bitmap.freePixels = nullptr;
  bitmap.freeContext = 0;
}

void ViewBitmap(CoreBitmap& to, const CoreBitmap& from) noexcept {
  to.pixels = from.pixels;
  to.width = from.width;
  to.height = from.height;
  to.stride = from.stride;
  to.pixelType = from.pixelType;
  std::memcpy(to.palette, from.palette, sizeof to.palette);
  to.picture = from.picture;
  to.paletteSize = from.paletteSize;
  to.ownsPixels = 0;
}

void MoveBitmap(CoreBitmap& to, CoreBitmap& from) noexcept {
  if (&to == &from) return;
  ReleaseBitmap(to);
  ViewBitmap(to, from);
  to.freePixels = from.freePixels;
  to.freeContext = from.freeContext;
  to.attachment = from.attachment;
  to.reserved1 = from.reserved1;
  to.ownsPixels = from.ownsPixels;
  // The source gives up its rows without releasing them.
  from.ownsPixels = 0;
  from.freePixels = nullptr;
  from.freeContext = 0;
  from.pixels = nullptr;
  from.attachment = from.picture = nullptr;
  from.width = from.height = 0;
  from.pixelType = kPixelNone;
}

namespace {

OwnedObject* CloneObject(const OwnedObject* object) {
  if (!object || !object->ops || !object->ops->Clone) return nullptr;
  return object->ops->Clone(object);
}

}  // namespace

bool CopyBitmap(CoreBitmap& to, const CoreBitmap& from) {
  if (&to == &from) return true;
  uint8_t* rows = nullptr;
  if (from.pixels) {
    if (!HasUsableRows(from)) return false;
    uint64_t bytes = RowStep(from) * uint64_t(from.height);
    rows = static_cast<uint8_t*>(platform::PageAlloc(bytes));
    if (!rows) return false;
    std::memcpy(rows, from.pixels, bytes);
  }
  OwnedObject* picture = nullptr;
  if (from.picture) {
    picture = CloneObject(from.picture);
    if (!picture) {
      platform::PageFree(rows);
      return false;
    }
  }
  // An attachment that cannot be cloned stays with the original.
  OwnedObject* attachment = CloneObject(from.attachment);

  ReleaseBitmap(to);
  to.pixels = rows;
  to.width = from.width;
  to.height = from.height;
  to.stride = from.stride;
  to.pixelType = rows || picture ? from.pixelType : kPixelNone;
  if (picture && !rows) to.pixelType = kPixelVector;
  std::memcpy(to.palette, from.palette, sizeof to.palette);
  to.attachment = attachment;
  to.picture = picture;
  to.reserved1 = from.reserved1;
  to.paletteSize = from.paletteSize;
  to.ownsPixels = 1;
  return true;
}

bool AllocateBitmap(CoreBitmap& bitmap, int32_t width, int32_t height, uint32_t type,
                    int32_t rowRule) {
  PageRows rows = AllocateRows(width, height, type, rowRule);
  if (!rows) return false;
  ReleaseBitmap(bitmap);
  AdoptRows(bitmap, std::move(rows), width, height, type, rowRule);
  return true;
}

bool HasUsableRows(const CoreBitmap& bitmap) {
  if (!bitmap.pixels || bitmap.width <= 0 || bitmap.height <= 0) return false;
  const PixelLayout* layout = FindPixelLayout(bitmap.pixelType);
  if (!layout) return false;
  uint64_t packed = RowBytes(bitmap.width, layout->bitsPerPixel, kStridePacked);
  uint64_t row = RowBytes(bitmap.width, layout->bitsPerPixel, bitmap.stride);
  if (packed == 0 || row < packed) return false;
  return ImageBytes(bitmap.width, bitmap.height, layout->bitsPerPixel, bitmap.stride) != 0;
}

uint64_t RowStep(const CoreBitmap& bitmap) {
  return RowBytes(bitmap.width, BitsPerPixel(bitmap.pixelType), bitmap.stride);
}

void FillPixels(CoreBitmap& bitmap, uint32_t pixel) {
  if (bitmap.pixelType != kPixelRGBA32 || !bitmap.pixels) return;
  uint64_t step = RowStep(bitmap);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(bitmap.pixels + uint64_t(y) * step);
    std::fill(row, row + bitmap.width, pixel);
  }
}

void LayOverBackground(CoreBitmap& bitmap, uint32_t background) {
  if (bitmap.pixelType != kPixelRGBA32 || !bitmap.pixels) return;
  const uint32_t under = PixelFromColour(background);
  const int ub[3] = {int(under & 0xFF), int((under >> 8) & 0xFF), int((under >> 16) & 0xFF)};
  uint64_t step = RowStep(bitmap);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    uint8_t* p = bitmap.pixels + uint64_t(y) * step;
    for (int32_t x = 0; x < bitmap.width; ++x, p += 4) {
      int a = p[3];
      for (int c = 0; c < 3; ++c) p[c] = uint8_t(ub[c] + (p[c] - ub[c]) * a / 255);
      p[3] = 255;
    }
  }
}

}  // namespace glib

namespace glib {

bool CopyPart(const CoreBitmap& from, const Rect& cut, CoreBitmap& to) {
  if (!HasUsableRows(from) || cut.IsEmpty() || cut.left < 0 || cut.top < 0 ||
      cut.right > from.width || cut.bottom > from.height)
    return false;
  const int32_t w = int32_t(cut.Width()), h = int32_t(cut.Height());
  const uint32_t bits = BitsPerPixel(from.pixelType);
  const int32_t rule = from.stride == kStridePacked ? kStridePacked : kStridePadded;
  uint64_t outStep = 0;
  PageRows rows = AllocateRows(w, h, from.pixelType, rule, &outStep);
  if (!rows) return false;
  const uint64_t step = RowStep(from);
  const uint64_t firstBit = uint64_t(cut.left) * bits, countBits = uint64_t(w) * bits;
  for (int32_t row = 0; row < h; ++row) {
    const uint8_t* source = from.pixels + uint64_t(cut.top + row) * step;
    uint8_t* dest = rows.get() + uint64_t(row) * outStep;
    if (firstBit % 8 == 0) {
      std::memcpy(dest, source + firstBit / 8, size_t((countBits + 7) / 8));
      // Bits after the last pixel of the part stay clear.
      if (countBits % 8 != 0) dest[countBits / 8] &= uint8_t(0xFF << (8 - countBits % 8));
      continue;
    }
    for (uint64_t i = 0; i < countBits; ++i) {
      const uint64_t s = firstBit + i;
      if ((source[s >> 3] >> (7 - (s & 7))) & 1) dest[i >> 3] |= uint8_t(0x80 >> (i & 7));
    }
  }
  ReleaseBitmap(to);
  AdoptRows(to, std::move(rows), w, h, from.pixelType, rule);
  std::memcpy(to.palette, from.palette, sizeof to.palette);
  to.paletteSize = from.paletteSize;
  to.ownsPixels = 1;
  return true;
}

}  // namespace glib
