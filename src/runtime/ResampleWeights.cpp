#include "runtime/ResampleWeights.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace glib::resample {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Sinc(double x) {
  if (x == 0) return 1.0;
  x *= kPi;
  return std::sin(x) / x;
}

// Dersch's splines: cubic pieces fitted so that the kernel interpolates and has a
// continuous first derivative; the coefficients are his.
double Spline16(double x) {
  if (x < 1) return ((x - 9.0 / 5) * x - 1.0 / 5) * x + 1;
  x -= 1;
  return ((-1.0 / 3 * x + 4.0 / 5) * x - 7.0 / 15) * x;
}

double Spline36(double x) {
  if (x < 1) return ((13.0 / 11 * x - 453.0 / 209) * x - 3.0 / 209) * x + 1;
  if (x < 2) {
    x -= 1;
    return ((-6.0 / 11 * x + 270.0 / 209) * x - 156.0 / 209) * x;
  }
  x -= 2;
  return ((1.0 / 11 * x - 45.0 / 209) * x + 26.0 / 209) * x;
}

double Spline64(double x) {
  if (x < 1) return ((49.0 / 41 * x - 6387.0 / 2911) * x - 3.0 / 2911) * x + 1;
  if (x < 2) {
    x -= 1;
    return ((-24.0 / 41 * x + 4032.0 / 2911) * x - 2328.0 / 2911) * x;
  }
  if (x < 3) {
    x -= 2;
    return ((6.0 / 41 * x - 1008.0 / 2911) * x + 582.0 / 2911) * x;
  }
  x -= 3;
  return ((-1.0 / 41 * x + 168.0 / 2911) * x - 97.0 / 2911) * x;
}

double CatmullRom(double x) {
  if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
  return ((-0.5 * x + 2.5) * x - 4) * x + 2;
}

}  // namespace

double KernelRadius(EScaleType type) {
  switch (type) {
    case kScaleNearest:
      return 0.5;
    case kScaleBilinear:
      return 1;
    case kScaleBicubic:
    case kScaleSpline16:
      return 2;
    case kScaleSpline36:
      return 3;
    case kScaleSpline64:
      return 4;
    case kScaleSinc256:
      return 8;
    case kScaleSinc1024:
      return 16;
  }
  return 1;
}

double KernelValue(EScaleType type, double x) {
  x = std::fabs(x);
  double radius = KernelRadius(type);
  if (x >= radius) return type == kScaleNearest && x == radius ? 1.0 : 0.0;
  switch (type) {
    case kScaleNearest:
      return 1;
    case kScaleBilinear:
      return 1 - x;
    case kScaleBicubic:
      return CatmullRom(x);
    case kScaleSpline16:
      return Spline16(x);
    case kScaleSpline36:
      return Spline36(x);
    case kScaleSpline64:
      return Spline64(x);
    case kScaleSinc256:
    case kScaleSinc1024:
      return Sinc(x) * Sinc(x / radius);
  }
  return 0;
}

ERetcode BuildWeights(EScaleType type, int32_t inCount, int32_t outCount, bool antialias,
                      bool fixedPoint, Weights& weights) {
  if (inCount <= 0 || outCount <= 0) return BADA;
  weights = Weights{};
  weights.outCount = outCount;
  if (inCount == outCount) {
    // Every kernel interpolates: at the same size each output is its input.
    weights.identity = true;
    return RCOK;
  }
  double scale = double(inCount) / outCount;
  double filterScale = antialias ? std::max(scale, 1.0) : 1.0;
  double support = KernelRadius(type) * filterScale;
  int64_t taps = std::min<int64_t>(int64_t(std::ceil(support)) * 2 + 1, inCount);
  if (fixedPoint) taps += taps & 1;
  if (uint64_t(taps) * uint64_t(outCount) > kMaxWeightEntries) return OMEM;

  weights.taps = int32_t(taps);
  uint64_t entries = uint64_t(taps) * uint64_t(outCount);
  weights.start.reset(new (std::nothrow) int32_t[outCount]);
  if (fixedPoint) {
    weights.fixed.reset(new (std::nothrow) int16_t[entries]());
  } else {
    weights.real.reset(new (std::nothrow) float[entries]());
  }
  if (!weights.start || (!weights.fixed && !weights.real)) return OMEM;

  std::vector<double> w(size_t(taps) + 2);
  for (int32_t i = 0; i < outCount; ++i) {
    double centre = (i + 0.5) * scale;
    int64_t lo = std::max<int64_t>(0, int64_t(std::floor(centre - support + 0.5)));
    int64_t hi = std::min<int64_t>(inCount, int64_t(std::floor(centre + support + 0.5)));
    hi = std::min(hi, lo + taps);
    double sum = 0;
    for (int64_t j = lo; j < hi; ++j) {
      w[size_t(j - lo)] = KernelValue(type, (j + 0.5 - centre) / filterScale);
      sum += w[size_t(j - lo)];
    }
    if (hi <= lo || std::fabs(sum) < 1e-9) {
      // Nothing under the kernel (a box narrower than the grid): take the nearest input.
      lo = std::clamp<int64_t>(int64_t(centre), 0, inCount - 1);
      hi = lo + 1;
      w[0] = sum = 1;
    }
    int64_t start = std::max<int64_t>(0, std::min<int64_t>(lo, inCount - taps));
    weights.start[i] = int32_t(start);
    size_t row = size_t(i) * size_t(taps);
    size_t offset = size_t(lo - start);
    if (!fixedPoint) {
      for (int64_t j = lo; j < hi; ++j) {
        weights.real[row + offset + size_t(j - lo)] = float(w[size_t(j - lo)] / sum);
      }
      continue;
    }
    // Rounded weights are corrected on the largest so that each row sums exactly
    // to one: flat areas stay flat.
    int32_t total = 0;
    size_t largest = row + offset;
    for (int64_t j = lo; j < hi; ++j) {
      size_t at = row + offset + size_t(j - lo);
      // Normalised weights stay below 1.5 for every kernel here; clamp regardless.
      long v = std::lround(w[size_t(j - lo)] / sum * (1 << kWeightBits));
      weights.fixed[at] = int16_t(std::clamp(v, -32767L, 32767L));
      total += weights.fixed[at];
      if (weights.fixed[at] > weights.fixed[largest]) largest = at;
    }
    weights.fixed[largest] = int16_t(weights.fixed[largest] + (1 << kWeightBits) - total);
  }
  return RCOK;
}

}  // namespace glib::resample
