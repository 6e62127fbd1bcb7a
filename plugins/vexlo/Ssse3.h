// Byte shuffles of the readers' row loops (SSSE3, chosen at run time): whether the
// processor has them, and the gathering of 48 bytes (sixteen 3-byte pixels) from
// three vectors, which interleaving and reordering samples both come down to.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>

#include <cstdint>

#define VEXLO_SSSE3 1

namespace vexlo {

inline bool HaveSsse3() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}

// The shuffle masks that make 48 bytes from three 16-byte vectors: `from(i)` is the
// vector (0 to 2) times 16 plus the byte that output byte i takes.
struct Gather48 {
  alignas(16) uint8_t m[3][3][16];  // [output vector][source vector][byte], 0x80: none
  template <class From>
  constexpr explicit Gather48(From from) : m{} {
    for (int i = 0; i < 48; ++i) {
      int source = from(i);
      for (int r = 0; r < 3; ++r)
        m[i / 16][r][i % 16] = source / 16 == r ? uint8_t(source % 16) : uint8_t(0x80);
    }
  }
};

// Gathers `in` by `masks` and stores the 48 bytes at `out` (unaligned).
__attribute__((target("ssse3"))) inline void StoreGathered(const __m128i in[3],
                                                           const Gather48& masks, uint8_t* out) {
  for (int k = 0; k < 3; ++k) {
    __m128i v = _mm_setzero_si128();
    for (int r = 0; r < 3; ++r)
      v = _mm_or_si128(
          v,
          _mm_shuffle_epi8(in[r], _mm_load_si128(reinterpret_cast<const __m128i*>(masks.m[k][r]))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + k, v);
  }
}

}  // namespace vexlo

#endif
