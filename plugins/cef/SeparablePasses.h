// The separable passes themselves, for the two files that build them (Blur.cpp and
// BlurAvx2.cpp) and no one else: everything is in an unnamed namespace, so each
// includer compiles its own copy for its own instruction set. A vertical pass runs
// from the picture into 16-bit scratch rows (with more than 8 bits of an 8-bit
// sample, see Between) and a horizontal pass in place on those rows; the result
// replaces the picture at the end. CEF_SEPARABLE_GROUP says how many rows the
// recursive filter takes at once along the rows.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "cef/Separable.h"

#ifndef CEF_SEPARABLE_GROUP
#define CEF_SEPARABLE_GROUP 4
#endif

namespace cef {
namespace {

// Between the passes of a separable blur the scratch holds v * scale + bias in 16
// bits: more than 8 bits of an 8-bit sample, and room for the slight overshoot of the
// recursive filter at both ends of the range.
template <typename T>
struct Between {
  static constexpr float kScale = sizeof(T) == 1 ? 250.0f : 0.98f;
  static constexpr float kBias = sizeof(T) == 1 ? 512.0f : 640.0f;
  static uint16_t Encode(float v) { return RoundSample<uint16_t>(v * kScale + kBias); }
  static float Decode(uint16_t s) { return (float(s) - kBias) * (1.0f / kScale); }
};

template <typename T>
T Mix(const Unsharp& u, T v, float blurred) {
  const float d = float(v) - blurred;
  return std::abs(d) > u.limit ? RoundSample<T>(float(v) + u.gain * d) : v;
}

// ---- the vertical pass: picture rows (T) to scratch rows ----

template <typename T>
struct VerticalPass {
  using Code = Between<T>;
  const Picture& p;
  const LineFilter& f;
  Scratch<uint16_t>& out;
  size_t n = p.RowSamples();

  const T* Source(int64_t y) const { return p.Row<T>(ClampIndex(y, p.height)); }

  void Copy(int32_t first, int32_t end) const {
    for (int32_t y = first; y < end; ++y) {
      const T* s = Source(y);
      uint16_t* o = out.Row(y);
      for (size_t i = 0; i < n; ++i) o[i] = Code::Encode(float(s[i]));
    }
  }

  // Running sums down the rows of a piece; `sum` holds n values.
  void Box(int32_t first, int32_t end, int32_t* sum) const {
    const int r = f.radius;
    const float mean = 1.0f / float(2 * r + 1);
    std::fill(sum, sum + n, 0);
    for (int k = -r; k <= r; ++k) {
      const T* s = Source(int64_t(first) + k);
      for (size_t i = 0; i < n; ++i) sum[i] += s[i];
    }
    for (int32_t y = first; y < end; ++y) {
      uint16_t* o = out.Row(y);
      for (size_t i = 0; i < n; ++i) o[i] = Code::Encode(float(sum[i]) * mean);
      const T* in = Source(int64_t(y) + r + 1);
      const T* gone = Source(int64_t(y) - r);
      for (size_t i = 0; i < n; ++i) sum[i] += int32_t(in[i]) - int32_t(gone[i]);
    }
  }

  void Fir(int32_t first, int32_t end, float* acc) const {
    const int r = f.radius;
    for (int32_t y = first; y < end; ++y) {
      std::fill(acc, acc + n, 0.0f);
      for (int k = -r; k <= r; ++k) {
        const T* s = Source(int64_t(y) + k);
        const float w = f.weights[size_t(k + r)];
        for (size_t i = 0; i < n; ++i) acc[i] += w * float(s[i]);
      }
      uint16_t* o = out.Row(y);
      for (size_t i = 0; i < n; ++i) o[i] = Code::Encode(acc[i]);
    }
  }

  // The recursive filter runs down a band of kBand samples row by row, so every access
  // is a run along a row. It works on the differences from the top row, so flat
  // columns come out exactly. The forward values of the picture's rows wait in the
  // scratch; those of the tail (the last row repeated) in `work`, after four rows:
  // the top row and three of state.
  static constexpr size_t kBand = 1024;
  size_t WorkNumbers() const { return (size_t(f.tail) + 4) * kBand; }

  template <typename F>
  void Recursive(size_t s0, size_t len, F* work) const {
    const F b = F(f.b), a1 = F(f.a1), a2 = F(f.a2), a3 = F(f.a3);
    F* base = work;
    F* state[3] = {work + kBand, work + 2 * kBand, work + 3 * kBand};  // the last three rows
    F* tail = work + 4 * kBand;
    const T* top = Source(0) + s0;  // the top edge's steady state is the edge itself
    for (size_t i = 0; i < len; ++i) base[i] = F(top[i]);
    for (F* row : state) std::fill(row, row + len, F(0));
    const int32_t h = p.height, rows = h + f.tail;
    for (int32_t y = 0; y < rows; ++y) {
      const T* s = Source(y) + s0;
      F *p1 = state[0], *p2 = state[1], *p3 = state[2];
      for (size_t i = 0; i < len; ++i) {
        p3[i] = (b * (F(s[i]) - base[i]) + a2 * p2[i] + a3 * p3[i]) + a1 * p1[i];
      }
      state[0] = p3, state[1] = p1, state[2] = p2;
      if (y < h) {
        uint16_t* o = out.Row(y) + s0;
        for (size_t i = 0; i < len; ++i) o[i] = Code::Encode(float(p3[i] + base[i]));
      } else {
        std::copy(p3, p3 + len, tail + size_t(y - h) * kBand);
      }
    }
    for (F* row : state) std::copy(state[0], state[0] + len, row);  // the end's steady state
    for (int32_t y = rows - 1; y >= 0; --y) {
      F *n1 = state[0], *n2 = state[1], *n3 = state[2];
      if (y >= h) {
        const F* fwd = tail + size_t(y - h) * kBand;
        for (size_t i = 0; i < len; ++i)
          n3[i] = (b * fwd[i] + a2 * n2[i] + a3 * n3[i]) + a1 * n1[i];
      } else {
        uint16_t* o = out.Row(y) + s0;
        for (size_t i = 0; i < len; ++i) {
          F fwd = F(Code::Decode(o[i])) - base[i];
          n3[i] = (b * fwd + a2 * n2[i] + a3 * n3[i]) + a1 * n1[i];
          o[i] = Code::Encode(float(n3[i] + base[i]));
        }
      }
      state[0] = n3, state[1] = n1, state[2] = n2;
    }
  }
};

// ---- the horizontal pass: scratch rows in place, to sample units ----

// kGroupRows numbers side by side (GCC's vector extension), read and written where
// the work buffer has them.
constexpr int kGroupRows = CEF_SEPARABLE_GROUP;
template <typename F>
struct GroupOf;
template <>
struct GroupOf<float> {
  typedef float Lanes __attribute__((vector_size(4 * kGroupRows), aligned(4), may_alias));
};
template <>
struct GroupOf<double> {
  typedef double Lanes __attribute__((vector_size(8 * kGroupRows), aligned(8), may_alias));
};

template <typename T, int C, typename F>
struct HorizontalPass {
  using Code = Between<T>;
  const Picture& p;
  const LineFilter& f;
  Scratch<uint16_t>& rows;
  const Unsharp* unsharp;  // null for a plain blur
  int32_t w = p.width;

  // Sample i of row y from its blurred value.
  uint16_t Result(int32_t y, size_t i, F v) const {
    return unsharp ? Mix(*unsharp, p.Row<T>(y)[i], float(v)) : RoundSample<T>(float(v));
  }

  // Pixels of padding before and after the row in the work buffer of box and kernel.
  int Before() const { return f.radius; }
  int After() const { return f.radius + 1; }
  size_t BufferSamples() const {
    return f.kind == LineFilter::kRecursive ? GroupNumbers() : size_t(w + Before() + After()) * C;
  }

  // The row decoded, with its edge pixels repeated into the padding.
  template <typename V>
  void Pad(const uint16_t* row, V* buffer) const {
    const int before = Before(), after = After();
    V* inside = buffer + size_t(before) * C;
    for (size_t i = 0; i < size_t(w) * C; ++i) inside[i] = V(Code::Decode(row[i]));
    for (int x = 0; x < before; ++x) std::copy(inside, inside + C, buffer + size_t(x) * C);
    V* last = inside + size_t(w - 1) * C;
    for (int x = 0; x < after; ++x) std::copy(last, last + C, last + size_t(x + 1) * C);
  }

  // `buffer` holds BufferSamples() plus the row's samples.
  void Row(int32_t y, F* buffer) const {
    uint16_t* row = rows.Row(y);
    switch (f.kind) {
      case LineFilter::kNone:
        for (size_t i = 0; i < size_t(w) * C; ++i) row[i] = Result(y, i, Code::Decode(row[i]));
        return;
      case LineFilter::kBox:
        return Box(y, row, buffer);
      case LineFilter::kFir:
        return Fir(y, row, buffer);
      case LineFilter::kRecursive:
        return RecursiveRows(y, 1, buffer);
    }
  }

  // Running sums of decoded values; a float sum over one row drifts far below a level.
  void Box(int32_t y, uint16_t* row, F* padded) const {
    Pad(row, padded);
    const int r = f.radius;
    const F mean = F(1) / F(2 * r + 1);
    F sum[C] = {};
    for (int j = 0; j <= 2 * r; ++j) {
      for (int k = 0; k < C; ++k) sum[k] += padded[size_t(j) * C + k];
    }
    for (int32_t x = 0; x < w; ++x) {
      const F* gone = padded + size_t(x) * C;
      const F* in = gone + size_t(2 * r + 1) * C;
      for (int k = 0; k < C; ++k) {
        row[size_t(x) * C + k] = Result(y, size_t(x) * C + k, sum[k] * mean);
        sum[k] += in[k] - gone[k];
      }
    }
  }

  void Fir(int32_t y, uint16_t* row, F* padded) const {
    Pad(row, padded);
    const size_t n = size_t(w) * C;
    F* acc = padded + BufferSamples();
    std::fill(acc, acc + n, F(0));
    for (int k = 0; k <= 2 * f.radius; ++k) {
      const F wk = F(f.weights[size_t(k)]);
      const F* s = padded + size_t(k) * C;
      for (size_t i = 0; i < n; ++i) acc[i] += wk * s[i];
    }
    if (!unsharp) {
      for (size_t i = 0; i < n; ++i) row[i] = RoundSample<T>(float(acc[i]));
    } else {
      for (size_t i = 0; i < n; ++i) row[i] = Result(y, i, acc[i]);
    }
  }

  // The recursive filter along kGroup rows at once: each step works on vectors of
  // the group's rows, one per channel, instead of waiting on one chain of samples.
  // Like the vertical pass it works on the differences from each row's first pixel.
  // `v` holds GroupNumbers(): per pixel position, per channel, the group's rows.
  static constexpr int kGroup = kGroupRows;
  using Lanes = typename GroupOf<F>::Lanes;
  size_t GroupNumbers() const { return size_t(3 + w + f.tail + 3) * C * kGroup; }

  void RecursiveRows(int32_t y0, int count, F* numbers) const {
    Lanes b, a1, a2, a3;
    for (int g = 0; g < kGroup; ++g)
      b[g] = F(f.b), a1[g] = F(f.a1), a2[g] = F(f.a2), a3[g] = F(f.a3);
    const size_t end = size_t(3 + w + f.tail);
    Lanes* v = reinterpret_cast<Lanes*>(numbers);  // position j, channel k: v[j * C + k]
    Lanes base[C];
    for (int g = 0; g < kGroup; ++g) {
      const uint16_t* row = rows.Row(y0 + std::min(g, count - 1));
      for (int k = 0; k < C; ++k) base[k][g] = F(Code::Decode(row[k]));
      for (size_t j = 0; j < end; ++j) {  // the first three positions: the steady state
        const uint16_t* s = row + size_t(ClampIndex(int64_t(j) - 3, w)) * C;
        for (int k = 0; k < C; ++k) v[j * C + size_t(k)][g] = F(Code::Decode(s[k]));
      }
    }
    for (size_t j = 0; j < end; ++j) {
      for (int k = 0; k < C; ++k) v[j * C + size_t(k)] -= base[k];
    }
    for (size_t j = 3; j < end; ++j) {
      Lanes *o = v + j * C, *p1 = o - C, *p2 = o - 2 * C, *p3 = o - 3 * C;
      for (int k = 0; k < C; ++k) o[k] = (b * o[k] + a2 * p2[k] + a3 * p3[k]) + a1 * p1[k];
    }
    for (size_t j = end; j < end + 3; ++j) {
      for (int k = 0; k < C; ++k) v[j * C + size_t(k)] = v[(end - 1) * C + size_t(k)];
    }
    for (size_t j = end; j-- > 3;) {
      Lanes *o = v + j * C, *n1 = o + C, *n2 = o + 2 * C, *n3 = o + 3 * C;
      for (int k = 0; k < C; ++k) o[k] = (b * o[k] + a2 * n2[k] + a3 * n3[k]) + a1 * n1[k];
    }
    for (int g = 0; g < count; ++g) {
      uint16_t* row = rows.Row(y0 + g);
      for (int32_t x = 0; x < w; ++x) {
        const Lanes* o = v + size_t(x + 3) * C;
        for (int k = 0; k < C; ++k) {
          const size_t i = size_t(x) * C + size_t(k);
          row[i] = Result(y0 + g, i, o[k][g] + base[k][g]);
        }
      }
    }
  }
};

// The horizontal pass over every row; OMEM when its buffers cannot be had.
template <typename T, int C, typename F>
ERetcode AcrossRows(const Picture& p, const LineFilter& f, Scratch<uint16_t>& scratch,
                    const Unsharp* unsharp, int threads, const Phase& phase) {
  HorizontalPass<T, C, F> across{p, f, scratch, unsharp};
  const size_t perWorker = across.BufferSamples() + p.RowSamples();
  Buffer<F> work;
  if (!work.Allocate(perWorker * size_t(threads))) return glib::OMEM;
  const bool grouped = f.kind == LineFilter::kRecursive;
  bool done = ForChunks(p.height, 16, threads, phase, [&](int32_t a, int32_t e, int worker) {
    F* mine = work.Data() + perWorker * size_t(worker);
    if (grouped) {
      for (int32_t y = a; y < e; y += across.kGroup)
        across.RecursiveRows(y, std::min(across.kGroup, e - y), mine);
    } else {
      for (int32_t y = a; y < e; ++y) across.Row(y, mine);
    }
  });
  return done ? glib::RCOK : glib::USRA;
}

template <typename T, int C>
ERetcode AcrossRows(const Picture& p, const LineFilter& f, Scratch<uint16_t>& scratch,
                    const Unsharp* unsharp, int threads, const Phase& phase) {
  return f.precise ? AcrossRows<T, C, double>(p, f, scratch, unsharp, threads, phase)
                   : AcrossRows<T, C, float>(p, f, scratch, unsharp, threads, phase);
}

template <typename T, typename F>
bool DownBands(const VerticalPass<T>& down, size_t n, int threads, const Phase& phase,
               Buffer<F>& work) {
  const size_t band = down.kBand, per = down.WorkNumbers();
  const int32_t bands = int32_t((n + band - 1) / band);
  return ForChunks(bands, 1, threads, phase, [&](int32_t a, int32_t e, int worker) {
    for (int32_t s = a; s < e; ++s) {
      const size_t s0 = size_t(s) * band;
      down.Recursive(s0, std::min(band, n - s0), work.Data() + per * size_t(worker));
    }
  });
}

// Both passes into `scratch`, which ends holding the result in sample units (with
// `unsharp`, the picture sharpened by the blur).
template <typename T>
ERetcode Separable(const Picture& p, const LineFilter& vertical, const LineFilter& horizontal,
                   const Unsharp* unsharp, Scratch<uint16_t>& scratch, Progress& progress) {
  if (!scratch.Allocate(p)) return glib::OMEM;
  const size_t n = p.RowSamples();
  const uint64_t taps = vertical.kind == LineFilter::kFir ? vertical.weights.size() : 8;
  const int threads = ThreadsFor(p.Pixels() * uint64_t(p.channels) * taps);
  VerticalPass<T> down{p, vertical, scratch};
  const Phase first{progress, 0.0, 0.5};
  bool done = true;
  if (vertical.kind == LineFilter::kRecursive) {
    Buffer<float> single;
    Buffer<double> twice;
    const size_t numbers = down.WorkNumbers() * size_t(threads);
    if (!(vertical.precise ? twice.Allocate(numbers) : single.Allocate(numbers))) {
      return glib::OMEM;
    }
    done = vertical.precise ? DownBands(down, n, threads, first, twice)
                            : DownBands(down, n, threads, first, single);
  } else {
    // Box sums or kernel sums, one row per worker.
    const bool box = vertical.kind == LineFilter::kBox;
    Buffer<int32_t> sums;
    Buffer<float> acc;
    if (!(box ? sums.Allocate(n * size_t(threads)) : acc.Allocate(n * size_t(threads)))) {
      return glib::OMEM;
    }
    const int32_t chunk = box ? std::max(64, 4 * vertical.radius) : 16;
    done = ForChunks(p.height, chunk, threads, first, [&](int32_t a, int32_t e, int worker) {
      if (box) {
        down.Box(a, e, sums.Data() + n * size_t(worker));
      } else if (vertical.kind == LineFilter::kFir) {
        down.Fir(a, e, acc.Data() + n * size_t(worker));
      } else {
        down.Copy(a, e);
      }
    });
  }
  if (!done) return glib::USRA;
  const Phase second{progress, 0.5, 1.0};
  return p.channels == 3 ? AcrossRows<T, 3>(p, horizontal, scratch, unsharp, threads, second)
                         : AcrossRows<T, 4>(p, horizontal, scratch, unsharp, threads, second);
}

template <typename T>
ERetcode SeparableInPlaceOf(const Picture& p, const LineFilter& vertical,
                            const LineFilter& horizontal, Progress& progress,
                            const Unsharp* unsharp) {
  Scratch<uint16_t> scratch;
  ERetcode rc = Separable<T>(p, vertical, horizontal, unsharp, scratch, progress);
  if (rc == glib::RCOK) scratch.Commit<T>(p);
  return rc;
}

ERetcode SeparableByDepth(const Picture& p, const LineFilter& vertical,
                          const LineFilter& horizontal, Progress& progress,
                          const Unsharp* unsharp) {
  return ByDepth(p, [&](auto sample) {
    return SeparableInPlaceOf<decltype(sample)>(p, vertical, horizontal, progress, unsharp);
  });
}

}  // namespace
}  // namespace cef
