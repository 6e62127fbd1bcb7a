// Blurs: the separable ones on the passes of SeparablePasses.h, motion blur along
// digital lines, and the smart blur. Edges repeat the outermost pixels.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <vector>

#include "cef/Filters.h"
#include "cef/SeparablePasses.h"

namespace cef {
namespace {

// The recursive filter's feedback magnifies rounding by about 1 / b, which grows
// with sigma as sigma^3: single precision keeps a 16-bit sample to well under one
// unit up to here, double precision beyond.
constexpr double kSinglePrecisionSigma = 10;

LineFilter BoxFilter(int radius) {
  LineFilter f;
  f.kind = radius > 0 ? LineFilter::kBox : LineFilter::kNone;
  f.radius = radius;
  return f;
}

// Variance of the forward and backward passes of the poles scaled by 1/q.
double RecursiveVariance(const std::complex<double> (&poles)[3], double q) {
  double variance = 0;
  for (const auto& d : poles) {
    std::complex<double> scaled = std::exp(std::log(d) / q);
    variance += (2.0 * scaled / ((scaled - 1.0) * (scaled - 1.0))).real();
  }
  return variance;
}

// The third-order poles of van Vliet, Young and Verbeek (for sigma 2), scaled so the
// two passes together have variance sigma^2.
void RecursiveCoefficients(double sigma, LineFilter& f) {
  const std::complex<double> poles[3] = {{1.41650, 1.00829}, {1.41650, -1.00829}, {1.86543, 0.0}};
  double q = sigma / 2;
  for (int i = 0; i < 40; ++i) {  // Newton's method; the variance grows with q
    double v = RecursiveVariance(poles, q);
    double slope = (RecursiveVariance(poles, q * 1.0001) - v) / (q * 0.0001);
    double next = q - (v - sigma * sigma) / slope;
    if (!(next > 0)) next = q / 2;
    if (std::abs(next - q) < 1e-9 * q) break;
    q = next;
  }
  // Denominator prod (1 - z^-1 / d): 1 + c1 z^-1 + c2 z^-2 + c3 z^-3.
  std::complex<double> c[4] = {1.0, 0.0, 0.0, 0.0};
  for (const auto& d : poles) {
    std::complex<double> inverse = 1.0 / std::exp(std::log(d) / q);
    for (int k = 3; k > 0; --k) c[k] -= c[k - 1] * inverse;
  }
  f.a1 = -c[1].real(), f.a2 = -c[2].real(), f.a3 = -c[3].real();
  f.b = 1.0 + c[1].real() + c[2].real() + c[3].real();
  f.tail = int(std::ceil(3 * sigma)) + 3;
  f.precise = sigma > kSinglePrecisionSigma;
}

LineFilter GaussianFilter(double sigma) {
  LineFilter f;
  if (!(sigma > 0)) return f;
  if (sigma >= 3) {
    f.kind = LineFilter::kRecursive;
    RecursiveCoefficients(sigma, f);
    return f;
  }
  f.kind = LineFilter::kFir;
  f.radius = int(std::ceil(4 * sigma));
  double sum = 0;
  std::vector<double> w(size_t(2 * f.radius + 1));
  for (int k = -f.radius; k <= f.radius; ++k) {
    w[size_t(k + f.radius)] = std::exp(-double(k) * k / (2 * sigma * sigma));
    sum += w[size_t(k + f.radius)];
  }
  for (double v : w) f.weights.push_back(float(v / sum));
  return f;
}

// ---- motion blur along digital lines ----

// The pixels of a line through the picture at a slope of at most one along its major
// axis: the pixel at major position m sits at minor position line + offset(m).
struct DigitalLines {
  int32_t majorSize, minorSize;
  double slope;  // minor per major step, -1..1
  int32_t Offset(int64_t m) const { return int32_t(std::floor(double(m) * slope + 0.5)); }
  int32_t FirstLine() const { return -std::max(Offset(0), Offset(majorSize - 1)); }
  int32_t LastLine() const { return minorSize - 1 - std::min(Offset(0), Offset(majorSize - 1)); }
  // The smallest major position where the monotone `holds` turns true (majorSize
  // when it never does).
  template <typename F>
  int32_t First(F holds) const {
    int32_t low = 0, high = majorSize;
    while (low < high) {
      int32_t mid = low + (high - low) / 2;
      if (holds(mid)) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low;
  }
  // The major positions of `line` that fall inside the picture; false when none do.
  bool Span(int32_t line, int32_t& from, int32_t& to) const {
    auto above = [&](int32_t m) { return int64_t(line) + Offset(m) >= 0; };
    auto below = [&](int32_t m) { return int64_t(line) + Offset(m) < minorSize; };
    if (slope >= 0) {  // the minor position grows with m
      from = First(above);
      to = First([&](int32_t m) { return !below(m); }) - 1;
    } else {
      from = First(below);
      to = First([&](int32_t m) { return !above(m); }) - 1;
    }
    return from <= to;
  }
};

template <typename T>
ERetcode MotionOf(const Picture& p, double degrees, int length, Progress& progress) {
  const double angle = degrees * 3.14159265358979323846 / 180.0;
  const double dx = std::cos(angle), dy = -std::sin(angle);  // rows run downwards
  const bool byColumns = std::abs(dx) >= std::abs(dy);       // x is the major axis
  DigitalLines lines{byColumns ? p.width : p.height, byColumns ? p.height : p.width,
                     byColumns ? dy / dx : dx / dy};
  const int32_t steps =
      std::max<int32_t>(1, int32_t(std::lround(length * std::max(std::abs(dx), std::abs(dy)))));
  if (steps == 1) return progress.Reached(1.0) ? glib::RCOK : glib::USRA;
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  const int c = p.channels;
  const int32_t before = (steps - 1) / 2, after = steps - 1 - before;
  auto at = [&](int32_t line, int32_t m, auto row) {
    int32_t minor = line + lines.Offset(m);
    int32_t x = byColumns ? m : minor, y = byColumns ? minor : m;
    return row(y) + size_t(x) * size_t(c);
  };
  auto source = [&](int32_t y) { return p.Row<T>(y); };
  auto target = [&](int32_t y) { return out.Row(y); };
  const int32_t firstLine = lines.FirstLine();
  const int32_t count = lines.LastLine() - firstLine + 1;
  bool done = ForChunks(count, 64, ThreadsFor(p.Pixels() * 12), Phase{progress, 0.0, 1.0},
                        [&](int32_t a, int32_t e, int) {
                          for (int32_t l = a; l < e; ++l) {
                            const int32_t line = firstLine + l;
                            int32_t from, to;
                            if (!lines.Span(line, from, to)) continue;
                            auto pixel = [&](int64_t m) {
                              return at(line, std::clamp<int32_t>(int32_t(m), from, to), source);
                            };
                            uint32_t sum[4] = {};
                            for (int32_t k = -before; k <= after; ++k) {
                              const T* s = pixel(int64_t(from) + k);
                              for (int ch = 0; ch < c; ++ch) sum[ch] += s[ch];
                            }
                            for (int32_t m = from; m <= to; ++m) {
                              T* d = at(line, m, target);
                              for (int ch = 0; ch < c; ++ch)
                                d[ch] = T((sum[ch] + uint32_t(steps) / 2) / uint32_t(steps));
                              const T* in = pixel(int64_t(m) + after + 1);
                              const T* gone = pixel(int64_t(m) - before);
                              for (int ch = 0; ch < c; ++ch)
                                sum[ch] += uint32_t(in[ch]) - uint32_t(gone[ch]);
                            }
                          }
                        });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

// ---- smart blur ----

template <typename T>
ERetcode SmartOf(const Picture& p, int radius, double threshold, Progress& progress) {
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  const int c = p.channels;
  const int32_t limit = int32_t(std::floor(threshold * kMaxOf<T> / 255.0));
  const uint64_t window = uint64_t(2 * radius + 1) * uint64_t(2 * radius + 1);
  bool done = ForChunks(
      p.height, 4, ThreadsFor(p.Pixels() * window * 4), Phase{progress, 0.0, 1.0},
      [&](int32_t a, int32_t e, int) {
        for (int32_t y = a; y < e; ++y) {
          const int32_t y0 = std::max(0, y - radius), y1 = std::min(p.height - 1, y + radius);
          const T* centreRow = p.Row<T>(y);
          T* d = out.Row(y);
          for (int32_t x = 0; x < p.width; ++x) {
            const T* centre = centreRow + size_t(x) * size_t(c);
            const int32_t x0 = std::max(0, x - radius), x1 = std::min(p.width - 1, x + radius);
            uint64_t sum[3] = {};
            uint32_t count = 0;
            for (int32_t v = y0; v <= y1; ++v) {
              const T* q = p.Row<T>(v) + size_t(x0) * size_t(c);
              for (int32_t u = x0; u <= x1; ++u, q += c) {
                if (std::abs(int32_t(q[0]) - centre[0]) > limit ||
                    std::abs(int32_t(q[1]) - centre[1]) > limit ||
                    std::abs(int32_t(q[2]) - centre[2]) > limit) {
                  continue;
                }
                sum[0] += q[0], sum[1] += q[1], sum[2] += q[2], ++count;
              }
            }
            T* o = d + size_t(x) * size_t(c);
            for (int k = 0; k < 3; ++k)
              o[k] = T((sum[k] + count / 2) / count);  // the centre counts
          }
        }
      });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

}  // namespace

namespace {
std::atomic<bool> plainOnly{false};
}  // namespace

bool HasAvx2Fma() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has && !plainOnly.load(std::memory_order_relaxed);
#else
  return false;
#endif
}

void UsePlainBuildOnly(bool plain) { plainOnly = plain; }

ERetcode SeparableInPlace(const Picture& p, const LineFilter& vertical,
                          const LineFilter& horizontal, Progress& progress,
                          const Unsharp* unsharp) {
  if (HasAvx2Fma()) return SeparableInPlaceAvx2(p, vertical, horizontal, progress, unsharp);
  return SeparableByDepth(p, vertical, horizontal, progress, unsharp);
}

ERetcode BoxBlur(const Picture& picture, int radius, Progress& progress) {
  if (radius < 1 || radius > kMaxBlurRadius) return glib::BADA;
  const LineFilter box = BoxFilter(radius);
  return SeparableInPlace(picture, box, box, progress);
}

ERetcode GaussianBlur(const Picture& picture, double sigmaX, double sigmaY, Progress& progress) {
  if (!(sigmaX >= 0 && sigmaX <= kMaxSigma && sigmaY >= 0 && sigmaY <= kMaxSigma)) {
    return glib::BADA;
  }
  const LineFilter across = GaussianFilter(sigmaX), down = GaussianFilter(sigmaY);
  return SeparableInPlace(picture, down, across, progress);
}

ERetcode UnsharpMask(const Picture& picture, double sigma, double amount, double threshold,
                     Progress& progress) {
  if (!(sigma > 0 && sigma <= kMaxSigma && amount >= 0 && amount <= 100 && threshold >= 0 &&
        threshold <= 255)) {
    return glib::BADA;
  }
  const LineFilter g = GaussianFilter(sigma);
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    // Differences within one step of the scratch's coding are no differences.
    const float limit = std::max(float(threshold * kMaxOf<T> / 255.0), 1 / Between<T>::kScale);
    const Unsharp unsharp{float(amount), limit};
    return SeparableInPlace(picture, g, g, progress, &unsharp);
  });
}

ERetcode MotionBlur(const Picture& picture, double degrees, int length, Progress& progress) {
  if (!std::isfinite(degrees) || length < 1 || length > kMaxBlurRadius) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return MotionOf<decltype(sample)>(picture, degrees, length, progress);
  });
}

ERetcode SmartBlur(const Picture& picture, int radius, double threshold, Progress& progress) {
  if (radius < 1 || radius > kMaxRankRadius || !(threshold >= 0 && threshold <= 255)) {
    return glib::BADA;
  }
  return ByDepth(picture, [&](auto sample) {
    return SmartOf<decltype(sample)>(picture, radius, threshold, progress);
  });
}

}  // namespace cef
