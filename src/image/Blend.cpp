#include "image/Blend.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/Retcode.h"
#include "image/BlendVector.h"

namespace glib {
namespace {

enum : uint32_t {
  kNorm = FourCC("norm"),
  kMul = FourCC("mul "),
  kScrn = FourCC("scrn"),
  kOver = FourCC("over"),
  kSoftLight = FourCC("sLit"),
  kHardLight = FourCC("hLit"),
  kAdd = FourCC("add "),
  kSub = FourCC("sub "),
  kDiff = FourCC("diff"),
  kDiv = FourCC("div "),
  kExcl = FourCC("excl"),
  kLite = FourCC("lite"),
  kDark = FourCC("dark"),
  kDiss = FourCC("diss"),
  kHue = FourCC("hue "),
  kSat = FourCC("sat "),
  kLum = FourCC("lum "),
  kColr = FourCC("colr"),
  kGams = FourCC("gams"),
  kSmas = FourCC("smas"),
};

constexpr int q(int x) { return Div255Trunc(x); }
constexpr int r(int x) { return Div255Round(x); }
constexpr int SumAlpha(int da, int sa) { return std::min(255, da + sa); }

// ---- channel formulas: d is the composite channel, s the layer's ----

struct Mul {
  static int Mix(int d, int s) { return r(d * s); }
};
struct Screen {
  static int Mix(int d, int s) { return 255 - r((255 - d) * (255 - s)); }
};
struct Overlay {
  static int Mix(int d, int s) { return r(s * (s + r(2 * d * (255 - s)))); }
};
struct SoftLight {
  static int Mix(int d, int s) {
    return std::min(255, r(d * (255 - r((255 - s) * (255 - d)))) + r(r(s * d) * (255 - d)));
  }
};
struct HardLight {
  static int Mix(int d, int s) {
    int v = s <= 128 ? (2 * s * d) >> 8 : 255 - (((255 - d) * (511 - 2 * s)) >> 8);
    return std::clamp(v, 0, 255);
  }
};
struct Add {
  static int Mix(int d, int s) { return std::min(255, d + s); }
};
struct Sub {
  static int Mix(int d, int s) { return std::max(0, s - d); }
};
struct Diff {
  static int Mix(int d, int s) { return std::abs(s - d); }
};
struct Div {
  static int Mix(int d, int s) { return std::min(255, 256 * s / (d + 1)); }
};
struct Excl {
  static int Mix(int d, int s) { return d ^ s; }
};
struct Lite {
  static int Mix(int d, int s) { return std::max(d, s); }
};
struct Dark {
  static int Mix(int d, int s) { return std::min(d, s); }
};

// Modes that mix each colour channel on its own; alpha by `MinAlpha`.
template <class F, bool MinAlpha = false>
void ChannelRow(uint8_t* t, const uint8_t* l, int32_t count) {
  for (int32_t i = 0; i < count; ++i, t += 4, l += 4) {
    for (int c = 0; c < 3; ++c) t[c] = uint8_t(F::Mix(t[c], l[c]));
    t[3] = uint8_t(MinAlpha ? std::min(t[3], l[3]) : SumAlpha(t[3], l[3]));
  }
}

// ---- hue, saturation, value / lightness ----

struct Hsv {
  double h, s, v;
};

// The hue position in sectors [0, 6) of the largest component; 0 for greys.
double HuePosition(int c1, int c2, int c3, int mx, int mn) {
  if (mx == mn) return 0.0;
  const double delta = mx - mn;
  double h = mx == c1   ? (c2 - c3) / delta
             : mx == c2 ? 2.0 + (c3 - c1) / delta
                        : 4.0 + (c1 - c2) / delta;
  return h < 0.0 ? h + 6.0 : h;
}

Hsv ToHsv(const uint8_t* p) {
  const int c1 = p[0], c2 = p[1], c3 = p[2];
  const int mx = std::max({c1, c2, c3}), mn = std::min({c1, c2, c3});
  return {HuePosition(c1, c2, c3, mx, mn) * 255.0 / 6.0, mx ? double((mx - mn) * 255 / mx) : 0.0,
          double(mx)};
}

// Components come out x 255 and truncated; the small bias keeps exact values exact.
uint8_t Unit(double v) { return uint8_t(std::clamp(v * 255.0 + 1e-9, 0.0, 255.0)); }

void FromHsv(const Hsv& c, uint8_t* p) {
  const double v = c.v / 255.0;
  if (c.s <= 0.0) {
    p[0] = p[1] = p[2] = Unit(v);
    return;
  }
  const double h = c.h * 6.0 / 255.0, s = c.s / 255.0;
  int i = int(std::floor(h));
  const double f = h - i;
  i = ((i % 6) + 6) % 6;
  const double a = (1 - s) * v, b = (1 - f * s) * v, t = (1 - s * (1 - f)) * v;
  const double table[6][3] = {{v, t, a}, {b, v, a}, {a, v, t}, {a, b, v}, {t, a, v}, {v, a, b}};
  for (int k = 0; k < 3; ++k) p[k] = Unit(table[i][k]);
}

struct Hls {
  double h, l, s;
};

Hls ToHls(const uint8_t* p) {
  const int c1 = p[0], c2 = p[1], c3 = p[2];
  const int mx = std::max({c1, c2, c3}), mn = std::min({c1, c2, c3});
  const int l = (mx + mn) / 2;
  double s = 0.0;
  if (mx != mn)
    s = l <= 128 ? double((mx - mn) * 255) / (mx + mn) : double((mx - mn) * 255) / (511 - mx - mn);
  return {42.5 * HuePosition(c1, c2, c3, mx, mn), double(l), s};
}

double HueValue(double m1, double m2, double x) {
  x = std::fmod(x, 6.0);
  if (x < 0) x += 6.0;
  if (x < 1.0) return m1 + (m2 - m1) * x;
  if (x < 3.0) return m2;
  if (x < 4.0) return m1 + (m2 - m1) * (4.0 - x);
  return m1;
}

void FromHls(const Hls& c, uint8_t* p) {
  const double l = c.l / 255.0, s = std::min(c.s / 255.0, 1.0);
  auto out = [](double v) { return uint8_t(std::clamp(v * 255.0 + 0.5, 0.0, 255.0)); };
  if (s <= 0.0) {
    p[0] = p[1] = p[2] = out(l);
    return;
  }
  const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
  const double h = c.h / 42.5;
  p[0] = out(HueValue(m1, m2, h + 2.0));
  p[1] = out(HueValue(m1, m2, h));
  p[2] = out(HueValue(m1, m2, h - 2.0));
}

void ColourRow(uint32_t mode, uint8_t* t, const uint8_t* l, int32_t count) {
  for (int32_t i = 0; i < count; ++i, t += 4, l += 4) {
    if (mode == kColr) {
      Hls d = ToHls(t), s = ToHls(l);
      FromHls({d.h, s.l, d.s}, t);
    } else {
      Hsv d = ToHsv(t), s = ToHsv(l);
      if (mode == kHue) FromHsv({d.h, s.s, s.v}, t);
      if (mode == kSat) FromHsv({s.h, d.s, s.v}, t);
      if (mode == kLum) FromHsv({s.h, s.s, d.v}, t);
    }
    t[3] = uint8_t(SumAlpha(t[3], l[3]));
  }
}

// ---- norm, gams, smas: plain forms ----

void FlattenNormPlain(uint8_t* t, const uint8_t* l, int32_t count) {
  for (int32_t i = 0; i < count; ++i, t += 4, l += 4) {
    const int da = t[3], sa = l[3];
    const int k = da - q(sa * da);
    for (int c = 0; c < 3; ++c) t[c] = uint8_t(q(t[c] * k + l[c] * (255 - k)));
    t[3] = uint8_t(SumAlpha(da, sa));
  }
}

// base + (toward - base) * w / 255, truncating towards zero.
inline uint8_t Lerp(int base, int toward, int w) {
  return uint8_t(base + (toward - base) * w / 255);
}

void DisplayNormPlain(uint8_t* t, const uint8_t* l, int32_t count) {
  for (int32_t i = 0; i < count; ++i, t += 4, l += 4) {
    const int a = l[3];
    for (int c = 0; c < 3; ++c) t[c] = Lerp(t[c], l[c], a);
    t[3] = uint8_t(a);
  }
}

inline const uint8_t* UnderlayAt(const BlendRowArgs& a, int32_t i, const uint8_t* single) {
  return a.underlay ? a.underlay + 4 * size_t(i) : single;
}

void GamsPlain(const BlendRowArgs& a, int32_t from) {
  uint8_t single[4];
  std::memcpy(single, &a.underlayPixel, 4);
  for (int32_t i = from; i < a.count; ++i) {
    uint8_t* t = a.target + 4 * size_t(i);
    const uint8_t* u = UnderlayAt(a, i, single);
    const int m = a.layer[4 * size_t(i)];
    for (int c = 0; c < 3; ++c) t[c] = Lerp(u[c], t[c], m);
    t[3] = uint8_t(m);
  }
}

constexpr uint32_t kColourKey = 0xFFFF00FF;

void SmasPlain(const BlendRowArgs& a, int32_t from) {
  uint8_t single[4];
  std::memcpy(single, &a.underlayPixel, 4);
  for (int32_t i = from; i < a.count; ++i) {
    const uint8_t* l = a.layer + 4 * size_t(i);
    uint32_t word;
    std::memcpy(&word, l, 4);
    if (word == kColourKey) continue;
    uint8_t* t = a.target + 4 * size_t(i);
    const uint8_t* u = UnderlayAt(a, i, single);
    for (int c = 0; c < 3; ++c) t[c] = Lerp(u[c], l[c], l[3]);
    t[3] = l[3];
  }
}

void DissolveRow(uint8_t* t, const uint8_t* l, int32_t count, uint32_t seed) {
  uint32_t x = seed ? seed : 0x9E3779B9u;
  for (int32_t i = 0; i < count; ++i, t += 4, l += 4) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    const uint8_t chance = uint8_t(x >> 24);
    std::memcpy(t, l, 3);
    t[3] = chance > l[3] ? 0 : l[3];
  }
}

// ---- vectorised forms (the same bytes as the plain ones) ----

#if defined(__SSE2__)

// base + sign(toward - base) * floor(|toward - base| * w / 255) in each byte, w given
// per byte in 16-bit lanes. Exact: |diff| * w <= 65025 and (x * 0x8081) >> 23 == x / 255
// for every 16-bit x.
inline __m128i LerpBytes(__m128i base, __m128i toward, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i up = _mm_subs_epu8(toward, base), down = _mm_subs_epu8(base, toward);
  const __m128i diff = _mm_or_si128(up, down);
  const __m128i magic = _mm_set1_epi16(short(0x8081));
  __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(diff, zero), wLo);
  __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(diff, zero), wHi);
  lo = _mm_srli_epi16(_mm_mulhi_epu16(lo, magic), 7);
  hi = _mm_srli_epi16(_mm_mulhi_epu16(hi, magic), 7);
  const __m128i step = _mm_packus_epi16(lo, hi);
  const __m128i rising = _mm_cmpeq_epi8(down, zero);  // toward >= base
  return _mm_or_si128(_mm_and_si128(rising, _mm_add_epi8(base, step)),
                      _mm_andnot_si128(rising, _mm_sub_epi8(base, step)));
}

// The weight byte of each pixel (at byte `which` of the pixel) in all four lanes.
inline void SpreadWeight(__m128i pixels, int which, __m128i& lo, __m128i& hi) {
  __m128i w = _mm_and_si128(_mm_srli_epi32(pixels, 8 * which), _mm_set1_epi32(0xFF));
  w = _mm_or_si128(w, _mm_slli_epi32(w, 16));  // the weight in both 16-bit halves
  lo = _mm_unpacklo_epi32(w, w);
  hi = _mm_unpackhi_epi32(w, w);
}

inline __m128i AlphaMask() { return _mm_set1_epi32(int(0xFF000000u)); }

// The mixing keeps few loads in flight; asking for the layer's bytes well ahead
// keeps the memory busy.
inline void Ahead(const uint8_t* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p + 1024), _MM_HINT_T0);
}

int32_t DisplayNormSse2(uint8_t* t, const uint8_t* l, int32_t count) {
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    Ahead(l + 4 * size_t(i));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 4 * size_t(i)));
    const __m128i covered = _mm_cmpeq_epi8(_mm_and_si128(s, AlphaMask()), AlphaMask());
    if (_mm_movemask_epi8(covered) == 0xFFFF) {  // every pixel covers: the layer's pixel
      _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 4 * size_t(i)), s);
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 4 * size_t(i)));
    __m128i wLo, wHi;
    SpreadWeight(s, 3, wLo, wHi);
    const __m128i mixed = LerpBytes(d, s, wLo, wHi);
    const __m128i out =
        _mm_or_si128(_mm_andnot_si128(AlphaMask(), mixed), _mm_and_si128(AlphaMask(), s));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 4 * size_t(i)), out);
  }
  return i;
}

// The loop of the modes that mix with an underlay (a row, or one pixel for all):
// `mix` makes four result pixels from the target's, the layer's and the underlay's.
template <class Mix>
int32_t UnderlayRowsSse2(const BlendRowArgs& a, Mix mix) {
  int32_t i = 0;
  const __m128i single = _mm_set1_epi32(int(a.underlayPixel));
  for (; i + 4 <= a.count; i += 4) {
    const size_t at = 4 * size_t(i);
    Ahead(a.layer + at);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.target + at));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.layer + at));
    const __m128i u =
        a.underlay ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.underlay + at)) : single;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a.target + at), mix(d, s, u));
  }
  return i;
}

int32_t GamsSse2(const BlendRowArgs& a) {
  return UnderlayRowsSse2(a, [](__m128i d, __m128i s, __m128i u) {
    __m128i wLo, wHi;
    SpreadWeight(s, 0, wLo, wHi);
    const __m128i mixed = LerpBytes(u, d, wLo, wHi);
    const __m128i m = _mm_slli_epi32(_mm_and_si128(s, _mm_set1_epi32(0xFF)), 24);
    return _mm_or_si128(_mm_andnot_si128(AlphaMask(), mixed), m);
  });
}

int32_t SmasSse2(const BlendRowArgs& a) {
  const __m128i key = _mm_set1_epi32(int(kColourKey));
  return UnderlayRowsSse2(a, [key](__m128i d, __m128i s, __m128i u) {
    __m128i wLo, wHi;
    SpreadWeight(s, 3, wLo, wHi);
    __m128i mixed = LerpBytes(u, s, wLo, wHi);
    mixed = _mm_or_si128(_mm_andnot_si128(AlphaMask(), mixed), _mm_and_si128(AlphaMask(), s));
    const __m128i keep = _mm_cmpeq_epi32(s, key);
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, mixed));
  });
}

#endif

std::atomic<BlendForms> allowedForms{BlendForms::kWidest};

#if defined(ORBISK_BLEND_AVX2)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && allowedForms.load(std::memory_order_relaxed) == BlendForms::kWidest;
}
#else
constexpr bool HasAvx2() { return false; }
#endif

enum class VectorMode { kDisplayNorm, kGams, kSmas };

// How many pixels from the row's start the widest available form did.
int32_t VectorPrefix(VectorMode mode, const BlendRowArgs& a) {
#if defined(ORBISK_BLEND_AVX2)
  if (HasAvx2()) {
    switch (mode) {
      case VectorMode::kDisplayNorm:
        return blend::DisplayNormAvx2(a.target, a.layer, a.count);
      case VectorMode::kGams:
        return blend::GamsAvx2(a);
      case VectorMode::kSmas:
        return blend::SmasAvx2(a);
    }
  }
#endif
#if defined(__SSE2__)
  switch (mode) {
    case VectorMode::kDisplayNorm:
      return DisplayNormSse2(a.target, a.layer, a.count);
    case VectorMode::kGams:
      return GamsSse2(a);
    case VectorMode::kSmas:
      return SmasSse2(a);
  }
#endif
  (void)mode;
  (void)a;
  return 0;
}

void Dispatch(const BlendRowArgs& a, bool vectorised) {
  uint8_t* t = a.target;
  const uint8_t* l = a.layer;
  const int32_t n = a.count;
  switch (a.mode) {
    case kNorm: {
      if (a.norm == NormForm::kFlatten) return FlattenNormPlain(t, l, n);
      const int32_t done = vectorised ? VectorPrefix(VectorMode::kDisplayNorm, a) : 0;
      return DisplayNormPlain(t + 4 * size_t(done), l + 4 * size_t(done), n - done);
    }
    case kGams:
      return GamsPlain(a, vectorised ? VectorPrefix(VectorMode::kGams, a) : 0);
    case kSmas:
      return SmasPlain(a, vectorised ? VectorPrefix(VectorMode::kSmas, a) : 0);
    case kMul:
      return ChannelRow<Mul>(t, l, n);
    case kScrn:
      return ChannelRow<Screen>(t, l, n);
    case kOver:
      return ChannelRow<Overlay>(t, l, n);
    case kSoftLight:
      return ChannelRow<SoftLight, true>(t, l, n);
    case kHardLight:
      return ChannelRow<HardLight, true>(t, l, n);
    case kAdd:
      return ChannelRow<Add>(t, l, n);
    case kSub:
      return ChannelRow<Sub>(t, l, n);
    case kDiff:
      return ChannelRow<Diff>(t, l, n);
    case kDiv:
      return ChannelRow<Div>(t, l, n);
    case kExcl:
      return ChannelRow<Excl>(t, l, n);
    case kLite:
      return ChannelRow<Lite>(t, l, n);
    case kDark:
      return ChannelRow<Dark>(t, l, n);
    case kDiss:
      return DissolveRow(t, l, n, a.seed);
    case kHue:
    case kSat:
    case kLum:
    case kColr:
      return ColourRow(a.mode, t, l, n);
    default:
      return;
  }
}

}  // namespace

bool IsBlendMode(uint32_t mode) {
  switch (mode) {
    case kNorm:
    case kMul:
    case kScrn:
    case kOver:
    case kSoftLight:
    case kHardLight:
    case kAdd:
    case kSub:
    case kDiff:
    case kDiv:
    case kExcl:
    case kLite:
    case kDark:
    case kDiss:
    case kHue:
    case kSat:
    case kLum:
    case kColr:
    case kGams:
    case kSmas:
      return true;
    default:
      return false;
  }
}

void StreamRow(uint8_t* to, const uint8_t* from, size_t bytes) {
#if defined(__SSE2__)
  size_t head = (16 - (reinterpret_cast<uintptr_t>(to) & 15)) & 15;
  head = std::min(head, bytes);
  std::memcpy(to, from, head);
  size_t i = head;
  for (; i + 16 <= bytes; i += 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(to + i),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
  }
  std::memcpy(to + i, from + i, bytes - i);
#else
  std::memcpy(to, from, bytes);
#endif
}

void StreamDone() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

void BlendRow(const BlendRowArgs& args) {
  if (args.count > 0 && args.target && args.layer)
    Dispatch(args, allowedForms.load(std::memory_order_relaxed) != BlendForms::kPlain);
}

void SetBlendForms(BlendForms forms) { allowedForms.store(forms); }

void BlendRowPlain(const BlendRowArgs& args) {
  if (args.count > 0 && args.target && args.layer) Dispatch(args, false);
}

}  // namespace glib
