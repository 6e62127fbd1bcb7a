#include "image/Layer.h"

#include <cstring>
#include <new>

#include "image/BitmapOps.h"
#include "image/FilmTypes.h"
#include "image/Slide.h"
#include "runtime/BitmapRows.h"

namespace glib {

Layer::Layer(Slide* owner) : slide(owner) { bitmap.ownsPixels = 1; }

Layer::~Layer() {
  if (slide) SendEvent(slide->progress, slide->progressContext, kEventLayerDestroyed, this);
  ReleaseBitmap(bitmap);
}

uint32_t Layer::GetBackground() const { return slide ? slide->background : 0xFFFFFFFF; }

float Layer::ResolutionX() const { return slide ? slide->resolutionX : 96.0f; }
float Layer::ResolutionY() const { return slide ? slide->resolutionY : 96.0f; }

void Layer::MarkSlideChanged() {
  if (slide) slide->MarkChanged();
}

bool Layer::Create(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t pixelType,
                   const uint32_t* palette, bool paddedRows, bool fillWithBackground) {
  if (!IsRaster(pixelType)) return false;
  if (!AllocateBitmap(bitmap, width, height, pixelType, paddedRows ? kStridePadded : kStridePacked))
    return false;
  if (palette) {
    for (int i = 0; i < 256; ++i) bitmap.palette[i] = palette[i] | 0xFF000000u;
  }
  if (fillWithBackground) {
    const uint32_t pixel = PixelFromColour(GetBackground());
    if (pixelType == kPixelRGBA32) {
      FillPixels(bitmap, pixel);
    } else if (pixelType == kPixelRGB24) {
      uint64_t step = RowStep(bitmap);
      for (int32_t row = 0; row < height; ++row) {
        uint8_t* p = bitmap.pixels + uint64_t(row) * step;
        for (int32_t col = 0; col < width; ++col, p += 3) std::memcpy(p, &pixel, 3);
      }
    }
  }
  visible = enabled = 1;
  offsetX = x;
  offsetY = y;
  return true;
}

void Layer::SetPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* rows) {
  ReleaseBitmap(bitmap);
  bitmap.pixels = rows;
  bitmap.width = rows ? width : 0;
  bitmap.height = rows ? height : 0;
  bitmap.stride = kStridePadded;
  bitmap.pixelType = rows ? kPixelRGBA32 : kPixelNone;
  bitmap.ownsPixels = 1;
  offsetX = x;
  offsetY = y;
}

void Layer::SetPicture(int32_t x, int32_t y, int32_t width, int32_t height, OwnedObject* picture) {
  ReleaseBitmap(bitmap);
  bitmap.picture = picture;
  bitmap.width = picture ? width : 0;
  bitmap.height = picture ? height : 0;
  bitmap.pixelType = picture ? kPixelVector : kPixelNone;
  bitmap.ownsPixels = 1;
  offsetX = x;
  offsetY = y;
}

void Layer::SetPosition(int32_t x, int32_t y) {
  if (!slide || !slide->HasCanvas()) {
    x = std::max(x, 0);
    y = std::max(y, 0);
  }
  offsetX = x;
  offsetY = y;
}

bool Layer::CopyFrom(Layer& source, bool duplicateRows) {
  if (&source == this) return true;
  if (duplicateRows) {
    if (!CopyBitmap(bitmap, source.bitmap)) return false;
  } else {
    MoveBitmap(bitmap, source.bitmap);
  }
  TakeNameAndPlacement(source);
  return true;
}

void Layer::TakeNameAndPlacement(const Layer& source) {
  name = source.name;
  text2 = source.text2;
  visible = source.visible;
  enabled = source.enabled;
  offsetX = source.offsetX;
  offsetY = source.offsetY;
}

bool Layer::CopyAttributes(const Layer& source, bool withPixels) {
  if (&source == this) return true;
  if (withPixels) {
    if (!CopyBitmap(bitmap, source.bitmap)) return false;
  } else {
    ReleaseBitmap(bitmap);
  }
  TakeNameAndPlacement(source);
  metadata = source.metadata;
  blendMode = source.blendMode;
  return true;
}

Layer* Layer::Clone(Slide* owner) const {
  auto* copy = new (std::nothrow) Layer(owner);
  if (!copy) return nullptr;
  if (!copy->CopyAttributes(*this, true)) {
    copy->slide = nullptr;  // never was part of the slide: no event
    delete copy;
    return nullptr;
  }
  return copy;
}

void Layer::SetMetadata(const void* bytes, uint32_t count) {
  if (!bytes || count == 0) {
    metadata.clear();
  } else {
    metadata.assign(bytes, count);
  }
}

const uint8_t* Layer::GetMetadata(uint32_t* count) const {
  if (count) *count = metadata.size();
  return metadata.empty() ? nullptr : metadata.data();
}

}  // namespace glib
