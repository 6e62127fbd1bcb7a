// The per-layer operations beneath the slide and Film ones: resampling, mirroring,
// rotation, pixel-type conversion, alpha, colour counting and cropping.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "geometry/Fit.h"
#include "image/BitmapOps.h"
#include "image/FilmPlatform.h"
#include "image/Layer.h"
#include "image/Slide.h"
#include "image/VectorPicture.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/PixelConvert.h"
#include "runtime/ProgressBand.h"
#include "runtime/Rotate.h"
#include "runtime/Scale.h"

namespace glib {
namespace {

// Replaces the layer's picture by `result`, keeping the attachment.
void ReplacePicture(CoreBitmap& bitmap, CoreBitmap& result) {
  OwnedObject* attachment = bitmap.attachment;
  bitmap.attachment = nullptr;
  MoveBitmap(bitmap, result);
  bitmap.attachment = attachment;
}

// The caller's text followed by "; <what>", or <what> alone.
std::string StepText(const ClbData* record, const char* what) {
  if (record && record->text && *record->text) return std::string(record->text) + "; " + what;
  return what;
}

}  // namespace

// ---- Resize ----

ERetcode Layer::Resize(int32_t newWidth, int32_t newHeight, int32_t sourceX, int32_t sourceY,
                       int32_t sourceWidth, int32_t sourceHeight, EScaleType type,
                       bool keepProportions, ProgressCallback callback, ClbData* record,
                       uint32_t scaleFlags) {
  if (IsEmpty()) return RCOK;
  const int32_t oldWidth = bitmap.width, oldHeight = bitmap.height;
  if (oldWidth <= 0 || oldHeight <= 0) return BADA;
  if (sourceX < 0 || sourceY < 0 || sourceX >= oldWidth || sourceY >= oldHeight) return BADA;
  if (sourceWidth < 1) sourceWidth = oldWidth - sourceX;
  if (sourceHeight < 1) sourceHeight = oldHeight - sourceY;
  if (int64_t(sourceX) + sourceWidth > oldWidth || int64_t(sourceY) + sourceHeight > oldHeight)
    return BADA;
  const bool whole =
      sourceX == 0 && sourceY == 0 && sourceWidth == oldWidth && sourceHeight == oldHeight;
  if (newWidth == oldWidth && newHeight == oldHeight && whole) return RCOK;

  if (newWidth <= 0 && newHeight <= 0) {
    newWidth = oldWidth;
    newHeight = oldHeight;
  } else if (newWidth <= 0) {
    newWidth = keepProportions
                   ? int32_t(std::min(double(oldWidth) * newHeight / oldHeight + 0.5, 2e9))
                   : oldWidth;
  } else if (newHeight <= 0) {
    newHeight = keepProportions
                    ? int32_t(std::min(double(oldHeight) * newWidth / oldWidth + 0.5, 2e9))
                    : oldHeight;
  }
  if (keepProportions) {
    if (newWidth <= 0 || newHeight <= 0) return BADA;
    std::optional<geometry::Size> fitted =
        geometry::FitInto({newWidth, newHeight}, {sourceWidth, sourceHeight});
    if (!fitted) return BADA;
    newWidth = fitted->width;
    newHeight = fitted->height;
  }
  if (newWidth <= 0 || newHeight <= 0) return BADA;

  if (IsVector()) {
    OwnedObject* picture = ResizePicture(bitmap.picture, sourceX, sourceY, sourceWidth,
                                         sourceHeight, newWidth, newHeight);
    if (!picture) return UNSF;
    SetPicture(offsetX, offsetY, newWidth, newHeight, picture);
    return RCOK;
  }
  Scale scale(record ? record->context : 0, callback, type, scaleFlags,
              record ? record->text : nullptr);
  ScaleRect rect{sourceX, sourceY, sourceWidth, sourceHeight};
  CoreBitmap result;
  ERetcode rc = scale.ScaleTo(bitmap, &rect, newWidth, newHeight, result);
  if (rc != RCOK) return rc;
  ReplacePicture(bitmap, result);
  return RCOK;
}

// ---- Mirror ----

ERetcode Layer::Mirror(bool vertical, bool horizontal, const ClbData* record) {
  if (!vertical && !horizontal) return BADA;
  if (IsEmpty()) return RCOK;
  if (IsVector()) {
    OwnedObject* picture =
        MirrorPicture(bitmap.picture, bitmap.width, bitmap.height, vertical, horizontal);
    if (!picture) return UNSF;
    SetPicture(offsetX, offsetY, bitmap.width, bitmap.height, picture);
    return RCOK;
  }
  if (!HasUsableRows(bitmap)) return BADA;
  const uint64_t step = RowStep(bitmap);
  const uint64_t used = RowBytes(bitmap.width, BitsPerPixel(bitmap.pixelType), kStridePacked);
  const uint32_t bits = BitsPerPixel(bitmap.pixelType);
  std::unique_ptr<uint8_t[]> row;
  if (horizontal) {
    row.reset(new (std::nothrow) uint8_t[used]);
    if (!row) return OMEM;
  }
  const std::string text = StepText(record, "mirror");
  ProgressBand band(slide ? slide->progress : nullptr, slide ? slide->progressContext : 0,
                    bitmap.width, bitmap.height, text.c_str());
  auto reverse = [&](uint8_t* line) {
    std::memcpy(row.get(), line, used);
    ReverseRow(row.get(), line, bitmap.width, bits);
  };
  const int32_t h = bitmap.height;
  for (int32_t i = 0; i < (h + 1) / 2; ++i) {
    uint8_t* top = bitmap.pixels + uint64_t(i) * step;
    uint8_t* bottom = bitmap.pixels + uint64_t(h - 1 - i) * step;
    if (vertical && top != bottom) SwapRows(top, bottom, used);
    if (horizontal) {
      reverse(top);
      if (top != bottom) reverse(bottom);
    }
    if (!band.RowsDone(std::min(2 * (i + 1), h))) return USRA;
  }
  return RCOK;
}

// ---- Rotate ----

ERetcode Layer::Rotate(double degrees, bool interpolate, ProgressCallback callback,
                       ClbData* record) {
  if (IsEmpty()) return RCOK;
  if (IsVector()) {
    int32_t width = 0, height = 0;
    OwnedObject* picture =
        RotatePicture(bitmap.picture, bitmap.width, bitmap.height, degrees, width, height);
    if (!picture) return UNSF;
    SetPicture(offsetX, offsetY, width, height, picture);
    return RCOK;
  }
  // The background widened to 16 bits per channel, red lowest.
  const uint32_t colour = GetBackground();
  uint64_t background = 0;
  for (int c = 0; c < 4; ++c) background |= uint64_t((colour >> (8 * c)) & 0xFF) * 257 << (16 * c);
  glib::Rotate rotate(interpolate, callback, record ? record->context : 0,
                      record ? record->text : nullptr);
  CoreBitmap result;
  ERetcode rc = rotate.Execute(bitmap, result, degrees, background);
  if (rc != RCOK) return rc;
  ReplacePicture(bitmap, result);
  visible = enabled = 1;
  return RCOK;
}

// ---- ConvertTo and alpha ----

ERetcode Layer::ConvertTo(uint32_t pixelType) {
  if (!enabled) return WERR;
  if (bitmap.pixelType == pixelType || pixelType == kPixelNone) return RCOK;
  if (IsEmpty()) return RCOK;
  if (slide) {
    bitmap.progress = slide->progress;
    bitmap.progressContext = slide->progressContext;
  }
  const bool padded = bitmap.stride != kStridePacked;
  RenderColours colours;
  colours.background = GetBackground() | 0xFF000000u;
  if (!HasAlpha(pixelType) && bitmap.pixels && HasAlpha(bitmap.pixelType)) {
    if (bitmap.pixelType != kPixelRGBA32) {
      ERetcode rc = ConvertPixelType(bitmap, kPixelRGBA32, padded, ResolutionX(), ResolutionY(),
                                     colours, false);
      if (rc != RCOK) return rc;
    }
    LayOverBackground(bitmap, GetBackground());
  }
  return ConvertPixelType(bitmap, pixelType, padded, ResolutionX(), ResolutionY(), colours, false);
}

bool Layer::SetAlpha(uint8_t alpha) {
  if (ConvertTo(kPixelRGBA32) != RCOK) return false;
  if (!bitmap.pixels) return true;
  const uint64_t step = RowStep(bitmap);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    uint8_t* p = bitmap.pixels + uint64_t(y) * step + 3;
    for (int32_t x = 0; x < bitmap.width; ++x, p += 4) *p = alpha;
  }
  return true;
}

// ---- CountColours ----

namespace {

// Open addressing over 64-bit values; grows by doubling, at most to the pixel count.
class ValueSet {
 public:
  explicit ValueSet(uint64_t limit) : limit_(limit) { Resize(256); }
  void Insert(uint64_t value) {
    uint64_t key = value + 1;  // 0 marks a free slot
    size_t i = Hash(key) & mask_;
    while (slots_[i] != 0) {
      if (slots_[i] == key) return;
      i = (i + 1) & mask_;
    }
    slots_[i] = key;
    if (++count_ * 2 > slots_.size() && slots_.size() < 2 * limit_ + 2) Resize(slots_.size() * 2);
  }
  uint64_t Count() const { return count_; }

 private:
  static size_t Hash(uint64_t v) {
    v ^= v >> 33;
    v *= 0xFF51AFD7ED558CCDull;
    v ^= v >> 33;
    return size_t(v);
  }
  void Resize(size_t size) {
    std::vector<uint64_t> old;
    old.swap(slots_);
    slots_.assign(size, 0);
    mask_ = size - 1;
    count_ = 0;
    for (uint64_t key : old) {
      if (key == 0) continue;
      size_t i = Hash(key) & mask_;
      while (slots_[i] != 0) i = (i + 1) & mask_;
      slots_[i] = key;
      ++count_;
    }
  }
  std::vector<uint64_t> slots_;
  size_t mask_ = 0;
  uint64_t count_ = 0;
  uint64_t limit_;
};

uint64_t ReadStored(const uint8_t* p, uint32_t bytes) {
  uint64_t v = 0;
  std::memcpy(&v, p, bytes);
  return v;
}

}  // namespace

int64_t Layer::CountColours() const {
  if (IsVector()) return -1;
  if (!bitmap.pixels) return 0;
  if (!HasUsableRows(bitmap)) return -1;
  const uint32_t type = bitmap.pixelType;
  const int32_t w = bitmap.width, h = bitmap.height;
  const uint64_t step = RowStep(bitmap);
  try {
    if (type == kPixelRGB24) {
      // Every 24-bit value has its bit.
      std::vector<uint64_t> seen(uint64_t(1) << 18);
      int64_t count = 0;
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* p = bitmap.pixels + uint64_t(y) * step;
        for (int32_t x = 0; x < w; ++x, p += 3) {
          uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
          uint64_t& word = seen[v >> 6];
          const uint64_t bit = uint64_t(1) << (v & 63);
          count += (word & bit) == 0;
          word |= bit;
        }
      }
      return count;
    }
    ValueSet set(uint64_t(w) * uint64_t(h));
    const bool stored =
        type == kPixelRGB48 || type == kPixelRGBA32 || type == kPixelRGBA64 || type == kPixelGray16;
    if (stored) {
      const uint32_t bytes = BitsPerPixel(type) / 8;
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* p = bitmap.pixels + uint64_t(y) * step;
        for (int32_t x = 0; x < w; ++x, p += bytes) set.Insert(ReadStored(p, bytes));
      }
      return int64_t(set.Count());
    }
    LineConverter converter;
    if (converter.Set(bitmap, kPixelRGBA32) != RCOK) return -1;
    std::vector<uint8_t> line(size_t(converter.TargetRowBytes()));
    for (int32_t y = 0; y < h; ++y) {
      converter.GetScanline(y, line.data());
      for (int32_t x = 0; x < w; ++x) set.Insert(ReadStored(line.data() + 4 * size_t(x), 4));
    }
    return int64_t(set.Count());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

// ---- Crop ----

ERetcode Layer::Crop(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (IsEmpty()) return RCOK;
  if (IsVector()) {
    ERetcode rc = ConvertTo(kPixelRGBA32);
    if (rc != RCOK) return rc;
  }
  if (!HasUsableRows(bitmap)) return BADA;
  const Rect cut = Intersect(RectAt(x, y, width, height), {0, 0, bitmap.width, bitmap.height});
  if (cut.IsEmpty()) return BADA;
  if (cut.Width() == bitmap.width && cut.Height() == bitmap.height) return RCOK;
  CoreBitmap part;
  if (!CopyPart(bitmap, cut, part)) return OMEM;
  ReplacePicture(bitmap, part);
  offsetX = int32_t(std::clamp<int64_t>(int64_t(offsetX) + cut.left, INT32_MIN, INT32_MAX));
  offsetY = int32_t(std::clamp<int64_t>(int64_t(offsetY) + cut.top, INT32_MIN, INT32_MAX));
  return RCOK;
}

}  // namespace glib
