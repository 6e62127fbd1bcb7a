// The vector picture a bitmap holds for pixel type 0x03FF0000 (its `picture` field).
//
// Whoever creates a picture (the program's GDI+ metafile wrapper, or a plug-in that
// decodes a metafile) gives it this table, so any module can clone, draw and measure
// a picture made by another: slots 0 and 1 are those of every owned object, then the
// drawing and the size. Everything is C-callable; nothing throws.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"
#include "platform/Abi.h"

namespace glib {

struct VectorPicture;

struct VectorPictureOps {
  OwnedObjectOps owned;  // 0 Destroy, 1 Clone
  // 2: draws the picture scaled into the rectangle of a device context (an HDC);
  // false when it cannot.
  bool(ORBISK_CDECL* Draw)(const VectorPicture* self, void* deviceContext, int32_t x, int32_t y,
                           int32_t width, int32_t height);
  // 3: the natural size in pixels at 96 dots per inch.
  void(ORBISK_CDECL* GetSize)(const VectorPicture* self, int32_t* width, int32_t* height);
};

struct VectorPicture {
  const VectorPictureOps* ops;
};

static_assert(sizeof(VectorPicture) == sizeof(OwnedObject));

inline VectorPicture* AsVectorPicture(OwnedObject* object) {
  return reinterpret_cast<VectorPicture*>(object);
}
inline const VectorPicture* AsVectorPicture(const OwnedObject* object) {
  return reinterpret_cast<const VectorPicture*>(object);
}
// What a bitmap's picture field holds.
inline OwnedObject* AsOwnedObject(VectorPicture* picture) {
  return reinterpret_cast<OwnedObject*>(picture);
}

}  // namespace glib
