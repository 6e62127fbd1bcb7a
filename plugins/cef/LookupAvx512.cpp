// 256-entry byte tables with AVX-512 VBMI: two two-register permutes cover the low
// and high halves of a table, the index's top bit picks between them, so 64 samples
// take a handful of instructions and the pass runs at memory speed. Compiled with
// the AVX-512 options; called only where the processor has them.
#include <immintrin.h>

#include "cef/Lookup.h"

namespace cef {
namespace {

struct Table {
  __m512i quarter[4];
};

Table Load(const uint8_t* lut) {
  return {{_mm512_loadu_si512(lut), _mm512_loadu_si512(lut + 64), _mm512_loadu_si512(lut + 128),
           _mm512_loadu_si512(lut + 192)}};
}

inline __m512i Look(const Table& t, __m512i index) {
  __m512i low = _mm512_permutex2var_epi8(t.quarter[0], index, t.quarter[1]);
  __m512i high = _mm512_permutex2var_epi8(t.quarter[2], index, t.quarter[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// Bytes of channel `c` in a block of 64 that starts at sample `phase` of the pixel.
constexpr __mmask64 ChannelMask(int channels, int phase, int c) {
  __mmask64 mask = 0;
  for (int j = 0; j < 64; ++j) {
    if ((phase + j) % channels == c) mask |= __mmask64(1) << j;
  }
  return mask;
}

// A block of 64 starts at channel (64 k) % channels: 64 is 1 modulo 3 and 0 modulo 4.
struct Masks {
  __mmask64 channel[3][3];  // by the block's phase, then the channel
};
constexpr Masks MasksFor(int channels) {
  Masks m{};
  for (int phase = 0; phase < 3; ++phase) {
    for (int c = 0; c < 3; ++c) m.channel[phase][c] = ChannelMask(channels, phase, c);
  }
  return m;
}
constexpr Masks kThree = MasksFor(3);
constexpr Masks kFour = MasksFor(4);

}  // namespace

void LookUpRowAvx512(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]) {
  const bool same = lut[0] == lut[1] && lut[1] == lut[2];
  const Table t0 = Load(lut[0]);
  const Table t1 = same ? t0 : Load(lut[1]);
  const Table t2 = same ? t0 : Load(lut[2]);
  const Masks& masks = channels == 3 ? kThree : kFour;
  int phase = 0;
  for (size_t i = 0; i < samples; i += 64) {
    // Whole blocks load and store plainly (masked stores are slow on some processors);
    // alpha samples are blended back from what was read.
    const bool whole = samples - i >= 64;
    const __mmask64 live = whole ? ~__mmask64(0) : (~__mmask64(0)) >> (64 - (samples - i));
    const __m512i v = whole ? _mm512_loadu_si512(row + i) : _mm512_maskz_loadu_epi8(live, row + i);
    const __mmask64* m = masks.channel[phase];
    __m512i out = Look(t0, v);
    if (!same) {
      out = _mm512_mask_blend_epi8(m[1], out, Look(t1, v));
      out = _mm512_mask_blend_epi8(m[2], out, Look(t2, v));
    }
    if (channels == 4) out = _mm512_mask_blend_epi8(m[0] | m[1] | m[2], v, out);
    if (whole) {
      _mm512_storeu_si512(row + i, out);
    } else {
      _mm512_mask_storeu_epi8(row + i, live, out);
    }
    if (channels == 3) phase = phase == 2 ? 0 : phase + 1;
  }
}

}  // namespace cef
