#include "runtime/Rotate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "formats/PixelType.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelBits.h"
#include "runtime/PixelLayout.h"
#include "runtime/ProgressBand.h"

#if defined(__SSE2__)
#include <tmmintrin.h>
#endif

namespace glib {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kColumnBand = 128;  // target columns per chunk of a quarter turn
constexpr int32_t kRowsPerChunk = 16;

// Clockwise quarter turns for a multiple of 90 degrees, else -1.
int QuarterTurns(double degrees) {
  double a = std::fmod(degrees, 360.0);
  if (a < 0) a += 360.0;
  for (int q = 0; q < 4; ++q) {
    if (a == 90.0 * q) return q;
  }
  return a == 360.0 ? 0 : -1;
}

// ---- quarter turns: exact pixel moves ----

struct Target {
  uint8_t* rows;
  uint64_t rowBytes;
  int32_t width, height;
  uint8_t* Row(int32_t y) const { return rows + uint64_t(y) * rowBytes; }
};

// A rectangle of the target: rows y0 .. y1, columns x0 .. x1.
struct Region {
  int32_t y0, y1, x0, x1;
};

// Where the pixel of target column x comes from, for a target row y: the source
// pixel of column 0 and the step between consecutive target columns.
struct Walk {
  const uint8_t* first;
  int64_t step;
  int32_t sourceX;  // the source column read, or -1 when it changes along the row
};

Walk WalkFor(const SourceRows& s, int quarter, int32_t y, uint32_t bytes) {
  int64_t rowBytes = int64_t(s.rowBytes);
  switch (quarter) {
    case 1:  // target (x, y) = source (y, h - 1 - x)
      return {s.Row(s.height - 1) + uint64_t(y) * bytes, -rowBytes, y};
    case 2:  // source (w - 1 - x, h - 1 - y)
      return {s.Row(s.height - 1 - y) + uint64_t(s.width - 1) * bytes, -int64_t(bytes), -1};
    case 3:  // source (w - 1 - y, x)
      return {s.pixels + uint64_t(s.width - 1 - y) * bytes, rowBytes, s.width - 1 - y};
    default:
      return {s.Row(y), int64_t(bytes), -1};
  }
}

template <int kBytes>
void TurnSpan(const Walk& walk, int32_t x0, int32_t x1, uint8_t* out, bool wideLoads) {
  const uint8_t* p = walk.first + walk.step * x0;
  if (kBytes != 3) {
    for (int32_t x = x0; x < x1; ++x, p += walk.step) std::memcpy(out + x * kBytes, p, kBytes);
    return;
  }
  // 3-byte pixels move as 4-byte words: the spare byte read is the next pixel's
  // (or row padding) and the spare byte written is overwritten by the next pixel,
  // except at the end of the span, which may belong to another thread.
  int32_t wideEnd = wideLoads ? x1 - 1 : x0;
  int32_t x = x0;
  for (; x < wideEnd; ++x, p += walk.step) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    std::memcpy(out + x * 3, &v, 4);
  }
  for (; x < x1; ++x, p += walk.step) std::memcpy(out + x * 3, p, 3);
}

template <int kBytes>
void TurnRegion(const SourceRows& s, int quarter, Region r, const Target& t) {
  for (int32_t y = r.y0; y < r.y1; ++y) {
    Walk walk = WalkFor(s, quarter, y, kBytes);
    if (quarter == 0) {
      std::memcpy(t.Row(y) + uint64_t(r.x0) * kBytes, walk.first + uint64_t(r.x0) * kBytes,
                  uint64_t(r.x1 - r.x0) * kBytes);
      continue;
    }
    // A 4-byte read of the last source column may run past the end of the buffer.
    bool wideLoads = quarter != 2 && walk.sourceX != s.width - 1;
    TurnSpan<kBytes>(walk, r.x0, r.x1, t.Row(y), wideLoads);
  }
}

void TurnRegionBits(const SourceRows& s, int quarter, Region r, const Target& t) {
  uint32_t bits = s.layout->bitsPerPixel;
  for (int32_t y = r.y0; y < r.y1; ++y) {
    uint8_t* out = t.Row(y);
    for (int32_t x = r.x0; x < r.x1; ++x) {
      int32_t sx = x, sy = y;
      if (quarter == 1) sx = y, sy = s.height - 1 - x;
      if (quarter == 2) sx = s.width - 1 - x, sy = s.height - 1 - y;
      if (quarter == 3) sx = s.width - 1 - y, sy = x;
      PutBits(out, bits, x, GetBits(s.Row(sy), bits, sx));
    }
  }
}

// What a vector kernel covered of a region: target rows first .. end, columns
// x0 .. columnEnd.
struct Covered {
  int32_t first, end, columnEnd;
};

#if defined(__SSE2__)

// Asks for the cache line holding `p`. Written out because a loop of nothing but
// prefetch intrinsics counts as free of effects, and the optimiser drops it.
inline void Touch(const uint8_t* p) {
#if defined(__GNUC__)
  asm volatile("prefetcht0 %0" : : "m"(*p));
#else
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
#endif
}

// Four rows of four 32-bit lanes, transposed in place: row j receives lane j of
// every row.
inline void Transpose4(__m128i& r0, __m128i& r1, __m128i& r2, __m128i& r3) {
  __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
  __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
  r0 = _mm_unpacklo_epi64(t0, t1);
  r1 = _mm_unpackhi_epi64(t0, t1);
  r2 = _mm_unpacklo_epi64(t2, t3);
  r3 = _mm_unpackhi_epi64(t2, t3);
}

inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Target rows are written 16 pixels at a time so that whole 16-byte words go out;
// for large results they bypass the cache (nothing reads them back soon). The
// source rows of the band's target columns are looked up once.
struct QuarterBlocks {
  const SourceRows& s;
  const Target& t;
  int quarter;
  bool stream;
  uint32_t bytes;
  const uint8_t* rows[kColumnBand];  // source row of target column x0 + i

  QuarterBlocks(const SourceRows& source, const Target& target, int q, bool streamed, Region r)
      : s(source), t(target), quarter(q), stream(streamed), bytes(source.layout->bitsPerPixel / 8) {
    for (int32_t i = 0; i < r.x1 - r.x0; ++i) {
      rows[i] = s.Row(quarter == 1 ? s.height - 1 - (r.x0 + i) : r.x0 + i);
    }
  }

  // Offset of the block's first source pixel for target row y (of y + 3 when
  // reversed) in every row.
  uint64_t Column(int32_t y) const { return uint64_t(quarter == 1 ? y : s.width - 4 - y) * bytes; }

  // Every 16 target rows, touches the source a little ahead in each of the band's
  // source rows: the hardware prefetchers do not follow that many streams.
  void Prefetch(const uint8_t* const* rowsOf, int32_t count, int32_t y) const {
    constexpr int32_t kAhead = 64;
    int32_t column =
        quarter == 1 ? std::min(y + kAhead, s.width - 1) : std::max(s.width - 4 - y - kAhead, 0);
    uint64_t offset = uint64_t(column) * bytes;
    for (int32_t i = 0; i < count; ++i) Touch(rowsOf[i] + offset);
  }
};

inline void Put(bool stream, uint8_t* at, __m128i v) {
  if (stream) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(at), v);
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
  }
}

// The kernels copy what they use into locals first: their vector stores may alias
// anything, which would make the compiler reload every field after each one.

// The third quarter turn walks the source columns right to left: its lanes are
// reversed.
template <bool kStream>
void TurnBlocks32(const QuarterBlocks& b, Region r) {
  const bool reverse = b.quarter == 3;
  const uint8_t* rows[kColumnBand];
  std::copy(b.rows, b.rows + (r.x1 - r.x0), rows);
  uint8_t* const target = b.t.rows + uint64_t(r.x0) * 4;
  const uint64_t rowBytes = b.t.rowBytes;
  for (int32_t y = r.y0; y < r.y1; y += 4) {
    if ((y - r.y0) % 16 == 0) b.Prefetch(rows, r.x1 - r.x0, y);
    const uint64_t column = b.Column(y);
    uint8_t* out = target + uint64_t(y) * rowBytes;
    for (int32_t x = 0; x < r.x1 - r.x0; x += 4) {
      __m128i v[4];
      for (int k = 0; k < 4; ++k) {
        v[k] = Load16(rows[x + k] + column);
        if (reverse) v[k] = _mm_shuffle_epi32(v[k], 0x1B);
      }
      Transpose4(v[0], v[1], v[2], v[3]);
      for (int j = 0; j < 4; ++j) Put(kStream, out + j * rowBytes + uint64_t(x) * 4, v[j]);
    }
  }
}

template <bool kStream>
__attribute__((target("ssse3"))) void TurnBlocks24(const QuarterBlocks& b, Region r) {
  const __m128i expand = b.quarter == 3
                             ? _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1)
                             : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const uint8_t* rows[kColumnBand];
  std::copy(b.rows, b.rows + (r.x1 - r.x0), rows);
  uint8_t* const target = b.t.rows + uint64_t(r.x0) * 3;
  const uint64_t rowBytes = b.t.rowBytes;
  for (int32_t y = r.y0; y < r.y1; y += 4) {
    if ((y - r.y0) % 16 == 0) b.Prefetch(rows, r.x1 - r.x0, y);
    const uint64_t column = b.Column(y);
    uint8_t* out = target + uint64_t(y) * rowBytes;
    for (int32_t x = 0; x < r.x1 - r.x0; x += 16) {
      // Four blocks of 12 bytes per target row are joined into three words.
      __m128i parts[4][4];
      for (int k = 0; k < 4; ++k) {
        __m128i v[4];
        for (int i = 0; i < 4; ++i) {
          v[i] = _mm_shuffle_epi8(Load16(rows[x + 4 * k + i] + column), expand);
        }
        Transpose4(v[0], v[1], v[2], v[3]);
        for (int j = 0; j < 4; ++j) parts[j][k] = _mm_shuffle_epi8(v[j], pack);
      }
      for (int j = 0; j < 4; ++j) {
        const __m128i* p = parts[j];
        uint8_t* at = out + j * rowBytes + uint64_t(x) * 3;
        Put(kStream, at, _mm_or_si128(p[0], _mm_slli_si128(p[1], 12)));
        Put(kStream, at + 16, _mm_or_si128(_mm_srli_si128(p[1], 4), _mm_slli_si128(p[2], 8)));
        Put(kStream, at + 32, _mm_or_si128(_mm_srli_si128(p[2], 8), _mm_slli_si128(p[3], 4)));
      }
    }
  }
}

// First and third quarter turns of 24- and 32-bit pixels: whole groups of four
// target rows whose source columns allow 16-byte loads, whole groups of 16 target
// columns from r.x0 (a multiple of 16).
Covered TurnBlocks(const SourceRows& s, int quarter, Region r, const Target& t) {
  uint32_t bytes = s.layout->bitsPerPixel / 8;
  Covered none{r.y0, r.y0, r.x0};
  if ((quarter != 1 && quarter != 3) || (bytes != 3 && bytes != 4)) return none;
  if (bytes == 3 && !__builtin_cpu_supports("ssse3")) return none;
  Region v = r;
  v.x1 = r.x0 + (std::min(r.x1 - r.x0, kColumnBand) & ~15);
  // A 24-bit load reads 16 bytes for a 12-byte group: keep it inside the rows.
  if (bytes == 3 && quarter == 1) v.y1 = std::min(v.y1, s.width - 6);
  if (bytes == 3 && quarter == 3) v.y0 = std::max(v.y0, 2);
  v.y1 = v.y0 + std::max(0, (v.y1 - v.y0) & ~3);
  if (v.x1 <= v.x0 || v.y1 <= v.y0) return none;
  constexpr uint64_t kStreamBytes = 8u << 20;
  bool stream = uint64_t(t.height) * t.rowBytes >= kStreamBytes && t.rowBytes % 16 == 0 &&
                reinterpret_cast<uintptr_t>(t.rows) % 16 == 0;
  QuarterBlocks blocks(s, t, quarter, stream, v);
  if (bytes == 4) {
    stream ? TurnBlocks32<true>(blocks, v) : TurnBlocks32<false>(blocks, v);
  } else {
    stream ? TurnBlocks24<true>(blocks, v) : TurnBlocks24<false>(blocks, v);
  }
  if (stream) _mm_sfence();
  return {v.y0, v.y1, v.x1};
}

#else

Covered TurnBlocks(const SourceRows&, int, Region r, const Target&) { return {r.y0, r.y0, r.x0}; }

#endif

template <int kBytes>
void TurnRegionWide(const SourceRows& s, int quarter, Region r, const Target& t) {
  Covered done = TurnBlocks(s, quarter, r, t);
  TurnRegion<kBytes>(s, quarter, {r.y0, done.first, r.x0, r.x1}, t);
  TurnRegion<kBytes>(s, quarter, {done.first, done.end, done.columnEnd, r.x1}, t);
  TurnRegion<kBytes>(s, quarter, {done.end, r.y1, r.x0, r.x1}, t);
}

void TurnQuarterRegion(const SourceRows& s, int quarter, Region r, const Target& t) {
  switch (s.layout->bitsPerPixel) {
    case 8:
      return TurnRegion<1>(s, quarter, r, t);
    case 16:
      return TurnRegion<2>(s, quarter, r, t);
    case 24:
      return TurnRegionWide<3>(s, quarter, r, t);
    case 32:
      return TurnRegionWide<4>(s, quarter, r, t);
    case 48:
      return TurnRegion<6>(s, quarter, r, t);
    case 64:
      return TurnRegion<8>(s, quarter, r, t);
    default:
      return TurnRegionBits(s, quarter, r, t);
  }
}

// ---- any other angle ----

// Source position (pixel units, pixel centres at i + 0.5) of target pixel (x, y):
// a linear function of x along each target row.
struct Mapping {
  double cosA, sinA;
  double sourceCx, sourceCy, targetCx, targetCy;

  void RowStart(int32_t y, double& sx, double& sy) const {
    double dy = y + 0.5 - targetCy, dx = 0.5 - targetCx;
    sx = sourceCx + dx * cosA + dy * sinA;
    sy = sourceCy - dx * sinA + dy * cosA;
  }
};

struct Span {
  int32_t first, end;
};

// Target columns x in [0, width) with lo <= a + b x <= hi.
Span SolveSpan(double a, double b, double lo, double hi, int32_t width) {
  if (std::fabs(b) < 1e-12) return (a >= lo && a <= hi) ? Span{0, width} : Span{0, 0};
  double t1 = (lo - a) / b, t2 = (hi - a) / b;
  if (t1 > t2) std::swap(t1, t2);
  double first = std::max(0.0, std::ceil(t1)), end = std::min(double(width), std::floor(t2) + 1);
  if (first >= end) return {0, 0};
  return {int32_t(first), int32_t(end)};
}

Span Intersect(Span a, Span b) {
  Span s{std::max(a.first, b.first), std::min(a.end, b.end)};
  return s.first < s.end ? s : Span{0, 0};
}

constexpr int kFractionBits = 24;  // fixed-point source positions
constexpr int32_t kBlock = 1024;   // positions are recomputed exactly this often

inline int64_t ToFixed(double v) { return std::llround(v * double(int64_t(1) << kFractionBits)); }

template <typename T, int C>
struct Sampler {
  const SourceRows* source;
  const T* background;  // one pixel

  const T* At(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= source->width || y >= source->height) return background;
    return reinterpret_cast<const T*>(source->Row(int32_t(y))) + x * C;
  }
};

// Bilinear blend with 8-bit fractions. Colours are weighted by alpha only where
// a tap is not opaque, which keeps opaque areas on the cheap path.
template <typename T, int C, bool kAlpha>
inline void Blend(const T* p00, const T* p01, const T* p10, const T* p11, uint32_t fx, uint32_t fy,
                  T* out) {
  using Acc = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
  constexpr T kMax = T(~T(0));
  Acc w00 = (256 - fx) * (256 - fy), w01 = fx * (256 - fy), w10 = (256 - fx) * fy, w11 = fx * fy;
  if (!kAlpha || (p00[3] & p01[3] & p10[3] & p11[3]) == kMax) {
    for (int c = 0; c < C; ++c) {
      out[c] = T((w00 * p00[c] + w01 * p01[c] + w10 * p10[c] + w11 * p11[c] + 32768) >> 16);
    }
    return;
  }
  uint64_t a00 = w00 * uint64_t(p00[3]), a01 = w01 * uint64_t(p01[3]);
  uint64_t a10 = w10 * uint64_t(p10[3]), a11 = w11 * uint64_t(p11[3]);
  uint64_t total = a00 + a01 + a10 + a11;
  out[3] = T((total + 32768) >> 16);
  for (int c = 0; c < 3; ++c) {
    uint64_t sum = a00 * p00[c] + a01 * p01[c] + a10 * p10[c] + a11 * p11[c];
    out[c] = total ? T((sum + total / 2) / total) : T(0);
  }
}

template <typename T, int C, bool kAlpha>
void BilinearRow(const Sampler<T, C>& sampler, const Mapping& map, int32_t y, int32_t width,
                 T* out) {
  const SourceRows& s = *sampler.source;
  double sx, sy;
  map.RowStart(y, sx, sy);
  // Sample positions are offset by half a pixel: taps x0 = floor(u), x0 + 1.
  double u = sx - 0.5, v = sy - 0.5, du = map.cosA, dv = -map.sinA;
  constexpr double kEps = 1e-4;
  Span touch = Intersect(SolveSpan(u, du, -1 - kEps, s.width + kEps, width),
                         SolveSpan(v, dv, -1 - kEps, s.height + kEps, width));
  Span inner = Intersect(SolveSpan(u, du, kEps, s.width - 1 - kEps, width),
                         SolveSpan(v, dv, kEps, s.height - 1 - kEps, width));
  if (inner.first >= inner.end) inner = {touch.first, touch.first};

  auto fill = [&](int32_t from, int32_t to) {
    for (int32_t x = from; x < to; ++x)
      std::memcpy(out + int64_t(x) * C, sampler.background, sizeof(T) * C);
  };
  auto border = [&](int32_t from, int32_t to) {
    for (int32_t x = from; x < to; ++x) {
      int64_t fu = ToFixed(u + x * du), fv = ToFixed(v + x * dv);
      int64_t x0 = fu >> kFractionBits, y0 = fv >> kFractionBits;
      uint32_t fx = uint32_t(fu >> (kFractionBits - 8)) & 255;
      uint32_t fy = uint32_t(fv >> (kFractionBits - 8)) & 255;
      Blend<T, C, kAlpha>(sampler.At(x0, y0), sampler.At(x0 + 1, y0), sampler.At(x0, y0 + 1),
                          sampler.At(x0 + 1, y0 + 1), fx, fy, out + int64_t(x) * C);
    }
  };
  fill(0, touch.first);
  border(touch.first, inner.first);
  int64_t stride = int64_t(s.rowBytes / sizeof(T));
  for (int32_t b0 = inner.first; b0 < inner.end; b0 += kBlock) {
    int32_t b1 = std::min(inner.end, b0 + kBlock);
    int64_t fu = ToFixed(u + b0 * du), fv = ToFixed(v + b0 * dv);
    int64_t stepU = ToFixed(du), stepV = ToFixed(dv);
    for (int32_t x = b0; x < b1; ++x, fu += stepU, fv += stepV) {
      const T* p = reinterpret_cast<const T*>(s.Row(int32_t(fv >> kFractionBits))) +
                   (fu >> kFractionBits) * C;
      uint32_t fx = uint32_t(fu >> (kFractionBits - 8)) & 255;
      uint32_t fy = uint32_t(fv >> (kFractionBits - 8)) & 255;
      Blend<T, C, kAlpha>(p, p + C, p + stride, p + stride + C, fx, fy, out + int64_t(x) * C);
    }
  }
  border(inner.end, touch.end);
  fill(touch.end, width);
}

void NearestRow(const SourceRows& s, const Mapping& map, int32_t y, const uint8_t* background,
                int32_t width, uint8_t* out) {
  uint32_t bits = s.layout->bitsPerPixel, bytes = bits / 8;
  double sx, sy;
  map.RowStart(y, sx, sy);
  for (int32_t b0 = 0; b0 < width; b0 += kBlock) {
    int32_t b1 = std::min(width, b0 + kBlock);
    int64_t fu = ToFixed(sx + b0 * map.cosA), fv = ToFixed(sy - b0 * map.sinA);
    int64_t stepU = ToFixed(map.cosA), stepV = ToFixed(-map.sinA);
    for (int32_t x = b0; x < b1; ++x, fu += stepU, fv += stepV) {
      int64_t px = fu >> kFractionBits, py = fv >> kFractionBits;
      bool inside = px >= 0 && py >= 0 && px < s.width && py < s.height;
      if (bits % 8 == 0) {
        const uint8_t* from = inside ? s.Row(int32_t(py)) + px * bytes : background;
        std::memcpy(out + int64_t(x) * bytes, from, bytes);
      } else {
        PutBits(out, bits, x,
                inside ? GetBits(s.Row(int32_t(py)), bits, px) : GetBits(background, bits, 0));
      }
    }
  }
}

// The background in the layout of `type`, through the converter (indexed types
// take the nearest entry of `palette`).
bool EncodeBackground(uint64_t background, uint32_t type, const CoreBitmap& paletteOwner,
                      uint8_t* out) {
  uint16_t pixel[4] = {uint16_t(background >> 32), uint16_t(background >> 16), uint16_t(background),
                       uint16_t(background >> 48)};
  CoreBitmap one;
  one.pixels = reinterpret_cast<uint8_t*>(pixel);
  one.width = one.height = 1;
  one.pixelType = kPixelRGBA64;
  one.stride = kStridePacked;
  std::memcpy(one.palette, paletteOwner.palette, sizeof one.palette);
  one.paletteSize = paletteOwner.paletteSize;
  LineConverter converter;
  return converter.Set(one, type) == RCOK && converter.GetScanline(0, out);
}

}  // namespace

Rotate::Rotate(bool interpolate, ProgressCallback progress, uintptr_t context, const char* text)
    : interpolate_(interpolate),
      progress_(progress),
      context_(context),
      text_(text ? text : "rotate...") {}

void Rotate::ResultSize(int32_t width, int32_t height, double degrees, int32_t& resultWidth,
                        int32_t& resultHeight) {
  int quarter = QuarterTurns(degrees);
  if (quarter >= 0) {
    resultWidth = quarter & 1 ? height : width;
    resultHeight = quarter & 1 ? width : height;
    return;
  }
  double r = std::fmod(degrees, 360.0) * kPi / 180;
  double c = std::fabs(std::cos(r)), s = std::fabs(std::sin(r));
  auto size = [](double v) {
    return int32_t(std::clamp(std::ceil(v - 1e-6), 1.0, double(INT32_MAX)));
  };
  resultWidth = size(width * c + height * s);
  resultHeight = size(width * s + height * c);
}

ERetcode Rotate::Execute(const CoreBitmap& bitmap, CoreBitmap& dest, double degrees,
                         uint64_t background) {
  SourceRows source;
  ERetcode code = ReadSourceRows(bitmap, source);
  if (code != RCOK) return code;
  if (!std::isfinite(degrees) || &dest == &bitmap || dest.pixels == bitmap.pixels) return BADA;
  int quarter = QuarterTurns(degrees);
  bool filter = interpolate_ && quarter < 0;
  uint32_t type = filter ? FilteredPixelType(*source.layout, bitmap) : bitmap.pixelType;
  int32_t rule = bitmap.stride == kStridePacked ? kStridePacked : kStridePadded;
  int32_t width, height;
  ResultSize(source.width, source.height, degrees, width, height);

  try {
    // Filtering reads the source at random: other types are converted first.
    PageRows converted;
    if (filter && type != bitmap.pixelType) {
      uint64_t rowBytes = 0;
      converted = AllocateRows(source.width, source.height, type, kStridePacked, &rowBytes);
      LineConverter converter;
      if (!converted || (code = converter.Set(bitmap, type)) != RCOK)
        return converted ? code : OMEM;
      for (int32_t y = 0; y < source.height; ++y) {
        converter.GetScanline(y, converted.get() + uint64_t(y) * rowBytes);
      }
      source = {converted.get(), source.width, source.height, rowBytes, FindPixelLayout(type)};
    }

    bool reuse = dest.pixels && dest.width == width && dest.height == height &&
                 dest.pixelType == type && dest.stride == rule;
    uint64_t rowBytes = RowBytes(width, BitsPerPixel(type), rule);
    PageRows fresh;
    if (!reuse) {
      fresh = AllocateRows(width, height, type, rule, &rowBytes);
      if (!fresh) return OMEM;
    }
    Target target{reuse ? dest.pixels : fresh.get(), rowBytes, width, height};

    uint8_t backgroundPixel[8] = {};
    if (quarter < 0 && !EncodeBackground(background, type, bitmap, backgroundPixel)) return UNSF;
    double r = degrees * kPi / 180;
    Mapping map{std::cos(r),         std::sin(r), source.width / 2.0,
                source.height / 2.0, width / 2.0, height / 2.0};
    const PixelLayout& layout = *source.layout;
    auto body = [&](int32_t first, int32_t end, int) {
      if (quarter >= 0) return TurnQuarterRegion(source, quarter, {first, end, 0, width}, target);
      for (int32_t y = first; y < end; ++y) {
        uint8_t* out = target.Row(y);
        if (!filter) {
          NearestRow(source, map, y, backgroundPixel, width, out);
        } else if (layout.kind == PixelKind::kSamples8) {
          const uint8_t* bg = backgroundPixel;
          switch (layout.channels) {
            case 1:
              BilinearRow<uint8_t, 1, false>({&source, bg}, map, y, width, out);
              break;
            case 3:
              BilinearRow<uint8_t, 3, false>({&source, bg}, map, y, width, out);
              break;
            default:
              layout.alpha ? BilinearRow<uint8_t, 4, true>({&source, bg}, map, y, width, out)
                           : BilinearRow<uint8_t, 4, false>({&source, bg}, map, y, width, out);
          }
        } else {
          auto* bg = reinterpret_cast<const uint16_t*>(backgroundPixel);
          auto* row = reinterpret_cast<uint16_t*>(out);
          switch (layout.channels) {
            case 1:
              BilinearRow<uint16_t, 1, false>({&source, bg}, map, y, width, row);
              break;
            case 3:
              BilinearRow<uint16_t, 3, false>({&source, bg}, map, y, width, row);
              break;
            default:
              BilinearRow<uint16_t, 4, true>({&source, bg}, map, y, width, row);
          }
        }
      }
    };
    // Odd quarter turns go in bands of target columns, which are bands of source
    // rows read in order; their progress counts the source rows.
    auto columns = [&](int32_t first, int32_t end, int) {
      TurnQuarterRegion(source, quarter, {0, height, first, end}, target);
    };
    bool byColumns = quarter == 1 || quarter == 3;
    ProgressBand band(progress_, context_, byColumns ? source.width : width,
                      byColumns ? source.height : height, text_);
    uint64_t work = uint64_t(width) * uint64_t(height) * (filter ? 8 : 1);
    bool finished = byColumns ? RunRowChunks(width, kColumnBand, WorkersFor(work), &band, columns)
                              : RunRowChunks(height, kRowsPerChunk, WorkersFor(work), &band, body);
    if (!finished) return USRA;

    if (!reuse) AdoptRows(dest, std::move(fresh), width, height, type, rule);
    if (type == bitmap.pixelType) {
      std::memcpy(dest.palette, bitmap.palette, sizeof dest.palette);
      dest.paletteSize = bitmap.paletteSize;
    }
    return RCOK;
  } catch (const std::bad_alloc&) {
    return OMEM;
  }
}

}  // namespace glib
