// The clipboard: a picture goes out as a device-dependent bitmap of the display's
// depth (or an enhanced metafile); a layer comes in from the first of CF_BITMAP,
// CF_DIB, CF_METAFILEPICT and CF_ENHMETAFILE that is there. Clipboard data comes from
// other programs: every size is checked before it is used.
#include <windows.h>

#include <cstring>
#include <functional>
#include <memory>

#include "image/BitmapOps.h"
#include "image/FilmPlatform.h"
#include "image/Layer.h"
#include "image/win32/MetafilePicture.h"
#include "runtime/BitmapRows.h"
#include "runtime/Quantize.h"
#include "ui/Handles.h"

namespace glib {
namespace {

// Pictures from the clipboard are refused beyond this many pixels.
constexpr uint64_t kMaxClipboardPixels = uint64_t(1) << 28;

struct Info256 {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

// A bitmap of the display's depth holding 32-bit RGBA rows.
HBITMAP DeviceBitmap(const CoreBitmap& picture) {
  ui::WindowDC screen(nullptr);
  const int depth = GetDeviceCaps(screen.dc(), BITSPIXEL) * GetDeviceCaps(screen.dc(), PLANES);
  const int32_t w = picture.width, h = picture.height;
  ui::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.dc(), w, h));
  if (!bitmap) return nullptr;
  if (depth > 8) {
    // 16 and 24 bits are converted by the device, 32 bits are copied.
    BITMAPINFO info{};
    info.bmiHeader = ui::TopDownHeader32(w, h);
    if (SetDIBits(screen.dc(), bitmap.get(), 0, UINT(h), picture.pixels, &info, DIB_RGB_COLORS) ==
        0)
      return nullptr;
    return bitmap.release();
  }
  // Palette displays get the colours reduced to what they can show.
  const uint32_t colours = depth <= 1 ? 2 : depth <= 4 ? 16 : 256;
  PageRows indices = AllocateRows(w, h, kPixelIndexed8, kStridePadded);
  if (!indices) return nullptr;
  Info256 info{};
  uint32_t palette[256] = {};
  Quantize quantize(colours, true, false);
  const int count = quantize.Execute(picture.pixels, w, h, kPixelRGBA32, picture.stride,
                                     indices.get(), kStridePadded, palette);
  if (count < 0) return nullptr;
  info.header = ui::TopDownHeader32(w, h);
  info.header.biBitCount = 8;
  info.header.biClrUsed = DWORD(count);
  for (int i = 0; i < count; ++i) {
    info.colours[i] = {BYTE(palette[i]), BYTE(palette[i] >> 8), BYTE(palette[i] >> 16), 0};
  }
  if (SetDIBits(screen.dc(), bitmap.get(), 0, UINT(h), indices.get(),
                reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS) == 0)
    return nullptr;
  return bitmap.release();
}

// Draws a packed DIB (header, colours, bits) or a bitmap into new opaque 32-bit rows.
bool RowsFrom(int32_t width, int32_t height, Layer& layer, const std::function<bool(HDC)>& draw) {
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxClipboardPixels)
    return false;
  void* bits = nullptr;
  ui::UniqueBitmap section = ui::TopDownSection32(width, height, &bits);
  ui::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!section || !dc || !bits) return false;
  {
    ui::SelectScope select(dc.get(), section.get());
    if (!draw(dc.get())) return false;
    GdiFlush();
  }
  uint32_t* rows = GraphMapAllocator<uint32_t>::Allocate(width, height);
  if (!rows) return false;
  auto* from = static_cast<const uint32_t*>(bits);
  for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i)
    rows[i] = from[i] | 0xFF000000u;
  layer.SetPixels(0, 0, width, height, reinterpret_cast<uint8_t*>(rows));
  return true;
}

bool FromBitmap(HBITMAP handle, Layer& layer) {
  BITMAP about{};
  if (!handle || GetObjectW(handle, sizeof about, &about) == 0) return false;
  return RowsFrom(about.bmWidth, about.bmHeight, layer, [&](HDC dc) {
    ui::UniqueMemoryDC source(CreateCompatibleDC(nullptr));
    if (!source) return false;
    ui::SelectScope select(source.get(), handle);
    return BitBlt(dc, 0, 0, about.bmWidth, about.bmHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
  });
}

// A packed DIB from another program: the header, masks, colours and bits must all lie
// inside the block.
bool FromPackedDib(HANDLE handle, Layer& layer) {
  const SIZE_T size = handle ? GlobalSize(handle) : 0;
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  ui::GlobalLockScope lock(handle);
  auto* block = static_cast<const uint8_t*>(lock.data());
  if (!block) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, block, sizeof header);
  if (header.biSize < sizeof header || header.biSize > size || header.biPlanes != 1) return false;
  const int32_t width = header.biWidth, height = header.biHeight;
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  const uint32_t bits = header.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  uint64_t colours = header.biClrUsed ? header.biClrUsed : bits <= 8 ? (1u << bits) : 0;
  if (colours > 256) return false;
  uint64_t offset = header.biSize + colours * 4;
  if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header) offset += 12;
  const uint64_t rows = uint64_t(height < 0 ? -int64_t(height) : height);
  const uint64_t rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
  const bool plain = header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS;
  const uint64_t needed = plain ? rowBytes * rows : header.biSizeImage;
  if (!plain && header.biCompression != BI_RLE8 && header.biCompression != BI_RLE4) return false;
  if (offset > size || needed > size - offset) return false;
  return RowsFrom(width, int32_t(rows), layer, [&](HDC dc) {
    return StretchDIBits(dc, 0, 0, width, int(rows), 0, 0, width, int(rows), block + offset,
                         reinterpret_cast<const BITMAPINFO*>(block), DIB_RGB_COLORS, SRCCOPY) != 0;
  });
}

bool FromMetafile(HENHMETAFILE metafile, Layer& layer) {
  win32::MetafilePicture* picture = win32::AdoptMetafile(metafile);
  if (!picture || picture->width <= 0 || picture->height <= 0) {
    if (picture) picture->ops->owned.Destroy(AsOwnedObject(picture), 1);
    return false;
  }
  layer.SetPicture(0, 0, picture->width, picture->height, AsOwnedObject(picture));
  return true;
}

bool FromMetafilePict(HANDLE handle, Layer& layer) {
  if (!handle || GlobalSize(handle) < sizeof(METAFILEPICT)) return false;
  ui::GlobalLockScope lock(handle);
  auto* pict = static_cast<const METAFILEPICT*>(lock.data());
  if (!pict) return false;
  const UINT size = GetMetaFileBitsEx(pict->hMF, 0, nullptr);
  if (size == 0 || size > (64u << 20)) return false;
  std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[size]);
  if (!bytes || GetMetaFileBitsEx(pict->hMF, size, bytes.get()) != size) return false;
  return FromMetafile(SetWinMetaFileBits(size, bytes.get(), nullptr, pict), layer);
}

}  // namespace

bool PutOnClipboard(const CoreBitmap& picture) {
  ui::ClipboardScope clipboard(nullptr);
  if (!clipboard.ok() || !EmptyClipboard()) return false;
  if (!picture.pixels) {
    HENHMETAFILE source = win32::MetafileOf(picture.picture);
    ui::UniqueEnhMetaFile copy(source ? CopyEnhMetaFileW(source, nullptr) : nullptr);
    if (!copy || !SetClipboardData(CF_ENHMETAFILE, copy.get())) return false;
    copy.release();  // the clipboard owns it now
    return true;
  }
  if (picture.pixelType != kPixelRGBA32 || !HasUsableRows(picture)) return false;
  ui::UniqueBitmap bitmap(DeviceBitmap(picture));
  if (!bitmap || !SetClipboardData(CF_BITMAP, bitmap.get())) return false;
  bitmap.release();  // the clipboard owns it now
  return true;
}

bool TakeFromClipboard(Layer& layer) {
  ui::ClipboardScope clipboard(nullptr);
  if (!clipboard.ok()) return false;
  if (IsClipboardFormatAvailable(CF_BITMAP))
    return FromBitmap(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)), layer);
  if (IsClipboardFormatAvailable(CF_DIB)) return FromPackedDib(GetClipboardData(CF_DIB), layer);
  if (IsClipboardFormatAvailable(CF_METAFILEPICT))
    return FromMetafilePict(GetClipboardData(CF_METAFILEPICT), layer);
  if (IsClipboardFormatAvailable(CF_ENHMETAFILE)) {
    auto source = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
    return source && FromMetafile(CopyEnhMetaFileW(source, nullptr), layer);
  }
  return false;
}

}  // namespace glib
