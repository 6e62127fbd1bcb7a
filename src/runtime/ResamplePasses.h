// The two separable passes of the resampler. Each output row is made by a vertical
// pass over the source rows under the kernel (contiguous samples, vectorised) and a
// horizontal pass over that one intermediate row.
//
// 8-bit data runs in fixed point: 14-bit weights, intermediate samples as 16-bit
// integers with kIntermediateBits fraction bits. 16-bit data (and kernels too wide
// for 16-bit weights) run in single-precision floating point.
#pragma once

#include <cstdint>

#include "runtime/ResampleWeights.h"

namespace glib::resample {

constexpr int kIntermediateBits = 6;

// Vertical pass, fixed point: for each of `count` samples, the sum over `taps` rows
// of weight x sample. The sums collect in `acc` across calls (first clears it);
// on the last call they are rounded into `out` (saturated to 16 bits).
void VerticalFixed(const uint8_t* const* rows, const int16_t* weights, int taps, int32_t count,
                   int32_t* acc, int16_t* out, bool first, bool last);

// Horizontal pass, fixed point: `in` holds intermediate pixels of `channels`
// samples (1, 3 or 4) with at least one spare pixel and four spare samples after
// the last input; `out` receives 8-bit pixels.
void HorizontalFixed(const int16_t* in, int channels, const Weights& weights, uint8_t* out);

// Vertical pass, floating point, into `acc` (added to unless first).
template <typename T>
void VerticalFloat(const T* const* rows, const float* weights, int taps, int32_t count, float* acc,
                   bool first);

// Horizontal pass, floating point, rounding and clamping to [0, maxValue].
template <typename T>
void HorizontalFloat(const float* in, int channels, const Weights& weights, T* out);

// Plain-loop versions of the fixed-point passes, the reference the vectorised ones
// must match exactly.
void VerticalFixedReference(const uint8_t* const* rows, const int16_t* weights, int taps,
                            int32_t count, int32_t* acc, int16_t* out, bool first, bool last);
void HorizontalFixedReference(const int16_t* in, int channels, const Weights& weights,
                              uint8_t* out);

}  // namespace glib::resample
