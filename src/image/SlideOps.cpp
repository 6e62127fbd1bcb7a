// Geometry of a whole slide: stretch, mirror, rotate, canvas, resolution, and the
// scaled and cut copies that ScaleToNewFilm, ExtractSlides and the clipboard make.
#include <cmath>
#include <memory>
#include <new>
#include <numbers>

#include "geometry/Fit.h"
#include "image/BitmapOps.h"
#include "image/Composite.h"
#include "image/Film.h"
#include "image/FilmPlatform.h"
#include "image/Slide.h"
#include "runtime/PixelConvert.h"
#include "runtime/Scale.h"

namespace glib {
namespace {

int32_t ScaledCoordinate(int64_t value, int64_t to, int64_t from) {
  return int32_t(std::clamp<int64_t>(value * to / from, INT32_MIN, INT32_MAX));
}

// The same, rounded down for negative values too.
int32_t FloorScaled(int64_t value, int64_t to, int64_t from) {
  int64_t p = value * to;
  int64_t q = p / from;
  if ((p % from != 0) && ((p < 0) != (from < 0))) --q;
  return int32_t(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

}  // namespace

ERetcode Slide::Stretch(int32_t newWidth, int32_t newHeight, EScaleType type, bool keepProportions,
                        ClbData* record, uint32_t scaleFlags) {
  SwapIn();
  int32_t width, height;
  GetSize(width, height);
  if (width <= 0 || height <= 0) return RCOK;
  ERetcode rc = RCOK;
  for (Layer* layer : layers) {
    if (!layer->enabled) continue;
    const int32_t w = ScaledCoordinate(layer->bitmap.width, newWidth, width);
    const int32_t h = ScaledCoordinate(layer->bitmap.height, newHeight, height);
    rc = layer->Resize(w, h, 0, 0, 0, 0, type, keepProportions, progress, record, scaleFlags);
    if (rc != RCOK) return rc;
    layer->offsetX = ScaledCoordinate(layer->offsetX, newWidth, width);
    layer->offsetY = ScaledCoordinate(layer->offsetY, newHeight, height);
  }
  if (HasCanvas()) {
    int32_t w = newWidth, h = newHeight;
    if (keepProportions) {
      std::optional<geometry::Size> fitted = geometry::FitInto(
          {newWidth, newHeight}, {int32_t(canvas.Width()), int32_t(canvas.Height())});
      if (fitted) w = fitted->width, h = fitted->height;
    }
    SetCanvas(w, h, baseLayer == nullptr, false);
  }
  MarkChanged();
  return rc;
}

bool Slide::Mirror(bool vertical, bool horizontal) {
  SwapIn();
  // Layers keep their place in the slide: an offset is mirrored along with the pixels.
  const int64_t left = HasCanvas() ? canvas.left : 0, top = HasCanvas() ? canvas.top : 0;
  int32_t width, height;
  GetSize(width, height);
  auto mirror = [&](Layer& layer) {
    if (layer.Mirror(vertical, horizontal) != RCOK) return false;
    if (horizontal)
      layer.offsetX = int32_t(std::clamp<int64_t>(
          2 * left + width - layer.offsetX - layer.bitmap.width, INT32_MIN, INT32_MAX));
    if (vertical)
      layer.offsetY = int32_t(std::clamp<int64_t>(
          2 * top + height - layer.offsetY - layer.bitmap.height, INT32_MIN, INT32_MAX));
    return true;
  };
  bool ok = true;
  for (Layer* layer : layers) {
    if (layer->enabled && !mirror(*layer)) {
      ok = false;
      break;
    }
  }
  if (ok && baseLayer && baseLayer->enabled) ok = mirror(*baseLayer);
  MarkChanged();
  return ok;
}

ERetcode Slide::Rotate(double degrees, bool interpolate, ClbData* record) {
  if (!std::isfinite(degrees)) return BADA;
  SwapIn();
  for (Layer* layer : layers) {
    if (!layer->enabled) continue;
    ERetcode rc = layer->Rotate(degrees, interpolate, progress, record);
    if (rc != RCOK) return rc;
  }
  if (resolutionX != resolutionY) {
    const double turn = degrees * std::numbers::pi / 180.0, x = resolutionX, y = resolutionY;
    resolutionX = float(std::fabs(x * std::cos(turn) + y * std::sin(turn)));
    resolutionY = float(std::fabs(y * std::cos(turn) + x * std::sin(turn)));
  }
  MarkChanged();
  return RCOK;
}

bool Slide::SetCanvas(int32_t width, int32_t height, bool noBaseLayer, bool refill) {
  if (width < 0 || height < 0) return false;
  bool sizeChanged = false;
  if (width != canvas.Width() || height != canvas.Height()) {
    canvas = width == 0 || height == 0 ? Rect{} : RectAt(canvas.left, canvas.top, width, height);
    sizeChanged = true;
  }
  if (HasCanvas()) {
    for (Layer* layer : layers) {
      layer->offsetX = std::max(layer->offsetX, 0);
      layer->offsetY = std::max(layer->offsetY, 0);
    }
  }
  if (noBaseLayer || width == 0 || height == 0) {
    delete baseLayer;
    baseLayer = nullptr;
    MarkChanged();
    return true;
  }
  if (!baseLayer) baseLayer = new Layer(this);
  if (baseLayer->bitmap.width != width || baseLayer->bitmap.height != height ||
      !baseLayer->bitmap.pixels) {
    if (!AllocateBitmap(baseLayer->bitmap, width, height, kPixelRGBA32, kStridePadded))
      return false;
    baseLayer->offsetX = baseLayer->offsetY = 0;
    sizeChanged = true;
  }
  if ((sizeChanged || refill) && progress) {
    FilmEvent event;
    event.pixels = baseLayer->bitmap.pixels;
    event.width = width;
    event.height = height;
    event.colour = PixelFromColour(background);
    if (SendEvent(progress, progressContext, kEventBaseLayerFill, this, event))
      FillPixels(baseLayer->bitmap, event.colour);
  }
  MarkChanged();
  return true;
}

bool Slide::ApplyResolution(uint32_t scaleFlags) {
  SwapIn();
  if (layers.empty()) return false;
  if (layers.size() > 1 && !MergeLayers(*this, 0, -1)) return false;
  Layer& layer = *layers[0];
  std::optional<geometry::Size> size =
      geometry::SquarePixelSize({layer.bitmap.width, layer.bitmap.height}, resolutionX, resolutionY,
                                targetResolutionX, targetResolutionY);
  if (!size) return false;
  ClbData record;
  record.context = progressContext;
  if (layer.Resize(size->width, size->height, 0, 0, 0, 0, kScaleBicubic, false, progress, &record,
                   scaleFlags) != RCOK)
    return false;
  if (targetResolutionX == -1.0f && targetResolutionY == -1.0f) {
    resolutionX = resolutionY = std::max(resolutionX, resolutionY);
  } else {
    resolutionX = targetResolutionX;
    resolutionY = targetResolutionY;
  }
  MarkChanged();
  return true;
}

Slide* Slide::ScaledCopy(_FLM* target, int32_t newWidth, int32_t newHeight, EScaleType type,
                         uint32_t scaleFlags, const Rect* source) {
  SwapIn();
  int32_t width, height;
  GetSize(width, height);
  if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0) return nullptr;
  auto copy = std::unique_ptr<Slide>(new (std::nothrow) Slide(background, target));
  if (!copy) return nullptr;
  for (Layer* layer : layers) {
    auto clone = std::make_unique<Layer>(copy.get());
    if (!clone->CopyAttributes(*layer, false)) return nullptr;
    const Rect extent =
        RectAt(layer->offsetX, layer->offsetY, layer->bitmap.width, layer->bitmap.height);
    Rect part = source ? Intersect(*source, extent) : extent;
    if (part.IsEmpty()) part = extent;
    // Each layer is scaled by the slide's factors and keeps its place.
    const int32_t w = std::max(1, ScaledCoordinate(part.Width(), newWidth, width));
    const int32_t h = std::max(1, ScaledCoordinate(part.Height(), newHeight, height));
    const int32_t sx = int32_t(part.left - int64_t(layer->offsetX));
    const int32_t sy = int32_t(part.top - int64_t(layer->offsetY));
    if (layer->IsVector()) {
      OwnedObject* picture = ResizePicture(layer->bitmap.picture, sx, sy, int32_t(part.Width()),
                                           int32_t(part.Height()), w, h);
      if (picture) clone->SetPicture(0, 0, w, h, picture);
    } else if (layer->bitmap.pixels) {
      Scale scale(progressContext, progress, type, scaleFlags);
      ScaleRect rect{sx, sy, int32_t(part.Width()), int32_t(part.Height())};
      if (scale.ScaleTo(layer->bitmap, &rect, w, h, clone->bitmap) != RCOK) return nullptr;
    }
    clone->offsetX = FloorScaled(part.left, newWidth, width);
    clone->offsetY = FloorScaled(part.top, newHeight, height);
    copy->layers.Add(clone.release());
  }
  if (!copy->CopyAttributesFrom(*this)) return nullptr;
  Slide* result = copy.release();
  result->AttachTo(target);
  return result;
}

Slide* Slide::CutCopy(_FLM* target, uint32_t firstLayer, int32_t layerCount, const Rect& rect) {
  SwapIn();
  auto copy = std::unique_ptr<Slide>(new (std::nothrow) Slide(background, target));
  if (!copy) return nullptr;
  SlideRange range;
  if (ResolveRange(firstLayer, layerCount, layers.size(), range)) {
    for (uint32_t i = range.begin; i < range.end; ++i) {
      const Layer& layer = *layers[i];
      std::unique_ptr<Layer> rendered;
      const Layer* from = &layer;
      if (layer.IsVector()) {
        rendered = std::make_unique<Layer>(nullptr);
        if (!rendered->CopyAttributes(layer, true)) continue;
        RenderColours colours;
        colours.background = background | 0xFF000000u;
        if (ConvertPixelType(rendered->bitmap, kPixelRGBA32, true, 96.0f, 96.0f, colours, false) !=
            RCOK)
          continue;
        from = rendered.get();
      }
      if (!from->bitmap.pixels) continue;
      const Rect extent =
          RectAt(from->offsetX, from->offsetY, from->bitmap.width, from->bitmap.height);
      const Rect part = rect.IsEmpty() ? extent : Intersect(extent, rect);
      if (part.IsEmpty()) continue;
      auto clone = std::make_unique<Layer>(copy.get());
      if (!clone->CopyAttributes(*from, false)) return nullptr;
      const Rect cut{int32_t(part.left - int64_t(from->offsetX)),
                     int32_t(part.top - int64_t(from->offsetY)),
                     int32_t(part.right - int64_t(from->offsetX)),
                     int32_t(part.bottom - int64_t(from->offsetY))};
      if (!CopyPart(from->bitmap, cut, clone->bitmap)) return nullptr;
      clone->offsetX = part.left;
      clone->offsetY = part.top;
      copy->layers.Add(clone.release());
    }
  }
  if (!copy->CopyAttributesFrom(*this)) return nullptr;
  copy->MarkChanged();
  return copy.release();
}

}  // namespace glib
