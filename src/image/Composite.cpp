#include "image/Composite.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/BitmapOps.h"
#include "image/Blend.h"
#include "runtime/BitmapRows.h"
#include "runtime/PixelConvert.h"
#include "runtime/ProgressBand.h"

namespace glib {
namespace {

constexpr uint32_t kGams = FourCC("gams");
// Composites of this many bytes or more outgrow the caches.
constexpr uint64_t kStreamedComposite = uint64_t(8) << 20;

// One layer ready to be blended: 32-bit rows and the part of the output it covers.
struct Prepared {
  const CoreBitmap* rows = nullptr;
  CoreBitmap rendered;  // a vector layer drawn into pixels
  Rect part;            // output coordinates
  int32_t sourceX = 0;  // layer pixel of the part's left edge
  int32_t sourceY = 0;
  uint32_t mode = kBlendNormal;

  Prepared() = default;
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  ~Prepared() { ReleaseBitmap(rendered); }
};

// Draws a vector layer at the size of its box; false where that is not possible.
bool RenderVector(const Layer& layer, CoreBitmap& out) {
  CoreBitmap view;
  view.picture = layer.bitmap.picture;
  view.width = layer.bitmap.width;
  view.height = layer.bitmap.height;
  view.pixelType = kPixelVector;
  view.ownsPixels = 0;  // the picture stays the layer's
  RenderColours colours;
  colours.background = layer.GetBackground();
  if (ConvertPixelType(view, kPixelRGBA32, true, 96.0f, 96.0f, colours, false) != RCOK)
    return false;
  MoveBitmap(out, view);
  return out.pixels != nullptr;
}

// The extent of the enabled layers of the range, from (0, 0).
Rect EnabledExtent(Slide& slide, uint32_t begin, uint32_t end) {
  int64_t w = 0, h = 0;
  for (uint32_t i = begin; i < end; ++i) {
    const Layer& layer = *slide.layers[i];
    if (!layer.enabled) continue;
    w = std::max(w, int64_t(layer.offsetX) + layer.bitmap.width);
    h = std::max(h, int64_t(layer.offsetY) + layer.bitmap.height);
  }
  return {0, 0, int32_t(std::min<int64_t>(w, INT32_MAX)), int32_t(std::min<int64_t>(h, INT32_MAX))};
}

bool EnsureRows(Layer& target, int32_t width, int32_t height) {
  CoreBitmap& b = target.bitmap;
  const bool fits = b.pixels && b.width == width && b.height == height &&
                    b.pixelType == kPixelRGBA32 && RowStep(b) == uint64_t(width) * 4;
  target.offsetX = target.offsetY = 0;
  return fits || AllocateBitmap(b, width, height, kPixelRGBA32, kStridePadded);
}

uint32_t RowSeed(int32_t row) {
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return uint32_t(uint64_t(ticks) ^ (uint64_t(ticks) >> 32)) ^ (uint32_t(row) * 2654435761u);
}

struct FlattenOptions {
  bool display = false;      // the cached composite's "norm"
  bool prepareStart = true;  // lay down the base layer or the background first
};

bool FlattenRange(Slide& slide, const Rect* rect, Layer& target, uint32_t first, int32_t count,
                  FlattenOptions options) {
  slide.SwapIn();
  SlideRange range;
  if (!ResolveRange(first, count, slide.layers.size(), range) || range.begin == range.end)
    return false;
  const Rect out = rect ? *rect : EnabledExtent(slide, range.begin, range.end);
  if (out.IsEmpty() || out.Width() > INT32_MAX || out.Height() > INT32_MAX) return false;
  const int32_t width = int32_t(out.Width()), height = int32_t(out.Height());
  int visible = 0;
  for (uint32_t i = range.begin; i < range.end; ++i) visible += slide.layers[i]->IsShown();

  if (!EnsureRows(target, width, height)) return false;

  // The start: the base layer when it fills the canvas exactly, else the background.
  const CoreBitmap* underlay = nullptr;
  Layer* base = slide.baseLayer;
  if (options.prepareStart && base && slide.HasCanvas() && base->bitmap.width == width &&
      base->bitmap.height == height && base->bitmap.pixels &&
      (base->bitmap.pixelType == kPixelRGBA32 || base->ConvertTo(kPixelRGBA32) == RCOK) &&
      HasUsableRows(base->bitmap)) {
    underlay = &base->bitmap;
  }
  const uint32_t backgroundPixel = PixelFromColour(slide.background);
  const uint32_t startPixel = backgroundPixel & 0x00FFFFFFu;

  // Layers in order, each brought to 32-bit pixels first.
  std::vector<std::unique_ptr<Prepared>> layers;
  if (visible > 0 && !(visible == 1 && slide.layers[range.begin]->blendMode == kGams)) {
    for (uint32_t i = range.begin; i < range.end; ++i) {
      Layer& layer = *slide.layers[i];
      if (!layer.IsShown() || layer.IsEmpty()) continue;
      const Rect extent =
          RectAt(layer.offsetX, layer.offsetY, layer.bitmap.width, layer.bitmap.height);
      const Rect common = Intersect(extent, out);
      if (common.IsEmpty()) continue;
      const uint32_t mode = i == range.begin ? kBlendNormal : layer.blendMode;
      if (!IsBlendMode(mode)) continue;
      auto prepared = std::make_unique<Prepared>();
      if (layer.IsVector()) {
        if (!RenderVector(layer, prepared->rendered)) continue;
        prepared->rows = &prepared->rendered;
      } else {
        if (layer.bitmap.pixelType != kPixelRGBA32 && layer.ConvertTo(kPixelRGBA32) != RCOK)
          return false;
        if (!HasUsableRows(layer.bitmap)) return false;
        prepared->rows = &layer.bitmap;
      }
      if (prepared->rows->width < common.right - layer.offsetX ||
          prepared->rows->height < common.bottom - layer.offsetY)
        continue;  // a rendering smaller than its box
      prepared->part = {int32_t(common.left - out.left), int32_t(common.top - out.top),
                        int32_t(common.right - out.left), int32_t(common.bottom - out.top)};
      prepared->sourceX = int32_t(common.left - int64_t(layer.offsetX));
      prepared->sourceY = int32_t(common.top - int64_t(layer.offsetY));
      prepared->mode = mode;
      layers.push_back(std::move(prepared));
    }
  }

  // Row by row through all layers, so each composite row stays in the cache. Large
  // composites are built in a scratch row and streamed out, so their rows are never
  // read back from memory before being written.
  const uint64_t targetStep = RowStep(target.bitmap);
  const uint64_t underlayStep = underlay ? RowStep(*underlay) : 0;
  const size_t rowBytes = size_t(width) * 4;
  const bool stream = targetStep * uint64_t(height) >= kStreamedComposite;
  std::unique_ptr<uint32_t[]> scratch;
  if (stream) {
    scratch.reset(new (std::nothrow) uint32_t[size_t(width)]);
    if (!scratch) return false;
  }
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* final = target.bitmap.pixels + uint64_t(y) * targetStep;
    uint8_t* row = stream ? reinterpret_cast<uint8_t*>(scratch.get()) : final;
    const uint8_t* underRow = underlay ? underlay->pixels + uint64_t(y) * underlayStep : nullptr;
    if (options.prepareStart) {
      if (underRow) {
        std::memcpy(row, underRow, rowBytes);
      } else {
        auto* pixels = reinterpret_cast<uint32_t*>(row);
        std::fill(pixels, pixels + width, startPixel);
      }
    } else if (stream) {
      std::memcpy(row, final, rowBytes);  // what the callback drew
    }
    for (const auto& p : layers) {
      if (y < p->part.top || y >= p->part.bottom) continue;
      const int32_t x = p->part.left;
      BlendRowArgs args;
      args.mode = p->mode;
      args.norm = options.display ? NormForm::kDisplay : NormForm::kFlatten;
      args.target = row + size_t(x) * 4;
      args.layer = RowAt(*p->rows, p->sourceY + (y - p->part.top)) + size_t(p->sourceX) * 4;
      args.count = p->part.right - x;
      args.underlay = underRow ? underRow + size_t(x) * 4 : nullptr;
      args.underlayPixel = backgroundPixel;
      if (args.mode == FourCC("diss")) args.seed = RowSeed(y);
      BlendRow(args);
    }
    if (stream) StreamRow(final, row, rowBytes);
  }
  if (stream) StreamDone();
  return true;
}

}  // namespace

bool Flatten(Slide& slide, const Rect* rect, Layer& target, uint32_t first, int32_t count) {
  return FlattenRange(slide, rect, target, first, count, {});
}

bool UpdateComposite(Slide& slide) {
  if (!slide.changed) return true;
  slide.SwapIn();
  Layer& composite = *slide.composite;
  FlattenOptions options{true, true};
  if (slide.progress) {
    int32_t w, h;
    slide.GetSize(w, h);
    if (w > 0 && h > 0 && EnsureRows(composite, w, h)) {
      FilmEvent event;
      event.pixels = composite.bitmap.pixels;
      event.width = w;
      event.height = h;
      options.prepareStart =
          SendEvent(slide.progress, slide.progressContext, kEventCompositeRebuild, &slide, event);
    }
  }
  const Rect* rect = slide.HasCanvas() ? &slide.canvas : nullptr;
  bool ok = FlattenRange(slide, rect, composite, 0, -1, options);
  if (!ok && slide.layers.empty()) {
    // A slide without layers still shows its background.
    auto empty = std::make_unique<Layer>(nullptr);
    slide.layers.Add(empty.get());
    ok = FlattenRange(slide, rect, composite, 0, -1, options);
    slide.layers.Detach(0);
  }
  if (ok) slide.changed = 0;
  return ok;
}

bool MergeLayers(Slide& slide, uint32_t first, int32_t count) {
  slide.SwapIn();
  SlideRange range;
  if (!ResolveRange(first, count, slide.layers.size(), range) || range.begin == range.end)
    return false;
  Layer merged(nullptr);
  if (!Flatten(slide, nullptr, merged, range.begin, int32_t(range.end - range.begin))) return false;
  Layer& into = *slide.layers[range.begin];
  MoveBitmap(into.bitmap, merged.bitmap);
  into.offsetX = into.offsetY = 0;
  into.visible = into.enabled = 1;
  for (uint32_t i = range.end; i > range.begin + 1; --i) slide.layers.Remove(i - 1);
  slide.MarkChanged();
  return true;
}

namespace {

bool DrawsDirectly(uint32_t type) {
  switch (type) {
    case kPixelBW1:
    case kPixelIndexed1:
    case kPixelIndexed4:
    case kPixelIndexed8:
    case kPixelRGB24:
    case kPixelVector:
      return true;
    default:
      return false;
  }
}

}  // namespace

Layer* ShownLayer(Slide& slide, bool forceComposite) {
  slide.SwapIn();
  if (slide.layers.size() == 1) {
    Layer* only = slide.layers[0];
    if (!only->IsShown()) return nullptr;
    if (!forceComposite && DrawsDirectly(only->bitmap.pixelType) && only->offsetX == 0 &&
        only->offsetY == 0 && !slide.HasCanvas() && !only->IsEmpty())
      return only;
  }
  if (!UpdateComposite(slide)) return nullptr;
  return slide.composite->bitmap.pixels ? slide.composite : nullptr;
}

bool PadRowsForDevice(CoreBitmap& bitmap) {
  if (!bitmap.pixels) return bitmap.picture != nullptr;
  if (bitmap.stride == kStridePadded) return true;
  if (!HasUsableRows(bitmap)) return false;
  const uint32_t bits = BitsPerPixel(bitmap.pixelType);
  const uint64_t padded = RowBytes(bitmap.width, bits, kStridePadded);
  const uint64_t step = RowStep(bitmap);
  if (step == padded) {
    bitmap.stride = kStridePadded;
    return true;
  }
  PageRows rows = AllocateRows(bitmap.width, bitmap.height, bitmap.pixelType, kStridePadded);
  if (!rows) return false;
  const uint64_t used = std::min(step, padded);
  ProgressBand band(bitmap.progress, bitmap.progressContext, bitmap.width, bitmap.height,
                    "prepare...");
  for (int32_t y = 0; y < bitmap.height; ++y) {
    std::memcpy(rows.get() + uint64_t(y) * padded, bitmap.pixels + uint64_t(y) * step, used);
    if (!band.RowsDone(y + 1)) return false;
  }
  const uint32_t type = bitmap.pixelType;
  ReleaseRows(bitmap);
  AdoptRows(bitmap, std::move(rows), bitmap.width, bitmap.height, type, kStridePadded);
  return true;
}

}  // namespace glib
