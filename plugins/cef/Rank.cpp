// Rank filters over the (2 radius + 1)^2 square and the oil-paint mode filter. Each
// computes into scratch rows and replaces the picture at the end; edges repeat the
// outermost pixels.
#include <algorithm>
#include <climits>
#include <cstring>

#include "cef/Filters.h"

namespace cef {
namespace {

// ---- median of 8-bit samples: Perreault and Hebert's constant-time filter ----
//
// Every column keeps a histogram of its 2r + 1 samples (256 fine bins and 16 coarse
// ones); moving down a row changes two counts per column. Along a row the kernel's
// coarse histogram adds the column entering and takes off the one leaving; only the
// one fine segment the median falls in is brought up to date, lazily.

constexpr int kCoarse = 16;

struct ColumnHistograms {
  uint16_t* fine;    // width x 256
  uint16_t* coarse;  // width x 16
};

inline void AddSegment(uint16_t* to, const uint16_t* add, const uint16_t* take) {
  for (int i = 0; i < kCoarse; ++i) to[i] = uint16_t(to[i] + add[i] - take[i]);
}

struct Median8 {
  const Picture& p;
  Scratch<uint8_t>& out;
  int r;
  size_t PerChannel() const { return size_t(p.width) * (256 + kCoarse); }

  uint8_t Sample(int64_t y, int32_t x, int ch) const {
    return p.Row<uint8_t>(ClampIndex(y, p.height))[size_t(x) * size_t(p.channels) + size_t(ch)];
  }

  void Band(int32_t first, int32_t end, uint16_t* memory) const {
    ColumnHistograms cols[3];
    for (int ch = 0; ch < 3; ++ch) {
      uint16_t* m = memory + PerChannel() * size_t(ch);
      cols[ch] = {m, m + size_t(p.width) * 256};
      std::memset(m, 0, PerChannel() * sizeof(uint16_t));
      for (int32_t x = 0; x < p.width; ++x) {
        for (int k = -r; k <= r; ++k) Count(cols[ch], x, Sample(int64_t(first) + k, x, ch), 1);
      }
    }
    for (int32_t y = first; y < end; ++y) {
      for (int ch = 0; ch < 3; ++ch) {
        if (y > first) {
          for (int32_t x = 0; x < p.width; ++x) {
            uint8_t gone = Sample(int64_t(y) - r - 1, x, ch), in = Sample(int64_t(y) + r, x, ch);
            if (gone == in) continue;
            Count(cols[ch], x, gone, -1);
            Count(cols[ch], x, in, 1);
          }
        }
        Slide(cols[ch], y, ch);
      }
    }
  }

  static void Count(ColumnHistograms& h, int32_t x, uint8_t v, int delta) {
    h.fine[size_t(x) * 256 + v] = uint16_t(h.fine[size_t(x) * 256 + v] + delta);
    h.coarse[size_t(x) * kCoarse + (v >> 4)] =
        uint16_t(h.coarse[size_t(x) * kCoarse + (v >> 4)] + delta);
  }

  void Slide(const ColumnHistograms& h, int32_t y, int ch) const {
    const int32_t w = p.width;
    const uint32_t target = (uint32_t(2 * r + 1) * uint32_t(2 * r + 1) + 1) / 2;
    auto column = [w](int64_t x) { return size_t(ClampIndex(x, w)); };
    alignas(16) uint16_t coarse[kCoarse] = {};
    alignas(16) uint16_t fine[kCoarse][kCoarse];
    int32_t upTo[kCoarse];  // the column each fine segment was last brought to
    std::fill(upTo, upTo + kCoarse, INT32_MIN / 2);
    for (int j = -r; j <= r; ++j) {
      const uint16_t* c = h.coarse + column(j) * kCoarse;
      for (int i = 0; i < kCoarse; ++i) coarse[i] = uint16_t(coarse[i] + c[i]);
    }
    uint8_t* o = out.Row(y) + ch;
    for (int32_t x = 0; x < w; ++x, o += p.channels) {
      if (x > 0) {
        AddSegment(coarse, h.coarse + column(int64_t(x) + r) * kCoarse,
                   h.coarse + column(int64_t(x) - r - 1) * kCoarse);
      }
      uint32_t seen = 0;
      int k = 0;
      while (seen + coarse[k] < target) seen += coarse[k++];
      uint16_t* segment = fine[k];
      if (int64_t(x) - upTo[k] > 2 * r + 1) {  // nothing to keep: sum the window afresh
        std::fill(segment, segment + kCoarse, uint16_t(0));
        for (int j = -r; j <= r; ++j) {
          const uint16_t* f = h.fine + column(int64_t(x) + j) * 256 + k * kCoarse;
          for (int i = 0; i < kCoarse; ++i) segment[i] = uint16_t(segment[i] + f[i]);
        }
      } else {
        for (int32_t j = upTo[k] + 1; j <= x; ++j) {
          AddSegment(segment, h.fine + column(int64_t(j) + r) * 256 + k * kCoarse,
                     h.fine + column(int64_t(j) - r - 1) * 256 + k * kCoarse);
        }
      }
      upTo[k] = x;
      int b = 0;
      while (seen + segment[b] < target) seen += segment[b++];
      *o = uint8_t(k * kCoarse + b);
    }
  }
};

ERetcode Median8Of(const Picture& p, int radius, Progress& progress) {
  Scratch<uint8_t> out;
  if (!out.Allocate(p)) return glib::OMEM;
  Median8 median{p, out, radius};
  const int threads = ThreadsFor(p.Pixels() * 3 * 60);
  Buffer<uint16_t> memory;
  const size_t perWorker = median.PerChannel() * 3;
  if (!memory.Allocate(perWorker * size_t(threads))) return glib::OMEM;
  const int32_t chunk = std::max(64, 4 * (2 * radius + 1));
  bool done = ForChunks(p.height, chunk, threads, Phase{progress, 0.0, 1.0},
                        [&](int32_t a, int32_t e, int worker) {
                          median.Band(a, e, memory.Data() + perWorker * size_t(worker));
                        });
  if (!done) return glib::USRA;
  out.Commit<uint8_t>(p);
  return glib::RCOK;
}

// ---- median of 16-bit samples: Huang's sliding window ----
//
// The window's histogram has four levels of 16-way bins (by the top 4, 8, 12 and 16
// bits), so finding the median reads at most 64 counts; moving one pixel along the
// row takes out a column and adds one.

struct Levels16 {
  static constexpr size_t kSize = 16 + 256 + 4096 + 65536;
  uint32_t* l0;
  uint32_t* l1;
  uint32_t* l2;
  uint32_t* l3;

  explicit Levels16(uint32_t* m) : l0(m), l1(m + 16), l2(m + 16 + 256), l3(m + 16 + 256 + 4096) {}
  void Add(uint32_t v, uint32_t delta) {
    l0[v >> 12] += delta, l1[v >> 8] += delta, l2[v >> 4] += delta, l3[v] += delta;
  }
  uint16_t Find(uint32_t target) const {
    uint32_t seen = 0, bin = 0;
    const uint32_t* level[4] = {l0, l1, l2, l3};
    for (const uint32_t* counts : level) {
      const uint32_t* group = counts + bin * 16;
      uint32_t i = 0;
      while (seen + group[i] < target) seen += group[i++];
      bin = bin * 16 + i;
    }
    return uint16_t(bin);
  }
};

ERetcode Median16Of(const Picture& p, int radius, Progress& progress) {
  Scratch<uint16_t> out;
  if (!out.Allocate(p)) return glib::OMEM;
  const int c = p.channels, r = radius;
  const int threads = ThreadsFor(p.Pixels() * 3 * uint64_t(8 * r + 60));
  Buffer<uint32_t> memory;
  const size_t perWorker = Levels16::kSize * 3;
  if (!memory.Allocate(perWorker * size_t(threads))) return glib::OMEM;
  std::memset(memory.Data(), 0, memory.Size() * sizeof(uint32_t));
  const uint32_t target = (uint32_t(2 * r + 1) * uint32_t(2 * r + 1) + 1) / 2;
  auto sample = [&](int64_t y, int64_t x, int ch) {
    return p.Row<uint16_t>(
        ClampIndex(y, p.height))[size_t(ClampIndex(x, p.width)) * size_t(c) + size_t(ch)];
  };
  bool done = ForChunks(
      p.height, 8, threads, Phase{progress, 0.0, 1.0}, [&](int32_t a, int32_t e, int worker) {
        for (int32_t y = a; y < e; ++y) {
          for (int ch = 0; ch < 3; ++ch) {
            Levels16 h(memory.Data() + perWorker * size_t(worker) + Levels16::kSize * size_t(ch));
            auto column = [&](int64_t x, uint32_t delta) {
              for (int k = -r; k <= r; ++k) h.Add(sample(int64_t(y) + k, x, ch), delta);
            };
            for (int j = -r; j <= r; ++j) column(j, 1);
            uint16_t* o = out.Row(y) + ch;
            for (int32_t x = 0; x < p.width; ++x, o += c) {
              if (x > 0) {
                column(int64_t(x) + r, 1);
                column(int64_t(x) - r - 1, uint32_t(-1));
              }
              *o = h.Find(target);
            }
            for (int j = -r; j <= r; ++j)
              column(int64_t(p.width) - 1 + j, uint32_t(-1));  // empty again
          }
        }
      });
  if (!done) return glib::USRA;
  out.Commit<uint16_t>(p);
  return glib::RCOK;
}

// ---- minimum and maximum: van Herk / Gil-Werman ----
//
// Along a line cut into blocks of 2r + 1, a running extreme from each block's start
// (g) and one from its end (h) give any window's extreme as the better of h at the
// window's start and g at its end: three comparisons per sample.

template <typename T, bool kMax>
struct Extreme {
  static T Pick(T a, T b) { return kMax ? std::max(a, b) : std::min(a, b); }

  const Picture& p;
  Scratch<T>& out;
  int r;
  size_t n = p.RowSamples();

  size_t RowsPerChunk(int32_t chunk) const { return size_t(chunk) + 2 * size_t(r); }

  // Rows [first, end) down the columns into `out`; g and h hold RowsPerChunk rows.
  void Down(int32_t first, int32_t end, T* g, T* h) const {
    const int k = 2 * r + 1;
    const int32_t lines = end - first + 2 * r;
    auto source = [&](int32_t j) { return p.Row<T>(ClampIndex(int64_t(first) - r + j, p.height)); };
    for (int32_t j = 0; j < lines; ++j) {
      const T* s = source(j);
      T* gj = g + size_t(j) * n;
      if (j % k == 0) {
        std::copy(s, s + n, gj);
      } else {
        const T* prev = gj - n;
        for (size_t i = 0; i < n; ++i) gj[i] = Pick(prev[i], s[i]);
      }
    }
    for (int32_t j = lines - 1; j >= 0; --j) {
      const T* s = source(j);
      T* hj = h + size_t(j) * n;
      if (j % k == k - 1 || j == lines - 1) {
        std::copy(s, s + n, hj);
      } else {
        const T* next = hj + n;
        for (size_t i = 0; i < n; ++i) hj[i] = Pick(next[i], s[i]);
      }
    }
    for (int32_t y = first; y < end; ++y) {
      const T* hs = h + size_t(y - first) * n;
      const T* ge = g + size_t(y - first + 2 * r) * n;
      T* o = out.Row(y);
      for (size_t i = 0; i < n; ++i) o[i] = Pick(hs[i], ge[i]);
    }
  }

  // One scratch row along the pixels, in place; `work` holds 3 (width + 2r) pixels.
  void Across(int32_t y, T* work) const {
    const int c = p.channels, k = 2 * r + 1;
    const int32_t lines = p.width + 2 * r;
    const size_t m = size_t(lines) * size_t(c);
    T* padded = work;
    T* g = work + m;
    T* h = work + 2 * m;
    T* row = out.Row(y);
    for (int32_t j = 0; j < lines; ++j) {
      const T* s = row + size_t(ClampIndex(int64_t(j) - r, p.width)) * size_t(c);
      std::copy(s, s + c, padded + size_t(j) * size_t(c));
    }
    for (int32_t j = 0; j < lines; ++j) {
      const size_t at = size_t(j) * size_t(c);
      for (int ch = 0; ch < c; ++ch) {
        g[at + ch] = j % k == 0 ? padded[at + ch] : Pick(g[at + ch - c], padded[at + ch]);
      }
    }
    for (int32_t j = lines - 1; j >= 0; --j) {
      const size_t at = size_t(j) * size_t(c);
      const bool start = j % k == k - 1 || j == lines - 1;
      for (int ch = 0; ch < c; ++ch) {
        h[at + ch] = start ? padded[at + ch] : Pick(h[at + ch + c], padded[at + ch]);
      }
    }
    for (size_t i = 0; i < size_t(p.width) * size_t(c); ++i) {
      row[i] = Pick(h[i], g[i + 2 * size_t(r) * size_t(c)]);
    }
  }
};

template <typename T, bool kMax>
ERetcode ExtremeOf(const Picture& p, int radius, Progress& progress) {
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  Extreme<T, kMax> filter{p, out, radius};
  const int threads = ThreadsFor(p.Pixels() * uint64_t(p.channels) * 8);
  constexpr int32_t kChunk = 32;
  const size_t down = filter.RowsPerChunk(kChunk) * filter.n;
  const size_t across = 3 * (size_t(p.width) + 2 * size_t(radius)) * size_t(p.channels);
  const size_t perWorker = std::max(2 * down, across);
  Buffer<T> work;
  if (!work.Allocate(perWorker * size_t(threads))) return glib::OMEM;
  auto mine = [&](int worker) { return work.Data() + perWorker * size_t(worker); };
  bool done = ForChunks(p.height, kChunk, threads, Phase{progress, 0.0, 0.5},
                        [&](int32_t a, int32_t e, int worker) {
                          filter.Down(a, e, mine(worker), mine(worker) + down);
                        }) &&
              ForChunks(p.height, 16, threads, Phase{progress, 0.5, 1.0},
                        [&](int32_t a, int32_t e, int worker) {
                          for (int32_t y = a; y < e; ++y) filter.Across(y, mine(worker));
                        });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

// ---- oil paint: the commonest intensity of the square, by a sliding histogram ----

constexpr int kOilLevels = 32;

template <typename T>
ERetcode OilOf(const Picture& p, int radius, Progress& progress) {
  Scratch<T> out;
  if (!out.Allocate(p)) return glib::OMEM;
  const int c = p.channels, r = radius;
  // Levels of the 8-bit luminance, so that 16-bit samples fall in the same ones.
  auto Level = [](const T* q) {
    if (sizeof(T) == 1) return int(Luminance(q) >> 3);
    const uint32_t eight[3] = {(q[0] + 128u) / 257u, (q[1] + 128u) / 257u, (q[2] + 128u) / 257u};
    return int(Luminance(eight) >> 3);
  };
  auto pixel = [&](int64_t y, int64_t x) {
    return p.Row<T>(ClampIndex(y, p.height)) + size_t(ClampIndex(x, p.width)) * size_t(c);
  };
  const uint64_t work = p.Pixels() * uint64_t(4 * (2 * r + 1) + kOilLevels);
  bool done = ForChunks(p.height, 4, ThreadsFor(work), Phase{progress, 0.0, 1.0},
                        [&](int32_t a, int32_t e, int) {
                          for (int32_t y = a; y < e; ++y) {
                            uint32_t count[kOilLevels] = {};
                            uint64_t sum[kOilLevels][3] = {};
                            auto column = [&](int64_t x, int sign) {
                              for (int k = -r; k <= r; ++k) {
                                const T* q = pixel(int64_t(y) + k, x);
                                int level = Level(q);
                                count[level] += uint32_t(sign);
                                for (int ch = 0; ch < 3; ++ch)
                                  sum[level][ch] += uint64_t(int64_t(sign) * q[ch]);
                              }
                            };
                            for (int j = -r; j <= r; ++j) column(j, 1);
                            T* o = out.Row(y);
                            for (int32_t x = 0; x < p.width; ++x, o += c) {
                              if (x > 0) {
                                column(int64_t(x) + r, 1);
                                column(int64_t(x) - r - 1, -1);
                              }
                              int best = 0;
                              for (int l = 1; l < kOilLevels; ++l) {
                                if (count[l] > count[best]) best = l;
                              }
                              for (int ch = 0; ch < 3; ++ch)
                                o[ch] = T((sum[best][ch] + count[best] / 2) / count[best]);
                            }
                          }
                        });
  if (!done) return glib::USRA;
  out.template Commit<T>(p);
  return glib::RCOK;
}

bool RadiusInRange(int radius) { return radius >= 1 && radius <= kMaxRankRadius; }

}  // namespace

ERetcode Median(const Picture& picture, int radius, Progress& progress) {
  if (!RadiusInRange(radius)) return glib::BADA;
  return picture.wide ? Median16Of(picture, radius, progress)
                      : Median8Of(picture, radius, progress);
}

ERetcode Minimum(const Picture& picture, int radius, Progress& progress) {
  if (!RadiusInRange(radius)) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return ExtremeOf<decltype(sample), false>(picture, radius, progress);
  });
}

ERetcode Maximum(const Picture& picture, int radius, Progress& progress) {
  if (!RadiusInRange(radius)) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return ExtremeOf<decltype(sample), true>(picture, radius, progress);
  });
}

ERetcode OilPaint(const Picture& picture, int radius, Progress& progress) {
  if (!RadiusInRange(radius)) return glib::BADA;
  return ByDepth(picture,
                 [&](auto sample) { return OilOf<decltype(sample)>(picture, radius, progress); });
}

}  // namespace cef
