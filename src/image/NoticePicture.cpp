#include "image/NoticePicture.h"

#include <cmath>
#include <cstring>

#include "image/BitmapOps.h"

namespace glib {
namespace {

// The letters of the notice, 5 x 7 cells, the leftmost cell in bit 4.
struct Glyph {
  char letter;
  uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
};

constexpr uint32_t kPaper = 0xFFF4F4F4u;
constexpr uint32_t kFrame = 0xFF606060u;
constexpr uint32_t kSign = 0xFFC81E1Eu;
constexpr uint32_t kInk = 0xFF202020u;

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.letter == c) return &g;
  }
  return nullptr;
}

class Canvas {
 public:
  explicit Canvas(CoreBitmap& b) : b_(b), step_(RowStep(b)) {}
  void Set(int32_t x, int32_t y, uint32_t pixel) {
    if (x < 0 || y < 0 || x >= b_.width || y >= b_.height) return;
    std::memcpy(b_.pixels + uint64_t(y) * step_ + 4 * size_t(x), &pixel, 4);
  }
  void Box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t pixel) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) Set(x, y, pixel);
  }

 private:
  CoreBitmap& b_;
  uint64_t step_;
};

}  // namespace

bool DrawNoticeRaster(CoreBitmap& out) {
  if (!AllocateBitmap(out, kNoticeWidth, kNoticeHeight, kPixelRGBA32, kStridePadded)) return false;
  FillPixels(out, kPaper);
  Canvas canvas(out);
  // A frame, then a prohibition sign on the left.
  canvas.Box(0, 0, kNoticeWidth, 3, kFrame);
  canvas.Box(0, kNoticeHeight - 3, kNoticeWidth, kNoticeHeight, kFrame);
  canvas.Box(0, 0, 3, kNoticeHeight, kFrame);
  canvas.Box(kNoticeWidth - 3, 0, kNoticeWidth, kNoticeHeight, kFrame);
  const double cx = 80, cy = 80, outer = 52, inner = 42;
  for (int32_t y = 20; y < 140; ++y) {
    for (int32_t x = 20; x < 140; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::sqrt(dx * dx + dy * dy);
      const bool ring = d <= outer && d >= inner;
      const bool bar = d < inner && std::fabs(dx - dy) < 7.0;
      if (ring || bar) canvas.Set(x, y, kSign);
    }
  }
  // The text in 4 x 4 cells.
  const char* text = "LZW SUPPORT IS DISABLED";
  int32_t x = 160;
  const int32_t top = (kNoticeHeight - 28) / 2;
  for (const char* c = text; *c; ++c, x += 24) {
    const Glyph* glyph = FindGlyph(*c);
    if (!glyph) continue;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (glyph->rows[row] & (0x10 >> col))
          canvas.Box(x + 4 * col, top + 4 * row, x + 4 * col + 4, top + 4 * row + 4, kInk);
      }
    }
  }
  return true;
}

}  // namespace glib
