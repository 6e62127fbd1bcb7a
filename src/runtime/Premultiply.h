// Colour multiplied by alpha and back, in place or row to row, for rows of B, G, R, A
// pixels of 8-bit (`T` uint8_t) or 16-bit (`T` uint16_t) samples.
#pragma once

#include <algorithm>
#include <cstdint>

namespace glib {

template <typename T>
void Premultiply(const uint8_t* in, int32_t width, uint8_t* out) {
  constexpr uint32_t kMax = T(~T(0));
  const T* p = reinterpret_cast<const T*>(in);
  T* q = reinterpret_cast<T*>(out);
  for (int32_t i = 0; i < width; ++i, p += 4, q += 4) {
    uint64_t a = p[3];
    for (int c = 0; c < 3; ++c) q[c] = T((p[c] * a + kMax / 2) / kMax);
    q[3] = T(a);
  }
}

// Straight colour again; colour under zero alpha becomes 0.
template <typename T>
void Unpremultiply(uint8_t* row, int32_t width) {
  constexpr uint64_t kMax = T(~T(0));
  T* p = reinterpret_cast<T*>(row);
  for (int32_t i = 0; i < width; ++i, p += 4) {
    uint64_t a = p[3];
    if (a == kMax) continue;
    for (int c = 0; c < 3; ++c) p[c] = a ? T(std::min(kMax, (p[c] * kMax + a / 2) / a)) : T(0);
  }
}

}  // namespace glib
