// What a plug-in's "Get%sFileInfo" entry reports about a file: the values the
// information panel shows. The plug-in creates the record and stores its address
// through the entry's third argument (a FileInfoRecord**); the caller owns it from
// then on and destroys it through slot 0 of its table, i.e. with the plug-in's code,
// which also releases the texts and blocks the record points to.
//
// Words 0-33 are common to all formats (32-bit layout checked below). From word 34
// on come the per-format values, laid out by this header; each field says which
// formats fill it. A value a format does not give keeps its "not given" default
// (texts null, counts 0 or -1 as noted), and the panel leaves it out.
#pragma once

#include <cstdint>
#include <type_traits>

#include "formats/PixelType.h"
#include "platform/Abi.h"

namespace glib {

struct FileInfoRecord;

struct FileInfoRecordOps {
  void(ORBISK_CDECL* Destroy)(FileInfoRecord* self, uint32_t flags);  // flags bit 0: free storage
};

// Texts a format may give, by meaning. The formats that use each are listed.
enum InfoText : uint32_t {
  kInfoComment,             // HDR PBM PGM PPM PFM PAM PIC SCT WBC TGA GIF JPG; EXR, FPX "Comments"
  kInfoTitle,               // WBC FPX
  kInfoAuthor,              // IFF
  kInfoAnnotation,          // IFF
  kInfoNotes,               // CAL
  kInfoDate,                // IFF "Date"; DCR TIF "Date time"
  kInfoDescription,         // CGM EMF TIF
  kInfoSoftware,            // PSD "Writer", FPX "Creating application", TIF "Software"
  kInfoMake,                // DCR "Maker", TIF "Make"
  kInfoModel,               // DCR TIF
  kInfoArtist,              // TIF
  kInfoCopyright,           // DPX TIF
  kInfoOwner,               // EXR
  kInfoCreator,             // DPX
  kInfoProject,             // DPX
  kInfoCreated,             // DPX "Create Time", FLM "Created"
  kInfoVersion,             // DCR DPX (texts; numeric versions are in versionMajor)
  kInfoFormatName,          // DDS DPX "Format", DXF "Format version"
  kInfoImageType,           // PAM
  kInfoDataFormat,          // PVR
  kInfoPixelFormat,         // PVR
  kInfoColorSpace,          // RLA
  kInfoCompression,         // EXR, WebP (their own compression names)
  kInfoPhotometric,         // DCM
  kInfoDocumentName,        // TIF
  kInfoPageName,            // TIF
  kInfoDngVersion,          // TIF
  kInfoDngBackwardVersion,  // TIF
  kInfoDngUniqueModel,      // TIF
  kInfoCfaPattern,          // TIF
  kInfoCfaPlaneColor,       // TIF
  kInfoTextCount
};

// JPEG frame values (JPG, and the JPEG stream of JNG).
struct JpegFileInfo {
  uint32_t frameMarker = 0;  // 192..207, 247; 0: not given
  uint32_t bitsPerSample = 0;
  uint32_t components = 0;         // samples per pixel
  uint8_t sampling[4] = {};        // per component: horizontal << 4 | vertical factor
  uint32_t colorSpace = 0;         // 1 grey, 3 RGB, 5 CMYK, 6 YCbCr, 7 YCbCrK, 11 Lab, 131 RGBA
  uint32_t restartInterval = 0;    // MCUs; 0 none
  int32_t losslessPredictor = -1;  // lossless frames only
  int32_t losslessPointTransform = -1;
  uint8_t interleaved = 0;
  uint8_t reserved[3] = {};
};

// Values of the first TIFF directory (TIF; the photometric and planar values also
// serve DNG-like files read by the TIFF plug-in).
struct TiffFileInfo {
  uint32_t bitsPerSample = 0;
  uint32_t samplesPerPixel = 0;
  int32_t photometric = -1;               // the tag value; -1 not given
  uint16_t ycbcrSubsampling[2] = {0, 0};  // horizontal, vertical
  int32_t segmentation = -1;              // 0 striped, 1 single strip, 2 tiled
  int32_t extraSamples = -1;              // the first extra sample's kind; -1 none given
  int32_t orientation = 0;                // 1..8; 0 not given
  uint32_t planarConfig = 1;
  uint32_t fillOrder = 1;
  uint8_t hasDotRange = 0;
  uint8_t reserved[3] = {};
  uint32_t dotRange[2] = {0, 0};
  int32_t pageNumber = -1;  // 0-based; -1 not given
  int32_t pageTotal = 0;
  float compressedBitsPerPixel = 0.0f;  // 0: not given
};

// The layout a RAW load used (RAW).
struct RawFileInfo {
  uint32_t headerSize = 0;
  uint32_t lineGap = 0;
  uint32_t channels = 0;  // samples per pixel
  uint32_t bitsPerSample = 0;
  char channelOrder[4] = {};
  uint8_t interleaved = 0;
  uint8_t littleEndian = 0;
  uint8_t reserved[2] = {};
};

struct FileInfoRecord {
  // Common words 0-33.
  const FileInfoRecordOps* ops;            // 0
  uint32_t recordSize;                     // 1: sizeof the record the plug-in built
  uint64_t fileSize = 0;                   // 2-3
  int64_t modified = 0;                    // 4-5: seconds since 1970, UTC
  uint32_t format = 0xFFFFFFFF;            // 6
  uint32_t pixelType = kPixelNone;         // 7
  int32_t compression = -1;                // 8: by format; -1 not given
  const char* typeText = nullptr;          // 9: file type description
  uint32_t pageCount = 0xFFFFFFFF;         // 10: 0xFFFFFFFF not given
  int32_t width = 0;                       // 11
  int32_t height = 0;                      // 12
  int32_t bitsPerPixel = 0;                // 13
  const uint8_t* exif = nullptr;           // 14: a TIFF-structured EXIF block
  uint32_t exifSize = 0;                   // 15
  const uint8_t* iptc = nullptr;           // 16
  uint32_t iptcSize = 0;                   // 17
  uint32_t hasColorProfile = 0;            // 18
  uint32_t colorProfileSpace = 0;          // 19: four-character code, first character highest
  const char* colorProfileText = nullptr;  // 20
  float resolutionX = 0.0f;                // 21: dots per inch; 0 not given
  float resolutionY = 0.0f;                // 22
  float widthInches = 0.0f;                // 23: vector formats
  float heightInches = 0.0f;               // 24
  uint32_t reserved25 = 0;
  uint32_t sourceFileCount = 0;  // 26
  uint32_t reserved27[4] = {};
  const char* const* sourceFiles = nullptr;  // 31: formats assembled from several files
  uint32_t reserved32[2] = {};

  // Per-format values, word 34 on.
  int32_t kind = -1;  // PBM..PFM colour type (0 mono, 1 grey, else colour); PCD colour space
                      // (0 grey, 1 RGB, 2 PhotoYCC, else palette); SCT colour space (7 RGB,
                      // 8 grey, else CMYK); PSD colour mode; EMF type (4 EMF+, 5 EMF+ dual);
                      // CAL type
  int32_t versionMajor = -1;   // BMP (1 Win2, 2 OS/2, 3, 4, 5); CGM EXR SWF; PSP WPG FLM major
  int32_t versionMinor = -1;   // PSP WPG FLM
  float versionNumber = 0.0f;  // PIC
  int32_t count = -1;          // XPM colours, JBG resolutions, DDS mipmaps
  int32_t depth = -1;          // DDS depth
  int32_t hotSpotX = 0;        // CUR
  int32_t hotSpotY = 0;
  uint8_t bigEndian = 0;       // TIF DPX DCM byte order
  uint8_t sequence = 0;        // PIC: a sequence of pictures
  uint8_t planarSeparate = 0;  // DCM
  uint8_t interlaced = 0;      // PNG
  float gamma = -1.0f;         // PNG; -1 not given
  int64_t lastModified = 0;    // PNG: the stored modification time, seconds since 1970 UTC
  uint8_t hasLastModified = 0;
  uint8_t reserved[3] = {};
  uint32_t profileFlags = 0;               // MNG simplicity profile
  const char* texts[kInfoTextCount] = {};  // by InfoText
  uint32_t pairCount = 0;                  // PNG MNG JNG text chunks, DCM metadata
  const char* const* pairs = nullptr;      // name, value, name, value ...
  JpegFileInfo jpeg;                       // JPG JNG
  TiffFileInfo tiff;                       // TIF
  RawFileInfo raw;                         // RAW

  const char* Text(InfoText which) const { return which < kInfoTextCount ? texts[which] : nullptr; }

 protected:
  explicit FileInfoRecord(const FileInfoRecordOps* table, uint32_t size)
      : ops(table), recordSize(size) {}
};

// Destroys a record of any module through its table.
struct FileInfoRecordDeleter {
  void operator()(FileInfoRecord* record) const noexcept {
    if (record && record->ops && record->ops->Destroy) record->ops->Destroy(record, 1);
  }
};

static_assert(std::is_standard_layout_v<FileInfoRecord>);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, recordSize, 4);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, fileSize, 8);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, modified, 16);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, format, 24);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, pixelType, 28);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, compression, 32);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, typeText, 36);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, pageCount, 40);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, width, 44);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, height, 48);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, bitsPerPixel, 52);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, exif, 56);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, exifSize, 60);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, iptc, 64);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, iptcSize, 68);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, hasColorProfile, 72);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, colorProfileSpace, 76);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, colorProfileText, 80);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, resolutionX, 84);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, resolutionY, 88);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, widthInches, 92);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, heightInches, 96);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, sourceFileCount, 104);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, sourceFiles, 124);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, kind, 136);
ORBISK_LAYOUT_SIZE(JpegFileInfo, 36);
ORBISK_LAYOUT_SIZE(TiffFileInfo, 60);
ORBISK_LAYOUT_SIZE(RawFileInfo, 24);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, lastModified, 176);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, texts, 192);
ORBISK_LAYOUT_OFFSET(FileInfoRecord, jpeg, 324);
ORBISK_LAYOUT_SIZE(FileInfoRecord, 448);

}  // namespace glib
