// Save parameter records: the third argument of a plug-in's "Save%sImageData" entry
// and the first word of the save query. glib::ImageSave carries what every format
// shares; each format with options has its own class, named by its code. Sizes and
// offsets are fixed for the 32-bit build.
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

struct ImageSave {
  const RecordClass* recordClass;
  uint32_t format;  // the output format
  uint32_t pixelType = kPixelRGB24;
  uint32_t firstPage = 0;
  int32_t pageCount = -1;  // -1: all pages from firstPage on
  uint32_t word20 = 0;
  uint32_t word24 = 0;
  uint32_t word28 = 132;
  uint32_t word32 = 100;
  float resolutionX = 0.0f;  // dots per inch to record; 0: the slide's
  float resolutionY = 0.0f;
  uint32_t colorCount = 256;  // palette colours
  uint32_t word48 = 8;
  uint8_t byte52 = 127;
  uint8_t dither = 1;
  uint8_t grayscale = 0;
  uint8_t keepPartialFile = 0;  // 0: a failed save deletes what it wrote
  uint8_t byte56 = 1;
  uint8_t byte57 = 1;
  uint8_t createThumbnail = 0;
  uint8_t reserved59 = 0;  // explicit, so that subclasses start at 60

 protected:
  ImageSave(const RecordClass* cls, uint32_t id) : recordClass(cls), format(id) {}
};

// Formats whose record adds nothing to the base.
#define ORBISK_PLAIN_SAVE_RECORD(Name, formatId, defaultPixelType)          \
  struct Name : ImageSave {                                                 \
    static const RecordClass kClass;                                        \
    Name() : ImageSave(&kClass, formatId) { pixelType = defaultPixelType; } \
  }

ORBISK_PLAIN_SAVE_RECORD(PCXSave, kFormatPCX, kPixelRGB24);
ORBISK_PLAIN_SAVE_RECORD(ICOSave, kFormatICO, kPixelRGB24);
ORBISK_PLAIN_SAVE_RECORD(WBMSave, kFormatWBM, kPixelBW1);
ORBISK_PLAIN_SAVE_RECORD(OTASave, kFormatOTA, kPixelBW1);
ORBISK_PLAIN_SAVE_RECORD(JBGSave, kFormatJBG, kPixelBW1);
ORBISK_PLAIN_SAVE_RECORD(DCMSave, kFormatDCM, kPixelRGB24);
ORBISK_PLAIN_SAVE_RECORD(HDRSave, kFormatHDR, kPixelRGB24);
ORBISK_PLAIN_SAVE_RECORD(SWFSave, kFormatSWF, kPixelRGB24);
ORBISK_PLAIN_SAVE_RECORD(ANISave, kFormatANI, kPixelRGB24);  // the animated cursor: no options

#undef ORBISK_PLAIN_SAVE_RECORD

struct EPSSave : ImageSave {
  static const RecordClass kClass;
  EPSSave() : ImageSave(&kClass, kFormatEPS) { createThumbnail = 1; }
};

struct BMPSave : ImageSave {
  static const RecordClass kClass;
  uint8_t topBottom = 0;  // rows stored top row first
  uint8_t reserved61[3] = {};
  BMPSave() : ImageSave(&kClass, kFormatBMP) {}
};

struct GIFSave : ImageSave {
  static const RecordClass kClass;
  uint32_t* colorCountField = &colorCount;  // where the plug-in writes the colour count
  int32_t word64 = -1;
  uint32_t word68 = 10;
  uint8_t byte72 = 0;
  uint8_t createGlobalPalette = 0;
  uint8_t nearbyFramesInterpolation = 1;
  uint8_t interlace = 0;
  GIFSave() : ImageSave(&kClass, kFormatGIF) { pixelType = kPixelIndexed8; }
  // A copy points at its own colour count.
  GIFSave(const GIFSave& other) : ImageSave(other) { CopyOwn(other); }
  GIFSave& operator=(const GIFSave& other) {
    ImageSave::operator=(other);
    CopyOwn(other);
    return *this;
  }

 private:
  void CopyOwn(const GIFSave& other) {
    colorCountField = &colorCount;
    word64 = other.word64;
    word68 = other.word68;
    byte72 = other.byte72;
    createGlobalPalette = other.createGlobalPalette;
    nearbyFramesInterpolation = other.nearbyFramesInterpolation;
    interlace = other.interlace;
  }
};

struct JP2Save : ImageSave {
  static const RecordClass kClass;
  uint32_t quality = 60;
  JP2Save() : ImageSave(&kClass, kFormatJP2) { pixelType = kPixelRGBA32; }
};

struct CURSave : ImageSave {
  static const RecordClass kClass;
  uint32_t hotSpotX = 0;
  uint32_t hotSpotY = 0;
  CURSave() : ImageSave(&kClass, kFormatCUR) {}
};

struct FLMSave : ImageSave {
  static const RecordClass kClass;
  uint32_t compression = 0;  // 0 none, 8 JPEG
  uint32_t jpegQuality = 75;
  uint8_t byte68 = 0;
  uint8_t reserved69[3] = {};
  FLMSave() : ImageSave(&kClass, kFormatFLM) {}
};

struct PSDSave : ImageSave {
  static const RecordClass kClass;
  uint8_t byte60 = 0;
  uint8_t rleCompression = 1;
  uint8_t reserved62[2] = {};
  PSDSave() : ImageSave(&kClass, kFormatPSD) { pixelType = kPixelRGBA32; }
};

struct TGASave : ImageSave {
  static const RecordClass kClass;
  uint8_t rleCompression = 0;
  uint8_t byte61 = 1;
  uint8_t reserved62[2] = {};
  TGASave() : ImageSave(&kClass, kFormatTGA) {}
};

// Serves PPM, PGM, PBM, PFM and PAM; the format field says which.
struct PNMSave : ImageSave {
  static const RecordClass kClass;
  uint8_t rawData = 1;
  uint8_t reserved61[3] = {};
  PNMSave() : ImageSave(&kClass, kFormatPPM) {}
};

// Serves WMF, EMF and AMF; the format field says which.
struct WMFSave : ImageSave {
  static const RecordClass kClass;
  uint32_t emfType = 3;  // 3 standard, 4 EMF plus, 5 EMF plus dual
  WMFSave() : ImageSave(&kClass, kFormatEMF) {}
};

struct DDSSave : ImageSave {
  static const RecordClass kClass;
  uint32_t textureFormat = 21;  // A8R8G8B8
  uint8_t generateMipMaps = 1;
  uint8_t reserved65[3] = {};
  DDSSave() : ImageSave(&kClass, kFormatDDS) {}
};

struct EXRSave : ImageSave {
  static const RecordClass kClass;
  uint32_t compression = 1;
  EXRSave() : ImageSave(&kClass, kFormatEXR) { pixelType = kPixelRGBA32; }
};

struct FPXSave : ImageSave {
  static const RecordClass kClass;
  uint32_t compression = 2;  // 0 none, 2 JPEG
  uint32_t jpegQuality = 75;
  uint32_t reserved68[12] = {};
  FPXSave() : ImageSave(&kClass, kFormatFPX) {}
};

struct RAWSave : ImageSave {
  static const RecordClass kClass;
  uint32_t reserved60[15] = {};  // the RAW plug-in's own settings
  RAWSave() : ImageSave(&kClass, kFormatRAW) {}
};

// Metadata blocks written along with the picture; the save workflow fills them and
// keeps the blocks alive during the save.
struct MetadataSave : ImageSave {
  const uint8_t* exif = nullptr;
  const uint8_t* iptc = nullptr;
  uint32_t reserved68 = 0;
  uint32_t exifSize = 0;
  uint32_t iptcSize = 0;
  uint32_t reserved80 = 0;

 protected:
  using ImageSave::ImageSave;
};

// A JPEG subsample option with its four bytes reversed, as the records carry it
// (0x22211222 becomes 0x22122122).
constexpr uint32_t SubsampleCode(uint32_t option) {
  return (option >> 24) | ((option >> 8) & 0xFF00) | ((option << 8) & 0xFF0000) | (option << 24);
}

struct JPGSave : MetadataSave {
  static const RecordClass kClass;
  uint32_t reserved84[6] = {};
  uint32_t mode = 192;  // the frame marker: 192 baseline ... 195 lossless
  uint32_t subsample = SubsampleCode(0x11111111);
  uint32_t quality = 75;
  uint32_t restartInterval = 0;   // MCU rows
  int32_t losslessPredictor = 1;  // -1: the best one
  uint32_t losslessPointTransform = 0;
  uint8_t optimizeHuffman = 0;
  uint8_t interleaved = 1;
  uint8_t reserved134[2] = {};
  JPGSave() : MetadataSave(&kClass, kFormatJPG) { pixelType = kPixelModel6x8; }
};

struct TIFSave : MetadataSave {
  static const RecordClass kClass;
  uint32_t compression = 5;  // the TIFF compression tag value
  uint32_t cmyk = 0;         // 5 when CMYK was chosen
  uint32_t reserved92 = 0;
  uint32_t deflateLevel = 6;
  uint32_t reserved100 = 0;
  uint32_t jpegQuality = 75;
  uint32_t fillOrder = 1;
  uint32_t jpegSubsample = SubsampleCode(0x11111111);
  uint32_t photometricMono = 0;  // 0 as is, 1 min-is-white, 2 min-is-black
  uint8_t bigTiff = 0;
  uint8_t tiled = 0;
  uint8_t multiStrip = 1;
  uint8_t littleEndian = 1;
  uint8_t predictor = 1;
  uint8_t reserved125[3] = {};
  uint32_t reserved128[9] = {};
  TIFSave() : MetadataSave(&kClass, kFormatTIF) { pixelType = kPixelRGBA32; }
};

struct PDFSave : MetadataSave {
  static const RecordClass kClass;
  static constexpr int kMaxPasswordLength = 32;
  uint32_t reserved84[2] = {};
  uint32_t filterType = 5;  // 0 none ... 5 Flate ... 8 RLE
  uint32_t destinationBitsPerChannel = 24;
  uint32_t predictorType = 1;
  uint32_t reserved104[2] = {};
  uint32_t destinationBitsPerChannel2 = 24;  // the same option, read by the encoder
  uint32_t reserved116 = 0;
  uint8_t earlyChange = 1;
  uint8_t reserved121[3] = {};
  int32_t k = -1;
  uint32_t reserved128 = 0;
  uint32_t damagedRowsBeforeError = 0;
  uint8_t endOfLine = 0;
  uint8_t encodedByteAlign = 0;
  uint8_t endOfBlock = 1;
  uint8_t blackIs1 = 0;
  uint32_t colorTransform = 0;
  uint32_t reserved144[5] = {};
  uint32_t checkPasswordOpen = 0;
  uint32_t checkPasswordPrint = 0;
  char16_t password[98] = {};  // at most kMaxPasswordLength characters are used
  uint32_t passwordLength = 0;
  uint32_t reserved372[131] = {};
  PDFSave() : MetadataSave(&kClass, kFormatPDF) {}
};

// PNG and MNG share their record; JNG adds a JPEG quality.
// Whether a record has the metadata fields of MetadataSave.
inline bool CarriesMetadata(const ImageSave& record) {
  return record.recordClass == &JPGSave::kClass || record.recordClass == &TIFSave::kClass ||
         record.recordClass == &PDFSave::kClass;
}

struct XNGSave : ImageSave {
  uint32_t reserved60[19] = {};
  uint32_t compressionLevel = 6;
  uint8_t useAlphaForIndexed = 1;
  uint8_t reserved141[3] = {};

 protected:
  using ImageSave::ImageSave;
};

struct PNGSave : XNGSave {
  static const RecordClass kClass;
  PNGSave() : XNGSave(&kClass, kFormatPNG) {}
};

struct MNGSave : XNGSave {
  static const RecordClass kClass;
  MNGSave() : XNGSave(&kClass, kFormatMNG) {}
};

struct JNGSave : XNGSave {
  static const RecordClass kClass;
  uint32_t jpegQuality = 75;
  JNGSave() : XNGSave(&kClass, kFormatJNG) { pixelType = kPixelModel6x8; }
};

// The records derive from each other, so they are not standard-layout; their
// layout is still the plain one (no virtual functions), which these checks pin down.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
ORBISK_LAYOUT_SIZE(ImageSave, 60);
ORBISK_LAYOUT_SIZE(MetadataSave, 84);
ORBISK_LAYOUT_SIZE(XNGSave, 144);
ORBISK_LAYOUT_SIZE(PCXSave, 60);
ORBISK_LAYOUT_SIZE(ICOSave, 60);
ORBISK_LAYOUT_SIZE(WBMSave, 60);
ORBISK_LAYOUT_SIZE(OTASave, 60);
ORBISK_LAYOUT_SIZE(JBGSave, 60);
ORBISK_LAYOUT_SIZE(DCMSave, 60);
ORBISK_LAYOUT_SIZE(HDRSave, 60);
ORBISK_LAYOUT_SIZE(SWFSave, 60);
ORBISK_LAYOUT_SIZE(ANISave, 60);
ORBISK_LAYOUT_SIZE(EPSSave, 60);
ORBISK_LAYOUT_SIZE(BMPSave, 64);
ORBISK_LAYOUT_SIZE(GIFSave, 76);
ORBISK_LAYOUT_SIZE(JP2Save, 64);
ORBISK_LAYOUT_SIZE(CURSave, 68);
ORBISK_LAYOUT_SIZE(FLMSave, 72);
ORBISK_LAYOUT_SIZE(PSDSave, 64);
ORBISK_LAYOUT_SIZE(TGASave, 64);
ORBISK_LAYOUT_SIZE(PNMSave, 64);
ORBISK_LAYOUT_SIZE(WMFSave, 64);
ORBISK_LAYOUT_SIZE(DDSSave, 68);
ORBISK_LAYOUT_SIZE(EXRSave, 64);
ORBISK_LAYOUT_SIZE(FPXSave, 116);
ORBISK_LAYOUT_SIZE(RAWSave, 120);
ORBISK_LAYOUT_SIZE(JPGSave, 136);
ORBISK_LAYOUT_SIZE(TIFSave, 164);
ORBISK_LAYOUT_SIZE(PDFSave, 896);
ORBISK_LAYOUT_SIZE(PNGSave, 144);
ORBISK_LAYOUT_SIZE(MNGSave, 144);
ORBISK_LAYOUT_SIZE(JNGSave, 148);
ORBISK_LAYOUT_OFFSET(ImageSave, format, 4);
ORBISK_LAYOUT_OFFSET(ImageSave, pixelType, 8);
ORBISK_LAYOUT_OFFSET(ImageSave, firstPage, 12);
ORBISK_LAYOUT_OFFSET(ImageSave, pageCount, 16);
ORBISK_LAYOUT_OFFSET(ImageSave, word28, 28);
ORBISK_LAYOUT_OFFSET(ImageSave, resolutionX, 36);
ORBISK_LAYOUT_OFFSET(ImageSave, resolutionY, 40);
ORBISK_LAYOUT_OFFSET(ImageSave, colorCount, 44);
ORBISK_LAYOUT_OFFSET(ImageSave, word48, 48);
ORBISK_LAYOUT_OFFSET(ImageSave, byte52, 52);
ORBISK_LAYOUT_OFFSET(ImageSave, dither, 53);
ORBISK_LAYOUT_OFFSET(ImageSave, grayscale, 54);
ORBISK_LAYOUT_OFFSET(ImageSave, keepPartialFile, 55);
ORBISK_LAYOUT_OFFSET(ImageSave, createThumbnail, 58);
ORBISK_LAYOUT_OFFSET(BMPSave, topBottom, 60);
ORBISK_LAYOUT_OFFSET(GIFSave, colorCountField, 60);
ORBISK_LAYOUT_OFFSET(GIFSave, word64, 64);
ORBISK_LAYOUT_OFFSET(GIFSave, word68, 68);
ORBISK_LAYOUT_OFFSET(GIFSave, byte72, 72);
ORBISK_LAYOUT_OFFSET(GIFSave, createGlobalPalette, 73);
ORBISK_LAYOUT_OFFSET(GIFSave, nearbyFramesInterpolation, 74);
ORBISK_LAYOUT_OFFSET(GIFSave, interlace, 75);
ORBISK_LAYOUT_OFFSET(JP2Save, quality, 60);
ORBISK_LAYOUT_OFFSET(CURSave, hotSpotX, 60);
ORBISK_LAYOUT_OFFSET(CURSave, hotSpotY, 64);
ORBISK_LAYOUT_OFFSET(FLMSave, compression, 60);
ORBISK_LAYOUT_OFFSET(FLMSave, jpegQuality, 64);
ORBISK_LAYOUT_OFFSET(FLMSave, byte68, 68);
ORBISK_LAYOUT_OFFSET(PSDSave, byte60, 60);
ORBISK_LAYOUT_OFFSET(PSDSave, rleCompression, 61);
ORBISK_LAYOUT_OFFSET(TGASave, rleCompression, 60);
ORBISK_LAYOUT_OFFSET(TGASave, byte61, 61);
ORBISK_LAYOUT_OFFSET(PNMSave, rawData, 60);
ORBISK_LAYOUT_OFFSET(WMFSave, emfType, 60);
ORBISK_LAYOUT_OFFSET(DDSSave, textureFormat, 60);
ORBISK_LAYOUT_OFFSET(DDSSave, generateMipMaps, 64);
ORBISK_LAYOUT_OFFSET(EXRSave, compression, 60);
ORBISK_LAYOUT_OFFSET(FPXSave, compression, 60);
ORBISK_LAYOUT_OFFSET(FPXSave, jpegQuality, 64);
ORBISK_LAYOUT_OFFSET(MetadataSave, exif, 60);
ORBISK_LAYOUT_OFFSET(MetadataSave, iptc, 64);
ORBISK_LAYOUT_OFFSET(MetadataSave, exifSize, 72);
ORBISK_LAYOUT_OFFSET(MetadataSave, iptcSize, 76);
ORBISK_LAYOUT_OFFSET(JPGSave, mode, 108);
ORBISK_LAYOUT_OFFSET(JPGSave, subsample, 112);
ORBISK_LAYOUT_OFFSET(JPGSave, quality, 116);
ORBISK_LAYOUT_OFFSET(JPGSave, restartInterval, 120);
ORBISK_LAYOUT_OFFSET(JPGSave, losslessPredictor, 124);
ORBISK_LAYOUT_OFFSET(JPGSave, losslessPointTransform, 128);
ORBISK_LAYOUT_OFFSET(JPGSave, optimizeHuffman, 132);
ORBISK_LAYOUT_OFFSET(JPGSave, interleaved, 133);
ORBISK_LAYOUT_OFFSET(TIFSave, compression, 84);
ORBISK_LAYOUT_OFFSET(TIFSave, cmyk, 88);
ORBISK_LAYOUT_OFFSET(TIFSave, deflateLevel, 96);
ORBISK_LAYOUT_OFFSET(TIFSave, jpegQuality, 104);
ORBISK_LAYOUT_OFFSET(TIFSave, fillOrder, 108);
ORBISK_LAYOUT_OFFSET(TIFSave, jpegSubsample, 112);
ORBISK_LAYOUT_OFFSET(TIFSave, photometricMono, 116);
ORBISK_LAYOUT_OFFSET(TIFSave, bigTiff, 120);
ORBISK_LAYOUT_OFFSET(TIFSave, tiled, 121);
ORBISK_LAYOUT_OFFSET(TIFSave, multiStrip, 122);
ORBISK_LAYOUT_OFFSET(TIFSave, littleEndian, 123);
ORBISK_LAYOUT_OFFSET(TIFSave, predictor, 124);
ORBISK_LAYOUT_OFFSET(PDFSave, filterType, 92);
ORBISK_LAYOUT_OFFSET(PDFSave, destinationBitsPerChannel, 96);
ORBISK_LAYOUT_OFFSET(PDFSave, predictorType, 100);
ORBISK_LAYOUT_OFFSET(PDFSave, destinationBitsPerChannel2, 112);
ORBISK_LAYOUT_OFFSET(PDFSave, earlyChange, 120);
ORBISK_LAYOUT_OFFSET(PDFSave, k, 124);
ORBISK_LAYOUT_OFFSET(PDFSave, damagedRowsBeforeError, 132);
ORBISK_LAYOUT_OFFSET(PDFSave, endOfLine, 136);
ORBISK_LAYOUT_OFFSET(PDFSave, encodedByteAlign, 137);
ORBISK_LAYOUT_OFFSET(PDFSave, endOfBlock, 138);
ORBISK_LAYOUT_OFFSET(PDFSave, blackIs1, 139);
ORBISK_LAYOUT_OFFSET(PDFSave, colorTransform, 140);
ORBISK_LAYOUT_OFFSET(PDFSave, checkPasswordOpen, 164);
ORBISK_LAYOUT_OFFSET(PDFSave, checkPasswordPrint, 168);
ORBISK_LAYOUT_OFFSET(PDFSave, password, 172);
ORBISK_LAYOUT_OFFSET(PDFSave, passwordLength, 368);
ORBISK_LAYOUT_OFFSET(XNGSave, compressionLevel, 136);
ORBISK_LAYOUT_OFFSET(XNGSave, useAlphaForIndexed, 140);
ORBISK_LAYOUT_OFFSET(JNGSave, jpegQuality, 144);
#pragma GCC diagnostic pop

inline const RecordClass PCXSave::kClass = MakeRecordClass<PCXSave>("PCXSave");
inline const RecordClass ICOSave::kClass = MakeRecordClass<ICOSave>("ICOSave");
inline const RecordClass WBMSave::kClass = MakeRecordClass<WBMSave>("WBMSave");
inline const RecordClass OTASave::kClass = MakeRecordClass<OTASave>("OTASave");
inline const RecordClass JBGSave::kClass = MakeRecordClass<JBGSave>("JBGSave");
inline const RecordClass DCMSave::kClass = MakeRecordClass<DCMSave>("DCMSave");
inline const RecordClass HDRSave::kClass = MakeRecordClass<HDRSave>("HDRSave");
inline const RecordClass SWFSave::kClass = MakeRecordClass<SWFSave>("SWFSave");
inline const RecordClass ANISave::kClass = MakeRecordClass<ANISave>("ANISave");
inline const RecordClass EPSSave::kClass = MakeRecordClass<EPSSave>("EPSSave");
inline const RecordClass BMPSave::kClass = MakeRecordClass<BMPSave>("BMPSave");
inline const RecordClass GIFSave::kClass = MakeRecordClass<GIFSave>("GIFSave");
inline const RecordClass JP2Save::kClass = MakeRecordClass<JP2Save>("JP2Save");
inline const RecordClass CURSave::kClass = MakeRecordClass<CURSave>("CURSave");
inline const RecordClass FLMSave::kClass = MakeRecordClass<FLMSave>("FLMSave");
inline const RecordClass PSDSave::kClass = MakeRecordClass<PSDSave>("PSDSave");
inline const RecordClass TGASave::kClass = MakeRecordClass<TGASave>("TGASave");
inline const RecordClass PNMSave::kClass = MakeRecordClass<PNMSave>("PNMSave");
inline const RecordClass WMFSave::kClass = MakeRecordClass<WMFSave>("WMFSave");
inline const RecordClass DDSSave::kClass = MakeRecordClass<DDSSave>("DDSSave");
inline const RecordClass EXRSave::kClass = MakeRecordClass<EXRSave>("EXRSave");
inline const RecordClass FPXSave::kClass = MakeRecordClass<FPXSave>("FPXSave");
inline const RecordClass RAWSave::kClass = MakeRecordClass<RAWSave>("RAWSave");
inline const RecordClass JPGSave::kClass = MakeRecordClass<JPGSave>("JPGSave");
inline const RecordClass TIFSave::kClass = MakeRecordClass<TIFSave>("TIFSave");
inline const RecordClass PDFSave::kClass = MakeRecordClass<PDFSave>("PDFSave");
inline const RecordClass PNGSave::kClass = MakeRecordClass<PNGSave>("PNGSave");
inline const RecordClass MNGSave::kClass = MakeRecordClass<MNGSave>("MNGSave");
inline const RecordClass JNGSave::kClass = MakeRecordClass<JNGSave>("JNGSave");

// JPEG XL: a quality (1-100, turned into the encoder's distance), the encoder's effort
// (1 fastest to 9 smallest) and whether to write losslessly (quality then unused).
struct JXLSave : ImageSave {
  static const RecordClass kClass;
  uint32_t quality = 90;
  uint32_t effort = 7;
  uint8_t lossless = 0;
  uint8_t keepExif = 1;  // the page's EXIF goes into the file
  uint8_t reserved70[2] = {};
  JXLSave() : ImageSave(&kClass, kFormatJXL) {}
};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
ORBISK_LAYOUT_SIZE(JXLSave, 72);
ORBISK_LAYOUT_OFFSET(JXLSave, quality, 60);
ORBISK_LAYOUT_OFFSET(JXLSave, effort, 64);
ORBISK_LAYOUT_OFFSET(JXLSave, lossless, 68);
ORBISK_LAYOUT_OFFSET(JXLSave, keepExif, 69);
#pragma GCC diagnostic pop
inline const RecordClass JXLSave::kClass = MakeRecordClass<JXLSave>("JXLSave");

}  // namespace glib
