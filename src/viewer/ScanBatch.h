// What the viewer does with a scanned image, apart from the window: the batch
// record, the numbered file names, the record "<Auto detect>" picks, and the EXIF
// block written for a scan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/ImageSave.h"
#include "formats/RecordClass.h"

namespace viewer {

constexpr uint32_t kScanFormatAuto = 0xFFFFFFFF;

// One per viewer window, kept while it lives.
struct ScanBatch {
  int32_t startIndex = 1;
  uint32_t format = kScanFormatAuto;
  glib::RecordPtr<glib::ImageSave> save;  // the chosen format's options
  std::string folder;
  std::string pattern = "ScanImage";
  bool skipExisting = false;
  bool multipage = false;  // every page appended to one TIFF
};

// The record "<Auto detect>" uses for a scan of `bitsPerPixel`: fax-compressed TIFF
// for 1 bit, LZW TIFF for 4 and 8 bits, JPEG at quality 85 for 24 bits, with the
// matching pixel type; null for any other depth (the scan is then not written).
glib::RecordPtr<glib::ImageSave> AutoScanRecord(int bitsPerPixel);

struct ScanFileName {
  std::string path;
  bool append = false;  // a page of the multipage TIFF
};

// The name of the next file of the batch, from the running `number`, which moves on
// as the naming rules say: a multipage TIFF keeps it, every other file takes the next
// one, and with "skip existing files" a name that `exists` is passed over.
ScanFileName NextScanFile(const ScanBatch& batch, const std::string& extension, bool tif,
                          int32_t& number, const std::function<bool(const std::string&)>& exists);

// "YYYY:MM:DD hh:mm:ss".
std::string ScanTimeText(int year, int month, int day, int hour, int minute, int second);

// A TWAIN 16.16 fixed-point number.
constexpr double FixedToDouble(int16_t whole, uint16_t fraction) {
  return whole + fraction / 65536.0;
}

// One TIFF-structured directory describing the scan: ExifVersion "0220",
// DateTimeOriginal, Make, Model and the resolution. Empty when it cannot be built.
std::vector<uint8_t> ScanExifBlock(const std::string& time, const std::string& make,
                                   const std::string& model, double xResolution,
                                   double yResolution);

}  // namespace viewer
