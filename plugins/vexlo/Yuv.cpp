#include "vexlo/Yuv.h"

#include <algorithm>
#include <cmath>

namespace vexlo {
namespace {

// Luma weights from the colour primaries (H.273 equations 39 to 44), for the
// chromaticity-derived matrices.
bool WeightsFromPrimaries(int primaries, float& kr, float& kb) {
  struct Xy {
    double rx, ry, gx, gy, bx, by, wx, wy;
  };
  Xy p;
  switch (primaries) {
    case 1:
      p = {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290};
      break;
    case 4:
      p = {0.67, 0.33, 0.21, 0.71, 0.14, 0.08, 0.310, 0.316};
      break;
    case 5:
      p = {0.640, 0.330, 0.290, 0.600, 0.150, 0.060, 0.3127, 0.3290};
      break;
    case 6:
    case 7:
      p = {0.630, 0.340, 0.310, 0.595, 0.155, 0.070, 0.3127, 0.3290};
      break;
    case 9:
      p = {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290};
      break;
    case 12:
      p = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};
      break;
    default:
      return false;
  }
  auto z = [](double x, double y) { return 1 - (x + y); };
  double rz = z(p.rx, p.ry), gz = z(p.gx, p.gy), bz = z(p.bx, p.by), wz = z(p.wx, p.wy);
  double denominator = p.wy * (p.rx * (p.gy * bz - p.by * gz) + p.gx * (p.by * rz - p.ry * bz) +
                               p.bx * (p.ry * gz - p.gy * rz));
  if (denominator == 0) return false;
  kr = float(p.ry *
             (p.wx * (p.gy * bz - p.by * gz) + p.wy * (p.bx * gz - p.gx * bz) +
              wz * (p.gx * p.by - p.bx * p.gy)) /
             denominator);
  kb = float(p.by *
             (p.wx * (p.ry * gz - p.gy * rz) + p.wy * (p.gx * rz - p.rx * gz) +
              wz * (p.rx * p.gy - p.gx * p.ry)) /
             denominator);
  return true;
}

int Sample(const uint8_t* row, int x, int bits) {
  return bits > 8 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
}

uint8_t Level(int32_t v) { return uint8_t(std::clamp<int32_t>(v, 0, 255 << 16) >> 16); }

// One row of an 8-bit picture; the layout fixed so that the loop has no branches
// (a monochrome picture has neutral chroma).
template <int kShiftX, size_t kN, bool kMono>
void FixedRow(const uint8_t* __restrict ys, const uint8_t* __restrict us,
              const uint8_t* __restrict vs, const uint8_t* __restrict as, int width,
              const YuvFixed& f, uint8_t* __restrict out) {
  const int32_t yOffset = f.yOffset, yScale = f.yScale;
  const int32_t rCr = f.rCr, gCb = f.gCb, gCr = f.gCr, bCb = f.bCb;
  for (int x = 0; x < width; ++x) {
    int32_t l = (int32_t(ys[x]) - yOffset) * yScale + (1 << 15);
    int32_t cb = kMono ? 0 : int32_t(us[x >> kShiftX]) - 128;
    int32_t cr = kMono ? 0 : int32_t(vs[x >> kShiftX]) - 128;
    uint8_t* o = out + size_t(x) * kN;
    o[0] = Level(l + bCb * cb);
    o[1] = Level(l - gCb * cb - gCr * cr);
    o[2] = Level(l + rCr * cr);
    if constexpr (kN == 4) o[3] = as ? as[x] : 255;
  }
}

using FixedRowFunction = void (*)(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*,
                                  int, const YuvFixed&, uint8_t*);
// By layout (4:4:4, 4:2:x, monochrome), then 3 or 4 samples a pixel.
constexpr FixedRowFunction kFixedRows[3][2] = {{&FixedRow<0, 3, false>, &FixedRow<0, 4, false>},
                                               {&FixedRow<1, 3, false>, &FixedRow<1, 4, false>},
                                               {&FixedRow<0, 3, true>, &FixedRow<0, 4, true>}};

}  // namespace

YuvFixed FixedFor(const YuvMatrix& matrix) {
  double kr = matrix.kr, kb = matrix.kb, kg = 1 - kr - kb;
  double yScale = 1, cScale = 1;
  YuvFixed f;
  if (!matrix.fullRange) {
    f.yOffset = 16;
    yScale = 255.0 / 219.0;
    cScale = 255.0 / 224.0;
  }
  auto q = [](double v) { return int32_t(std::lround(v * 65536.0)); };
  f.yScale = q(yScale);
  f.rCr = q(2 * (1 - kr) * cScale);
  f.bCb = q(2 * (1 - kb) * cScale);
  f.gCb = q(2 * kb * (1 - kb) / kg * cScale);
  f.gCr = q(2 * kr * (1 - kr) / kg * cScale);
  return f;
}

bool FixedConverts(const YuvPicture& picture, const YuvMatrix& matrix) {
  return picture.bits == 8 && !matrix.identity && picture.shiftX <= 1 &&
         (!picture.alpha || (picture.alphaBits == 8 && picture.alphaFullRange));
}

void YuvRowToBgr8(const YuvPicture& picture, const YuvFixed& fixed, int y, uint8_t* out, size_t n) {
  const uint8_t* ys = picture.planes[0] + ptrdiff_t(y) * picture.strides[0];
  const uint8_t* as =
      picture.alpha && n == 4 ? picture.alpha + ptrdiff_t(y) * picture.alphaStride : nullptr;
  const uint8_t *us = nullptr, *vs = nullptr;
  if (!picture.mono) {
    int cy = y >> picture.shiftY;
    us = picture.planes[1] + ptrdiff_t(cy) * picture.strides[1];
    vs = picture.planes[2] + ptrdiff_t(cy) * picture.strides[2];
  }
  int layout = picture.mono ? 2 : picture.shiftX;
  kFixedRows[layout][n == 4](ys, us, vs, as, picture.width, fixed, out);
}

YuvMatrix MatrixFor(int matrix, int primaries, bool fullRange) {
  YuvMatrix m;
  m.fullRange = fullRange;
  switch (matrix) {
    case 0:
      m.identity = true;
      break;
    case 1:
      m.kr = 0.2126f, m.kb = 0.0722f;
      break;
    case 4:
      m.kr = 0.30f, m.kb = 0.11f;
      break;
    case 7:
      m.kr = 0.212f, m.kb = 0.087f;
      break;
    case 9:
    case 10:
      m.kr = 0.2627f, m.kb = 0.0593f;
      break;
    case 12:
    case 13:
      if (!WeightsFromPrimaries(primaries, m.kr, m.kb)) m.kr = 0.299f, m.kb = 0.114f;
      break;
    default:
      break;  // 5, 6 and the unspecified or unknown ones: BT.601
  }
  return m;
}

void YuvRowToBgr(const YuvPicture& picture, const YuvMatrix& matrix, int y, uint8_t* out, size_t n,
                 bool wide) {
  int bits = picture.bits;
  float max = float((1 << bits) - 1);
  float scale = 1.0f / max, yOffset = 0, cOffset = float(1 << (bits - 1));
  float yScale = scale, cScale = scale;
  if (!matrix.fullRange) {
    yOffset = float(16 << (bits - 8));
    yScale = 1.0f / float(219 << (bits - 8));
    cScale = 1.0f / float(224 << (bits - 8));
  }
  const uint8_t* rowY = picture.planes[0] + ptrdiff_t(y) * picture.strides[0];
  int cy = y >> picture.shiftY;
  const uint8_t* rowU =
      picture.mono ? nullptr : picture.planes[1] + ptrdiff_t(cy) * picture.strides[1];
  const uint8_t* rowV =
      picture.mono ? nullptr : picture.planes[2] + ptrdiff_t(cy) * picture.strides[2];
  const uint8_t* rowA =
      picture.alpha && n == 4 ? picture.alpha + ptrdiff_t(y) * picture.alphaStride : nullptr;
  float kr = matrix.kr, kb = matrix.kb, kg = 1 - kr - kb;
  float outMax = wide ? 65535.0f : 255.0f;
  auto store = [&](size_t at, float v) {
    float s = std::clamp(v, 0.0f, 1.0f) * outMax + 0.5f;
    if (wide)
      reinterpret_cast<uint16_t*>(out)[at] = uint16_t(s);
    else
      out[at] = uint8_t(s);
  };
  for (int x = 0; x < picture.width; ++x) {
    float luma = (float(Sample(rowY, x, bits)) - yOffset) * yScale;
    float r = luma, g = luma, b = luma;
    if (!picture.mono) {
      int cx = x >> picture.shiftX;
      if (matrix.identity) {
        g = float(Sample(rowY, x, bits)) * scale;
        b = float(Sample(rowU, cx, bits)) * scale;
        r = float(Sample(rowV, cx, bits)) * scale;
      } else {
        float cb = (float(Sample(rowU, cx, bits)) - cOffset) * cScale;
        float cr = (float(Sample(rowV, cx, bits)) - cOffset) * cScale;
        r = luma + 2 * (1 - kr) * cr;
        b = luma + 2 * (1 - kb) * cb;
        g = luma - (2 * kb * (1 - kb) * cb + 2 * kr * (1 - kr) * cr) / kg;
      }
    }
    size_t at = size_t(x) * n;
    store(at, b);
    store(at + 1, g);
    store(at + 2, r);
    if (n == 4) {
      float a = 1;
      if (rowA) {
        float aMax = float((1 << picture.alphaBits) - 1);
        float v = float(Sample(rowA, x, picture.alphaBits));
        a = picture.alphaFullRange ? v / aMax
                                   : (v - float(16 << (picture.alphaBits - 8))) /
                                         float(219 << (picture.alphaBits - 8));
      }
      store(at + 3, a);
    }
  }
}

}  // namespace vexlo
