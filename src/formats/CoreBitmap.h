// One raster picture as it crosses module edges: the record of decoded pages,
// of layers, and of the imaging runtime's inputs and outputs.
//
// The record starts with a pointer to its class's operations so that whichever
// module created an object also destroys it (plug-ins may use another C runtime).
// Rows run top to bottom; a 32-bit pixel is blue, green, red, alpha in memory.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/PixelType.h"
#include "platform/Abi.h"

namespace glib {

struct CoreBitmap;

// Operations of an object owned through a record (attachments, vector pictures).
struct OwnedObject;
struct OwnedObjectOps {
  void(ORBISK_CDECL* Destroy)(OwnedObject* self, uint32_t flags);  // flags bit 0: free storage
  OwnedObject*(ORBISK_CDECL* Clone)(const OwnedObject* self);      // null when it cannot
};
struct OwnedObject {
  const OwnedObjectOps* ops;
};

struct CoreBitmapOps {
  void(ORBISK_CDECL* Destroy)(CoreBitmap* self, uint32_t flags);  // flags bit 0: free storage
};

using FreePixelsFunction = void(ORBISK_CDECL*)(void* pixels, uintptr_t context);

// Row rules kept in `stride`.
constexpr int32_t kStridePadded = -1;  // rows padded to multiples of 4 bytes (the default)
constexpr int32_t kStridePacked = 0;   // rows packed to whole bytes

struct CoreBitmap {
  const CoreBitmapOps* ops = nullptr;
  uint8_t* pixels = nullptr;  // top row first; null when empty
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = kStridePadded;  // a row rule above, or bytes per row
  uint32_t pixelType = kPixelNone;
  uint32_t palette[256] = {};  // blue, green, red, alpha bytes per entry
  FreePixelsFunction freePixels = nullptr;
  uintptr_t freeContext = 0;
  OwnedObject* attachment = nullptr;
  OwnedObject* picture = nullptr;  // set for vector pictures
  uint32_t reserved1 = 0;
  uint32_t paletteSize = 256;
  ProgressCallback progress = nullptr;
  uintptr_t progressContext = 0;
  uint8_t ownsPixels = 0;
  uint8_t convertFlag1 = 1;
  uint8_t convertFlag2 = 0;
  uint8_t reserved2 = 0;
  uint32_t reserved3 = 0;
};

ORBISK_LAYOUT_OFFSET(CoreBitmap, pixels, 4);
ORBISK_LAYOUT_OFFSET(CoreBitmap, width, 8);
ORBISK_LAYOUT_OFFSET(CoreBitmap, height, 12);
ORBISK_LAYOUT_OFFSET(CoreBitmap, stride, 16);
ORBISK_LAYOUT_OFFSET(CoreBitmap, pixelType, 20);
ORBISK_LAYOUT_OFFSET(CoreBitmap, palette, 24);
ORBISK_LAYOUT_OFFSET(CoreBitmap, freePixels, 1048);
ORBISK_LAYOUT_OFFSET(CoreBitmap, freeContext, 1052);
ORBISK_LAYOUT_OFFSET(CoreBitmap, attachment, 1056);
ORBISK_LAYOUT_OFFSET(CoreBitmap, picture, 1060);
ORBISK_LAYOUT_OFFSET(CoreBitmap, reserved1, 1064);
ORBISK_LAYOUT_OFFSET(CoreBitmap, paletteSize, 1068);
ORBISK_LAYOUT_OFFSET(CoreBitmap, progress, 1072);
ORBISK_LAYOUT_OFFSET(CoreBitmap, progressContext, 1076);
ORBISK_LAYOUT_OFFSET(CoreBitmap, ownsPixels, 1080);
ORBISK_LAYOUT_OFFSET(CoreBitmap, convertFlag1, 1081);
ORBISK_LAYOUT_OFFSET(CoreBitmap, convertFlag2, 1082);
ORBISK_LAYOUT_OFFSET(CoreBitmap, reserved2, 1083);
ORBISK_LAYOUT_OFFSET(CoreBitmap, reserved3, 1084);
ORBISK_LAYOUT_SIZE(CoreBitmap, 1088);

// Bytes per row for a width, a bits-per-pixel count and a row rule; 0 when the
// width is not positive or the row would not fit in 32 bits.
constexpr uint64_t RowBytes(int64_t width, uint32_t bitsPerPixel, int32_t strideRule) {
  if (width <= 0) return 0;
  if (strideRule > 0) return uint64_t(strideRule);
  uint64_t bits = uint64_t(width) * bitsPerPixel;
  uint64_t bytes = strideRule == kStridePacked ? (bits + 7) / 8 : (bits + 31) / 32 * 4;
  return bytes > 0xFFFFFFFFu ? 0 : bytes;
}

// Bytes of all rows; 0 when empty or when the count does not fit in 32 bits.
constexpr uint64_t ImageBytes(int64_t width, int64_t height, uint32_t bitsPerPixel,
                              int32_t strideRule) {
  if (height <= 0) return 0;
  uint64_t row = RowBytes(width, bitsPerPixel, strideRule);
  if (row == 0 || uint64_t(height) > 0xFFFFFFFFu / row) return 0;
  return row * uint64_t(height);
}

inline uint64_t RowBytes(const CoreBitmap& bitmap) {
  return RowBytes(bitmap.width, BitsPerPixel(bitmap.pixelType), bitmap.stride);
}

}  // namespace glib
