// Filter kernels of the scale types and the per-output weight tables built from
// them. Shrinking widens a kernel by the ratio so that detail finer than the new
// pixel grid is averaged away rather than aliased.
#pragma once

#include <cstdint>
#include <memory>

#include "formats/Retcode.h"
#include "runtime/ScaleTypes.h"

namespace glib::resample {

constexpr int kWeightBits = 14;  // fixed-point weights sum to 1 << kWeightBits

// Kernel value at distance x (in input pixels of the unscaled kernel); 0 beyond
// KernelRadius. Nearest is treated as a box of radius 0.5.
double KernelValue(EScaleType type, double x);
double KernelRadius(EScaleType type);

struct Weights {
  int32_t outCount = 0;
  int32_t taps = 0;                  // entries per output; even in fixed-point tables
  std::unique_ptr<int32_t[]> start;  // first input of each output; start + taps <= input count
  std::unique_ptr<int16_t[]> fixed;  // outCount x taps, each row summing to 1 << kWeightBits
  std::unique_ptr<float[]> real;     // outCount x taps, each row summing to 1
  bool identity = false;             // output i is input i: nothing to filter
};

// Tables larger than this many entries are refused (OMEM): they only arise for
// absurd ratios, and they must not take the host's memory.
constexpr uint64_t kMaxWeightEntries = uint64_t(1) << 26;

// Weights mapping `inCount` inputs to `outCount` outputs, pixel centres aligned.
// OMEM when the table would be too large or memory is short.
ERetcode BuildWeights(EScaleType type, int32_t inCount, int32_t outCount, bool antialias,
                      bool fixedPoint, Weights& weights);

}  // namespace glib::resample
