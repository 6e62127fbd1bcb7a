// Point operations: a lookup table per channel (256 entries for 8-bit samples, 65536
// for 16-bit) applied in one pass, and the per-pixel mixes of the grey and sepia
// effects. They write the picture as they go, so they ask the progress callback once,
// before the pass, whether to run; the pass itself runs at memory speed.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "cef/Filters.h"
#include "cef/Lookup.h"

namespace cef {
namespace {

// One table per colour channel, blue first; with `same` the first serves all three.
template <typename T>
struct Tables {
  Buffer<T> table[3];
  bool same = true;

  template <typename F>
  bool One(F curve) {
    same = true;
    return Fill(table[0], [&](double v) { return curve(v); });
  }
  template <typename F>
  bool Each(F curve) {  // curve(channel, v)
    same = false;
    for (int c = 0; c < 3; ++c) {
      if (!Fill(table[c], [&](double v) { return curve(c, v); })) return false;
    }
    return true;
  }

 private:
  template <typename F>
  static bool Fill(Buffer<T>& t, F curve) {
    if (!t.Allocate(size_t(kMaxOf<T>) + 1)) return false;
    for (int32_t v = 0; v <= kMaxOf<T>; ++v) t[size_t(v)] = RoundSample<T>(curve(double(v)));
    return true;
  }
};

template <typename T>
ERetcode Apply(const Picture& p, const Tables<T>& tables, Progress& progress) {
  if (!progress.Reached(0)) return glib::USRA;
  const T* lut[3] = {tables.table[0].Data(), tables.table[1].Data(), tables.table[2].Data()};
  if (tables.same) lut[1] = lut[2] = lut[0];
  ForAllChunks(p.height, 32, ThreadsFor(p.Pixels() * 3), [&](int32_t first, int32_t end, int) {
    for (int32_t y = first; y < end; ++y) LookUpRow(p.Row<T>(y), p.RowSamples(), p.channels, lut);
  });
  return glib::RCOK;
}

template <typename T, typename F>
ERetcode ApplyOne(const Picture& p, Progress& progress, F curve) {
  Tables<T> tables;
  if (!tables.One(curve)) return glib::OMEM;
  return Apply(p, tables, progress);
}

// Calls mix(pixel) for every pixel after asking once, as the tables do.
template <typename T, typename F>
ERetcode ForEachPixel(const Picture& p, Progress& progress, F mix) {
  if (!progress.Reached(0)) return glib::USRA;
  const int c = p.channels;
  ForAllChunks(p.height, 32, ThreadsFor(p.Pixels() * 8), [&](int32_t first, int32_t end, int) {
    for (int32_t y = first; y < end; ++y) {
      T* px = p.Row<T>(y);
      for (int32_t x = 0; x < p.width; ++x, px += c) mix(px);
    }
  });
  return glib::RCOK;
}

// Counts of each colour channel's values.
struct Histogram {
  std::vector<uint64_t> count[3];
  uint64_t total = 0;
};

template <typename T>
ERetcode Count(const Picture& p, const Phase& phase, Histogram& h) {
  const size_t bins = size_t(kMaxOf<T>) + 1;
  const int threads = ThreadsFor(p.Pixels() * 3);
  std::vector<uint32_t> local;
  try {
    for (auto& c : h.count) c.assign(bins, 0);
    local.assign(size_t(threads) * 3 * bins, 0);
  } catch (const std::bad_alloc&) {
    return glib::OMEM;
  }
  std::mutex merge;
  const int c = p.channels;
  // Each piece counts in its worker's table and adds it to the totals; at most a
  // piece's pixels go into a 32-bit count.
  bool done = ForChunks(p.height, 32, threads, phase, [&](int32_t first, int32_t end, int w) {
    uint32_t* mine = &local[size_t(w) * 3 * bins];
    for (int32_t y = first; y < end; ++y) {
      const T* px = p.Row<T>(y);
      for (int32_t x = 0; x < p.width; ++x, px += c) {
        ++mine[px[0]], ++mine[bins + px[1]], ++mine[2 * bins + px[2]];
      }
    }
    std::lock_guard<std::mutex> lock(merge);
    for (int k = 0; k < 3; ++k) {
      for (size_t v = 0; v < bins; ++v) h.count[k][v] += mine[size_t(k) * bins + v];
    }
    std::fill(mine, mine + 3 * bins, 0u);
  });
  if (!done) return glib::USRA;
  h.total = p.Pixels();
  return glib::RCOK;
}

constexpr double kClip = 0.001;  // share of the samples cut off at each end

// The lowest and highest values once `clip` of `total` is cut from each end; false
// when nothing is left to stretch.
bool ClipPoints(const std::vector<uint64_t>& count, uint64_t total, double& low, double& high) {
  const double cut = kClip * double(total);
  const size_t bins = count.size();
  size_t lo = 0, hi = bins - 1;
  for (uint64_t seen = 0; lo < bins; ++lo) {
    seen += count[lo];
    if (double(seen) > cut) break;
  }
  for (uint64_t seen = 0; hi > 0; --hi) {
    seen += count[hi];
    if (double(seen) > cut) break;
  }
  low = double(lo), high = double(hi);
  return hi > lo;
}

// The smallest value at which the running count reaches half of `total`.
double MedianOf(const std::vector<uint64_t>& count, uint64_t total) {
  uint64_t seen = 0;
  for (size_t v = 0; v < count.size(); ++v) {
    seen += count[v];
    if (2 * seen >= total) return double(v);
  }
  return double(count.size() - 1);
}

template <typename T>
ERetcode AutoContrastOf(const Picture& p, Progress& progress) {
  Histogram h;
  if (ERetcode rc = Count<T>(p, Phase{progress, 0.0, 0.9}, h); rc != glib::RCOK) return rc;
  std::vector<uint64_t> all(h.count[0].size());
  for (size_t v = 0; v < all.size(); ++v) all[v] = h.count[0][v] + h.count[1][v] + h.count[2][v];
  double low, high;
  if (!ClipPoints(all, 3 * h.total, low, high)) return glib::RCOK;  // one level: nothing to spread
  const double scale = kMaxOf<T> / (high - low);
  return ApplyOne<T>(p, progress, [&](double v) { return (v - low) * scale; });
}

template <typename T>
ERetcode AutoLevelsOf(const Picture& p, bool colours, Progress& progress) {
  Histogram h;
  if (ERetcode rc = Count<T>(p, Phase{progress, 0.0, 0.9}, h); rc != glib::RCOK) return rc;
  const double max = kMaxOf<T>;
  double low[3], scale[3], gamma[3] = {1, 1, 1};
  for (int c = 0; c < 3; ++c) {
    double high;
    if (ClipPoints(h.count[c], h.total, low[c], high)) {
      scale[c] = max / (high - low[c]);
    } else {
      low[c] = 0, scale[c] = 1;  // a channel of one level stays
    }
  }
  if (colours) {
    // Each stretched median goes to the mean of the three; a gamma curve keeps black
    // and white where they are and moves a median exactly.
    double median[3], target = 0;
    for (int c = 0; c < 3; ++c) {
      median[c] = std::clamp((MedianOf(h.count[c], h.total) - low[c]) * scale[c], 0.0, max) / max;
      target += median[c] / 3;
    }
    for (int c = 0; c < 3; ++c) {
      if (median[c] > 0 && median[c] < 1 && target > 0 && target < 1) {
        gamma[c] = std::log(target) / std::log(median[c]);
      }
    }
  }
  Tables<T> tables;
  bool ok = tables.Each([&](int c, double v) {
    double u = std::clamp((v - low[c]) * scale[c] / max, 0.0, 1.0);
    return max * (gamma[c] == 1 ? u : std::pow(u, gamma[c]));
  });
  if (!ok) return glib::OMEM;
  return Apply(p, tables, progress);
}

// Weights of a tone range over the level u (0..1), each 1 at its peak and 0 at black
// and white. The slope of the shadow and highlight bumps reaches 27/4, so a shift of
// kToneShift at most keeps every curve rising.
constexpr double kToneShift = 0.14;
double ToneWeight(int range, double u) {
  switch (range) {
    case 0:
      return 6.75 * u * (1 - u) * (1 - u);
    case 1:
      return 4 * u * (1 - u);
    default:
      return 6.75 * u * u * (1 - u);
  }
}

template <typename T>
ERetcode NonLinearBalanceOf(const Picture& p, const double sliders[3], int range, bool preserve,
                            Progress& progress) {
  const double max = kMaxOf<T>;
  Tables<T> tables;
  bool ok = tables.Each([&](int c, double v) {
    double u = v / max;
    double shift = sliders[2 - c] / 100 * kToneShift * ToneWeight(range, u);  // sliders: red first
    return max * std::clamp(u + shift, 0.0, 1.0);
  });
  if (!ok) return glib::OMEM;
  if (!preserve) return Apply(p, tables, progress);
  const T* lut[3] = {tables.table[0].Data(), tables.table[1].Data(), tables.table[2].Data()};
  return ForEachPixel<T>(p, progress, [&](T* px) {
    int32_t before = int32_t(Luminance(px));
    T shifted[3] = {lut[0][px[0]], lut[1][px[1]], lut[2][px[2]]};
    int32_t delta = before - int32_t(Luminance(shifted));
    for (int c = 0; c < 3; ++c) px[c] = T(std::clamp(int32_t(shifted[c]) + delta, 0, kMaxOf<T>));
  });
}

template <typename T>
ERetcode GreyscaleOf(const Picture& p, bool average, Progress& progress) {
  return ForEachPixel<T>(p, progress, [average](T* px) {
    uint32_t sum = uint32_t(px[0]) + px[1] + px[2];
    T grey = T(average ? (sum + 1) / 3 : Luminance(px));
    px[0] = px[1] = px[2] = grey;
  });
}

template <typename T>
ERetcode DesaturateOf(const Picture& p, Progress& progress) {
  return ForEachPixel<T>(p, progress, [](T* px) {
    auto [low, high] = std::minmax({px[0], px[1], px[2]});
    px[0] = px[1] = px[2] = T((uint32_t(low) + high + 1) / 2);
  });
}

template <typename T>
ERetcode SepiaOf(const Picture& p, Progress& progress) {
  return ForEachPixel<T>(p, progress, [](T* px) {
    double b = px[0], g = px[1], r = px[2];
    px[2] = RoundSample<T>(0.393 * r + 0.769 * g + 0.189 * b);
    px[1] = RoundSample<T>(0.349 * r + 0.686 * g + 0.168 * b);
    px[0] = RoundSample<T>(0.272 * r + 0.534 * g + 0.131 * b);
  });
}

}  // namespace

ERetcode Brightness(const Picture& picture, double offset, Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    return ApplyOne<T>(picture, progress, [offset](double v) { return v + offset; });
  });
}

ERetcode Contrast(const Picture& picture, double amount, Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    const double max = kMaxOf<T>, mid = max / 2;
    const double cut = std::clamp(amount, -mid, mid);
    if (cut >= mid) {
      return ApplyOne<T>(picture, progress, [=](double v) { return v > mid ? max : 0.0; });
    }
    const double slope = cut >= 0 ? max / (max - 2 * cut) : (max + 2 * cut) / max;
    return ApplyOne<T>(picture, progress, [=](double v) { return (v - mid) * slope + mid; });
  });
}

ERetcode Gamma(const Picture& picture, double gamma, Progress& progress) {
  if (!(gamma > 0)) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    const double max = kMaxOf<T>, power = 1 / gamma;
    return ApplyOne<T>(picture, progress, [=](double v) { return max * std::pow(v / max, power); });
  });
}

ERetcode LinearBalance(const Picture& picture, const double redGreenBlue[3], Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    Tables<T> tables;
    if (!tables.Each([&](int c, double v) { return v + redGreenBlue[2 - c]; })) return glib::OMEM;
    return Apply(picture, tables, progress);
  });
}

ERetcode Negative(const Picture& picture, Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    using T = decltype(sample);
    return ApplyOne<T>(picture, progress, [](double v) { return kMaxOf<T> - v; });
  });
}

ERetcode AutoContrast(const Picture& picture, Progress& progress) {
  return ByDepth(picture,
                 [&](auto sample) { return AutoContrastOf<decltype(sample)>(picture, progress); });
}

ERetcode AutoLevels(const Picture& picture, bool colours, Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    return AutoLevelsOf<decltype(sample)>(picture, colours, progress);
  });
}

ERetcode Greyscale(const Picture& picture, bool average, Progress& progress) {
  return ByDepth(picture, [&](auto sample) {
    return GreyscaleOf<decltype(sample)>(picture, average, progress);
  });
}

ERetcode Desaturate(const Picture& picture, Progress& progress) {
  return ByDepth(picture,
                 [&](auto sample) { return DesaturateOf<decltype(sample)>(picture, progress); });
}

ERetcode Sepia(const Picture& picture, Progress& progress) {
  return ByDepth(picture,
                 [&](auto sample) { return SepiaOf<decltype(sample)>(picture, progress); });
}

ERetcode NonLinearBalance(const Picture& picture, const double sliders[3], int toneRange,
                          bool preserveLuminosity, Progress& progress) {
  if (toneRange < 0 || toneRange > 2) return glib::BADA;
  return ByDepth(picture, [&](auto sample) {
    return NonLinearBalanceOf<decltype(sample)>(picture, sliders, toneRange, preserveLuminosity,
                                                progress);
  });
}

}  // namespace cef
