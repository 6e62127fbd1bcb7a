// The separable passes built for processors with AVX2 and FMA: eight rows at a time
// along the rows, eight samples a step down the columns, and fused multiply-adds.
// Blur.cpp calls them only where the processor has the instructions. The headers
// come first, outside the target region, so their inline code stays plain.
#include <algorithm>
#include <cmath>
#include <vector>

#include "cef/Filters.h"
#include "cef/Separable.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
#define CEF_SEPARABLE_GROUP 8
#include "cef/SeparablePasses.h"

namespace cef {

ERetcode SeparableInPlaceAvx2(const Picture& p, const LineFilter& vertical,
                              const LineFilter& horizontal, Progress& progress,
                              const Unsharp* unsharp) {
  return SeparableByDepth(p, vertical, horizontal, progress, unsharp);
}

}  // namespace cef
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
namespace cef {

ERetcode SeparableInPlaceAvx2(const Picture&, const LineFilter&, const LineFilter&, Progress&,
                              const Unsharp*) {
  return glib::NSUP;
}

}  // namespace cef
#endif
