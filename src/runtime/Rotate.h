// Turning a raster picture clockwise by any angle.
//
// Multiples of 90 degrees are exact pixel moves for every pixel type. Other angles
// give a bitmap just large enough for the turned picture; the uncovered pixels get
// the background colour. With interpolation pixels are sampled bilinearly (edges
// blend into the background) and indexed and packed sources become the true-colour
// type the resampler would give them; without it the nearest pixel is taken and
// the pixel type stays (the background then takes the nearest palette entry).
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"

namespace glib {

class Rotate {
 public:
  // `text` is the progress text of the steps (default "rotate...").
  Rotate(bool interpolate, ProgressCallback progress = nullptr, uintptr_t context = 0,
         const char* text = nullptr);

  // Turns `source` clockwise by `degrees` into `dest`. The background is 16 bits per
  // channel: red in the lowest bits, then green, blue, and alpha in the highest.
  // On RCOK `dest` holds the result (rows by the source's rule, its palette for
  // indexed types); when it already held rows of exactly the result's type and size
  // they are written in place, otherwise its rows are released by its own rule and
  // new ones taken from the page allocator. On failure `dest` is untouched.
  // BADA for a source without rows, an angle that is not finite or `dest` being the
  // source; UNSF for an unknown pixel type; OMEM when the result does not fit in 32
  // bits or memory is short; USRA when the progress callback asked to stop.
  ERetcode Execute(const CoreBitmap& source, CoreBitmap& dest, double degrees, uint64_t background);

  // Size of the result for a width x height picture.
  static void ResultSize(int32_t width, int32_t height, double degrees, int32_t& resultWidth,
                         int32_t& resultHeight);

 private:
  bool interpolate_;
  ProgressCallback progress_;
  uintptr_t context_;
  const char* text_;
};

}  // namespace glib
