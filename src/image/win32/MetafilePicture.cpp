#include "image/win32/MetafilePicture.h"

#include <objidl.h>
#include <propidl.h>
// GDI+ after the COM declarations it builds on.
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "image/BitmapOps.h"
#include "image/FilmTypes.h"
#include "runtime/BitmapRows.h"
#include "ui/Handles.h"

namespace glib::win32 {
namespace {

void ORBISK_CDECL Destroy(OwnedObject* self, uint32_t flags) {
  auto* picture = static_cast<MetafilePicture*>(AsVectorPicture(self));
  if (picture->metafile) DeleteEnhMetaFile(picture->metafile);
  picture->metafile = nullptr;
  if (flags & 1) delete picture;
}

OwnedObject* ORBISK_CDECL Clone(const OwnedObject* self) {
  auto* picture = static_cast<const MetafilePicture*>(AsVectorPicture(self));
  HENHMETAFILE copy = CopyEnhMetaFileW(picture->metafile, nullptr);
  MetafilePicture* clone = AdoptMetafile(copy);
  if (!clone) return nullptr;
  clone->width = picture->width;
  clone->height = picture->height;
  return AsOwnedObject(clone);
}

bool ORBISK_CDECL Draw(const VectorPicture* self, void* dc, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
  auto* picture = static_cast<const MetafilePicture*>(self);
  if (!dc || !picture->metafile) return false;
  Gdiplus::Graphics graphics(static_cast<HDC>(dc));
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  Gdiplus::Metafile metafile(picture->metafile, FALSE);
  return graphics.DrawImage(&metafile, Gdiplus::Rect(x, y, width, height)) == Gdiplus::Ok;
}

void ORBISK_CDECL GetSize(const VectorPicture* self, int32_t* width, int32_t* height) {
  auto* picture = static_cast<const MetafilePicture*>(self);
  if (width) *width = picture->width;
  if (height) *height = picture->height;
}

const VectorPictureOps kOps = {{&Destroy, &Clone}, &Draw, &GetSize};

// The natural size at 96 dpi, from the frame (0.01 mm) or else the bounds.
void NaturalSize(HENHMETAFILE metafile, int32_t& width, int32_t& height) {
  ENHMETAHEADER header{};
  width = height = 0;
  if (GetEnhMetaFileHeader(metafile, sizeof header, &header) == 0) return;
  const double w = (double(header.rclFrame.right) - header.rclFrame.left + 1) * 96.0 / 2540.0;
  const double h = (double(header.rclFrame.bottom) - header.rclFrame.top + 1) * 96.0 / 2540.0;
  if (w >= 1.0 && h >= 1.0 && w < 1e6 && h < 1e6) {
    width = int32_t(std::lround(w));
    height = int32_t(std::lround(h));
    return;
  }
  width = std::max<int32_t>(0, header.rclBounds.right - header.rclBounds.left + 1);
  height = std::max<int32_t>(0, header.rclBounds.bottom - header.rclBounds.top + 1);
}

}  // namespace

MetafilePicture* AdoptMetafile(HENHMETAFILE metafile) {
  if (!metafile) return nullptr;
  auto* picture = new (std::nothrow) MetafilePicture;
  if (!picture) {
    DeleteEnhMetaFile(metafile);
    return nullptr;
  }
  picture->ops = &kOps;
  picture->metafile = metafile;
  NaturalSize(metafile, picture->width, picture->height);
  return picture;
}

MetafilePicture* MetafileFromBytes(const void* data, uint32_t size) {
  if (!data || size < sizeof(ENHMETAHEADER)) return nullptr;
  return AdoptMetafile(SetEnhMetaFileBits(size, static_cast<const BYTE*>(data)));
}

HENHMETAFILE MetafileOf(const OwnedObject* picture) {
  if (!picture || picture->ops != &kOps.owned) return nullptr;
  return static_cast<const MetafilePicture*>(AsVectorPicture(picture))->metafile;
}

bool DrawPictureInto(const VectorPicture& picture, HDC dc, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
  return picture.ops && picture.ops->Draw && picture.ops->Draw(&picture, dc, x, y, width, height);
}

MetafilePicture* Rerecord(HENHMETAFILE source, int32_t width, int32_t height,
                          const XFORM& transform, const RECT& placement) {
  if (!source || width <= 0 || height <= 0) return nullptr;
  ui::WindowDC screen(nullptr);
  // The frame in 0.01 mm of the reference device, so that one unit is one pixel.
  const int mmX = GetDeviceCaps(screen.dc(), HORZSIZE), mmY = GetDeviceCaps(screen.dc(), VERTSIZE);
  const int pxX = GetDeviceCaps(screen.dc(), HORZRES), pxY = GetDeviceCaps(screen.dc(), VERTRES);
  if (mmX <= 0 || mmY <= 0 || pxX <= 0 || pxY <= 0) return nullptr;
  RECT frame{0, 0, LONG(int64_t(width) * mmX * 100 / pxX), LONG(int64_t(height) * mmY * 100 / pxY)};
  HDC dc = CreateEnhMetaFileW(screen.dc(), nullptr, &frame, nullptr);
  if (!dc) return nullptr;
  IntersectClipRect(dc, 0, 0, width, height);
  SetGraphicsMode(dc, GM_ADVANCED);
  SetWorldTransform(dc, &transform);
  PlayEnhMetaFile(dc, source, &placement);
  MetafilePicture* picture = AdoptMetafile(CloseEnhMetaFile(dc));
  if (picture) {
    picture->width = width;
    picture->height = height;
  }
  return picture;
}

ERetcode GdiplusRenderer::Render(const CoreBitmap& picture, float resolutionX, float resolutionY,
                                 const RenderColours& colours, CoreBitmap& out) {
  if (!picture.picture || !picture.picture->ops) return BADA;
  const VectorPicture& vector = *AsVectorPicture(picture.picture);
  int32_t boxW = picture.width, boxH = picture.height;
  if ((boxW <= 0 || boxH <= 0) && vector.ops->GetSize) vector.ops->GetSize(&vector, &boxW, &boxH);
  const double w = double(boxW) * resolutionX / 96.0, h = double(boxH) * resolutionY / 96.0;
  if (!(w >= 1.0 && h >= 1.0 && w * h < 2.6e8)) return BADA;
  const int32_t width = int32_t(std::lround(w)), height = int32_t(std::lround(h));

  void* bits = nullptr;
  ui::UniqueBitmap section = ui::TopDownSection32(width, height, &bits);
  ui::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!section || !dc || !bits) return OMEM;
  ui::SelectScope select(dc.get(), section.get());
  const uint32_t background = PixelFromColour(colours.background) | 0xFF000000u;
  std::fill_n(static_cast<uint32_t*>(bits), size_t(width) * size_t(height), background);
  if (!DrawPictureInto(vector, dc.get(), 0, 0, width, height)) return UNSF;
  GdiFlush();

  if (!AllocateBitmap(out, width, height, kPixelRGBA32, kStridePadded)) return OMEM;
  auto* from = static_cast<const uint32_t*>(bits);
  for (int32_t y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(RowAt(out, y));
    for (int32_t x = 0; x < width; ++x)
      row[x] = from[size_t(y) * size_t(width) + size_t(x)] | 0xFF000000u;
  }
  return RCOK;
}

}  // namespace glib::win32
