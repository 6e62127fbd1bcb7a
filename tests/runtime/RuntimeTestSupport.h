// Bitmaps for the runtime tests: owned rows from the page allocator, filled by a
// function of the pixel position, and read back pixel by pixel.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "formats/CoreBitmap.h"
#include "formats/PixelType.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/PixelBits.h"

namespace runtime_test {

// A CoreBitmap that releases its rows with the object.
class TestBitmap {
 public:
  TestBitmap() = default;
  TestBitmap(uint32_t type, int32_t width, int32_t height, int32_t rule = glib::kStridePadded) {
    glib::AdoptRows(bitmap, glib::AllocateRows(width, height, type, rule), width, height, type,
                    rule);
  }
  ~TestBitmap() { glib::ReleaseRows(bitmap); }
  TestBitmap(const TestBitmap&) = delete;
  TestBitmap& operator=(const TestBitmap&) = delete;

  uint8_t* Row(int32_t y) const { return bitmap.pixels + y * glib::RowBytes(bitmap); }
  std::vector<uint8_t> Bytes() const {
    return std::vector<uint8_t>(bitmap.pixels,
                                bitmap.pixels + glib::RowBytes(bitmap) * bitmap.height);
  }

  glib::CoreBitmap bitmap;
};

// Blue, green, red and alpha bytes of pixel (x, y) of any bitmap, through the
// scan-line converter.
inline uint32_t PixelBgra(const glib::CoreBitmap& bitmap, int32_t x, int32_t y) {
  glib::LineConverter converter;
  std::vector<uint8_t> row(size_t(bitmap.width) * 4);
  if (converter.Set(bitmap, glib::kPixelRGBA32) != glib::RCOK ||
      !converter.GetScanline(y, row.data())) {
    return 0xDEADBEEF;
  }
  uint32_t v;
  std::memcpy(&v, row.data() + 4 * x, 4);
  return v;
}

// Fills a 32-bit RGBA bitmap from a function of (x, y) giving 0xAARRGGBB.
inline void FillBgra(TestBitmap& b, const std::function<uint32_t(int32_t, int32_t)>& colour) {
  for (int32_t y = 0; y < b.bitmap.height; ++y) {
    for (int32_t x = 0; x < b.bitmap.width; ++x) {
      uint32_t c = colour(x, y);
      std::memcpy(b.Row(y) + 4 * x, &c, 4);
    }
  }
}

// A bitmap of `type` holding the given 32-bit RGBA picture converted (palette:
// the given one, else a 256-level grey ramp).
inline void ConvertInto(const glib::CoreBitmap& bgra, uint32_t type, TestBitmap& out,
                        const uint32_t* palette = nullptr) {
  glib::ReleaseRows(out.bitmap);
  out.bitmap = glib::CoreBitmap{};
  glib::AdoptRows(out.bitmap,
                  glib::AllocateRows(bgra.width, bgra.height, type, glib::kStridePadded),
                  bgra.width, bgra.height, type, glib::kStridePadded);
  for (int i = 0; i < 256; ++i) {
    out.bitmap.palette[i] = palette ? palette[i] : 0xFF000000u | uint32_t(i) * 0x010101u;
  }
  glib::CoreBitmap source = bgra;
  std::memcpy(source.palette, out.bitmap.palette, sizeof source.palette);
  glib::LineConverter converter;
  if (converter.Set(source, type) != glib::RCOK) return;
  for (int32_t y = 0; y < bgra.height; ++y) {
    converter.GetScanline(y, out.bitmap.pixels + y * glib::RowBytes(out.bitmap));
  }
}

inline int Channel(uint32_t bgra, int shift) { return int((bgra >> shift) & 255); }

// Largest difference of the blue, green and red bytes.
inline int ColourDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) {
    int diff = Channel(a, shift) - Channel(b, shift);
    d = std::max(d, diff < 0 ? -diff : diff);
  }
  return d;
}

// Every raster type the runtime knows.
inline std::vector<uint32_t> AllRasterTypes() {
  return {glib::kPixelBW1,      glib::kPixelGray8,    glib::kPixelGray12,   glib::kPixelGray16,
          glib::kPixelIndexed1, glib::kPixelIndexed4, glib::kPixelIndexed8, glib::kPixelRGB24,
          glib::kPixelRGB48,    glib::kPixelRGB565,   glib::kPixelRGB5551,  glib::kPixelRGBA5551,
          glib::kPixelRGBA4444, glib::kPixelRGBA32,   glib::kPixelRGBA64,   glib::kPixelModel5x8,
          glib::kPixelModel6x8};
}

// Random bytes in every row and an opaque random palette, the same for a seed.
inline void FillRandom(TestBitmap& b, uint32_t seed) {
  std::mt19937 random(seed);
  uint64_t bytes = glib::RowBytes(b.bitmap) * uint64_t(b.bitmap.height);
  for (uint64_t i = 0; i < bytes; ++i) b.bitmap.pixels[i] = uint8_t(random());
  for (auto& entry : b.bitmap.palette) entry = uint32_t(random()) | 0xFF000000u;
}

// The raw bits of pixel (x, y).
inline uint64_t RawPixel(const glib::CoreBitmap& b, int32_t x, int32_t y) {
  uint32_t bits = glib::BitsPerPixel(b.pixelType);
  const uint8_t* row = b.pixels + glib::RowBytes(b) * uint64_t(y);
  if (bits % 8 != 0) return glib::GetBits(row, bits, x);
  uint64_t v = 0;
  std::memcpy(&v, row + uint64_t(x) * (bits / 8), bits / 8);
  return v;
}

}  // namespace runtime_test
