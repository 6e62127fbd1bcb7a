// Loads the real vexlo module through the filter manager, as the program does, and
// turns what it delivers into plain 32-bit pictures for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/FilterManager.h"
#include "formats/CoreBitmap.h"
#include "formats/FileInfoRecord.h"
#include "formats/IDEPage.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"
#include "support/TestSupport.h"

namespace vexlo_test {

// Blue, green, red, alpha bytes per pixel, rows top to bottom, no padding.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;
  // With 16-bit samples kept: blue, green, red, alpha words.
  std::vector<uint16_t> wide;
  uint32_t pixelType = 0;
  uint32_t delay = 0;
  float resolutionX = 0, resolutionY = 0;
  std::string name;
  int32_t group = -1;

  uint32_t At(int32_t x, int32_t y) const;  // 0xAARRGGBB
  bool operator==(const Picture& other) const {
    return width == other.width && height == other.height && bgra == other.bgra;
  }
};

// A picture of the given size with a smooth pattern and, when asked, varying alpha.
Picture Pattern(int32_t width, int32_t height, bool alpha = false, uint32_t seed = 1);
// Largest difference of any channel between two pictures of the same size (255 when
// the sizes differ).
int MaxDifference(const Picture& a, const Picture& b);
// A new RGBA32 page over the picture's pixels, which it borrows: the picture outlives
// the page.
glib::IDEPage* BorrowingPage(const Picture& picture);
// Converts any raster bitmap (any type of the runtime's table) to a Picture.
Picture FromBitmap(const glib::CoreBitmap& bitmap);

struct Loaded {
  uint32_t rc = 0;
  uint32_t format = 0;
  std::vector<Picture> pages;
  std::vector<std::string> metadata;  // slide metadata blocks, raw
};

class Vexlo {
 public:
  Vexlo();

  glib::FilterManager& Manager() { return manager_; }
  testing_support::TempDir& Dir() { return dir_; }

  Loaded Load(const std::string& path, const void* params = nullptr,
              uint32_t format = glib::kFormatNone);
  Loaded LoadBytes(std::string_view bytes, const void* params = nullptr,
                   uint32_t format = glib::kFormatNone);
  Loaded Thumbnail(const std::string& path, uint32_t maxWidth, uint32_t maxHeight);
  // The information record, or null with the code in rc; `format` as for Load.
  std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter> Info(
      const std::string& path, uint32_t* rc = nullptr, uint32_t format = glib::kFormatNone);
  // Saves the pictures as pages (groups 0, 1, ...) to a file; the code.
  uint32_t Save(const std::string& path, const std::vector<Picture>& pages,
                glib::ImageSave& params);
  // Saves to memory; the bytes, empty on failure (the code in rc).
  std::string SaveBytes(const std::vector<Picture>& pages, glib::ImageSave& params,
                        uint32_t* rc = nullptr);
  // Writes bytes to a file in the temporary folder and returns its path.
  std::string Write(const std::string& name, std::string_view bytes);
  // Converts `source` to `target` with the reference tool's `arguments` (the quoted
  // target takes the place of their %s, or follows them when they have none) and
  // expects our decoder within `tolerance` of the reference decoder on the result.
  void ExpectLikeReference(const std::string& source, std::string arguments,
                           const std::string& target, int tolerance, bool orient = false);

 private:
  Loaded Collect(uint32_t rc, glib::ImageDataExchange& request);

  glib::FilterManager manager_;
  testing_support::TempDir dir_;
};

using testing_support::ReadFile;
// The test data folder of vexlo.
std::string DataFile(const std::string& name);
// Runs /usr/bin/convert with the arguments; false when it is missing or fails.
bool Convert(const std::string& arguments);
bool HaveConvert();
// Runs a shell command with its output discarded; whether it succeeded.
bool RunQuietly(const std::string& command);
// A little-endian TIFF-structured EXIF block with one IFD0 entry, the camera make
// "Orbisk" (its closing NUL included).
std::string OrbiskExif();
// Decodes a file with the reference decoder into a Picture (8 bits per channel).
// With `orient`, the reference applies the file's own orientation (TGA).
bool ReferenceDecode(const std::string& path, Picture& out, bool orient = false);

}  // namespace vexlo_test
