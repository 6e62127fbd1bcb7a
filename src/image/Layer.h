// glib::Layer: one picture, raster or vector, placed at an offset in its slide, with
// a blend mode, the visible and enabled flags and a metadata block. The layer owns
// its bitmap's rows and picture.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/GenBytes.h"
#include "formats/GenString.h"
#include "formats/Retcode.h"
#include "runtime/ScaleTypes.h"

namespace glib {

class Slide;

// Blend modes are four-character codes, FourCC("mul ") and so on.
constexpr uint32_t kBlendNormal = FourCC("norm");

class Layer {
 public:
  explicit Layer(Slide* owner = nullptr);
  // Event 4 through the slide's callback, then the bitmap is released.
  virtual ~Layer();
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  // Zeroed rows of the type at (x, y); the palette (may be null) is copied with every
  // alpha byte 255; the rows are filled with the slide's background when asked. Both
  // flags become 1. False when the byte count overflows 32 bits or memory is short.
  bool Create(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t pixelType,
              const uint32_t* palette, bool paddedRows, bool fillWithBackground);
  // Adopts page-allocated 32-bit RGBA rows.
  void SetPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* rows);
  // Adopts a vector picture (a VectorPicture record).
  void SetPicture(int32_t x, int32_t y, int32_t width, int32_t height, OwnedObject* picture);
  // Negative coordinates become 0 unless the owning slide has a canvas.
  void SetPosition(int32_t x, int32_t y);
  // Texts, flags, offset and bitmap; the rows are moved from `source`, or duplicated.
  bool CopyFrom(Layer& source, bool duplicateRows);
  // Offset, bitmap (duplicated, or released without pixels), flags, texts, metadata
  // and blend mode.
  bool CopyAttributes(const Layer& source, bool withPixels);
  // A new layer of `owner` with CopyAttributes with pixels; null when memory is short.
  Layer* Clone(Slide* owner) const;

  bool IsEmpty() const { return !bitmap.pixels && !bitmap.picture; }
  bool IsVector() const { return bitmap.picture && !bitmap.pixels; }
  // Takes part in size, drawing and compositing.
  bool IsShown() const { return visible == 1 && enabled == 1; }
  uint32_t GetBackground() const;  // the slide's, 0xFFFFFFFF without a slide

  void SetMetadata(const void* bytes, uint32_t count);
  const uint8_t* GetMetadata(uint32_t* count) const;

  // ---- operations ----
  ERetcode Resize(int32_t newWidth, int32_t newHeight, int32_t sourceX, int32_t sourceY,
                  int32_t sourceWidth, int32_t sourceHeight, EScaleType type, bool keepProportions,
                  ProgressCallback callback, ClbData* record, uint32_t scaleFlags);
  ERetcode Mirror(bool vertical, bool horizontal, const ClbData* record = nullptr);
  ERetcode Rotate(double degrees, bool interpolate, ProgressCallback callback, ClbData* record);
  ERetcode ConvertTo(uint32_t pixelType);
  bool SetAlpha(uint8_t alpha);
  // Distinct pixel values; -1 for a vector layer.
  int64_t CountColours() const;
  // Cuts to the rectangle in layer coordinates and moves the offset by (x, y).
  ERetcode Crop(int32_t x, int32_t y, int32_t width, int32_t height);

  uint32_t blendMode = kBlendNormal;  // four characters, read big-endian
  gen::string name;
  gen::string text2;
  uint8_t visible = 1;
  uint8_t enabled = 1;
  CoreBitmap bitmap;
  Slide* slide;  // not owned
  gen::byte_array metadata;
  int32_t offsetX = 0;
  int32_t offsetY = 0;

 private:
  // Name, second text, visibility, enabled flag and offset of the source.
  void TakeNameAndPlacement(const Layer& source);
  void MarkSlideChanged();
  float ResolutionX() const;
  float ResolutionY() const;
};

}  // namespace glib
