#include "runtime/ResamplePasses.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glib::resample {
namespace {

constexpr int kFinalShift = kWeightBits - kIntermediateBits;   // vertical: to intermediate
constexpr int kOutputShift = kWeightBits + kIntermediateBits;  // horizontal: to 8 bits

inline int16_t Saturate16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }
inline uint8_t Saturate8(int32_t v) { return uint8_t(std::clamp(v, 0, 255)); }

void VerticalFixedTail(const uint8_t* const* rows, const int16_t* weights, int taps, int32_t from,
                       int32_t count, int32_t* acc, int16_t* out, bool first, bool last) {
  for (int32_t x = from; x < count; ++x) {
    int32_t sum = first ? 0 : acc[x];
    for (int k = 0; k < taps; ++k) sum += int32_t(weights[k]) * rows[k][x];
    if (last) {
      out[x] = Saturate16((sum + (1 << (kFinalShift - 1))) >> kFinalShift);
    } else {
      acc[x] = sum;
    }
  }
}

template <int kChannels>
void HorizontalFixedPlain(const int16_t* in, const Weights& weights, uint8_t* out) {
  for (int32_t o = 0; o < weights.outCount; ++o, out += kChannels) {
    const int16_t* p = in + int64_t(weights.start[o]) * kChannels;
    const int16_t* w = weights.fixed.get() + int64_t(o) * weights.taps;
    int32_t sum[kChannels] = {};
    for (int t = 0; t < weights.taps; ++t) {
      for (int c = 0; c < kChannels; ++c) sum[c] += int32_t(w[t]) * p[t * kChannels + c];
    }
    for (int c = 0; c < kChannels; ++c) {
      out[c] = Saturate8((sum[c] + (1 << (kOutputShift - 1))) >> kOutputShift);
    }
  }
}

}  // namespace

void VerticalFixedReference(const uint8_t* const* rows, const int16_t* weights, int taps,
                            int32_t count, int32_t* acc, int16_t* out, bool first, bool last) {
  VerticalFixedTail(rows, weights, taps, 0, count, acc, out, first, last);
}

void HorizontalFixedReference(const int16_t* in, int channels, const Weights& weights,
                              uint8_t* out) {
  switch (channels) {
    case 1:
      return HorizontalFixedPlain<1>(in, weights, out);
    case 3:
      return HorizontalFixedPlain<3>(in, weights, out);
    default:
      return HorizontalFixedPlain<4>(in, weights, out);
  }
}

#if defined(__SSE2__)

void VerticalFixed(const uint8_t* const* rows, const int16_t* weights, int taps, int32_t count,
                   int32_t* acc, int16_t* out, bool first, bool last) {
  // Two rows at a time: their bytes interleaved and widened meet a (w0, w1) pair
  // in one multiply-add. An odd last row is paired with zeros.
  constexpr int kMaxPairs = 64;
  int32_t x = 0;
  for (int k0 = 0; k0 < taps && count >= 16; k0 += 2 * kMaxPairs) {
    int pairs = std::min(kMaxPairs, (taps - k0 + 1) / 2);
    const uint8_t* a[kMaxPairs];
    const uint8_t* b[kMaxPairs];
    __m128i w[kMaxPairs];
    for (int i = 0; i < pairs; ++i) {
      int k = k0 + 2 * i;
      bool single = k + 1 >= taps;
      a[i] = rows[k];
      b[i] = single ? rows[k] : rows[k + 1];  // weighted 0 when single
      uint32_t w1 = single ? 0 : uint16_t(weights[k + 1]);
      w[i] = _mm_set1_epi32(int32_t(uint16_t(weights[k]) | (w1 << 16)));
    }
    bool firstChunk = first && k0 == 0;
    bool lastChunk = last && k0 + 2 * kMaxPairs >= taps;
    const __m128i zero = _mm_setzero_si128();
    for (x = 0; x + 16 <= count; x += 16) {
      __m128i s0, s1, s2, s3;
      if (firstChunk) {
        s0 = s1 = s2 = s3 = zero;
      } else {
        s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x));
        s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x + 4));
        s2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x + 8));
        s3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + x + 12));
      }
      for (int i = 0; i < pairs; ++i) {
        __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a[i] + x));
        __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b[i] + x));
        __m128i lo = _mm_unpacklo_epi8(va, vb);
        __m128i hi = _mm_unpackhi_epi8(va, vb);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w[i]));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w[i]));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w[i]));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w[i]));
      }
      if (lastChunk) {
        const __m128i round = _mm_set1_epi32(1 << (kFinalShift - 1));
        s0 = _mm_srai_epi32(_mm_add_epi32(s0, round), kFinalShift);
        s1 = _mm_srai_epi32(_mm_add_epi32(s1, round), kFinalShift);
        s2 = _mm_srai_epi32(_mm_add_epi32(s2, round), kFinalShift);
        s3 = _mm_srai_epi32(_mm_add_epi32(s3, round), kFinalShift);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packs_epi32(s0, s1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8), _mm_packs_epi32(s2, s3));
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x), s0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x + 4), s1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x + 8), s2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + x + 12), s3);
      }
    }
  }
  VerticalFixedTail(rows, weights, taps, x, count, acc, out, first, last);
}

void HorizontalFixed(const int16_t* in, int channels, const Weights& weights, uint8_t* out) {
  if (channels == 1) return HorizontalFixedPlain<1>(in, weights, out);
  // Pixels of 3 or 4 samples are read as four 16-bit lanes (a 3-sample pixel also
  // reads the next pixel's first sample, which falls in an unused lane). Two taps
  // interleaved meet a (w0, w1) pair in one multiply-add.
  const __m128i round = _mm_set1_epi32(1 << (kOutputShift - 1));
  const int taps = weights.taps;
  for (int32_t o = 0; o < weights.outCount; ++o) {
    const int16_t* p = in + int64_t(weights.start[o]) * channels;
    const int16_t* w = weights.fixed.get() + int64_t(o) * taps;
    __m128i s0 = _mm_setzero_si128(), s1 = _mm_setzero_si128();
    int t = 0;
    for (; t + 4 <= taps; t += 4, p += 4 * channels) {
      int32_t w01, w23;
      std::memcpy(&w01, w + t, 4);
      std::memcpy(&w23, w + t + 2, 4);
      __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + channels));
      __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 2 * channels));
      __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 3 * channels));
      s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), _mm_set1_epi32(w01)));
      s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpacklo_epi16(c, d), _mm_set1_epi32(w23)));
    }
    if (t < taps) {
      int32_t w01;
      std::memcpy(&w01, w + t, 4);
      __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + channels));
      s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), _mm_set1_epi32(w01)));
    }
    __m128i s = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(s0, s1), round), kOutputShift);
    s = _mm_packs_epi32(s, s);
    uint32_t pixel = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(s, s)));
    uint8_t* q = out + int64_t(o) * channels;
    if (channels == 4 || o + 1 < weights.outCount) {
      std::memcpy(q, &pixel, 4);  // a 3-byte pixel's spare byte is overwritten next
    } else {
      std::memcpy(q, &pixel, 3);
    }
  }
}

#else

void VerticalFixed(const uint8_t* const* rows, const int16_t* weights, int taps, int32_t count,
                   int32_t* acc, int16_t* out, bool first, bool last) {
  VerticalFixedReference(rows, weights, taps, count, acc, out, first, last);
}

void HorizontalFixed(const int16_t* in, int channels, const Weights& weights, uint8_t* out) {
  HorizontalFixedReference(in, channels, weights, out);
}

#endif

template <typename T>
void VerticalFloat(const T* const* rows, const float* weights, int taps, int32_t count, float* acc,
                   bool first) {
  if (first) std::fill(acc, acc + count, 0.0f);
  for (int k = 0; k < taps; ++k) {
    const T* row = rows[k];
    const float w = weights[k];
    for (int32_t x = 0; x < count; ++x) acc[x] += w * float(row[x]);
  }
}

template <typename T, int kChannels>
void HorizontalFloatN(const float* in, const Weights& weights, T* out) {
  constexpr float kMax = float(T(~T(0)));
  for (int32_t o = 0; o < weights.outCount; ++o, out += kChannels) {
    const float* p = in + int64_t(weights.start[o]) * kChannels;
    const float* w = weights.real.get() + int64_t(o) * weights.taps;
    float sum[kChannels] = {};
    for (int t = 0; t < weights.taps; ++t) {
      for (int c = 0; c < kChannels; ++c) sum[c] += w[t] * p[t * kChannels + c];
    }
    for (int c = 0; c < kChannels; ++c) out[c] = T(std::clamp(sum[c], 0.0f, kMax) + 0.5f);
  }
}

template <typename T>
void HorizontalFloat(const float* in, int channels, const Weights& weights, T* out) {
  switch (channels) {
    case 1:
      return HorizontalFloatN<T, 1>(in, weights, out);
    case 3:
      return HorizontalFloatN<T, 3>(in, weights, out);
    default:
      return HorizontalFloatN<T, 4>(in, weights, out);
  }
}

template void VerticalFloat<uint8_t>(const uint8_t* const*, const float*, int, int32_t, float*,
                                     bool);
template void VerticalFloat<uint16_t>(const uint16_t* const*, const float*, int, int32_t, float*,
                                      bool);
template void HorizontalFloat<uint8_t>(const float*, int, const Weights&, uint8_t*);
template void HorizontalFloat<uint16_t>(const float*, int, const Weights&, uint16_t*);

}  // namespace glib::resample
