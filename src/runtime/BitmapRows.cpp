#include "runtime/BitmapRows.h"

namespace glib {

ERetcode ReadSourceRows(const CoreBitmap& bitmap, SourceRows& rows) {
  if (!bitmap.pixels || bitmap.width <= 0 || bitmap.height <= 0) return BADA;
  const PixelLayout* layout = FindPixelLayout(bitmap.pixelType);
  if (!layout) return UNSF;
  uint64_t packed = RowBytes(bitmap.width, layout->bitsPerPixel, kStridePacked);
  uint64_t rowBytes = RowBytes(bitmap.width, layout->bitsPerPixel, bitmap.stride);
  if (packed == 0 || rowBytes < packed) return BADA;
  if (ImageBytes(bitmap.width, bitmap.height, layout->bitsPerPixel, bitmap.stride) == 0) {
    return BADA;
  }
  rows = {bitmap.pixels, bitmap.width, bitmap.height, rowBytes, layout};
  return RCOK;
}

PageRows AllocateRows(int32_t width, int32_t height, uint32_t type, int32_t rowRule,
                      uint64_t* bytesPerRow) {
  uint32_t bits = BitsPerPixel(type);
  uint64_t bytes = ImageBytes(width, height, bits, rowRule);
  if (bytesPerRow) *bytesPerRow = RowBytes(width, bits, rowRule);
  if (bytes == 0 || RowBytes(width, bits, rowRule) < RowBytes(width, bits, kStridePacked)) {
    return nullptr;
  }
  return PageRows(static_cast<uint8_t*>(platform::PageAlloc(bytes)));
}

void ReleaseRows(CoreBitmap& bitmap) {
  if (bitmap.pixels && bitmap.ownsPixels) {
    if (bitmap.freePixels) {
      bitmap.freePixels(bitmap.pixels, bitmap.freeContext);
    } else {
      platform::PageFree(bitmap.pixels);
    }
  }
  bitmap.pixels = nullptr;
  bitmap.freePixels = nullptr;
  bitmap.freeContext = 0;
}

void AdoptRows(CoreBitmap& bitmap, PageRows rows, int32_t width, int32_t height, uint32_t type,
               int32_t rowRule) {
  ReleaseRows(bitmap);
  bitmap.pixels = rows.release();
  bitmap.ownsPixels = 1;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelType = type;
  bitmap.stride = rowRule;
}

}  // namespace glib
