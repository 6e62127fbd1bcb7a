// Resampling of a raster picture (or a rectangle of it) to a new size.
//
// Eight scale types (ScaleTypes.h). Nearest keeps the pixel type, indices and
// palette; the filtering types work on true colour and turn indexed and packed
// sources into the type CalcDestPixelType names. Colours are weighted by alpha
// (unless kScaleStraightAlpha) so that transparent pixels do not bleed into their
// neighbours. Large pictures are shared between the runtime's threads; the result
// is the same whatever the thread count.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"
#include "runtime/ScaleTypes.h"

namespace glib {

class Scale {
 public:
  // `text` is the progress text of the steps (default "scale...").
  Scale(uintptr_t progressContext, ProgressCallback progress, EScaleType type, uint32_t flags = 0,
        const char* text = nullptr);

  // The pixel type the result has for a source of this bitmap's type: the source
  // type for nearest and for true-colour and grey types; otherwise 24-bit RGB for
  // indexed and 5:6:5 / 5:5:5 sources (32-bit RGBA when the palette has
  // transparent entries), 32-bit RGBA for packed types with alpha, 16-bit grey for
  // 12-bit grey. kPixelNone for a type the resampler does not know.
  uint32_t CalcDestPixelType(const CoreBitmap& source) const;

  // Into rows the caller owns: width x height pixels of CalcDestPixelType(source)
  // laid out by `rowRule` (a row rule or bytes per row). A null rectangle is the
  // whole picture.
  ERetcode ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                   int32_t height, uint8_t* rows, int32_t rowRule);

  // Into new rows from the page allocator, handed over through `dest` (which may be
  // `source` itself): on RCOK its old rows are released by its own rule and it holds
  // the result (the source's row rule, its palette when the type stays); on failure
  // it is untouched.
  ERetcode ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                   int32_t height, CoreBitmap& dest);

  // Returns new rows from the page allocator (release with platform::PageFree), or
  // null; LastResult() tells why.
  uint8_t* ScaleTo(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width,
                   int32_t height, int32_t rowRule);

  // The code of the last ScaleTo: BADA for bad sizes, rectangles or buffers, UNSF for
  // an unknown pixel type or scale type, OMEM when memory is short or a size does
  // not fit in 32 bits, USRA when the progress callback asked to stop.
  ERetcode LastResult() const { return last_; }

 private:
  ERetcode Run(const CoreBitmap& source, const ScaleRect* sourceRect, int32_t width, int32_t height,
               uint8_t* rows, uint64_t rowBytes);

  uintptr_t context_;
  ProgressCallback progress_;
  EScaleType type_;
  uint32_t flags_;
  const char* text_;
  ERetcode last_ = RCOK;
};

}  // namespace glib
