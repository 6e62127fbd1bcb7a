#include "image/MemorySurface.h"

#include <algorithm>
#include <cstring>

#include "runtime/LineConverter.h"

namespace glib {
namespace {

// The source pixel (along one axis) that destination pixel `i` of `count` shows,
// sampling at the pixel's centre as a device does.
int64_t NearestSource(int64_t i, int64_t count, int64_t sourceStart, int64_t sourceCount) {
  return sourceStart + (2 * i + 1) * sourceCount / (2 * count);
}

}  // namespace

MemorySurface::MemorySurface(int32_t width, int32_t height, uint32_t pixel)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(size_t(width_) * size_t(height_), pixel) {}

uint32_t MemorySurface::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[size_t(y) * size_t(width_) + size_t(x)];
}

void MemorySurface::Fill(const Rect& destination, uint32_t colourRef) {
  const Rect r = Intersect(destination, {0, 0, width_, height_});
  const uint32_t pixel = 0xFF000000u | PixelFromColour(colourRef & 0x00FFFFFFu);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* row = pixels_.data() + size_t(y) * size_t(width_);
    std::fill(row + r.left, row + r.right, pixel);
  }
}

bool MemorySurface::DrawRows(const CoreBitmap& bitmap, const Rect& destination, const Rect& source,
                             StretchMode mode) {
  if (destination.IsEmpty() || source.IsEmpty()) return false;
  LineConverter converter;
  if (converter.Set(bitmap, kPixelRGBA32) != RCOK) return false;
  const Rect whole{0, 0, bitmap.width, bitmap.height};
  const Rect visible = Intersect(destination, {0, 0, width_, height_});
  const int64_t dw = destination.Width(), dh = destination.Height();
  const int64_t sw = source.Width(), sh = source.Height();
  std::vector<uint8_t> line(size_t(converter.TargetRowBytes()));
  int32_t converted = -1;
  auto sourcePixel = [&](int64_t sx, int64_t sy, uint32_t& out) {
    if (sx < whole.left || sy < whole.top || sx >= whole.right || sy >= whole.bottom) return false;
    if (converted != sy) {
      converter.GetScanline(int32_t(sy), line.data());
      converted = int32_t(sy);
    }
    std::memcpy(&out, line.data() + 4 * size_t(sx), 4);
    return true;
  };
  const bool average = mode == kStretchHalftone && (sw > dw || sh > dh);
  for (int32_t y = visible.top; y < visible.bottom; ++y) {
    const int64_t dy = y - int64_t(destination.top);
    uint32_t* row = pixels_.data() + size_t(y) * size_t(width_);
    for (int32_t x = visible.left; x < visible.right; ++x) {
      const int64_t dx = x - int64_t(destination.left);
      uint32_t pixel = 0;
      if (!average) {
        if (!sourcePixel(NearestSource(dx, dw, source.left, sw),
                         NearestSource(dy, dh, source.top, sh), pixel))
          continue;
      } else {
        // The source pixels this destination pixel covers, at least one each way.
        const int64_t x0 = source.left + dx * sw / dw, y0 = source.top + dy * sh / dh;
        const int64_t x1 = std::max(x0 + 1, source.left + (dx + 1) * sw / dw);
        const int64_t y1 = std::max(y0 + 1, source.top + (dy + 1) * sh / dh);
        uint64_t sum[3] = {0, 0, 0}, n = 0;
        for (int64_t sy = y0; sy < y1; ++sy) {
          for (int64_t sx = x0; sx < x1; ++sx) {
            uint32_t p;
            if (!sourcePixel(sx, sy, p)) continue;
            for (int c = 0; c < 3; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
            ++n;
          }
        }
        if (n == 0) continue;
        for (int c = 0; c < 3; ++c) pixel |= uint32_t((sum[c] + n / 2) / n) << (8 * c);
      }
      row[x] = 0xFF000000u | (pixel & 0x00FFFFFFu);
    }
  }
  return true;
}

bool MemorySurface::DrawPicture(const VectorPicture&, int32_t, int32_t, const Rect&, const Rect&) {
  return false;
}

}  // namespace glib
