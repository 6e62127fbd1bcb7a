// The request of every load, thumbnail, information and save call to a format
// plug-in. The Film fills it, the filter manager picks the plug-in and sets the
// format and the pixel allocator, the plug-in reads the source and appends pages
// (or, on save, reads the pages the Film made).
#pragma once

#include <cstdint>
#include <type_traits>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/GenArray.h"
#include "formats/GenString.h"
#include "formats/IDEPage.h"
#include "formats/RecordClass.h"
#include "platform/Abi.h"

struct VStream;

namespace glib {

// Rows for a bitmap whose width, height, pixel type and row rule are set: the byte
// size follows from them, and the block comes from the page allocator (null when
// the size is 0 or does not fit in 32 bits). A plug-in stores the block in the
// bitmap with ownsPixels 1 and freePixels set to the request's release function.
using PixelAllocFunc = void*(ORBISK_CDECL*)(const CoreBitmap* bitmap);
// Releases a block from PixelAllocFunc; the context word is ignored, so the function
// can serve as a bitmap's freePixels rule.
using PixelReleaseFunc = FreePixelsFunction;

constexpr uint32_t kExchangeOptionsDefault = 2;

struct ImageDataExchange {
  static const RecordClass kClass;

  const RecordClass* recordClass = &kClass;
  void* film = nullptr;               // the owning glib::Film
  uint32_t format = 0xFFFFFFFF;       // in: a hint (0xFFFFFFFF: detect); set to the chosen format
  PixelAllocFunc allocate = nullptr;  // set by the manager before load, thumbnail and save
  PixelReleaseFunc release = nullptr;
  // On save: the flattened first slide, for formats that want one besides the layers.
  const CoreBitmap* merged = nullptr;
  ProgressCallback progress = nullptr;
  uintptr_t progressContext = 0;
  gen::array_ptr<IDEPage> pages;         // decoded pages in order; on save the Film's
  gen::string* filterMessage = nullptr;  // text a plug-in may leave for the user
  uint32_t background = 0xFFFFFFFF;      // the Film's background colour
  const void* source = nullptr;          // path (8-bit or UTF-16) or in-memory data
  VStream* stream = nullptr;             // read from this instead of the path
  uint32_t options = kExchangeOptionsDefault;
  uint8_t reserved88 = 0;
  uint8_t thumbnailFallback = 0;  // a thumbnail request falls back to a full load
  uint8_t wide = 0;               // the path is UTF-16
  uint8_t reserved91 = 0;
  uint32_t sourceSize = 0;  // bytes at source; 0: source is a path
  uint32_t thumbnailMaxWidth = 0;
  uint32_t thumbnailMaxHeight = 0;
  uint32_t saveDefaults1[3] = {0, 0, 0};  // the Film's save defaults, copied on save
  uint32_t reserved116 = 0;
  uint32_t saveDefaults2[2] = {0, 0};  // 65536, 65536 on save

  ImageDataExchange() = default;
  ImageDataExchange(const ImageDataExchange&) = delete;
  ImageDataExchange& operator=(const ImageDataExchange&) = delete;
};

static_assert(std::is_standard_layout_v<ImageDataExchange>);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, recordClass, 0);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, film, 4);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, format, 8);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, allocate, 12);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, release, 16);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, merged, 20);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, progress, 24);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, progressContext, 28);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, pages, 32);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, filterMessage, 68);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, background, 72);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, source, 76);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, stream, 80);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, options, 84);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, reserved88, 88);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, thumbnailFallback, 89);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, wide, 90);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, sourceSize, 92);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, thumbnailMaxWidth, 96);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, thumbnailMaxHeight, 100);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, saveDefaults1, 104);
ORBISK_LAYOUT_OFFSET(ImageDataExchange, saveDefaults2, 120);
ORBISK_LAYOUT_SIZE(ImageDataExchange, 128);

inline const RecordClass ImageDataExchange::kClass =
    MakeRecordClass<ImageDataExchange>("ImageDataExchange");

}  // namespace glib
