// A DrawTarget over a Windows device context: raster rows through StretchDIBits
// (colour-on-colour or halftone stretching), vector pictures through GDI+.
#pragma once

#include <windows.h>

#include "image/DrawTarget.h"

namespace glib {

class DcDrawTarget final : public DrawTarget {
 public:
  explicit DcDrawTarget(HDC dc) : dc_(dc) {}

  void Fill(const Rect& destination, uint32_t colourRef) override;
  bool DrawRows(const CoreBitmap& bitmap, const Rect& destination, const Rect& source,
                StretchMode mode) override;
  bool DrawPicture(const VectorPicture& picture, int32_t boxWidth, int32_t boxHeight,
                   const Rect& destination, const Rect& source) override;

  HDC dc() const { return dc_; }

 private:
  HDC dc_;
};

// The colour table and header a device takes for the bitmap's rows (1, 4, 8, 24 or
// 32 bits per pixel, top row first); false for other types.
struct DeviceBitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};
bool DescribeForDevice(const CoreBitmap& bitmap, DeviceBitmapInfo& info);

}  // namespace glib
