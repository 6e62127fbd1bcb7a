// Colour reduction to a palette of at most 256 entries.
//
// Pictures with no more distinct colours than asked keep them exactly. Others get
// a palette from Wu's variance-minimising box cuts over a colour histogram,
// refined by a few k-means passes; pixels take the nearest entry, optionally with
// serpentine Floyd-Steinberg error diffusion. With the grey flag the palette is
// made of grey levels chosen for the picture's luminance. Alpha is ignored: the
// palette is opaque. Results do not depend on the thread count.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/Retcode.h"

namespace glib {

class Quantize {
 public:
  // `maxColours` from 1 to 256; `refine` adds the k-means passes (better colours,
  // a little slower). `text` is the progress text (default "Quantize...").
  Quantize(uint32_t maxColours, bool dither, bool grey, bool refine = true,
           ProgressCallback progress = nullptr, uintptr_t context = 0, const char* text = nullptr);

  // Reduces width x height pixels of `pixelType` (any raster type of 8 bits per
  // sample or more; rows by `rowRule`, a row rule or bytes per row) to 8-bit
  // indices (rows by `indexRowRule`) and fills `palette` (256 entries, the unused
  // ones 0). Returns the number of palette entries, or -1: LastResult() says why
  // (BADA, UNSF, OMEM, USRA when the progress callback asked to stop).
  int Execute(const uint8_t* pixels, int32_t width, int32_t height, uint32_t pixelType,
              int32_t rowRule, uint8_t* indices, int32_t indexRowRule, uint32_t* palette);

  ERetcode LastResult() const { return last_; }

 private:
  uint32_t maxColours_;
  bool dither_, grey_, refine_;
  ProgressCallback progress_;
  uintptr_t context_;
  const char* text_;
  ERetcode last_ = RCOK;
};

// The same reduction for 8-bit indexed pictures: fewer palette entries, chosen
// from the colours the picture uses.
class QuantizeIndexedBitmap {
 public:
  QuantizeIndexedBitmap(uint32_t maxColours, bool dither, bool grey,
                        ProgressCallback progress = nullptr, uintptr_t context = 0,
                        const char* text = nullptr);

  // `indices` (rows by `rowRule`) index `palette` (256 entries); the result goes to
  // `out` (rows by `outRowRule`; it may be `indices` itself when the rules match)
  // and `outPalette` (256 entries, may be `palette`). Returns the entry count or -1.
  int Execute(const uint8_t* indices, int32_t width, int32_t height, int32_t rowRule,
              const uint32_t* palette, uint8_t* out, int32_t outRowRule, uint32_t* outPalette);

  ERetcode LastResult() const { return last_; }

 private:
  uint32_t maxColours_;
  bool dither_, grey_;
  ProgressCallback progress_;
  uintptr_t context_;
  const char* text_;
  ERetcode last_ = RCOK;
};

}  // namespace glib
