// Pixel type codes: four bytes, from the lowest: bits per sample, samples per pixel,
// 1 for raster types, and the colour model with its flags (0x80 alpha, 0x40 the
// 16-bit packed form carries one non-alpha bit).
#pragma once

#include <cstdint>

namespace glib {

enum EPixelType : uint32_t {
  kPixelBW1 = 0x01010101,       // 1-bit black and white
  kPixelGray12 = 0x0101010C,    // 12-bit grey
  kPixelGray16 = 0x01010110,    // 16-bit grey
  kPixelIndexed1 = 0x02010101,  // 1-bit with palette
  kPixelIndexed4 = 0x02010104,  // 4-bit with palette
  kPixelIndexed8 = 0x02010108,  // 8-bit with palette
  kPixelRGB24 = 0x03010308,     // blue, green, red bytes
  kPixelRGB48 = 0x03010310,     // three 16-bit samples
  kPixelRGB565 = 0x03010110,    // 16-bit packed 5:6:5
  kPixelRGB5551 = 0x43010110,   // 16-bit packed 5:5:5 plus one non-alpha bit
  kPixelRGBA5551 = 0x83010110,  // 16-bit packed 5:5:5:1 with alpha
  kPixelRGBA4444 = 0x83010404,  // 16-bit packed 4:4:4:4
  kPixelRGBA32 = 0x83010408,    // blue, green, red, alpha bytes: the working type
  kPixelRGBA64 = 0x83010410,    // four 16-bit samples
  kPixelModel5x8 = 0x05010408,  // four 8-bit samples in colour model 5
  kPixelModel6x8 = 0x06010308,  // three 8-bit samples in colour model 6
  kPixelVector = 0x03FF0000,    // a vector picture instead of pixels
  kPixelNone = 0x3FFF0000,      // no picture
};

constexpr uint32_t BitsPerSample(uint32_t type) { return type & 0xFF; }
constexpr uint32_t SamplesPerPixel(uint32_t type) { return (type >> 8) & 0xFF; }
constexpr uint32_t BitsPerPixel(uint32_t type) {
  return BitsPerSample(type) * SamplesPerPixel(type);
}
constexpr bool IsRaster(uint32_t type) { return ((type >> 16) & 0xFF) == 1; }
constexpr uint32_t ColourModel(uint32_t type) { return (type >> 24) & 0x3F; }
constexpr bool HasAlpha(uint32_t type) { return (type & 0x80000000u) != 0; }
constexpr bool IsIndexed(uint32_t type) { return ColourModel(type) == 2; }

}  // namespace glib
