// The module's exported names. Everything behind them lives in the codec library
// (Table.cpp and the format sources), which the tests and fuzz targets link too.
#include "vexlo/Entries.h"

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t query, void* record) {
  return vexlo::FilterInfo(query, record);
}

VEXLO_LOAD_ENTRIES(BMP, glib::kFormatBMP, Bmp)
VEXLO_SAVE_ENTRY(BMP, glib::kFormatBMP, Bmp)
VEXLO_LOAD_ENTRIES(JPG, glib::kFormatJPG, Jpg)
VEXLO_THUMBNAIL_ENTRY(JPG, glib::kFormatJPG, Jpg)
VEXLO_SAVE_ENTRY(JPG, glib::kFormatJPG, Jpg)
VEXLO_LOAD_ENTRIES(PNG, glib::kFormatPNG, Png)
VEXLO_SAVE_ENTRY(PNG, glib::kFormatPNG, Png)
VEXLO_LOAD_ENTRIES(GIF, glib::kFormatGIF, Gif)
VEXLO_SAVE_ENTRY(GIF, glib::kFormatGIF, Gif)
VEXLO_LOAD_ENTRIES(TIF, glib::kFormatTIF, Tif)
VEXLO_THUMBNAIL_ENTRY(TIF, glib::kFormatTIF, Tif)
VEXLO_SAVE_ENTRY(TIF, glib::kFormatTIF, Tif)
