#include "image/win32/DcDrawTarget.h"

#include <cstring>

#include "image/win32/MetafilePicture.h"
#include "ui/Handles.h"

namespace glib {

bool DescribeForDevice(const CoreBitmap& bitmap, DeviceBitmapInfo& info) {
  std::memset(&info, 0, sizeof info);
  const uint32_t bits = BitsPerPixel(bitmap.pixelType);
  switch (bitmap.pixelType) {
    case kPixelBW1:
    case kPixelIndexed1:
    case kPixelIndexed4:
    case kPixelIndexed8:
    case kPixelRGB24:
    case kPixelRGBA32:
      break;
    default:
      return false;
  }
  info.header.biSize = sizeof info.header;
  info.header.biWidth = bitmap.width;
  info.header.biHeight = -bitmap.height;  // top row first
  info.header.biPlanes = 1;
  info.header.biBitCount = WORD(bits);
  info.header.biCompression = BI_RGB;
  if (bits <= 8) {
    const int entries = 1 << bits;
    info.header.biClrUsed = DWORD(entries);
    for (int i = 0; i < entries; ++i) {
      const uint32_t c = bitmap.palette[i];
      info.colours[i] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0};
    }
    // A black-and-white picture whose plug-in left the table empty is black on white.
    if (bitmap.pixelType == kPixelBW1 && bitmap.palette[0] == 0 && bitmap.palette[1] == 0)
      info.colours[1] = {255, 255, 255, 0};
  }
  return true;
}

void DcDrawTarget::Fill(const Rect& destination, uint32_t colourRef) {
  ui::UniqueBrush brush(CreateSolidBrush(colourRef & 0x00FFFFFFu));
  RECT r{destination.left, destination.top, destination.right, destination.bottom};
  if (brush) FillRect(dc_, &r, brush.get());
}

bool DcDrawTarget::DrawRows(const CoreBitmap& bitmap, const Rect& destination, const Rect& source,
                            StretchMode mode) {
  DeviceBitmapInfo info;
  if (!bitmap.pixels || !DescribeForDevice(bitmap, info)) return false;
  const int previous = SetStretchBltMode(dc_, mode == kStretchHalftone ? HALFTONE : COLORONCOLOR);
  POINT origin;
  if (mode == kStretchHalftone) SetBrushOrgEx(dc_, 0, 0, &origin);
  const int lines = StretchDIBits(
      dc_, destination.left, destination.top, int(destination.Width()), int(destination.Height()),
      source.left, source.top, int(source.Width()), int(source.Height()), bitmap.pixels,
      reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
  if (mode == kStretchHalftone) SetBrushOrgEx(dc_, origin.x, origin.y, nullptr);
  if (previous) SetStretchBltMode(dc_, previous);
  return lines != 0 && lines != int(GDI_ERROR);
}

bool DcDrawTarget::DrawPicture(const VectorPicture& picture, int32_t boxWidth, int32_t boxHeight,
                               const Rect& destination, const Rect& source) {
  if (destination.IsEmpty() || source.IsEmpty() || boxWidth <= 0 || boxHeight <= 0) return false;
  // The whole picture is placed so that `source` lands on `destination`; the rest is
  // clipped away.
  const double sx = double(destination.Width()) / double(source.Width());
  const double sy = double(destination.Height()) / double(source.Height());
  const int32_t x = int32_t(destination.left - source.left * sx);
  const int32_t y = int32_t(destination.top - source.top * sy);
  const int32_t w = int32_t(boxWidth * sx + 0.5), h = int32_t(boxHeight * sy + 0.5);
  const int saved = SaveDC(dc_);
  IntersectClipRect(dc_, destination.left, destination.top, destination.right, destination.bottom);
  const bool drawn = win32::DrawPictureInto(picture, dc_, x, y, w, h);
  RestoreDC(dc_, saved);
  return drawn;
}

}  // namespace glib
