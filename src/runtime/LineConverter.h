// Converts the rows of one bitmap to another pixel type, one row at a time.
//
// Every pair of the types in the layout table is supported. Indexed targets take
// the bitmap's own palette: indices are kept where they fit, other colours get the
// nearest palette entry. Alpha is dropped for targets without it and is opaque for
// sources without it.
#pragma once

#include <cstdint>
#include <memory>

#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"
#include "runtime/BitmapRows.h"

namespace glib {

class LineConverter {
 public:
  LineConverter();
  ~LineConverter();
  LineConverter(const LineConverter&) = delete;
  LineConverter& operator=(const LineConverter&) = delete;

  // Binds the converter to the bitmap's rows (which must stay alive and unchanged
  // while it is used). BADA for a bitmap without rows, UNSF for a source or target
  // type it does not know, OMEM when its row buffer cannot be had.
  ERetcode Set(const CoreBitmap& bitmap, uint32_t targetType);

  // Writes row `row` converted into `buffer`, which holds TargetRowBytes() bytes.
  // False before a successful Set and for a row outside the bitmap.
  bool GetScanline(int32_t row, uint8_t* buffer);

  // Converts `count` pixels of row `row` starting at column `x`; the output starts
  // at the first byte of `buffer` (sub-byte targets fill from the high bits down).
  bool GetPixels(int32_t row, int32_t x, int32_t count, uint8_t* buffer);

  // Bytes of one packed target row.
  uint64_t TargetRowBytes() const { return targetRowBytes_; }
  uint32_t TargetType() const { return target_ ? target_->type : 0; }

 private:
  using DirectFn = void (*)(const uint8_t* src, int32_t x, int32_t count, uint8_t* dst,
                            const uint32_t* palette);

  SourceRows source_;
  const PixelLayout* target_ = nullptr;
  DirectFn direct_ = nullptr;
  uint64_t targetRowBytes_ = 0;
  uint32_t palette_[256] = {};
  int32_t paletteEntries_ = 0;
  std::unique_ptr<uint16_t[]> wide_;  // one row of 16-bit blue, green, red, alpha
  std::unique_ptr<uint8_t[]> indices_;
};

}  // namespace glib
