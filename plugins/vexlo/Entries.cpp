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
VEXLO_LOAD_ENTRIES(WBP, vexlo::kFormatWBP, Webp)
VEXLO_LOAD_ENTRIES(ICO, glib::kFormatICO, Ico)
VEXLO_SAVE_ENTRY(ICO, glib::kFormatICO, Ico)
VEXLO_LOAD_ENTRIES(CUR, glib::kFormatCUR, Cur)
VEXLO_SAVE_ENTRY(CUR, glib::kFormatCUR, Cur)
VEXLO_LOAD_ENTRIES(PCX, glib::kFormatPCX, Pcx)
VEXLO_SAVE_ENTRY(PCX, glib::kFormatPCX, Pcx)
VEXLO_LOAD_ENTRIES(TGA, glib::kFormatTGA, Tga)
VEXLO_SAVE_ENTRY(TGA, glib::kFormatTGA, Tga)
VEXLO_LOAD_ENTRIES(PBM, vexlo::kFormatPBM, Pnm)
VEXLO_SAVE_ENTRY(PBM, vexlo::kFormatPBM, Pnm)
VEXLO_LOAD_ENTRIES(PGM, vexlo::kFormatPGM, Pnm)
VEXLO_SAVE_ENTRY(PGM, vexlo::kFormatPGM, Pnm)
VEXLO_LOAD_ENTRIES(PPM, glib::kFormatPPM, Pnm)
VEXLO_SAVE_ENTRY(PPM, glib::kFormatPPM, Pnm)
VEXLO_LOAD_ENTRIES(PAM, vexlo::kFormatPAM, Pnm)
VEXLO_SAVE_ENTRY(PAM, vexlo::kFormatPAM, Pnm)
VEXLO_LOAD_ENTRIES(PFM, vexlo::kFormatPFM, Pnm)
VEXLO_SAVE_ENTRY(PFM, vexlo::kFormatPFM, Pnm)
VEXLO_LOAD_ENTRIES(RAW, glib::kFormatRAW, Raw)
VEXLO_SAVE_ENTRY(RAW, glib::kFormatRAW, Raw)
VEXLO_LOAD_ENTRIES(FLM, glib::kFormatFLM, Flm)
VEXLO_SAVE_ENTRY(FLM, glib::kFormatFLM, Flm)
#ifdef VEXLO_WITH_JXL
VEXLO_LOAD_ENTRIES(JXL, glib::kFormatJXL, Jxl)
VEXLO_SAVE_ENTRY(JXL, glib::kFormatJXL, Jxl)
#endif
