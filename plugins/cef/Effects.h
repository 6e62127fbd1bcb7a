// The colour-effect module: effects by number on a bitmap in place, as the program's
// "ApplyColorEffect" calls them, with the parameter lists its settings dialogs build.
//
// Effects work on 24-, 32-, 48- and 64-bit RGB pixels and never change alpha. An
// empty list (null, or a count of 0) gives an effect its defaults where it has
// them; a list must otherwise have exactly the effect's length, whole numbers where
// integers are meant and every value inside the effect's range. Amounts "in sample
// units" are those of the picture (0..255, or 0..65535 for 16-bit samples); levels
// are 8-bit levels, scaled for 16-bit samples. The program scales amounts by the
// depth of the document's current page, so an 8-bit layer of a 16-bit document may
// be handed more than its range: the result saturates.
//
//  0 brightness       offset in sample units, |offset| <= 65535
//  1 contrast         amount in sample units, |amount| <= 32767.5
//  2 auto contrast    [unused choice index]
//  3 gamma            0.01 .. 10
//  4 linear balance   red, green, blue offsets in sample units, each |offset| <= 65535
//  5 negative         [two unused integers]
//  6 mosaic           cell width, height 1..65535
//  7 greyscale        [0 luminance (default), 1 average]
//  8 blur             [two unused integers]: the 3 x 3 box
//  9 Gaussian blur    radius x, y 1..500: the standard deviations in pixels
// 10 sharpen          [three unused integers]
// 11 emboss           [two unused integers]
// 13 median, 14 minimum, 15 maximum   [unused choice index]: the 3 x 3 square
// 16 unsharp mask     radius 1..500 (the Gaussian's deviation), amount 0..1000 %,
//                     threshold 0..255 levels
// 17 canvas           [direction 0..3, depth 1..50; default 0, 4]
// 18 oil paint        [brush size 3..201, unused; default 7]: the square of that side
// 19 desaturate       [unused choice index]
// 20 sepia            [two unused integers]
// 24 motion blur      angle -360..360 degrees, length 1..1000 pixels (the blur dialog
//                     starts at 45, 12; its radius slider sets both: that length at
//                     that many degrees)
// 27 auto levels      [1 levels (default), 2 colours]
// 29 smart blur       [size 3..201, threshold 0..255 levels; default 7, 5]: the
//                     square of that side, neighbours within the threshold
// 30 smart smoothing  [unused choice index]
// 32 colour balance   red, green, blue -100..100, tone range 0..2, keep luminosity 0..1
// 33 custom kernel    size 5, 25 coefficients row by row, multiplier, offset (levels);
//                     coefficients, multiplier and offset within +-1e6
//
// Unused values are whole numbers the dialogs send along; they are checked, not read.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/DynParams.h"

namespace cef {

enum EEffect : uint32_t {
  kBrightness = 0,
  kContrast = 1,
  kAutoContrast = 2,
  kGamma = 3,
  kLinearBalance = 4,
  kNegative = 5,
  kMosaic = 6,
  kGreyscale = 7,
  kBlur = 8,
  kGaussianBlur = 9,
  kSharpen = 10,
  kEmboss = 11,
  kMedian = 13,
  kMinimum = 14,
  kMaximum = 15,
  kUnsharpMask = 16,
  kCanvas = 17,
  kOilPaint = 18,
  kDesaturate = 19,
  kSepia = 20,
  kMotionBlur = 24,
  kAutoLevels = 27,
  kSmartBlur = 29,
  kSmartSmoothing = 30,
  kNonLinearBalance = 32,
  kCustom = 33,
};

// RCOK when the picture was changed; UNSF for an effect number not listed above or a
// pixel type other than the four; BADA for a malformed parameter list or a bitmap
// without rows or with a bad size; OMEM when scratch memory is short; USRA when the
// progress callback asked to stop. On any code but RCOK the pixels are as they were.
// Never throws.
uint32_t ApplyColorEffect(glib::CoreBitmap* bitmap, uint32_t effect, const glib::DynParams* params,
                          ProgressCallback progress, ClbData* record) noexcept;

// The length of the full parameter list of an effect; -1 for an unknown number.
int32_t ParameterCount(uint32_t effect);

}  // namespace cef
