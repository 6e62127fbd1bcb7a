#include "runtime/Quantize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "formats/CoreBitmap.h"
#include "formats/PixelType.h"
#include "runtime/LineConverter.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelLayout.h"
#include "runtime/ProgressBand.h"

namespace glib {
namespace {

// ---- reading pixels as blue, green, red bytes ----

// Rows of the picture as 3- or 4-byte blue, green, red pixels: in place for 24-
// and 32-bit RGB, converted (per worker) for everything else.
class PixelRows {
 public:
  // `palette` is set for 8-bit indexed sources.
  ERetcode Init(const uint8_t* pixels, int32_t width, int32_t height, uint32_t type,
                int32_t rowRule, const uint32_t* palette, int workers) {
    bitmap_.pixels = const_cast<uint8_t*>(pixels);
    bitmap_.width = width;
    bitmap_.height = height;
    bitmap_.pixelType = type;
    bitmap_.stride = rowRule;
    if (palette) std::memcpy(bitmap_.palette, palette, sizeof bitmap_.palette);
    SourceRows rows;
    ERetcode code = ReadSourceRows(bitmap_, rows);
    if (code != RCOK) return code;
    rowBytes_ = rows.rowBytes;
    direct_ = type == kPixelRGB24 || type == kPixelRGBA32;
    step_ = type == kPixelRGBA32 ? 4 : 3;
    if (direct_) return RCOK;
    converters_.resize(size_t(workers));
    buffers_.resize(size_t(workers));
    for (int i = 0; i < workers; ++i) {
      converters_[size_t(i)] = std::make_unique<LineConverter>();
      if ((code = converters_[size_t(i)]->Set(bitmap_, kPixelRGB24)) != RCOK) return code;
      buffers_[size_t(i)].reset(new (std::nothrow) uint8_t[uint64_t(width) * 3 + 1]);
      if (!buffers_[size_t(i)]) return OMEM;
    }
    return RCOK;
  }

  const uint8_t* Row(int32_t y, int worker) const {
    if (direct_) return bitmap_.pixels + uint64_t(y) * rowBytes_;
    uint8_t* buffer = buffers_[size_t(worker)].get();
    converters_[size_t(worker)]->GetScanline(y, buffer);
    return buffer;
  }

  int Step() const { return step_; }
  int32_t Width() const { return bitmap_.width; }
  int32_t Height() const { return bitmap_.height; }

 private:
  CoreBitmap bitmap_;
  uint64_t rowBytes_ = 0;
  bool direct_ = false;
  int step_ = 3;
  std::vector<std::unique_ptr<LineConverter>> converters_;
  std::vector<std::unique_ptr<uint8_t[]>> buffers_;
};

inline uint32_t Luma(uint32_t b, uint32_t g, uint32_t r) {
  return (29 * b + 150 * g + 77 * r + 128) >> 8;
}

inline uint32_t Opaque(uint32_t b, uint32_t g, uint32_t r) {
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// ---- exact palettes for pictures with few colours ----

// Up to `limit` distinct colours in first-seen order; false when there are more.
class ColourSet {
 public:
  explicit ColourSet(uint32_t limit) : limit_(limit), keys_(kSize, kEmpty), slots_(kSize, 0) {}

  // Index of the colour, adding it when new; -1 once more than `limit` are seen.
  int Find(uint32_t colour, bool add) {
    uint32_t h = (colour * 2654435761u) >> (32 - kBits);
    while (keys_[h] != kEmpty && keys_[h] != colour) h = (h + 1) & (kSize - 1);
    if (keys_[h] == colour) return slots_[h];
    if (!add || colours_.size() >= limit_) return -1;
    keys_[h] = colour;
    slots_[h] = int(colours_.size());
    colours_.push_back(colour);
    return slots_[h];
  }

  const std::vector<uint32_t>& Colours() const { return colours_; }

 private:
  static constexpr int kBits = 10;  // room for 256 colours at a quarter full
  static constexpr uint32_t kSize = 1u << kBits;
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  uint32_t limit_;
  std::vector<uint32_t> keys_;
  std::vector<int> slots_;
  std::vector<uint32_t> colours_;
};

// ---- the colour histogram ----

// Counts per cell of 6 bits per channel; a cell stands for its centre.
constexpr int kCellBits = 6;
constexpr uint32_t kCells = 1u << (3 * kCellBits);

inline uint32_t CellOf(uint32_t b, uint32_t g, uint32_t r) {
  return ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
}
inline double CellCentre(uint32_t cell, int shift) { return ((cell >> shift) & 63) * 4 + 1.5; }

using Histogram = std::vector<uint32_t>;

// ---- Wu's box cuts ----
// Boxes of a 33^3 grid of 5-bit cells (index 0 is the zero border of the
// cumulative moments); each cut splits the box whose colours vary most at the
// point that leaves the least variance.

class WuCuts {
 public:
  explicit WuCuts(const Histogram& histogram) : m_(kGrid * kGrid * kGrid) {
    for (uint32_t cell = 0; cell < kCells; ++cell) {
      uint32_t n = histogram[cell];
      if (!n) continue;
      double r = CellCentre(cell, 12), g = CellCentre(cell, 6), b = CellCentre(cell, 0);
      Moments& m =
          m_[Index(((cell >> 13) & 31) + 1, ((cell >> 7) & 31) + 1, ((cell >> 1) & 31) + 1)];
      m.w += n, m.r += n * r, m.g += n * g, m.b += n * b, m.m2 += n * (r * r + g * g + b * b);
    }
    Accumulate();
  }

  // Up to `count` boxes; returns their mean colours.
  std::vector<std::array<double, 3>> Cut(int count) {
    std::vector<Box> boxes(1, Box{0, kGrid - 1, 0, kGrid - 1, 0, kGrid - 1});
    std::vector<double> variance(1, Variance(boxes[0]));
    while (int(boxes.size()) < count) {
      size_t next = size_t(std::max_element(variance.begin(), variance.end()) - variance.begin());
      if (variance[next] <= 0) break;
      Box other;
      if (!Split(boxes[next], other)) {
        variance[next] = 0;
        continue;
      }
      boxes.push_back(other);
      variance[next] = Volume(boxes[next]) > 1 ? Variance(boxes[next]) : 0;
      variance.push_back(Volume(other) > 1 ? Variance(other) : 0);
    }
    std::vector<std::array<double, 3>> means;
    for (const Box& box : boxes) {
      Moments m = Sum(box);
      if (m.w > 0) means.push_back({m.b / m.w, m.g / m.w, m.r / m.w});
    }
    return means;
  }

 private:
  static constexpr int kGrid = 33;
  struct Moments {
    double w = 0, r = 0, g = 0, b = 0, m2 = 0;
    Moments& operator+=(const Moments& o) {
      w += o.w, r += o.r, g += o.g, b += o.b, m2 += o.m2;
      return *this;
    }
    Moments operator-(const Moments& o) const {
      return {w - o.w, r - o.r, g - o.g, b - o.b, m2 - o.m2};
    }
    Moments operator+(const Moments& o) const {
      return {w + o.w, r + o.r, g + o.g, b + o.b, m2 + o.m2};
    }
  };
  // Half-open in the cumulative sense: cells (r0, r1] x (g0, g1] x (b0, b1].
  struct Box {
    int r0, r1, g0, g1, b0, b1;
  };

  static size_t Index(int r, int g, int b) {
    return (size_t(r) * kGrid + size_t(g)) * kGrid + size_t(b);
  }
  static int Volume(const Box& x) { return (x.r1 - x.r0) * (x.g1 - x.g0) * (x.b1 - x.b0); }

  void Accumulate() {
    for (int r = 1; r < kGrid; ++r) {
      std::vector<Moments> area(kGrid);
      for (int g = 1; g < kGrid; ++g) {
        Moments line;
        for (int b = 1; b < kGrid; ++b) {
          line += m_[Index(r, g, b)];
          area[size_t(b)] += line;
          m_[Index(r, g, b)] = m_[Index(r - 1, g, b)] + area[size_t(b)];
        }
      }
    }
  }

  Moments Sum(const Box& x) const {
    return m_[Index(x.r1, x.g1, x.b1)] - m_[Index(x.r1, x.g1, x.b0)] - m_[Index(x.r1, x.g0, x.b1)] +
           m_[Index(x.r1, x.g0, x.b0)] - m_[Index(x.r0, x.g1, x.b1)] + m_[Index(x.r0, x.g1, x.b0)] +
           m_[Index(x.r0, x.g0, x.b1)] - m_[Index(x.r0, x.g0, x.b0)];
  }

  double Variance(const Box& x) const {
    Moments m = Sum(x);
    if (m.w <= 0) return 0;
    return m.m2 - (m.r * m.r + m.g * m.g + m.b * m.b) / m.w;
  }

  // The box's moments below a cut at `position` along `axis` (0 red, 1 green, 2 blue).
  Moments Below(Box x, int axis, int position) const {
    (axis == 0 ? x.r1 : axis == 1 ? x.g1 : x.b1) = position;
    return Sum(x);
  }

  bool Split(Box& box, Box& other) const {
    Moments whole = Sum(box);
    double best = -1;
    int bestAxis = -1, bestCut = 0;
    for (int axis = 0; axis < 3; ++axis) {
      int first = axis == 0 ? box.r0 : axis == 1 ? box.g0 : box.b0;
      int last = axis == 0 ? box.r1 : axis == 1 ? box.g1 : box.b1;
      for (int cut = first + 1; cut < last; ++cut) {
        Moments half = Below(box, axis, cut);
        Moments rest = whole - half;
        if (half.w <= 0 || rest.w <= 0) continue;
        double score = (half.r * half.r + half.g * half.g + half.b * half.b) / half.w +
                       (rest.r * rest.r + rest.g * rest.g + rest.b * rest.b) / rest.w;
        if (score > best) best = score, bestAxis = axis, bestCut = cut;
      }
    }
    if (bestAxis < 0) return false;
    other = box;
    if (bestAxis == 0) box.r1 = other.r0 = bestCut;
    if (bestAxis == 1) box.g1 = other.g0 = bestCut;
    if (bestAxis == 2) box.b1 = other.b0 = bestCut;
    return true;
  }

  std::vector<Moments> m_;
};

// ---- k-means refinement over the histogram's cells ----

struct Cell {
  float b, g, r;
  uint32_t count;
};

inline int Nearest(const std::vector<std::array<float, 3>>& centres, float b, float g, float r) {
  int best = 0;
  float bestDistance = 1e30f;
  for (size_t i = 0; i < centres.size(); ++i) {
    float db = centres[i][0] - b, dg = centres[i][1] - g, dr = centres[i][2] - r;
    float d = db * db + dg * dg + dr * dr;
    if (d < bestDistance) bestDistance = d, best = int(i);
  }
  return best;
}

void Refine(const std::vector<Cell>& cells, std::vector<std::array<float, 3>>& centres,
            int passes) {
  std::vector<int> owner(cells.size());
  int workers = WorkersFor(uint64_t(cells.size()) * centres.size() * 4);
  for (int pass = 0; pass < passes; ++pass) {
    auto assign = [&](int32_t first, int32_t end, int) {
      for (int32_t i = first; i < end; ++i) {
        const Cell& c = cells[size_t(i)];
        owner[size_t(i)] = Nearest(centres, c.b, c.g, c.r);
      }
    };
    RunRowChunks(int32_t(cells.size()), 1024, workers, nullptr, assign);
    // Sums in cell order: the same whatever thread assigned what.
    std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
    for (size_t i = 0; i < cells.size(); ++i) {
      auto& s = sums[size_t(owner[i])];
      double n = cells[i].count;
      s[0] += n * cells[i].b, s[1] += n * cells[i].g, s[2] += n * cells[i].r, s[3] += n;
    }
    for (size_t k = 0; k < centres.size(); ++k) {
      if (sums[k][3] > 0) {
        for (int c = 0; c < 3; ++c) centres[k][size_t(c)] = float(sums[k][size_t(c)] / sums[k][3]);
      }
    }
  }
}

// A colour palette for the histogram: Wu's boxes, then k-means.
std::vector<uint32_t> ColourPalette(const Histogram& histogram, uint32_t count, bool refine) {
  std::vector<std::array<float, 3>> centres;
  for (const auto& mean : WuCuts(histogram).Cut(int(count))) {
    centres.push_back({float(mean[0]), float(mean[1]), float(mean[2])});
  }
  if (refine) {
    std::vector<Cell> cells;
    for (uint32_t cell = 0; cell < kCells; ++cell) {
      if (histogram[cell]) {
        cells.push_back({float(CellCentre(cell, 0)), float(CellCentre(cell, 6)),
                         float(CellCentre(cell, 12)), histogram[cell]});
      }
    }
    Refine(cells, centres, 4);
  }
  std::vector<uint32_t> palette;
  for (const auto& c : centres) {
    auto byte = [](float v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
    palette.push_back(Opaque(byte(c[0]), byte(c[1]), byte(c[2])));
  }
  return palette;
}

// Grey levels for a luminance histogram: every level used when they fit,
// otherwise levels placed by Lloyd's iterations from evenly spread quantiles.
std::vector<uint32_t> GreyPalette(const std::array<uint64_t, 256>& histogram, uint32_t count) {
  std::vector<double> levels;
  uint64_t total = 0;
  for (int v = 0; v < 256; ++v) {
    total += histogram[size_t(v)];
    if (histogram[size_t(v)]) levels.push_back(v);
  }
  if (levels.size() > count) {
    levels.clear();
    uint64_t seen = 0;
    size_t next = 0;
    for (int v = 0; v < 256 && levels.size() < count; ++v) {
      seen += histogram[size_t(v)];
      while (next < count && seen * count > next * total + total / 2) levels.push_back(v), ++next;
    }
    for (int pass = 0; pass < 30; ++pass) {
      std::vector<double> sum(levels.size()), weight(levels.size());
      size_t k = 0;
      for (int v = 0; v < 256; ++v) {
        while (k + 1 < levels.size() && std::fabs(levels[k + 1] - v) < std::fabs(levels[k] - v))
          ++k;
        sum[k] += double(v) * double(histogram[size_t(v)]);
        weight[k] += double(histogram[size_t(v)]);
      }
      for (size_t i = 0; i < levels.size(); ++i) {
        if (weight[i] > 0) levels[i] = sum[i] / weight[i];
      }
    }
  }
  std::vector<uint32_t> palette;
  for (double level : levels) {
    uint32_t v = uint32_t(std::clamp(std::lround(level), 0L, 255L));
    if (palette.empty() || (palette.back() & 255) != v) palette.push_back(Opaque(v, v, v));
  }
  return palette;
}

// ---- mapping pixels to the palette ----

// Nearest palette entry of every histogram cell (by its centre), filled on demand
// for the colours error diffusion reaches.
class CellMap {
 public:
  explicit CellMap(const std::vector<uint32_t>& palette) : palette_(palette), index_(kCells, -1) {}

  void FillUsed(const Histogram& histogram) {
    auto fill = [&](int32_t first, int32_t end, int) {
      for (int32_t cell = first; cell < end; ++cell) {
        if (histogram[size_t(cell)]) index_[size_t(cell)] = Search(uint32_t(cell));
      }
    };
    RunRowChunks(int32_t(kCells), 4096, WorkersFor(uint64_t(kCells) * palette_.size()), nullptr,
                 fill);
  }

  int Lookup(uint32_t b, uint32_t g, uint32_t r) {
    uint32_t cell = CellOf(b, g, r);
    int16_t& slot = index_[cell];
    if (slot < 0) slot = Search(cell);
    return slot;
  }

 private:
  int16_t Search(uint32_t cell) const {
    int b = int(CellCentre(cell, 0)), g = int(CellCentre(cell, 6)), r = int(CellCentre(cell, 12));
    int best = 0, bestDistance = INT32_MAX;
    for (size_t i = 0; i < palette_.size(); ++i) {
      uint32_t c = palette_[i];
      int db = int(c & 255) - b, dg = int((c >> 8) & 255) - g, dr = int((c >> 16) & 255) - r;
      int d = db * db + dg * dg + dr * dr;
      if (d < bestDistance) bestDistance = d, best = int(i);
    }
    return int16_t(best);
  }

  const std::vector<uint32_t>& palette_;
  std::vector<int16_t> index_;
};

struct IndexRows {
  uint8_t* rows;
  uint64_t rowBytes;
  uint8_t* Row(int32_t y) const { return rows + uint64_t(y) * rowBytes; }
};

// Serpentine Floyd-Steinberg: errors in sixteenths, carried on two row buffers.
template <typename Pick>
bool Diffuse(const PixelRows& pixels, const IndexRows& out, const std::vector<uint32_t>& palette,
             bool grey, Pick pick, ProgressBand& band) {
  int32_t width = pixels.Width();
  std::vector<int32_t> current(size_t(width + 2) * 3), next(current.size());
  int step = pixels.Step();
  for (int32_t y = 0; y < pixels.Height(); ++y) {
    const uint8_t* row = pixels.Row(y, 0);
    uint8_t* indices = out.Row(y);
    bool forward = (y & 1) == 0;
    std::fill(next.begin(), next.end(), 0);
    for (int32_t i = 0; i < width; ++i) {
      int32_t x = forward ? i : width - 1 - i;
      const uint8_t* p = row + int64_t(x) * step;
      int32_t* e = &current[size_t(x + 1) * 3];
      int want[3];
      for (int c = 0; c < 3; ++c) want[c] = std::clamp(int(p[c]) + ((e[c] + 8) >> 4), 0, 255);
      if (grey)
        want[0] = want[1] = want[2] =
            int(Luma(uint32_t(want[0]), uint32_t(want[1]), uint32_t(want[2])));
      int index = pick(uint32_t(want[0]), uint32_t(want[1]), uint32_t(want[2]));
      indices[x] = uint8_t(index);
      uint32_t got = palette[size_t(index)];
      int ahead = forward ? 3 : -3;
      for (int c = 0; c < 3; ++c) {
        int error = want[c] - int((got >> (8 * c)) & 255);
        e[ahead + c] += error * 7;
        int32_t* below = &next[size_t(x + 1) * 3 + size_t(c)];
        below[-ahead] += error * 3;
        below[0] += error * 5;
        below[ahead] += error;
      }
    }
    std::swap(current, next);
    if (!band.RowsDone(y + 1)) return false;
  }
  return true;
}

// Maps every pixel with `pick(b, g, r)`, on several threads.
template <typename Pick>
bool MapPlain(const PixelRows& pixels, const IndexRows& out, Pick pick, int workers,
              ProgressBand& band) {
  auto body = [&](int32_t first, int32_t end, int worker) {
    int step = pixels.Step();
    for (int32_t y = first; y < end; ++y) {
      const uint8_t* p = pixels.Row(y, worker);
      uint8_t* indices = out.Row(y);
      for (int32_t x = 0; x < pixels.Width(); ++x, p += step)
        indices[x] = uint8_t(pick(p[0], p[1], p[2]));
    }
  };
  return RunRowChunks(pixels.Height(), 32, workers, &band, body);
}

// Counts of every histogram cell (or of luminance levels) over the picture.
template <typename Count>
void CountPixels(const PixelRows& pixels, int workers, std::vector<Histogram>& partial,
                 Count count) {
  auto body = [&](int32_t first, int32_t end, int worker) {
    Histogram& h = partial[size_t(worker)];
    int step = pixels.Step();
    for (int32_t y = first; y < end; ++y) {
      const uint8_t* p = pixels.Row(y, worker);
      for (int32_t x = 0; x < pixels.Width(); ++x, p += step) ++h[count(p[0], p[1], p[2])];
    }
  };
  RunRowChunks(pixels.Height(), 64, workers, nullptr, body);
}

// The shared reduction of both classes: palette choice and mapping.
struct Reduction {
  uint32_t maxColours;
  bool dither, grey, refine;
  ProgressBand& band;

  int Run(const PixelRows& pixels, const IndexRows& out, uint32_t* paletteOut) {
    int workers = WorkersFor(uint64_t(pixels.Width()) * uint64_t(pixels.Height()) * 4);
    std::vector<uint32_t> palette;
    bool ok;
    if (grey) {
      std::vector<Histogram> partial(size_t(workers), Histogram(256, 0));
      CountPixels(pixels, workers, partial, Luma);
      std::array<uint64_t, 256> levels{};
      for (const Histogram& h : partial) {
        for (int v = 0; v < 256; ++v) levels[size_t(v)] += h[size_t(v)];
      }
      palette = GreyPalette(levels, maxColours);
      std::array<uint8_t, 256> nearest{};
      for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (size_t i = 0; i < palette.size(); ++i) {
          if (std::abs(int(palette[i] & 255) - v) < std::abs(int(palette[size_t(best)] & 255) - v))
            best = int(i);
        }
        nearest[size_t(v)] = uint8_t(best);
      }
      auto pick = [&](uint32_t b, uint32_t g, uint32_t r) { return nearest[Luma(b, g, r)]; };
      ok = dither ? Diffuse(pixels, out, palette, true, pick, band)
                  : MapPlain(pixels, out, pick, workers, band);
    } else if (!ExactColours(pixels, palette)) {
      std::vector<Histogram> partial(size_t(workers), Histogram(kCells, 0));
      CountPixels(pixels, workers, partial, CellOf);
      for (size_t w = 1; w < partial.size(); ++w) {
        for (uint32_t i = 0; i < kCells; ++i) partial[0][i] += partial[w][i];
      }
      palette = ColourPalette(partial[0], maxColours, refine);
      CellMap map(palette);
      map.FillUsed(partial[0]);
      auto pick = [&](uint32_t b, uint32_t g, uint32_t r) { return map.Lookup(b, g, r); };
      ok = dither ? Diffuse(pixels, out, palette, false, pick, band)
                  : MapPlain(pixels, out, pick, workers, band);
    } else {
      ColourSet set(maxColours);
      for (uint32_t c : palette) set.Find(c & 0xFFFFFF, true);
      auto pick = [&](uint32_t b, uint32_t g, uint32_t r) {
        return set.Find(b | (g << 8) | (r << 16), false);
      };
      ok = MapPlain(pixels, out, pick, workers, band);
    }
    if (!ok) return -1;
    std::fill(paletteOut, paletteOut + 256, 0u);
    std::copy(palette.begin(), palette.end(), paletteOut);
    return int(palette.size());
  }

  // The picture's own colours when there are few enough of them.
  bool ExactColours(const PixelRows& pixels, std::vector<uint32_t>& palette) const {
    ColourSet set(maxColours);
    int step = pixels.Step();
    for (int32_t y = 0; y < pixels.Height(); ++y) {
      const uint8_t* p = pixels.Row(y, 0);
      for (int32_t x = 0; x < pixels.Width(); ++x, p += step) {
        if (set.Find(p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16), true) < 0) return false;
      }
    }
    for (uint32_t c : set.Colours()) palette.push_back(c | 0xFF000000u);
    return true;
  }
};

}  // namespace

Quantize::Quantize(uint32_t maxColours, bool dither, bool grey, bool refine,
                   ProgressCallback progress, uintptr_t context, const char* text)
    : maxColours_(maxColours),
      dither_(dither),
      grey_(grey),
      refine_(refine),
      progress_(progress),
      context_(context),
      text_(text ? text : "Quantize...") {}

int Quantize::Execute(const uint8_t* pixels, int32_t width, int32_t height, uint32_t pixelType,
                      int32_t rowRule, uint8_t* indices, int32_t indexRowRule, uint32_t* palette) {
  last_ = BADA;
  if (!pixels || !indices || !palette || maxColours_ < 1 || maxColours_ > 256) return -1;
  const PixelLayout* layout = FindPixelLayout(pixelType);
  if (!layout) return last_ = UNSF, -1;
  if (layout->space == ColourSpace::kPalette) return last_ = UNSF, -1;
  uint64_t indexRowBytes = RowBytes(width, 8, indexRowRule);
  if (indexRowBytes < uint64_t(std::max(width, 0))) return -1;
  try {
    PixelRows rows;
    int workers = WorkersFor(uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) * 4);
    if ((last_ = rows.Init(pixels, width, height, pixelType, rowRule, nullptr, workers)) != RCOK) {
      return -1;
    }
    ProgressBand band(progress_, context_, width, height, text_);
    Reduction reduction{maxColours_, dither_, grey_, refine_, band};
    int count = reduction.Run(rows, {indices, indexRowBytes}, palette);
    last_ = count < 0 ? USRA : RCOK;
    return count;
  } catch (const std::bad_alloc&) {
    last_ = OMEM;
    return -1;
  }
}

QuantizeIndexedBitmap::QuantizeIndexedBitmap(uint32_t maxColours, bool dither, bool grey,
                                             ProgressCallback progress, uintptr_t context,
                                             const char* text)
    : maxColours_(maxColours),
      dither_(dither),
      grey_(grey),
      progress_(progress),
      context_(context),
      text_(text ? text : "Quantize...") {}

int QuantizeIndexedBitmap::Execute(const uint8_t* indices, int32_t width, int32_t height,
                                   int32_t rowRule, const uint32_t* palette, uint8_t* out,
                                   int32_t outRowRule, uint32_t* outPalette) {
  last_ = BADA;
  if (!indices || !palette || !out || !outPalette || maxColours_ < 1 || maxColours_ > 256) {
    return -1;
  }
  uint64_t inRowBytes = RowBytes(width, 8, rowRule), outRowBytes = RowBytes(width, 8, outRowRule);
  if (width <= 0 || height <= 0 || inRowBytes < uint64_t(width) || outRowBytes < uint64_t(width) ||
      (out == indices && inRowBytes != outRowBytes)) {
    return -1;
  }
  try {
    uint32_t colours[256];
    CopyPaletteWithAlpha(palette, 256, colours);
    std::array<uint64_t, 256> used{};
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = indices + uint64_t(y) * inRowBytes;
      for (int32_t x = 0; x < width; ++x) ++used[row[x]];
    }
    uint32_t usedCount =
        uint32_t(std::count_if(used.begin(), used.end(), [](uint64_t n) { return n > 0; }));
    if (usedCount <= maxColours_ && !grey_) {
      // Few enough entries: the used ones close up, in their order.
      uint8_t remap[256] = {};
      std::vector<uint32_t> kept;
      for (int i = 0; i < 256; ++i) {
        if (used[size_t(i)])
          remap[i] = uint8_t(kept.size()), kept.push_back(colours[i] | 0xFF000000u);
      }
      for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = indices + uint64_t(y) * inRowBytes;
        uint8_t* o = out + uint64_t(y) * outRowBytes;
        for (int32_t x = 0; x < width; ++x) o[x] = remap[in[x]];
      }
      std::fill(outPalette, outPalette + 256, 0u);
      std::copy(kept.begin(), kept.end(), outPalette);
      last_ = RCOK;
      return int(kept.size());
    }
    // Otherwise the entries' colours are reduced like any picture's.
    PixelRows rows;
    int workers = WorkersFor(uint64_t(width) * uint64_t(height) * 4);
    if ((last_ = rows.Init(indices, width, height, kPixelIndexed8, rowRule, colours, workers)) !=
        RCOK) {
      return -1;
    }
    ProgressBand band(progress_, context_, width, height, text_);
    Reduction reduction{maxColours_, dither_, grey_, true, band};
    uint32_t result[256];
    int count = reduction.Run(rows, {out, outRowBytes}, result);
    if (count >= 0) std::memcpy(outPalette, result, sizeof result);
    last_ = count < 0 ? USRA : RCOK;
    return count;
  } catch (const std::bad_alloc&) {
    last_ = OMEM;
    return -1;
  }
}

}  // namespace glib
