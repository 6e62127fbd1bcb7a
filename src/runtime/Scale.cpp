#include "runtime/Scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "formats/PixelType.h"
#include "platform/PageAlloc.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelBits.h"
#include "runtime/Premultiply.h"
#include "runtime/ProgressBand.h"
#include "runtime/ResamplePasses.h"
#include "runtime/ResampleWeights.h"

namespace glib {
namespace {

using resample::Weights;

struct Rect {
  int32_t x, y, width, height;
};

ERetcode ResolveRect(const SourceRows& source, const ScaleRect* requested, Rect& rect) {
  if (!requested) {
    rect = {0, 0, source.width, source.height};
    return RCOK;
  }
  const ScaleRect& r = *requested;
  if (r.x < 0 || r.y < 0 || r.x >= source.width || r.y >= source.height) return BADA;
  int32_t width = r.width < 1 ? source.width - r.x : r.width;
  int32_t height = r.height < 1 ? source.height - r.y : r.height;
  if (width > source.width - r.x || height > source.height - r.y) return BADA;
  rect = {r.x, r.y, width, height};
  return RCOK;
}

// ---- nearest ----

// Input index under the centre of each output pixel.
std::vector<int32_t> NearestMap(int32_t from, int32_t count, int32_t outCount) {
  std::vector<int32_t> map(static_cast<size_t>(outCount));
  for (int32_t i = 0; i < outCount; ++i) {
    int64_t at = (int64_t(2 * int64_t(i) + 1) * count) / (2 * int64_t(outCount));
    map[size_t(i)] = from + int32_t(std::min<int64_t>(at, count - 1));
  }
  return map;
}

void NearestRowBits(const uint8_t* src, const int32_t* xs, int32_t count, uint8_t* dst,
                    uint32_t bits) {
  if (bits == 12) {
    for (int32_t i = 0; i + 1 < count; i += 2) {
      uint32_t a = GetBits(src, 12, xs[i]), b = GetBits(src, 12, xs[i + 1]);
      uint8_t* p = dst + (i >> 1) * 3;
      p[0] = uint8_t(a >> 4), p[1] = uint8_t((a << 4) | (b >> 8)), p[2] = uint8_t(b);
    }
    if (count & 1) {
      uint32_t a = GetBits(src, 12, xs[count - 1]);
      uint8_t* p = dst + ((count - 1) >> 1) * 3;
      p[0] = uint8_t(a >> 4), p[1] = uint8_t(a << 4);
    }
    return;
  }
  // Whole bytes are assembled so that the caller's buffer need not be cleared.
  int perByte = 8 / int(bits);
  for (int32_t i = 0; i < count; i += perByte) {
    uint32_t byte = 0;
    for (int k = 0; k < perByte; ++k) {
      uint32_t v = i + k < count ? GetBits(src, bits, xs[i + k]) : 0;
      byte |= v << (8 - bits * uint32_t(k + 1));
    }
    dst[i / perByte] = uint8_t(byte);
  }
}

template <int kBytes>
void NearestRowBytes(const uint8_t* src, const int32_t* xs, int32_t count, uint8_t* dst) {
  for (int32_t i = 0; i < count; ++i) {
    std::memcpy(dst + int64_t(i) * kBytes, src + int64_t(xs[i]) * kBytes, kBytes);
  }
}

void NearestRow(const uint8_t* src, const int32_t* xs, int32_t count, uint8_t* dst, uint32_t bits) {
  switch (bits) {
    case 8:
      return NearestRowBytes<1>(src, xs, count, dst);
    case 16:
      return NearestRowBytes<2>(src, xs, count, dst);
    case 24:
      return NearestRowBytes<3>(src, xs, count, dst);
    case 32:
      return NearestRowBytes<4>(src, xs, count, dst);
    case 48:
      return NearestRowBytes<6>(src, xs, count, dst);
    case 64:
      return NearestRowBytes<8>(src, xs, count, dst);
    default:
      return NearestRowBits(src, xs, count, dst, bits);
  }
}

// ---- filtering ----

struct FilterPlan {
  SourceRows source;
  Rect rect;
  const PixelLayout* work = nullptr;  // the working (and result) layout
  int channels = 0;
  bool wide = false;     // 16-bit samples
  bool convert = false;  // source rows pass through a LineConverter first
  bool premultiply = false;
  bool fixed = false;  // 8-bit fixed-point passes
  Weights wx, wy;
  uint64_t workRowBytes = 0;  // the rectangle's width in working pixels
  int32_t cacheRows = 0;      // 0 when source rows are used in place
};

template <typename T>
bool RowIsOpaque(const uint8_t* row, int32_t width) {
  const T* p = reinterpret_cast<const T*>(row);
  T all = T(~T(0));
  for (int32_t i = 0; i < width; ++i) all &= p[4 * i + 3];
  return all == T(~T(0));
}

// Source rows of the rectangle in the working layout, per worker. Converted or
// premultiplied rows are kept in a small ring: neighbouring output rows share
// most of their source rows.
class RowSource {
 public:
  ERetcode Init(const FilterPlan& plan, const CoreBitmap& bitmap) {
    plan_ = &plan;
    if (plan.cacheRows == 0) return RCOK;
    if (plan.convert) {
      ERetcode code = converter_.Set(bitmap, plan.work->type);
      if (code != RCOK) return code;
    }
    buffer_.reset(new (std::nothrow) uint8_t[plan.workRowBytes * uint64_t(plan.cacheRows)]);
    if (!buffer_) return OMEM;
    slotRow_.assign(size_t(plan.cacheRows), -1);
    slotData_.assign(size_t(plan.cacheRows), nullptr);
    return RCOK;
  }

  const uint8_t* Get(int32_t j) {
    const FilterPlan& plan = *plan_;
    const uint8_t* direct = nullptr;
    if (!plan.convert) {
      direct = plan.source.Row(plan.rect.y + j) +
               uint64_t(plan.rect.x) * (plan.source.layout->bitsPerPixel / 8);
      if (!plan.premultiply) return direct;
    }
    size_t slot = size_t(j % plan.cacheRows);
    if (slotRow_[slot] == j) return slotData_[slot];
    uint8_t* buffer = buffer_.get() + slot * plan.workRowBytes;
    const uint8_t* row = direct;
    if (plan.convert) {
      converter_.GetPixels(plan.rect.y + j, plan.rect.x, plan.rect.width, buffer);
      row = buffer;
    }
    if (plan.premultiply) {
      bool opaque = plan.wide ? RowIsOpaque<uint16_t>(row, plan.rect.width)
                              : RowIsOpaque<uint8_t>(row, plan.rect.width);
      if (!opaque) {
        plan.wide ? Premultiply<uint16_t>(row, plan.rect.width, buffer)
                  : Premultiply<uint8_t>(row, plan.rect.width, buffer);
        row = buffer;
      }
    }
    slotRow_[slot] = j;
    slotData_[slot] = row;
    return row;
  }

 private:
  const FilterPlan* plan_ = nullptr;
  LineConverter converter_;
  std::unique_ptr<uint8_t[]> buffer_;
  std::vector<int32_t> slotRow_;
  std::vector<const uint8_t*> slotData_;
};

class FilterWorker {
 public:
  ERetcode Init(const FilterPlan& plan, const CoreBitmap& bitmap) {
    plan_ = &plan;
    ERetcode code = rows_.Init(plan, bitmap);
    if (code != RCOK) return code;
    // Spare pixel and samples after the row for the horizontal pass's wide reads.
    uint64_t samples = (uint64_t(plan.rect.width) + 2) * uint64_t(plan.channels) + 8;
    if (plan.fixed) {
      acc_.reset(new (std::nothrow) int32_t[samples]);
      mid_.reset(new (std::nothrow) int16_t[samples]());
      if (!acc_ || !mid_) return OMEM;
    } else {
      midFloat_.reset(new (std::nothrow) float[samples]());
      if (!midFloat_) return OMEM;
    }
    int32_t taps = plan.wy.identity ? 1 : plan.wy.taps;
    pointers_.assign(size_t(taps), nullptr);
    return RCOK;
  }

  void Row(int32_t y, uint8_t* out) {
    const FilterPlan& plan = *plan_;
    static const int16_t kOne = 1 << resample::kWeightBits;
    static const float kOneFloat = 1.0f;
    int32_t start = y, taps = 1;
    const int16_t* fixedWeights = &kOne;
    const float* realWeights = &kOneFloat;
    if (!plan.wy.identity) {
      start = plan.wy.start[y];
      taps = plan.wy.taps;
      if (plan.fixed) {
        fixedWeights = plan.wy.fixed.get() + int64_t(y) * taps;
        TrimZeros(fixedWeights, start, taps);
      } else {
        realWeights = plan.wy.real.get() + int64_t(y) * taps;
        TrimZeros(realWeights, start, taps);
      }
    }
    int32_t count = plan.rect.width * plan.channels;
    int32_t chunk = plan.cacheRows > 0 ? plan.cacheRows : taps;
    for (int32_t k0 = 0; k0 < taps; k0 += chunk) {
      int32_t n = std::min(chunk, taps - k0);
      for (int32_t i = 0; i < n; ++i) pointers_[size_t(i)] = rows_.Get(start + k0 + i);
      bool first = k0 == 0, last = k0 + n >= taps;
      if (plan.fixed) {
        resample::VerticalFixed(pointers_.data(), fixedWeights + k0, n, count, acc_.get(),
                                mid_.get(), first, last);
      } else if (plan.wide) {
        resample::VerticalFloat(reinterpret_cast<const uint16_t* const*>(pointers_.data()),
                                realWeights + k0, n, count, midFloat_.get(), first);
      } else {
        resample::VerticalFloat(pointers_.data(), realWeights + k0, n, count, midFloat_.get(),
                                first);
      }
    }
    Horizontal(out, count);
    if (plan.premultiply) {
      plan.wide ? Unpremultiply<uint16_t>(out, plan.wx.outCount)
                : Unpremultiply<uint8_t>(out, plan.wx.outCount);
    }
  }

 private:
  template <typename W>
  static void TrimZeros(const W*& weights, int32_t& start, int32_t& taps) {
    while (taps > 1 && weights[0] == 0) ++weights, ++start, --taps;
    while (taps > 1 && weights[taps - 1] == 0) --taps;
  }

  void Horizontal(uint8_t* out, int32_t count) {
    const FilterPlan& plan = *plan_;
    if (plan.fixed) {
      if (plan.wx.identity) {
        constexpr int kHalf = 1 << (resample::kIntermediateBits - 1);
        for (int32_t i = 0; i < count; ++i) {
          out[i] =
              uint8_t(std::clamp((mid_[size_t(i)] + kHalf) >> resample::kIntermediateBits, 0, 255));
        }
      } else {
        resample::HorizontalFixed(mid_.get(), plan.channels, plan.wx, out);
      }
      return;
    }
    if (plan.wx.identity) {
      float maxValue = plan.wide ? 65535.0f : 255.0f;
      for (int32_t i = 0; i < count; ++i) {
        float v = std::clamp(midFloat_[size_t(i)], 0.0f, maxValue) + 0.5f;
        if (plan.wide) {
          uint16_t s = uint16_t(v);
          std::memcpy(out + 2 * i, &s, 2);
        } else {
          out[i] = uint8_t(v);
        }
      }
    } else if (plan.wide) {
      resample::HorizontalFloat(midFloat_.get(), plan.channels, plan.wx,
                                reinterpret_cast<uint16_t*>(out));
    } else {
      resample::HorizontalFloat(midFloat_.get(), plan.channels, plan.wx, out);
    }
  }

  const FilterPlan* plan_ = nullptr;
  RowSource rows_;
  std::unique_ptr<int32_t[]> acc_;
  std::unique_ptr<int16_t[]> mid_;
  std::unique_ptr<float[]> midFloat_;
  std::vector<const uint8_t*> pointers_;
};

// Widest table entry count a kernel needs for a ratio, before building it.
int64_t EstimatedTaps(EScaleType type, int32_t in, int32_t out, bool antialias) {
  if (in == out) return 1;
  double scale = antialias ? std::max(1.0, double(in) / out) : 1.0;
  return int64_t(std::ceil(resample::KernelRadius(type) * scale)) * 2 + 2;
}

constexpr int32_t kRowsPerChunk = 16;
constexpr uint64_t kCacheBytesPerWorker = 32u << 20;

}  // namespace

Scale::Scale(uintptr_t progressContext, ProgressCallback progress, EScaleType type, uint32_t flags,
             const char* text)
    : context_(progressContext),
      progress_(progress),
      type_(type),
      flags_(flags),
      text_(text ? text : "scale...") {}

uint32_t Scale::CalcDestPixelType(const CoreBitmap& source) const {
  const PixelLayout* layout = FindPixelLayout(source.pixelType);
  if (!layout || uint32_t(type_) >= kScaleTypeCount) return kPixelNone;
  return type_ == kScaleNearest ? layout->type : FilteredPixelType(*layout, source);
}

ERetcode Scale::ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                        int32_t height, uint8_t* rows, int32_t rowRule) {
  uint32_t bits = BitsPerPixel(CalcDestPixelType(source));
  uint64_t rowBytes = RowBytes(width, bits, rowRule);
  if (!rows || rowBytes < RowBytes(width, bits, kStridePacked)) return last_ = BADA;
  return last_ = Run(source, sourceRect, width, height, rows, rowBytes);
}

ERetcode Scale::ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                        int32_t height, CoreBitmap& dest) {
  int32_t rule = source.stride == kStridePacked ? kStridePacked : kStridePadded;
  PageRows rows(ScaleTo(source, sourceRect, width, height, rule));
  if (!rows) return last_;
  uint32_t type = CalcDestPixelType(source);
  // Indices (or whatever else the palette means) are kept; `dest` may be `source`.
  bool copyPalette = type == source.pixelType && &dest != &source;
  AdoptRows(dest, std::move(rows), width, height, type, rule);
  if (copyPalette) {
    std::memcpy(dest.palette, source.palette, sizeof dest.palette);
    dest.paletteSize = source.paletteSize;
  }
  return last_ = RCOK;
}

uint8_t* Scale::ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                        int32_t height, int32_t rowRule) {
  // Check everything before asking for the result's memory.
  SourceRows rows;
  last_ = ReadSourceRows(source, rows);
  if (last_ == RCOK && uint32_t(type_) >= kScaleTypeCount) last_ = UNSF;
  if (last_ == RCOK && (width <= 0 || height <= 0)) last_ = BADA;
  if (last_ != RCOK) return nullptr;
  uint64_t rowBytes = 0;
  PageRows result = AllocateRows(width, height, CalcDestPixelType(source), rowRule, &rowBytes);
  if (!result) {
    last_ = OMEM;
    return nullptr;
  }
  last_ = Run(source, sourceRect, width, height, result.get(), rowBytes);
  return last_ == RCOK ? result.release() : nullptr;
}

ERetcode Scale::Run(const CoreBitmap& bitmap, const ScaleRect* sourceRect, int32_t width,
                    int32_t height, uint8_t* out, uint64_t outRowBytes) {
  if (uint32_t(type_) >= kScaleTypeCount) return UNSF;
  SourceRows source;
  ERetcode code = ReadSourceRows(bitmap, source);
  if (code != RCOK) return code;
  if (width <= 0 || height <= 0) return BADA;
  Rect rect;
  if ((code = ResolveRect(source, sourceRect, rect)) != RCOK) return code;
  ProgressBand band(progress_, context_, width, height, text_);

  try {
    if (type_ == kScaleNearest) {
      std::vector<int32_t> xs = NearestMap(rect.x, rect.width, width);
      std::vector<int32_t> ys = NearestMap(rect.y, rect.height, height);
      uint32_t bits = source.layout->bitsPerPixel;
      auto body = [&](int32_t first, int32_t end, int) {
        for (int32_t y = first; y < end; ++y) {
          NearestRow(source.Row(ys[size_t(y)]), xs.data(), width, out + uint64_t(y) * outRowBytes,
                     bits);
        }
      };
      int workers = WorkersFor(uint64_t(width) * uint64_t(height) * 4);
      return RunRowChunks(height, kRowsPerChunk * 4, workers, &band, body) ? RCOK : USRA;
    }

    FilterPlan plan;
    plan.source = source;
    plan.rect = rect;
    plan.work = FindPixelLayout(FilteredPixelType(*source.layout, bitmap));
    plan.channels = plan.work->channels;
    plan.wide = plan.work->kind == PixelKind::kSamples16;
    plan.convert = plan.work != source.layout;
    plan.premultiply = plan.work->alpha && !(flags_ & kScaleStraightAlpha);
    bool antialias = !(flags_ & kScaleNoAntialias);
    int64_t widest = std::max(EstimatedTaps(type_, rect.width, width, antialias),
                              EstimatedTaps(type_, rect.height, height, antialias));
    // Very wide kernels would leave 14-bit weights too coarse.
    plan.fixed = !plan.wide && widest <= 256;
    if ((code = resample::BuildWeights(type_, rect.width, width, antialias, plan.fixed, plan.wx)) !=
            RCOK ||
        (code = resample::BuildWeights(type_, rect.height, height, antialias, plan.fixed,
                                       plan.wy)) != RCOK) {
      return code;
    }
    plan.workRowBytes = uint64_t(rect.width) * (plan.work->bitsPerPixel / 8);
    if (plan.convert || plan.premultiply) {
      uint64_t taps = plan.wy.identity ? 1 : uint64_t(plan.wy.taps);
      uint64_t fit = std::max<uint64_t>(1, kCacheBytesPerWorker / plan.workRowBytes);
      plan.cacheRows = int32_t(std::min(taps, fit));
    }

    uint64_t taps = uint64_t(plan.wy.identity ? 1 : plan.wy.taps) +
                    uint64_t(plan.wx.identity ? 1 : plan.wx.taps);
    int workers = WorkersFor(uint64_t(height) * uint64_t(rect.width) * plan.channels * taps);
    std::vector<FilterWorker> pool(static_cast<size_t>(workers));
    for (FilterWorker& worker : pool) {
      if ((code = worker.Init(plan, bitmap)) != RCOK) return code;
    }
    auto body = [&](int32_t first, int32_t end, int worker) {
      for (int32_t y = first; y < end; ++y) {
        pool[size_t(worker)].Row(y, out + uint64_t(y) * outRowBytes);
      }
    };
    return RunRowChunks(height, kRowsPerChunk, workers, &band, body) ? RCOK : USRA;
  } catch (const std::bad_alloc&) {
    return OMEM;
  }
}

}  // namespace glib
