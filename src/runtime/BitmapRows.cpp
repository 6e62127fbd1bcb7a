#include "runtime/BitmapRows.h"

#include <algorithm>
#include <cstring>

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

void ReverseRow(const uint8_t* from, uint8_t* to, int32_t width, uint32_t bits) {
  switch (bits) {
    case 8:
      for (int32_t x = 0; x < width; ++x) to[x] = from[width - 1 - x];
      return;
    case 16: {
      auto* d = reinterpret_cast<uint16_t*>(to);
      auto* s = reinterpret_cast<const uint16_t*>(from);
      for (int32_t x = 0; x < width; ++x) std::memcpy(d + x, s + (width - 1 - x), 2);
      return;
    }
    case 32: {
      for (int32_t x = 0; x < width; ++x) {
        uint32_t v;
        std::memcpy(&v, from + 4 * size_t(width - 1 - x), 4);
        std::memcpy(to + 4 * size_t(x), &v, 4);
      }
      return;
    }
    default:
      break;
  }
  if (bits % 8 == 0) {
    const size_t bytes = bits / 8;
    for (int32_t x = 0; x < width; ++x)
      std::memcpy(to + bytes * size_t(x), from + bytes * size_t(width - 1 - x), bytes);
    return;
  }
  // Pixels that do not fill whole bytes (1, 4, 12 bits) move bit by bit; bits after
  // the last pixel stay as they were.
  const uint64_t total = uint64_t(width) * bits;
  for (uint64_t i = 0; i < total; ++i) {
    const uint64_t pixel = i / bits, bit = i % bits;
    const uint64_t source = (uint64_t(width) - 1 - pixel) * bits + bit;
    const bool on = (from[source >> 3] >> (7 - (source & 7))) & 1;
    uint8_t& target = to[i >> 3];
    const uint8_t mask = uint8_t(0x80 >> (i & 7));
    target = on ? uint8_t(target | mask) : uint8_t(target & ~mask);
  }
}

// Through a small buffer that stays in the first-level cache.
void SwapRows(uint8_t* a, uint8_t* b, uint64_t bytes) {
  alignas(64) uint8_t buffer[8192];
  for (uint64_t done = 0; done < bytes;) {
    const size_t n = size_t(std::min<uint64_t>(sizeof buffer, bytes - done));
    std::memcpy(buffer, a + done, n);
    std::memcpy(a + done, b + done, n);
    std::memcpy(b + done, buffer, n);
    done += n;
  }
}

}  // namespace glib
