// Drawing the current slide into a DrawTarget: the picture to show (a directly
// drawable single layer or the composite), its rows brought to the device's row rule,
// and the geometry of unscaled and scaled drawing.
#include <cstring>
#include <new>
#include <vector>

#include "image/Composite.h"
#include "image/Film.h"

namespace glib {

namespace {

// Nearest-pixel reduction done here rather than by the device: only the destination's
// pixels are read from a big picture, and the device copies rows without scaling
// (a device that scales a 24-megapixel picture walks all of it).
bool DrawReduced(DrawTarget& target, const CoreBitmap& bitmap, const Rect& destination,
                 const Rect& source) {
  if (bitmap.pixelType != kPixelRGB24 && bitmap.pixelType != kPixelRGBA32) return false;
  const uint32_t bytes = BitsPerPixel(bitmap.pixelType) / 8;
  const int64_t dw = destination.Width(), dh = destination.Height();
  const int64_t sw = source.Width(), sh = source.Height();
  if (dw <= 0 || dh <= 0 || dw >= sw || dh >= sh) return false;
  if (source.left < 0 || source.top < 0 || source.right > bitmap.width ||
      source.bottom > bitmap.height)
    return false;
  CoreBitmap reduced;
  reduced.width = int32_t(dw);
  reduced.height = int32_t(dh);
  reduced.pixelType = bitmap.pixelType;
  reduced.stride = kStridePadded;
  const uint64_t inRow = RowBytes(bitmap), outRow = RowBytes(reduced);
  std::vector<uint8_t> rows;
  std::vector<uint32_t> columns;
  try {
    rows.resize(size_t(outRow * uint64_t(dh)));
    columns.resize(size_t(dw));
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The source pixel under the centre of each destination pixel.
  for (int64_t x = 0; x < dw; ++x)
    columns[size_t(x)] = uint32_t((source.left + (2 * x + 1) * sw / (2 * dw)) * bytes);
  for (int64_t y = 0; y < dh; ++y) {
    const uint8_t* in = bitmap.pixels + uint64_t(source.top + (2 * y + 1) * sh / (2 * dh)) * inRow;
    uint8_t* out = rows.data() + uint64_t(y) * outRow;
    if (bytes == 4) {
      for (int64_t x = 0; x < dw; ++x) std::memcpy(out + x * 4, in + columns[size_t(x)], 4);
    } else {
      for (int64_t x = 0; x < dw; ++x) std::memcpy(out + x * 3, in + columns[size_t(x)], 3);
    }
  }
  reduced.pixels = rows.data();
  return target.DrawRows(reduced, destination, RectAt(0, 0, int32_t(dw), int32_t(dh)),
                         kStretchColorOnColor);
}

}  // namespace

uint32_t Film::GetSlideBitmap(int32_t index, uint8_t** pixels, const uint32_t** palette,
                              OwnedObject** picture) {
  if (pixels) *pixels = nullptr;
  if (palette) *palette = nullptr;
  if (picture) *picture = nullptr;
  Slide* slide = GetSlide(index);
  Layer* shown = slide ? ShownLayer(*slide, false) : nullptr;
  if (!shown) return kPixelNone;
  if (pixels) *pixels = shown->bitmap.pixels;
  if (palette) *palette = shown->bitmap.palette;
  if (picture) *picture = shown->bitmap.picture;
  return shown->bitmap.pixelType;
}

const CoreBitmap* Film::PrepareSlideBitmap(int32_t index, bool forceComposite) {
  Slide* slide = GetSlide(index);
  Layer* shown = slide ? ShownLayer(*slide, forceComposite) : nullptr;
  if (!shown || !PadRowsForDevice(shown->bitmap)) return nullptr;
  return &shown->bitmap;
}

bool Film::DrawSlide(DrawTarget& target, const Rect& destination, const Rect& source,
                     StretchMode mode) {
  Slide* slide = GetCurrentSlide();
  Layer* shown = slide ? ShownLayer(*slide, false) : nullptr;
  if (!shown) return false;
  CoreBitmap& bitmap = shown->bitmap;
  if (shown->IsVector()) {
    return bitmap.picture->ops && target.DrawPicture(*AsVectorPicture(bitmap.picture), bitmap.width,
                                                     bitmap.height, destination, source);
  }
  if (!PadRowsForDevice(bitmap)) return false;
  // Halftone stretching of very large pictures costs more than it shows.
  if (mode == kStretchHalftone &&
      (bitmap.width >= state_->halftoneLimit || bitmap.height >= state_->halftoneLimit))
    mode = kStretchColorOnColor;
  if (mode == kStretchColorOnColor && DrawReduced(target, bitmap, destination, source)) return true;
  return target.DrawRows(bitmap, destination, source, mode);
}

bool Film::Draw(DrawTarget& target, const Rect& destination, int32_t sourceX, int32_t sourceY) {
  if (GetSlideCount() == 0) {
    target.Fill(destination, state_->background & 0x00FFFFFFu);
    return true;
  }
  const Rect source = RectAt(sourceX, sourceY, destination.Width(), destination.Height());
  return DrawSlide(target, destination, source, kStretchColorOnColor);
}

bool Film::DrawEx(DrawTarget& target, const Rect& destination, const Rect& source,
                  StretchMode mode) {
  if (GetSlideCount() == 0) {
    target.Fill(destination, state_->background & 0x00FFFFFFu);
    return true;
  }
  return DrawSlide(target, destination, source, mode);
}

}  // namespace glib
