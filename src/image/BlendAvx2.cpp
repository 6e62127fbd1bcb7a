// The 256-bit forms of "norm" (display), "gams" and "smas", for processors with
// AVX2; Blend.cpp chooses them at run time. Same arithmetic as the plain forms, eight
// pixels at a time: base + sign(toward - base) * ((|toward - base| * w * 0x8081) >> 23),
// which equals the truncating division by 255 for every product of two bytes.
#include "image/BlendVector.h"

#if defined(ORBISK_BLEND_AVX2)

#include <immintrin.h>

namespace glib::blend {
namespace {

inline __m256i Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The weight byte of every pixel (byte `which` of the pixel) zero-extended into the
// four 16-bit lanes of that pixel, for the low and the high half of each 128-bit lane.
inline void Weights(__m256i pixels, int which, __m256i& lo, __m256i& hi) {
  const char w = char(which), z = char(0x80);
  const __m256i spreadLo = _mm256_setr_epi8(
      w, z, w, z, w, z, w, z, char(w + 4), z, char(w + 4), z, char(w + 4), z, char(w + 4), z, w, z,
      w, z, w, z, w, z, char(w + 4), z, char(w + 4), z, char(w + 4), z, char(w + 4), z);
  // The high half takes the next two pixels: index bytes + 8, the zeroing bytes stay.
  const __m256i spreadHi = _mm256_add_epi8(spreadLo, _mm256_set1_epi16(8));
  lo = _mm256_shuffle_epi8(pixels, spreadLo);
  hi = _mm256_shuffle_epi8(pixels, spreadHi);
}

inline __m256i Lerp(__m256i base, __m256i toward, __m256i wLo, __m256i wHi) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i up = _mm256_subs_epu8(toward, base), down = _mm256_subs_epu8(base, toward);
  const __m256i diff = _mm256_or_si256(up, down);
  const __m256i magic = _mm256_set1_epi16(short(0x8081));
  __m256i lo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(diff, zero), wLo);
  __m256i hi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(diff, zero), wHi);
  lo = _mm256_srli_epi16(_mm256_mulhi_epu16(lo, magic), 7);
  hi = _mm256_srli_epi16(_mm256_mulhi_epu16(hi, magic), 7);
  const __m256i step = _mm256_packus_epi16(lo, hi);
  const __m256i rising = _mm256_cmpeq_epi8(down, zero);
  return _mm256_blendv_epi8(_mm256_sub_epi8(base, step), _mm256_add_epi8(base, step), rising);
}

inline __m256i AlphaMask() { return _mm256_set1_epi32(int(0xFF000000u)); }

// The mixing keeps few loads in flight; asking for the layer's bytes well ahead
// keeps the memory busy.
constexpr size_t kAhead = 1024;
inline void Ahead(const uint8_t* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p + kAhead), _MM_HINT_T0);
}

}  // namespace

int32_t DisplayNormAvx2(uint8_t* target, const uint8_t* layer, int32_t count) {
  const __m256i alpha = AlphaMask();
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint8_t* t = target + 4 * size_t(i);
    Ahead(layer + 4 * size_t(i));
    const __m256i s = Load(layer + 4 * size_t(i));
    const int opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(s, alpha), alpha));
    if (opaque == -1) {  // every pixel covers: the layer's pixel is the result
      Store(t, s);
      continue;
    }
    const __m256i d = Load(t);
    __m256i wLo, wHi;
    Weights(s, 3, wLo, wHi);
    const __m256i mixed = Lerp(d, s, wLo, wHi);
    Store(t, _mm256_blendv_epi8(mixed, s, alpha));
  }
  return i;
}

namespace {

// The loop of the modes that mix with an underlay (a row, or one pixel for all).
template <class Mix>
int32_t UnderlayRows(const BlendRowArgs& a, Mix mix) {
  const __m256i single = _mm256_set1_epi32(int(a.underlayPixel));
  int32_t i = 0;
  for (; i + 8 <= a.count; i += 8) {
    const size_t at = 4 * size_t(i);
    Ahead(a.layer + at);
    const __m256i d = Load(a.target + at), s = Load(a.layer + at);
    const __m256i u = a.underlay ? Load(a.underlay + at) : single;
    Store(a.target + at, mix(d, s, u));
  }
  return i;
}

}  // namespace

int32_t GamsAvx2(const BlendRowArgs& a) {
  const __m256i alpha = AlphaMask();
  return UnderlayRows(a, [alpha](__m256i d, __m256i s, __m256i u) {
    __m256i wLo, wHi;
    Weights(s, 0, wLo, wHi);
    const __m256i mask = _mm256_slli_epi32(_mm256_and_si256(s, _mm256_set1_epi32(0xFF)), 24);
    return _mm256_blendv_epi8(Lerp(u, d, wLo, wHi), mask, alpha);
  });
}

int32_t SmasAvx2(const BlendRowArgs& a) {
  const __m256i alpha = AlphaMask();
  const __m256i key = _mm256_set1_epi32(int(0xFFFF00FFu));
  return UnderlayRows(a, [alpha, key](__m256i d, __m256i s, __m256i u) {
    __m256i wLo, wHi;
    Weights(s, 3, wLo, wHi);
    const __m256i mixed = _mm256_blendv_epi8(Lerp(u, s, wLo, wHi), s, alpha);
    return _mm256_blendv_epi8(mixed, d, _mm256_cmpeq_epi32(s, key));
  });
}

}  // namespace glib::blend

#endif
