// Drawing the current slide into a DrawTarget: the picture to show (a directly
// drawable single layer or the composite), its rows brought to the device's row rule,
// and the geometry of unscaled and scaled drawing.
#include "image/Composite.h"
#include "image/Film.h"

namespace glib {

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
