#include "viewer/ScanBatch.h"

#include <cstdio>

#include "formats/MemStream.h"
#include "formats/PixelType.h"
#include "runtime/TiffWriter.h"

namespace viewer {

glib::RecordPtr<glib::ImageSave> AutoScanRecord(int bitsPerPixel) {
  if (bitsPerPixel == 24) {
    auto jpeg = new glib::JPGSave;
    jpeg->quality = 85;
    jpeg->pixelType = glib::kPixelRGB24;
    return glib::RecordPtr<glib::ImageSave>(jpeg);
  }
  uint32_t compression = 0, pixelType = 0;
  switch (bitsPerPixel) {
    case 1:
      compression = 4;  // CCITT Fax4 (T.6)
      pixelType = glib::kPixelBW1;
      break;
    case 4:
      compression = 5;  // LZW
      pixelType = glib::kPixelIndexed4;
      break;
    case 8:
      compression = 5;
      pixelType = glib::kPixelIndexed8;
      break;
    default:
      return nullptr;
  }
  auto tiff = new glib::TIFSave;
  tiff->compression = compression;
  tiff->pixelType = pixelType;
  return glib::RecordPtr<glib::ImageSave>(tiff);
}

namespace {

std::string FolderWithoutSlash(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::string Name(const std::string& folder, const ScanBatch& batch, int32_t number,
                 const std::string& extension) {
  return folder + "\\" + batch.pattern + std::to_string(number) + extension;
}

}  // namespace

ScanFileName NextScanFile(const ScanBatch& batch, const std::string& extension, bool tif,
                          int32_t& number, const std::function<bool(const std::string&)>& exists) {
  std::string folder = FolderWithoutSlash(batch.folder);
  ScanFileName result;
  result.append = batch.multipage && tif;
  result.path = Name(folder, batch, number, extension);
  if (result.append) return result;
  ++number;
  if (batch.skipExisting && exists) {
    while (exists(result.path)) result.path = Name(folder, batch, number++, extension);
  }
  return result;
}

std::string ScanTimeText(int year, int month, int day, int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::vector<uint8_t> ScanExifBlock(const std::string& time, const std::string& make,
                                   const std::string& model, double xResolution,
                                   double yResolution) {
  using namespace glib::Libtiff;
  constexpr uint16_t kExifVersion = 36864, kDateTimeOriginal = 36867, kMake = 271, kModel = 272,
                     kXResolution = 282, kYResolution = 283;
  VMemStream out;
  Writer writer;
  bool ok = writer.Open(&out) && writer.SetField(kExifVersion, kUndefined, 4, "0220") &&
            writer.SetField(kDateTimeOriginal, kAscii, uint32_t(time.size() + 1), time.c_str()) &&
            writer.SetField(kMake, kAscii, uint32_t(make.size() + 1), make.c_str()) &&
            writer.SetField(kModel, kAscii, uint32_t(model.size() + 1), model.c_str()) &&
            writer.SetFieldRational(kXResolution, xResolution) &&
            writer.SetFieldRational(kYResolution, yResolution) && writer.FlushIFD();
  if (!ok) return {};
  return std::vector<uint8_t>(out.Data(), out.Data() + out.Length());
}

}  // namespace viewer
