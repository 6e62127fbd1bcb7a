// The program's vector picture on Windows: an enhanced metafile behind the
// VectorPicture table, drawn through GDI+ with high-quality interpolation,
// anti-aliased smoothing and anti-aliased grid-fitted text. Re-recording with a
// transform (scale, mirror, turn) plays it into a new metafile.
#pragma once

#include <windows.h>

#include <cstdint>

#include "formats/CoreBitmap.h"
#include "image/VectorPicture.h"
#include "runtime/PixelConvert.h"

namespace glib::win32 {

struct MetafilePicture : VectorPicture {
  HENHMETAFILE metafile = nullptr;  // owned
  int32_t width = 0;                // natural size at 96 dpi
  int32_t height = 0;
};

// Adopts the metafile (it is deleted with the picture); null when it is null or
// memory is short (the metafile is then deleted).
MetafilePicture* AdoptMetafile(HENHMETAFILE metafile);
// A picture from the bytes of an enhanced metafile; null when they are not one.
MetafilePicture* MetafileFromBytes(const void* data, uint32_t size);
// The picture's metafile when it is one of ours, else null.
HENHMETAFILE MetafileOf(const OwnedObject* picture);

// Draws any vector picture scaled into a rectangle of a device context.
bool DrawPictureInto(const VectorPicture& picture, HDC dc, int32_t x, int32_t y, int32_t width,
                     int32_t height);

// A new picture of width x height pixels: `picture` played into it with the world
// transform, then cut to the size. Null on failure.
MetafilePicture* Rerecord(HENHMETAFILE source, int32_t width, int32_t height,
                          const XFORM& transform, const RECT& placement);

// Draws vector pictures into 32-bit pixels (the renderer of pixel-type conversion).
class GdiplusRenderer final : public VectorRenderer {
 public:
  ERetcode Render(const CoreBitmap& picture, float resolutionX, float resolutionY,
                  const RenderColours& colours, CoreBitmap& out) override;
};

}  // namespace glib::win32
