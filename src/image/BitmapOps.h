// What the document does with a glib::CoreBitmap as a whole: release it by its own
// rule, move it between records without touching the rows, duplicate it, give it
// fresh rows, and check that rows a plug-in handed over are usable.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"
#include "image/FilmTypes.h"
#include "platform/PageAlloc.h"

namespace glib {

// Releases rows, attachment and picture when the bitmap owns them; afterwards the
// record is empty (no rows, no picture, size 0, type 0x3FFF0000, no release rule).
void ReleaseBitmap(CoreBitmap& bitmap) noexcept;

// Makes `to` show the rows, palette and picture of `from` without owning them.
void ViewBitmap(CoreBitmap& to, const CoreBitmap& from) noexcept;

// Moves the picture of `from` into `to` (whose own picture is released first): the row
// block, its release rule, attachment and picture change hands without copying.
// `from` is left empty; the table pointers and progress fields stay where they are.
void MoveBitmap(CoreBitmap& to, CoreBitmap& from) noexcept;

// Makes `to` an independent copy of `from`: rows duplicated into a new page block
// (same row rule), picture and attachment cloned. False when memory is short or the
// picture cannot be cloned; `to` is then unchanged.
bool CopyBitmap(CoreBitmap& to, const CoreBitmap& from);

// Replaces the picture by zeroed rows of width x height of `type` under `rowRule`.
// False (bitmap unchanged) when the byte count does not fit in 32 bits or memory is
// short.
bool AllocateBitmap(CoreBitmap& bitmap, int32_t width, int32_t height, uint32_t type,
                    int32_t rowRule);

// Gives `to` new rows holding the part `cut` of `from` (bitmap coordinates, inside
// it): same type, row rule and palette. False when memory is short (`to` unchanged).
bool CopyPart(const CoreBitmap& from, const Rect& cut, CoreBitmap& to);

// True when the rows can be read as the record says: a positive size, a known raster
// type, a row length no shorter than the packed one and a byte count within 32 bits.
bool HasUsableRows(const CoreBitmap& bitmap);

// Bytes from one row to the next (the record's rule); 0 for an unusable record.
uint64_t RowStep(const CoreBitmap& bitmap);
inline uint8_t* RowAt(const CoreBitmap& bitmap, int32_t y) {
  return bitmap.pixels + uint64_t(y) * RowStep(bitmap);
}

// Sets every 32-bit pixel of a 32-bit RGBA bitmap to 0xAARRGGBB `pixel`.
void FillPixels(CoreBitmap& bitmap, uint32_t pixel);

// Lays each pixel of a 32-bit RGBA bitmap over the opaque colour value `background`
// (c = b + (c - b) * a / 255, the division truncating) and makes it opaque.
void LayOverBackground(CoreBitmap& bitmap, uint32_t background);

// The allocator of pixel blocks: width x height pixels of T from the page allocator.
template <class T>
struct GraphMapAllocator {
  static T* Allocate(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    uint64_t count = uint64_t(width) * uint64_t(height);
    if (count > platform::kPageAllocLimit / sizeof(T)) return nullptr;
    return static_cast<T*>(platform::PageAlloc(count * sizeof(T)));
  }
  static void Release(T* block) { platform::PageFree(block); }
};

}  // namespace glib
