#include "runtime/LineConverter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "formats/PixelType.h"
#include "runtime/PixelBits.h"

#if defined(__SSE2__)
#include <tmmintrin.h>
#endif

namespace glib {
namespace {

// ---- small helpers ----

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

inline uint16_t Widen8(uint32_t v) { return uint16_t(v * 257); }
// Rounds a 16-bit sample to 8 bits: v * 255 / 65535, to nearest.
inline uint8_t Narrow16(uint32_t v) { return uint8_t((v * 255 + 32895) >> 16); }
inline uint8_t Clamp8(int v) { return uint8_t(std::clamp(v, 0, 255)); }
inline uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }
inline uint32_t Reduce8(uint32_t v8, uint32_t maxValue) { return (v8 * maxValue + 127) / 255; }

// 16-bit luminance from 16-bit red, green, blue (weights 0.299, 0.587, 0.114).
inline uint16_t Luma16(uint32_t r, uint32_t g, uint32_t b) {
  return uint16_t((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
}

inline uint32_t IndexAt(const uint8_t* row, PixelKind kind, int32_t x) {
  if (kind == PixelKind::kIndex8) return row[x];
  return GetBits(row, kind == PixelKind::kIndex1 ? 1 : 4, x);
}

// ---- decoding any layout to 16-bit blue, green, red, alpha ----

void DecodeSamples8(const PixelLayout& in, const uint8_t* src, int32_t count, uint16_t* out) {
  int n = in.bitsPerPixel / 8;
  for (int32_t i = 0; i < count; ++i, src += n, out += 4) {
    uint32_t b, g, r, a = 255;
    switch (in.space) {
      case ColourSpace::kGrey:
        b = g = r = src[0];
        break;
      case ColourSpace::kCmyk: {
        uint32_t k = 255 - src[3];
        r = (255 - src[0]) * k / 255;
        g = (255 - src[1]) * k / 255;
        b = (255 - src[2]) * k / 255;
        break;
      }
      case ColourSpace::kYCbCr: {
        int y = src[0], cb = src[1] - 128, cr = src[2] - 128;
        r = Clamp8(y + ((91881 * cr + 32768) >> 16));
        g = Clamp8(y - ((22554 * cb + 46802 * cr + 32768) >> 16));
        b = Clamp8(y + ((116130 * cb + 32768) >> 16));
        break;
      }
      default:
        b = src[0], g = src[1], r = src[2];
        if (in.alpha) a = src[3];
        break;
    }
    out[0] = Widen8(b), out[1] = Widen8(g), out[2] = Widen8(r), out[3] = Widen8(a);
  }
}

void DecodeRow(const PixelLayout& in, const uint8_t* row, int32_t x, int32_t count,
               const uint32_t* palette, uint16_t* out) {
  switch (in.kind) {
    case PixelKind::kIndex1:
    case PixelKind::kIndex4:
    case PixelKind::kIndex8:
      for (int32_t i = 0; i < count; ++i, out += 4) {
        uint32_t c = palette[IndexAt(row, in.kind, x + i)];
        out[0] = Widen8(c & 255), out[1] = Widen8((c >> 8) & 255);
        out[2] = Widen8((c >> 16) & 255), out[3] = Widen8(c >> 24);
      }
      return;
    case PixelKind::kGray12:
      for (int32_t i = 0; i < count; ++i, out += 4) {
        uint32_t v = GetBits(row, 12, x + i);
        out[0] = out[1] = out[2] = uint16_t((v << 4) | (v >> 8));
        out[3] = 65535;
      }
      return;
    case PixelKind::kRgb565:
    case PixelKind::kRgb555:
    case PixelKind::kArgb1555:
    case PixelKind::kArgb4444:
      for (int32_t i = 0; i < count; ++i, out += 4) {
        uint32_t v = Load16(row + 2 * (x + i)), b, g, r, a = 255;
        if (in.kind == PixelKind::kRgb565) {
          r = Expand5(v >> 11), g = Expand6((v >> 5) & 63), b = Expand5(v & 31);
        } else if (in.kind == PixelKind::kArgb4444) {
          a = (v >> 12) * 17, r = ((v >> 8) & 15) * 17, g = ((v >> 4) & 15) * 17, b = (v & 15) * 17;
        } else {
          r = Expand5((v >> 10) & 31), g = Expand5((v >> 5) & 31), b = Expand5(v & 31);
          if (in.kind == PixelKind::kArgb1555) a = (v >> 15) ? 255 : 0;
        }
        out[0] = Widen8(b), out[1] = Widen8(g), out[2] = Widen8(r), out[3] = Widen8(a);
      }
      return;
    case PixelKind::kSamples8:
      DecodeSamples8(in, row + uint64_t(x) * (in.bitsPerPixel / 8), count, out);
      return;
    case PixelKind::kSamples16: {
      const uint8_t* p = row + uint64_t(x) * (in.bitsPerPixel / 8);
      for (int32_t i = 0; i < count; ++i, out += 4) {
        if (in.channels == 1) {
          out[0] = out[1] = out[2] = Load16(p), out[3] = 65535, p += 2;
        } else {
          out[0] = Load16(p), out[1] = Load16(p + 2), out[2] = Load16(p + 4);
          out[3] = in.alpha ? Load16(p + 6) : 65535;
          p += in.alpha ? 8 : 6;
        }
      }
      return;
    }
  }
}

// ---- encoding 16-bit blue, green, red, alpha to any layout ----

// Nearest palette entry by squared distance over blue, green and red; remembers
// the last colour since rows repeat colours.
class PaletteMatcher {
 public:
  PaletteMatcher(const uint32_t* palette, int entries) : palette_(palette), entries_(entries) {}
  uint32_t Match(uint32_t b, uint32_t g, uint32_t r) {
    uint32_t key = b | (g << 8) | (r << 16);
    if (key == lastKey_) return lastIndex_;
    uint32_t best = 0, bestDistance = UINT32_MAX;
    for (int i = 0; i < entries_; ++i) {
      uint32_t c = palette_[i];
      int db = int(c & 255) - int(b), dg = int((c >> 8) & 255) - int(g);
      int dr = int((c >> 16) & 255) - int(r);
      uint32_t d = uint32_t(db * db + dg * dg + dr * dr);
      if (d < bestDistance) bestDistance = d, best = uint32_t(i);
    }
    lastKey_ = key, lastIndex_ = best;
    return best;
  }

 private:
  const uint32_t* palette_;
  int entries_;
  uint32_t lastKey_ = UINT32_MAX;
  uint32_t lastIndex_ = 0;
};

inline void PutIndex(uint8_t* out, PixelKind kind, int32_t i, uint32_t index) {
  if (kind == PixelKind::kIndex8) {
    out[i] = uint8_t(index);
  } else {
    PutBits(out, kind == PixelKind::kIndex1 ? 1 : 4, i, index);
  }
}

void EncodeSamples8(const PixelLayout& to, const uint16_t* in, int32_t count, uint8_t* out) {
  int n = to.bitsPerPixel / 8;
  for (int32_t i = 0; i < count; ++i, in += 4, out += n) {
    uint32_t b = Narrow16(in[0]), g = Narrow16(in[1]), r = Narrow16(in[2]);
    switch (to.space) {
      case ColourSpace::kGrey:
        out[0] = Narrow16(Luma16(in[2], in[1], in[0]));
        break;
      case ColourSpace::kCmyk: {
        // Plain (not inverted) inks: 0 is none; black takes what all three share.
        uint32_t rest = std::max({r, g, b});
        out[0] = uint8_t(rest ? (rest - r) * 255 / rest : 0);
        out[1] = uint8_t(rest ? (rest - g) * 255 / rest : 0);
        out[2] = uint8_t(rest ? (rest - b) * 255 / rest : 0);
        out[3] = uint8_t(255 - rest);
        break;
      }
      case ColourSpace::kYCbCr: {
        int ir = int(r), ig = int(g), ib = int(b);
        out[0] = Clamp8((19595 * ir + 38470 * ig + 7471 * ib + 32768) >> 16);
        out[1] = Clamp8(((-11059 * ir - 21709 * ig + 32768 * ib + 32768) >> 16) + 128);
        out[2] = Clamp8(((32768 * ir - 27439 * ig - 5329 * ib + 32768) >> 16) + 128);
        break;
      }
      default:
        out[0] = uint8_t(b), out[1] = uint8_t(g), out[2] = uint8_t(r);
        if (to.alpha) out[3] = Narrow16(in[3]);
        break;
    }
  }
}

void EncodeRow(const PixelLayout& to, const uint16_t* in, int32_t count, uint8_t* out,
               PaletteMatcher& matcher) {
  switch (to.kind) {
    case PixelKind::kIndex1:
    case PixelKind::kIndex4:
    case PixelKind::kIndex8:
      for (int32_t i = 0; i < count; ++i, in += 4) {
        PutIndex(out, to.kind, i, matcher.Match(Narrow16(in[0]), Narrow16(in[1]), Narrow16(in[2])));
      }
      return;
    case PixelKind::kGray12:
      for (int32_t i = 0; i < count; ++i, in += 4)
        PutBits(out, 12, i, Luma16(in[2], in[1], in[0]) >> 4);
      return;
    case PixelKind::kRgb565:
    case PixelKind::kRgb555:
    case PixelKind::kArgb1555:
    case PixelKind::kArgb4444:
      for (int32_t i = 0; i < count; ++i, in += 4) {
        uint32_t b = Narrow16(in[0]), g = Narrow16(in[1]), r = Narrow16(in[2]);
        uint32_t a = Narrow16(in[3]), v;
        if (to.kind == PixelKind::kRgb565) {
          v = (Reduce8(r, 31) << 11) | (Reduce8(g, 63) << 5) | Reduce8(b, 31);
        } else if (to.kind == PixelKind::kArgb4444) {
          v = (Reduce8(a, 15) << 12) | (Reduce8(r, 15) << 8) | (Reduce8(g, 15) << 4) |
              Reduce8(b, 15);
        } else {
          v = (Reduce8(r, 31) << 10) | (Reduce8(g, 31) << 5) | Reduce8(b, 31);
          if (to.kind == PixelKind::kArgb1555 && a >= 128) v |= 0x8000;
        }
        Store16(out + 2 * i, uint16_t(v));
      }
      return;
    case PixelKind::kSamples8:
      EncodeSamples8(to, in, count, out);
      return;
    case PixelKind::kSamples16:
      for (int32_t i = 0; i < count; ++i, in += 4) {
        if (to.channels == 1) {
          Store16(out, Luma16(in[2], in[1], in[0])), out += 2;
        } else {
          Store16(out, in[0]), Store16(out + 2, in[1]), Store16(out + 4, in[2]);
          if (to.alpha) Store16(out + 6, in[3]);
          out += to.alpha ? 8 : 6;
        }
      }
      return;
  }
}

// ---- direct paths for the pairs on hot paths ----

#if defined(__SSE2__)

// Sixteen pixels at a time: 48 bytes spread over four words, or four words packed
// into three.
__attribute__((target("ssse3"))) int32_t Bgr24ToBgra32Blocks(const uint8_t* src, int32_t count,
                                                             uint8_t* dst) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(int32_t(0xFF000000u));
  int32_t i = 0;
  for (; i + 16 <= count; i += 16, src += 48, dst += 64) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    __m128i words[4] = {a, _mm_alignr_epi8(b, a, 12), _mm_alignr_epi8(c, b, 8),
                        _mm_srli_si128(c, 4)};
    for (int k = 0; k < 4; ++k) {
      __m128i v = _mm_or_si128(_mm_shuffle_epi8(words[k], spread), alpha);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * k), v);
    }
  }
  return i;
}

__attribute__((target("ssse3"))) int32_t Bgra32ToBgr24Blocks(const uint8_t* src, int32_t count,
                                                             uint8_t* dst) {
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int32_t i = 0;
  for (; i + 16 <= count; i += 16, src += 64, dst += 48) {
    __m128i p[4];
    for (int k = 0; k < 4; ++k) {
      p[k] =
          _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * k)), pack);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(p[0], _mm_slli_si128(p[1], 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16),
                     _mm_or_si128(_mm_srli_si128(p[1], 4), _mm_slli_si128(p[2], 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32),
                     _mm_or_si128(_mm_srli_si128(p[2], 8), _mm_slli_si128(p[3], 4)));
  }
  return i;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#else

int32_t Bgr24ToBgra32Blocks(const uint8_t*, int32_t, uint8_t*) { return 0; }
int32_t Bgra32ToBgr24Blocks(const uint8_t*, int32_t, uint8_t*) { return 0; }
bool HasSsse3() { return false; }

#endif

void Bgr24ToBgra32(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst, const uint32_t*) {
  src += uint64_t(x) * 3;
  int32_t i = HasSsse3() ? Bgr24ToBgra32Blocks(src, count, dst) : 0;
  // A 4-byte load reads one byte past the pixel: safe for all but the last pixel.
  for (; i + 1 < count; ++i) Store32(dst + 4 * i, Load32(src + 3 * i) | 0xFF000000u);
  if (i < count) {
    const uint8_t* p = src + 3 * i;
    Store32(dst + 4 * i, p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16) | 0xFF000000u);
  }
}

void Bgra32ToBgr24(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst, const uint32_t*) {
  src += uint64_t(x) * 4;
  int32_t i = HasSsse3() ? Bgra32ToBgr24Blocks(src, count, dst) : 0;
  // Each 4-byte store spills one byte that the next pixel overwrites.
  for (; i + 1 < count; ++i) Store32(dst + 3 * i, Load32(src + 4 * i));
  if (i < count) std::memcpy(dst + 3 * i, src + 4 * i, 3);
}

template <int kBytes>
void IndexedToTrueColour(const uint8_t* src, PixelKind kind, int32_t x, int32_t count, uint8_t* dst,
                         const uint32_t* palette) {
  for (int32_t i = 0; i < count; ++i) {
    uint32_t c = palette[IndexAt(src, kind, x + i)];
    if (kBytes == 4) {
      Store32(dst + 4 * i, c);
    } else {
      dst[3 * i] = uint8_t(c), dst[3 * i + 1] = uint8_t(c >> 8), dst[3 * i + 2] = uint8_t(c >> 16);
    }
  }
}

template <PixelKind kKind, int kBytes>
void IndexedDirect(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst,
                   const uint32_t* palette) {
  IndexedToTrueColour<kBytes>(src, kKind, x, count, dst, palette);
}

template <int kChannels>
void Samples8To16(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst, const uint32_t*) {
  src += uint64_t(x) * kChannels;
  for (int32_t i = 0; i < count * kChannels; ++i) Store16(dst + 2 * i, Widen8(src[i]));
}

template <int kChannels>
void Samples16To8(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst, const uint32_t*) {
  src += uint64_t(x) * kChannels * 2;
  for (int32_t i = 0; i < count * kChannels; ++i) dst[i] = Narrow16(Load16(src + 2 * i));
}

template <int kBytesPerPixel>
void CopyPixels(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst, const uint32_t*) {
  std::memcpy(dst, src + uint64_t(x) * kBytesPerPixel, uint64_t(count) * kBytesPerPixel);
}

struct DirectPath {
  uint32_t from, to;
  void (*fn)(const uint8_t*, int32_t, int32_t, uint8_t*, const uint32_t*);
};

constexpr DirectPath kDirectPaths[] = {
    {kPixelRGB24, kPixelRGBA32, Bgr24ToBgra32},
    {kPixelRGBA32, kPixelRGB24, Bgra32ToBgr24},
    {kPixelIndexed8, kPixelRGBA32, IndexedDirect<PixelKind::kIndex8, 4>},
    {kPixelIndexed8, kPixelRGB24, IndexedDirect<PixelKind::kIndex8, 3>},
    {kPixelIndexed4, kPixelRGBA32, IndexedDirect<PixelKind::kIndex4, 4>},
    {kPixelIndexed4, kPixelRGB24, IndexedDirect<PixelKind::kIndex4, 3>},
    {kPixelIndexed1, kPixelRGBA32, IndexedDirect<PixelKind::kIndex1, 4>},
    {kPixelIndexed1, kPixelRGB24, IndexedDirect<PixelKind::kIndex1, 3>},
    {kPixelBW1, kPixelRGBA32, IndexedDirect<PixelKind::kIndex1, 4>},
    {kPixelBW1, kPixelRGB24, IndexedDirect<PixelKind::kIndex1, 3>},
    {kPixelRGB24, kPixelRGB48, Samples8To16<3>},
    {kPixelRGBA32, kPixelRGBA64, Samples8To16<4>},
    {kPixelRGB48, kPixelRGB24, Samples16To8<3>},
    {kPixelRGBA64, kPixelRGBA32, Samples16To8<4>},
    {kPixelGray8, kPixelGray8, CopyPixels<1>},
    {kPixelIndexed8, kPixelIndexed8, CopyPixels<1>},
    {kPixelGray16, kPixelGray16, CopyPixels<2>},
    {kPixelRGB565, kPixelRGB565, CopyPixels<2>},
    {kPixelRGB5551, kPixelRGB5551, CopyPixels<2>},
    {kPixelRGBA5551, kPixelRGBA5551, CopyPixels<2>},
    {kPixelRGBA4444, kPixelRGBA4444, CopyPixels<2>},
    {kPixelRGB24, kPixelRGB24, CopyPixels<3>},
    {kPixelModel6x8, kPixelModel6x8, CopyPixels<3>},
    {kPixelRGBA32, kPixelRGBA32, CopyPixels<4>},
    {kPixelModel5x8, kPixelModel5x8, CopyPixels<4>},
    {kPixelRGB48, kPixelRGB48, CopyPixels<6>},
    {kPixelRGBA64, kPixelRGBA64, CopyPixels<8>},
};

bool IsIndexKind(PixelKind kind) {
  return kind == PixelKind::kIndex1 || kind == PixelKind::kIndex4 || kind == PixelKind::kIndex8;
}

}  // namespace

LineConverter::LineConverter() = default;
LineConverter::~LineConverter() = default;

ERetcode LineConverter::Set(const CoreBitmap& bitmap, uint32_t targetType) {
  target_ = nullptr;
  SourceRows rows;
  ERetcode code = ReadSourceRows(bitmap, rows);
  if (code != RCOK) return code;
  const PixelLayout* target = FindPixelLayout(targetType);
  if (!target) return UNSF;
  targetRowBytes_ = RowBytes(rows.width, target->bitsPerPixel, kStridePacked);
  if (targetRowBytes_ == 0) return BADA;
  direct_ = nullptr;
  for (const DirectPath& path : kDirectPaths) {
    if (path.from == bitmap.pixelType && path.to == targetType) direct_ = path.fn;
  }
  if (!direct_) {
    wide_.reset(new (std::nothrow) uint16_t[uint64_t(rows.width) * 4]);
    indices_.reset(new (std::nothrow) uint8_t[uint64_t(rows.width)]);
    if (!wide_ || !indices_) return OMEM;
  }
  CopyPaletteWithAlpha(bitmap.palette, 256, palette_);
  paletteEntries_ = PaletteEntries(*target, bitmap.paletteSize);
  source_ = rows;
  target_ = target;
  return RCOK;
}

bool LineConverter::GetScanline(int32_t row, uint8_t* buffer) {
  return target_ && GetPixels(row, 0, source_.width, buffer);
}

bool LineConverter::GetPixels(int32_t row, int32_t x, int32_t count, uint8_t* buffer) {
  if (!target_ || !buffer || row < 0 || row >= source_.height || x < 0 || count < 0 ||
      count > source_.width - x) {
    return false;
  }
  const uint8_t* src = source_.Row(row);
  if (direct_) {
    direct_(src, x, count, buffer, palette_);
    return true;
  }
  const PixelLayout& from = *source_.layout;
  PaletteMatcher matcher(palette_, paletteEntries_);
  if (IsIndexKind(from.kind) && IsIndexKind(target_->kind)) {
    // Indices stay as they are where the target can hold them.
    uint32_t limit = uint32_t(paletteEntries_);
    for (int32_t i = 0; i < count; ++i) {
      uint32_t index = IndexAt(src, from.kind, x + i);
      if (index >= limit) {
        uint32_t c = palette_[index];
        index = matcher.Match(c & 255, (c >> 8) & 255, (c >> 16) & 255);
      }
      PutIndex(buffer, target_->kind, i, index);
    }
    return true;
  }
  DecodeRow(from, src, x, count, palette_, wide_.get());
  EncodeRow(*target_, wide_.get(), count, buffer, matcher);
  return true;
}

}  // namespace glib
