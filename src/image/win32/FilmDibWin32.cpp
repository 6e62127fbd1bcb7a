// A device-independent bitmap section of a slide, for the parts of Windows that take
// one (wallpaper, the navigation window, other programs).
#include <windows.h>

#include <cstring>

#include "image/BitmapOps.h"
#include "image/Film.h"
#include "ui/Handles.h"

namespace glib {
namespace {

struct V4Info {
  BITMAPV4HEADER header;
  RGBQUAD colours[256];
};
static_assert(sizeof(BITMAPV4HEADER) == 108);

}  // namespace

void* Film::CreateSlideDIB(int32_t index, bool forceComposite) {
  const CoreBitmap* bitmap = PrepareSlideBitmap(index, forceComposite);
  if (!bitmap || !bitmap->pixels) return nullptr;
  const uint32_t bits = BitsPerPixel(bitmap->pixelType);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;
  V4Info info{};
  BITMAPV4HEADER& h = info.header;
  h.bV4Size = sizeof h;
  h.bV4Width = bitmap->width;
  h.bV4Height = -bitmap->height;  // top-down
  h.bV4Planes = 1;
  h.bV4BitCount = WORD(bits);
  h.bV4V4Compression = BI_RGB;
  if (bits == 32) {
    h.bV4V4Compression = BI_BITFIELDS;
    h.bV4RedMask = 0x00FF0000;
    h.bV4GreenMask = 0x0000FF00;
    h.bV4BlueMask = 0x000000FF;
    h.bV4AlphaMask = 0xFF000000;
  }
  if (bits <= 8) {
    const int entries = 1 << bits;
    h.bV4ClrUsed = DWORD(entries);
    for (int i = 0; i < entries; ++i) {
      const uint32_t c = bitmap->palette[i];
      info.colours[i] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0};
    }
  }
  void* rows = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                     DIB_RGB_COLORS, &rows, nullptr, 0);
  if (!section || !rows) {
    if (section) DeleteObject(section);
    return nullptr;
  }
  std::memcpy(rows, bitmap->pixels, size_t(RowStep(*bitmap)) * size_t(bitmap->height));
  return section;
}

}  // namespace glib
