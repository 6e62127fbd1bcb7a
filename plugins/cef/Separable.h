// The two passes of the separable blurs (box, Gaussian, unsharp mask), built twice:
// plainly (Blur.cpp) and for processors with AVX2 and FMA (BlurAvx2.cpp). Only the
// plain data below crosses between the two builds, so no inline code of one can
// stand in for the other's.
#pragma once

#include <vector>

#include "cef/Filters.h"

namespace cef {

// One direction of a separable blur.
struct LineFilter {
  enum Kind { kNone, kBox, kFir, kRecursive } kind = kNone;
  int radius = 0;                        // box and kernel: reach on each side
  std::vector<float> weights;            // kernel: 2 radius + 1
  double b = 1, a1 = 0, a2 = 0, a3 = 0;  // recursive: w[n] = b x[n] + a1 w[n-1] + ...
  int tail = 0;                          // recursive: samples of the repeated edge run past the end
  bool precise = false;                  // recursive: in double precision
};

// What the unsharp mask makes of a sample and its blurred value: the sample moved
// `gain` times its difference away, where the difference is over `limit`.
struct Unsharp {
  float gain;
  float limit;  // in sample units
};

// Both passes in place (with `unsharp`, the picture sharpened by the blur instead),
// on the processor's best build; OMEM when the scratch rows cannot be had.
ERetcode SeparableInPlace(const Picture& p, const LineFilter& vertical,
                          const LineFilter& horizontal, Progress& progress,
                          const Unsharp* unsharp = nullptr);
// The AVX2 and FMA build, for processors that have them (HasAvx2Fma).
ERetcode SeparableInPlaceAvx2(const Picture& p, const LineFilter& vertical,
                              const LineFilter& horizontal, Progress& progress,
                              const Unsharp* unsharp);
// Whether the processor has AVX2 and FMA and the build may use them.
bool HasAvx2Fma();
// Keeps the separable blurs to the plain build (tests compare the two builds).
void UsePlainBuildOnly(bool plain);

}  // namespace cef
