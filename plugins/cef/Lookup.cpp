#include "cef/Lookup.h"

namespace cef {
namespace {

template <typename T>
void LookUpScalar(T* row, size_t samples, int channels, const T* const lut[3]) {
  const T* __restrict b = lut[0];
  const T* __restrict g = lut[1];
  const T* __restrict r = lut[2];
  if (channels == 3 && b == g && g == r) {
    // One table over plain samples, unrolled so loads and stores overlap.
    size_t i = 0;
    for (; i + 4 <= samples; i += 4) {
      T v0 = b[row[i]], v1 = b[row[i + 1]], v2 = b[row[i + 2]], v3 = b[row[i + 3]];
      row[i] = v0, row[i + 1] = v1, row[i + 2] = v2, row[i + 3] = v3;
    }
    for (; i < samples; ++i) row[i] = b[row[i]];
    return;
  }
  for (size_t i = 0; i + size_t(channels) <= samples; i += size_t(channels)) {
    T v0 = b[row[i]], v1 = g[row[i + 1]], v2 = r[row[i + 2]];
    row[i] = v0, row[i + 1] = v1, row[i + 2] = v2;
  }
}

}  // namespace

bool HasAvx512Lookups() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has =
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return has;
#else
  return false;
#endif
}

void LookUpRowPlain(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]) {
  LookUpScalar(row, samples, channels, lut);
}

void LookUpRow(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]) {
  if (HasAvx512Lookups()) {
    LookUpRowAvx512(row, samples, channels, lut);
  } else {
    LookUpScalar(row, samples, channels, lut);
  }
}

void LookUpRow(uint16_t* row, size_t samples, int channels, const uint16_t* const lut[3]) {
  LookUpScalar(row, samples, channels, lut);
}

}  // namespace cef
