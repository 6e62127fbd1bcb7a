// Small kernels laid on the picture as they read (a correlation): each output sample
// is the weighted sum of its size x size neighbourhood times the multiplier plus the
// offset. Edges repeat the outermost pixels.
#include <algorithm>
#include <vector>

#include "cef/Filters.h"

namespace cef {
namespace {

template <typename T>
ERetcode ConvolveOf(const Picture& p, const Kernel& kernel, Progress& progress) {
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  const int size = kernel.size, reach = size / 2, c = p.channels;
  float weights[25];
  int taps = 0;
  for (int i = 0; i < size * size; ++i) {
    weights[i] = float(kernel.coefficients[i] * kernel.multiplier);
    taps += weights[i] != 0.0f;
  }
  const float offset = float(kernel.offset);
  const size_t n = p.RowSamples();
  const size_t padded = (size_t(p.width) + 2 * size_t(reach)) * size_t(c);
  const int threads = ThreadsFor(p.Pixels() * uint64_t(c) * uint64_t(taps + size));
  Buffer<float> work;  // per worker: one padded source row and the sums
  if (!work.Allocate((padded + n) * size_t(threads))) return glib::OMEM;
  bool done = ForChunks(p.height, 8, threads, Phase{progress, 0.0, 1.0},
                        [&](int32_t first, int32_t end, int worker) {
                          float* row = work.Data() + (padded + n) * size_t(worker);
                          float* acc = row + padded;
                          for (int32_t y = first; y < end; ++y) {
                            std::fill(acc, acc + n, offset);
                            for (int dy = 0; dy < size; ++dy) {
                              const T* s = p.Row<T>(ClampIndex(int64_t(y) + dy - reach, p.height));
                              for (int32_t x = -reach; x < p.width + reach; ++x) {
                                const T* px = s + size_t(ClampIndex(x, p.width)) * size_t(c);
                                float* d = row + size_t(x + reach) * size_t(c);
                                for (int k = 0; k < c; ++k) d[k] = float(px[k]);
                              }
                              for (int dx = 0; dx < size; ++dx) {
                                const float w = weights[dy * size + dx];
                                if (w == 0.0f) continue;
                                const float* from = row + size_t(dx) * size_t(c);
                                for (size_t i = 0; i < n; ++i) acc[i] += w * from[i];
                              }
                            }
                            T* o = out.Row(y);
                            for (size_t i = 0; i < n; ++i) o[i] = RoundSample<T>(acc[i]);
                          }
                        });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

}  // namespace

ERetcode Convolve(const Picture& picture, const Kernel& kernel, Progress& progress) {
  if (kernel.size != 3 && kernel.size != 5) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return ConvolveOf<decltype(sample)>(picture, kernel, progress);
  });
}

ERetcode Sharpen(const Picture& picture, Progress& progress) {
  const Kernel sharpen{3, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1.0, 0.0};
  return Convolve(picture, sharpen, progress);
}

ERetcode Emboss(const Picture& picture, Progress& progress) {
  const Kernel emboss{3, {-1, -1, 0, -1, 0, 1, 0, 1, 1}, 1.0, (picture.Max() + 1) / 2.0};
  return Convolve(picture, emboss, progress);
}

}  // namespace cef
