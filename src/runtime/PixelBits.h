// Reading and writing single pixels of rows whose pixels are not whole bytes
// (1-bit and 4-bit indices, 12-bit grey), most significant bits first.
#pragma once

#include <cstdint>

namespace glib {

inline uint32_t GetBits(const uint8_t* row, uint32_t bits, int64_t x) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  if (bits == 4) return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
  const uint8_t* p = row + (x >> 1) * 3;  // 12 bits: two pixels in three bytes
  return (x & 1) ? ((p[1] & 15u) << 8) | p[2] : (uint32_t(p[0]) << 4) | (p[1] >> 4);
}

inline void PutBits(uint8_t* row, uint32_t bits, int64_t x, uint32_t value) {
  if (bits == 1) {
    uint8_t mask = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = value ? uint8_t(row[x >> 3] | mask) : uint8_t(row[x >> 3] & ~mask);
  } else if (bits == 4) {
    uint8_t& byte = row[x >> 1];
    byte = (x & 1) ? uint8_t((byte & 0xF0) | (value & 15)) : uint8_t((byte & 0x0F) | (value << 4));
  } else {
    uint8_t* p = row + (x >> 1) * 3;
    if (x & 1) {
      p[1] = uint8_t((p[1] & 0xF0) | ((value >> 8) & 15)), p[2] = uint8_t(value);
    } else {
      p[0] = uint8_t(value >> 4), p[1] = uint8_t((p[1] & 0x0F) | ((value & 15) << 4));
    }
  }
}

}  // namespace glib
