// Mosaic, canvas and the edge-keeping smoothing.
#include <algorithm>
#include <cmath>
#include <vector>

#include "cef/Filters.h"

namespace cef {
namespace {

// ---- mosaic: the cells' means first (a small table), then one pass that fills ----

template <typename T>
ERetcode MosaicOf(const Picture& p, int cellWidth, int cellHeight, Progress& progress) {
  const int c = p.channels;
  const int32_t across = int32_t((int64_t(p.width) + cellWidth - 1) / cellWidth);
  const int32_t down = int32_t((int64_t(p.height) + cellHeight - 1) / cellHeight);
  Buffer<T> means;
  if (!means.Allocate(size_t(across) * size_t(down) * 3)) return glib::OMEM;
  const int threads = ThreadsFor(p.Pixels() * 3);
  Buffer<uint64_t> sums;  // one row of cells per worker
  if (!sums.Allocate(size_t(across) * 3 * size_t(threads))) return glib::OMEM;
  bool done =
      ForChunks(down, 1, threads, Phase{progress, 0.0, 1.0}, [&](int32_t a, int32_t e, int worker) {
        uint64_t* sum = sums.Data() + size_t(across) * 3 * size_t(worker);
        for (int32_t cy = a; cy < e; ++cy) {
          std::fill(sum, sum + size_t(across) * 3, uint64_t(0));
          const int32_t y0 = cy * cellHeight,
                        y1 = int32_t(std::min<int64_t>(p.height, int64_t(y0) + cellHeight));
          for (int32_t y = y0; y < y1; ++y) {
            const T* px = p.Row<T>(y);
            for (int32_t x = 0; x < p.width; ++x, px += c) {
              uint64_t* s = sum + size_t(x / cellWidth) * 3;
              s[0] += px[0], s[1] += px[1], s[2] += px[2];
            }
          }
          for (int32_t cx = 0; cx < across; ++cx) {
            const int64_t w =
                std::min<int64_t>(cellWidth, int64_t(p.width) - int64_t(cx) * cellWidth);
            const uint64_t count = uint64_t(w) * uint64_t(y1 - y0);
            for (int k = 0; k < 3; ++k) {
              means[(size_t(cy) * size_t(across) + size_t(cx)) * 3 + size_t(k)] =
                  T((sum[size_t(cx) * 3 + size_t(k)] + count / 2) / count);
            }
          }
        }
      });
  if (!done) return glib::USRA;
  ForAllChunks(p.height, 32, threads, [&](int32_t a, int32_t e, int) {
    for (int32_t y = a; y < e; ++y) {
      const T* cell = means.Data() + size_t(y / cellHeight) * size_t(across) * 3;
      T* px = p.Row<T>(y);
      for (int32_t x = 0; x < p.width; ++x, px += c) {
        const T* m = cell + size_t(x / cellWidth) * 3;
        px[0] = m[0], px[1] = m[1], px[2] = m[2];
      }
    }
  });
  return glib::RCOK;
}

// ---- canvas: a woven texture's relief, lit from one corner ----

constexpr int kTile = 64;          // the texture repeats every 64 pixels
constexpr double kCanvasGain = 3;  // 8-bit levels per unit of relief and depth

// Heights 0..1 of a plain weave: threads four pixels wide, each passing over one
// crossing and under the next, with a little grain.
double WeaveHeight(int x, int y) {
  x &= kTile - 1, y &= kTile - 1;
  const double pi = 3.14159265358979323846;
  auto across = [pi](int u) { return std::sin(pi * (u + 0.5) / 4); };  // a thread's round back
  const bool warpOnTop = ((x / 4) + (y / 4)) % 2 == 0;
  double height = warpOnTop ? across(x % 4) * (0.75 + 0.25 * across(y % 4))
                            : across(y % 4) * (0.75 + 0.25 * across(x % 4));
  uint32_t hash = uint32_t(x) * 2654435761u ^ uint32_t(y) * 2246822519u;
  hash ^= hash >> 13;
  hash *= 3266489917u;
  hash ^= hash >> 16;
  return height + (double(hash & 255) / 255.0 - 0.5) * 0.16;
}

template <typename T>
ERetcode CanvasOf(const Picture& p, int direction, int depth, Progress& progress) {
  const int lx = direction % 2 == 0 ? -1 : 1;  // 0 top left, 1 top right,
  const int ly = direction < 2 ? -1 : 1;       // 2 bottom left, 3 bottom right
  std::vector<float> shift(size_t(kTile) * kTile);
  const double gain = kCanvasGain * depth * kMaxOf<T> / 255.0;
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      // The flank facing the light rises away from it.
      double relief = WeaveHeight(x - lx, y - ly) - WeaveHeight(x + lx, y + ly);
      shift[size_t(y) * kTile + size_t(x)] = float(relief * gain);
    }
  }
  if (!progress.Reached(0)) return glib::USRA;
  const int c = p.channels;
  ForAllChunks(p.height, 32, ThreadsFor(p.Pixels() * 4), [&](int32_t a, int32_t e, int) {
    for (int32_t y = a; y < e; ++y) {
      const float* s = shift.data() + size_t(y % kTile) * kTile;
      T* px = p.Row<T>(y);
      for (int32_t x = 0; x < p.width; ++x, px += c) {
        const float d = s[x % kTile];
        for (int k = 0; k < 3; ++k) px[k] = RoundSample<T>(float(px[k]) + d);
      }
    }
  });
  return glib::RCOK;
}

// ---- Kuwahara ----

constexpr int kKuwaharaRadius = 2;

// Means and luminance variance of the squares of side r + 1 whose top row is y0,
// for every left column from -r to width - 1.
template <typename T>
struct CornerSquares {
  const Picture& p;
  static constexpr int r = kKuwaharaRadius;
  size_t Entries() const { return size_t(p.width) + 2 * r; }

  // `columns` holds 5 Entries() numbers; `squares` receives 4 per left column.
  void Fill(int64_t y0, double* columns, double* squares) const {
    const int c = p.channels;
    const size_t count = Entries();
    std::fill(columns, columns + 5 * count, 0.0);
    for (int dy = 0; dy <= r; ++dy) {
      const T* row = p.Row<T>(ClampIndex(y0 + dy, p.height));
      for (size_t j = 0; j < count; ++j) {
        const T* px = row + size_t(ClampIndex(int64_t(j) - r, p.width)) * size_t(c);
        double* col = columns + 5 * j;
        const double l = Luminance(px);
        col[0] += px[0], col[1] += px[1], col[2] += px[2], col[3] += l, col[4] += l * l;
      }
    }
    const double n = double((r + 1) * (r + 1));
    for (size_t j = 0; j + r < count; ++j) {
      double s[5] = {};
      for (int dx = 0; dx <= r; ++dx) {
        for (int k = 0; k < 5; ++k) s[k] += columns[5 * (j + size_t(dx)) + size_t(k)];
      }
      double* q = squares + 4 * j;
      q[0] = s[0] / n, q[1] = s[1] / n, q[2] = s[2] / n;
      q[3] = s[4] / n - (s[3] / n) * (s[3] / n);
    }
  }
};

template <typename T>
ERetcode KuwaharaOf(const Picture& p, Progress& progress) {
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  CornerSquares<T> squares{p};
  constexpr int r = kKuwaharaRadius;
  const size_t entries = squares.Entries();
  const size_t perWorker = 5 * entries + 8 * entries;
  const int threads = ThreadsFor(p.Pixels() * 60);
  Buffer<double> work;
  if (!work.Allocate(perWorker * size_t(threads))) return glib::OMEM;
  const int c = p.channels;
  bool done = ForChunks(
      p.height, 8, threads, Phase{progress, 0.0, 1.0}, [&](int32_t a, int32_t e, int worker) {
        double* columns = work.Data() + perWorker * size_t(worker);
        double* top = columns + 5 * entries;
        double* bottom = top + 4 * entries;
        for (int32_t y = a; y < e; ++y) {
          squares.Fill(int64_t(y) - r, columns, top);
          squares.Fill(y, columns, bottom);
          T* o = out.Row(y);
          for (int32_t x = 0; x < p.width; ++x, o += c) {
            // Left squares start at column x - r (entry x), right ones at x (entry x + r).
            const double* corner[4] = {top + 4 * size_t(x), top + 4 * (size_t(x) + r),
                                       bottom + 4 * size_t(x), bottom + 4 * (size_t(x) + r)};
            const double* best = corner[0];
            for (const double* q : corner) {
              if (q[3] < best[3]) best = q;
            }
            for (int k = 0; k < 3; ++k) o[k] = RoundSample<T>(best[k]);
          }
        }
      });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

}  // namespace

ERetcode Mosaic(const Picture& picture, int width, int height, Progress& progress) {
  if (width < 1 || height < 1) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return MosaicOf<decltype(sample)>(picture, width, height, progress);
  });
}

ERetcode Canvas(const Picture& picture, int direction, int depth, Progress& progress) {
  if (direction < 0 || direction > 3 || depth < 1 || depth > 50) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return CanvasOf<decltype(sample)>(picture, direction, depth, progress);
  });
}

ERetcode SmartSmoothing(const Picture& picture, Progress& progress) {
  return ByDepth(picture,
                 [&](auto sample) { return KuwaharaOf<decltype(sample)>(picture, progress); });
}

}  // namespace cef
