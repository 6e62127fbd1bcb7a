// Load parameter records: the third argument of a plug-in's "Load%sImageData" entry
// for the formats that take parameters (page range, wanted resolution, the layout of
// headerless RAW pixels). Sizes and offsets are fixed for the 32-bit build.
//
// Fields named wordNN/byteNN have no meaning the program gives them; their defaults
// are the agreed ones and plug-ins may rely on them.
#pragma once

#include <cstdint>

#include "formats/FormatRegistry.h"
#include "formats/PixelType.h"
#include "formats/RecordClass.h"
#include "platform/Abi.h"

namespace glib {

struct ImageLoad {
  static const RecordClass kClass;

  const RecordClass* recordClass = &kClass;
  uint32_t format;  // kFormatNone: any
  uint32_t firstPage = 0;
  uint32_t pageCount = 1;
  // Embedded colour profiles: 0 ignore, 1 convert to sRGB, 3 convert only pictures
  // that are not RGB (CMYK, grey, Lab); the viewer's "ProfileUsing" setting.
  uint32_t colorProfile = 0;
  // Camera RAW demosaicing: 0 fast (bilinear) up to 3 best (adaptive, slow).
  uint32_t rawQuality = 0;
  uint8_t reduceTo8Bits = 0;       // 1: deliver 8 bits per channel ("Bps16" off)
  uint8_t cameraWhiteBalance = 0;  // camera RAW: 1 the camera's white balance, 0 automatic
  uint8_t bytes26[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t reserved38[10] = {};
  uint32_t width = 0;  // wanted size: FPX, PCD and TIFF resolutions, RAW dimensions
  uint32_t height = 0;
  // The viewer's four "LoadLimit" values, handed on as they are; what they limit is
  // the plug-in's to decide (vexlo reads none of them yet). 0: no limit.
  uint32_t loadLimit[4] = {};
  float float72 = 0.0f;
  float float76 = 0.0f;
  uint8_t bytes80[4] = {0, 0, 0, 0};

  explicit ImageLoad(uint32_t id = kFormatNone) : format(id) {}

 protected:
  ImageLoad(const RecordClass* cls, uint32_t id) : recordClass(cls), format(id) {}
};

struct BMPLoad : ImageLoad {
  static const RecordClass kClass;
  uint8_t byte84 = 0;
  uint8_t reserved85[3] = {};
  BMPLoad() : ImageLoad(&kClass, kFormatBMP) {}
};

struct TIFLoad : ImageLoad {
  static const RecordClass kClass;
  uint8_t byte84 = 1;
  uint8_t reserved85[3] = {};
  TIFLoad() : ImageLoad(&kClass, kFormatTIF) {}
};

struct FPXLoad : ImageLoad {
  static const RecordClass kClass;
  FPXLoad() : ImageLoad(&kClass, kFormatFPX) {}
};

// PCD is read but never written, so it has no constant in the registry.
constexpr uint32_t kFormatPCD = 0x00504344;

struct PCDLoad : ImageLoad {
  static const RecordClass kClass;
  uint32_t word84 = 3;
  PCDLoad() : ImageLoad(&kClass, kFormatPCD) {}
};

// The layout of headerless pixel data, as the RAW dialog describes it. Offsets in
// the comments are those within glib::RAWLoad.
struct RAWDesc {
  uint32_t reserved84 = 0;
  uint32_t pixelType = kPixelRGB24;  // 88: bits per channel in byte 0, channels in byte 1
  uint32_t reserved92[7] = {};
  uint32_t fileSize = 0;  // 120
  uint32_t word124 = 0;
  uint32_t headerLength = 0;                    // 128: bytes skipped before the pixels
  uint32_t lineGap = 0;                         // 132: bytes skipped after each row
  char channelOrder[4] = {'R', 'G', 'B', 'A'};  // 136: one of R, G, B, A per position
  uint8_t interleaved = 1;                      // 140: the channels of a pixel are stored together
  uint8_t littleEndian = 1;                     // 141: 16-bit samples low byte first
  uint8_t reserved142[2] = {};
  uint8_t fillAlpha = 0;  // 144
  uint8_t reserved145[3] = {};
};

struct RAWLoad : ImageLoad, RAWDesc {
  static const RecordClass kClass;
  RAWLoad() : ImageLoad(&kClass, kFormatRAW) {}
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
ORBISK_LAYOUT_SIZE(ImageLoad, 84);
ORBISK_LAYOUT_OFFSET(ImageLoad, format, 4);
ORBISK_LAYOUT_OFFSET(ImageLoad, firstPage, 8);
ORBISK_LAYOUT_OFFSET(ImageLoad, pageCount, 12);
ORBISK_LAYOUT_OFFSET(ImageLoad, colorProfile, 16);
ORBISK_LAYOUT_OFFSET(ImageLoad, rawQuality, 20);
ORBISK_LAYOUT_OFFSET(ImageLoad, reduceTo8Bits, 24);
ORBISK_LAYOUT_OFFSET(ImageLoad, cameraWhiteBalance, 25);
ORBISK_LAYOUT_OFFSET(ImageLoad, bytes26, 26);
ORBISK_LAYOUT_OFFSET(ImageLoad, width, 48);
ORBISK_LAYOUT_OFFSET(ImageLoad, height, 52);
ORBISK_LAYOUT_OFFSET(ImageLoad, loadLimit, 56);
ORBISK_LAYOUT_OFFSET(ImageLoad, float72, 72);
ORBISK_LAYOUT_OFFSET(ImageLoad, float76, 76);
ORBISK_LAYOUT_OFFSET(ImageLoad, bytes80, 80);
ORBISK_LAYOUT_SIZE(BMPLoad, 88);
ORBISK_LAYOUT_OFFSET(BMPLoad, byte84, 84);
ORBISK_LAYOUT_SIZE(TIFLoad, 88);
ORBISK_LAYOUT_OFFSET(TIFLoad, byte84, 84);
ORBISK_LAYOUT_SIZE(FPXLoad, 84);
ORBISK_LAYOUT_SIZE(PCDLoad, 88);
ORBISK_LAYOUT_OFFSET(PCDLoad, word84, 84);
ORBISK_LAYOUT_SIZE(RAWDesc, 64);
ORBISK_LAYOUT_SIZE(RAWLoad, 148);
ORBISK_LAYOUT_OFFSET(RAWLoad, pixelType, 88);
ORBISK_LAYOUT_OFFSET(RAWLoad, fileSize, 120);
ORBISK_LAYOUT_OFFSET(RAWLoad, word124, 124);
ORBISK_LAYOUT_OFFSET(RAWLoad, headerLength, 128);
ORBISK_LAYOUT_OFFSET(RAWLoad, lineGap, 132);
ORBISK_LAYOUT_OFFSET(RAWLoad, channelOrder, 136);
ORBISK_LAYOUT_OFFSET(RAWLoad, interleaved, 140);
ORBISK_LAYOUT_OFFSET(RAWLoad, littleEndian, 141);
ORBISK_LAYOUT_OFFSET(RAWLoad, fillAlpha, 144);
#pragma GCC diagnostic pop

inline const RecordClass ImageLoad::kClass = MakeRecordClass<ImageLoad>("ImageLoad");
inline const RecordClass BMPLoad::kClass = MakeRecordClass<BMPLoad>("BMPLoad");
inline const RecordClass TIFLoad::kClass = MakeRecordClass<TIFLoad>("TIFLoad");
inline const RecordClass FPXLoad::kClass = MakeRecordClass<FPXLoad>("FPXLoad");
inline const RecordClass PCDLoad::kClass = MakeRecordClass<PCDLoad>("PCDLoad");
inline const RecordClass RAWLoad::kClass = MakeRecordClass<RAWLoad>("RAWLoad");

}  // namespace glib
