// The notice shown in place of a picture whose LZW-compressed data a plug-in refused:
// 800 x 160 pixels at 96 dpi saying that LZW support is disabled. On Windows it is an
// enhanced metafile compiled into the library; the raster form draws the same design
// into pixels where no metafile can be played.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"

namespace glib {

constexpr int32_t kNoticeWidth = 800;
constexpr int32_t kNoticeHeight = 160;
// The resource that holds the metafile (type RCDATA).
constexpr uint16_t kNoticeResourceId = 2001;

// Gives `out` new 32-bit RGBA rows holding the notice; false when memory is short.
bool DrawNoticeRaster(CoreBitmap& out);

}  // namespace glib
