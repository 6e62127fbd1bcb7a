// Pixel rows of a glib::CoreBitmap: checking, allocating from the page allocator,
// adopting and releasing them by the record's release rule; reversing and exchanging
// them for mirrorings.
#pragma once

#include <cstdint>
#include <memory>

#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"
#include "platform/PageAlloc.h"
#include "runtime/PixelLayout.h"

namespace glib {

struct PageBlockDeleter {
  void operator()(uint8_t* block) const { platform::PageFree(block); }
};
// Rows being built; freed again unless released into a bitmap.
using PageRows = std::unique_ptr<uint8_t[], PageBlockDeleter>;

// A readable raster source: rows, size and layout checked once.
struct SourceRows {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  uint64_t rowBytes = 0;
  const PixelLayout* layout = nullptr;

  const uint8_t* Row(int32_t y) const { return pixels + uint64_t(y) * rowBytes; }
};

// RCOK with `rows` filled when the bitmap has pixels of a known raster type, a
// positive size and an explicit stride no shorter than a packed row; BADA for a
// bitmap without rows or with a bad size, UNSF for a type outside the table.
ERetcode ReadSourceRows(const CoreBitmap& bitmap, SourceRows& rows);

// Rows for width x height pixels of `type` under `rowRule` (a rule or bytes per
// row), zero-filled; null when the byte count does not fit in 32 bits or memory is
// short. `bytesPerRow` receives the row length.
PageRows AllocateRows(int32_t width, int32_t height, uint32_t type, int32_t rowRule,
                      uint64_t* bytesPerRow = nullptr);

// Releases the rows by the bitmap's rule (its freePixels, or the page allocator)
// when it owns them; the pixel pointer is cleared in every case.
void ReleaseRows(CoreBitmap& bitmap);

// Replaces the bitmap's rows by page-allocated `rows` that it owns from now on.
void AdoptRows(CoreBitmap& bitmap, PageRows rows, int32_t width, int32_t height, uint32_t type,
               int32_t rowRule);

// Reverses the pixels of one row of `width` pixels of `bits` bits: `from` holds the
// row, `to` (not overlapping it) receives it reversed. Where the pixels do not fill
// whole bytes, the bits after the last pixel stay as they were in `to`.
void ReverseRow(const uint8_t* from, uint8_t* to, int32_t width, uint32_t bits);

// Exchanges the contents of two rows of `bytes` bytes.
void SwapRows(uint8_t* a, uint8_t* b, uint64_t bytes);

}  // namespace glib
