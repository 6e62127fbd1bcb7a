// What the JPEG reader learns from the markers before the picture data: the frame,
// the first scan, density, comment and the metadata blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vexlo/Core.h"

namespace vexlo {

struct JpegMarkers {
  uint32_t frameMarker = 0;  // 0xC0.. of the first frame
  uint32_t precision = 0;
  uint32_t width = 0, height = 0;
  uint32_t components = 0;
  uint8_t componentIds[4] = {};
  uint8_t sampling[4] = {};  // horizontal << 4 | vertical
  uint32_t restartInterval = 0;
  uint32_t scanComponents = 0;  // of the first scan
  uint32_t scanStart = 0;       // its Ss: the predictor of lossless files
  uint32_t pointTransform = 0;  // its Al
  uint32_t densityUnits = 0, densityX = 0, densityY = 0;
  bool adobe = false;
  uint32_t adobeTransform = 0;
  std::string comment;
  std::vector<uint8_t> exif;  // TIFF-structured, without the "Exif" header
  std::vector<uint8_t> iptc;  // IPTC-IIM records
  std::vector<uint8_t> icc;   // joined from its chunks
};

// Walks the markers up to the first scan; BADI without a frame.
uint32_t ScanJpegMarkers(std::span<const uint8_t> bytes, JpegMarkers& markers);
// The IPTC records (resource 0x0404) of a Photoshop resource block.
std::vector<uint8_t> IptcFromPhotoshop(std::span<const uint8_t> resources);
// 1 grey, 3 RGB, 5 CMYK, 6 YCbCr, 7 YCbCrK.
uint32_t JpegColorSpace(const JpegMarkers& markers);

// A JPEG stream decoded into a new page (24-bit colour or 8-bit grey), and a
// picture's colours encoded as one; used by formats that embed JPEG data.
uint32_t DecodeJpegPage(glib::ImageDataExchange* request, std::span<const uint8_t> bytes,
                        PagePtr& page);
uint32_t EncodeJpegPicture(const glib::CoreBitmap& bitmap, uint32_t quality,
                           std::vector<uint8_t>& out);

// Whether a stored thumbnail of tw x th stands for a w x h picture in a request for
// maxW x maxH: the picture's proportions, and at least three quarters of the request
// fitted to them (HEIF's embedded thumbnails are judged the same way).
bool ThumbnailServes(uint64_t tw, uint64_t th, uint64_t w, uint64_t h, uint64_t maxW,
                     uint64_t maxH);

}  // namespace vexlo
