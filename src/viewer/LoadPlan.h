// What a load asks of the format plug-in, decided from the settings and what the
// file's information says: colour profiles, bit depth, page range, page-by-page
// mode and thumbnails.
#pragma once

#include <cstdint>

#include <array>
#include <variant>
#include <vector>

#include "formats/ImageLoad.h"
#include "host/Settings.h"
#include "viewer/Geometry.h"

namespace viewer {

constexpr uint32_t kAllPages = 0xFFFFFFFF;
// The file's information gave no page count.
constexpr uint32_t kPagesUnknown = 0xFFFFFFFF;

// Formats whose pages are frames of an animation.
bool IsAnimationFormat(uint32_t format);

// How long an animation frame stays, in milliseconds: its own delay, except that
// delays below 20 ms (0 included: "as fast as you can") get 100 ms, as browsers do.
constexpr uint32_t FrameDelay(uint32_t delay) { return delay < 20 ? 100 : delay; }

struct LoadPlan {
  uint32_t colorProfile = 0;  // 0 ignore, 1 convert, 3 convert non-RGB only
  bool reduceTo8Bits = true;
  uint32_t firstPage = 0;
  uint32_t pageCount = kAllPages;
  bool pageByPage = false;
  uint32_t filePages = 0;  // page-by-page: the file's page count
  bool thumbnail = false;
  Size thumbnailSize;
  uint32_t rawQuality = 0;  // 0 fast, 3 best
  bool cameraWhiteBalance = true;
  std::array<uint32_t, 4> loadLimit{};
  Size resolution;  // a reduced resolution to load instead of the page; empty: the page
};

LoadPlan PlanLoad(const host::Settings& settings, uint32_t filePages, uint32_t format);

// The plan as the plug-in's load record.
void FillLoadRecord(const LoadPlan& plan, glib::ImageLoad& record);

// The load record of the family a format takes (BMP, TIFF, FlashPix and Photo CD
// have their own); the plain record for the others.
class LoadRecord {
 public:
  explicit LoadRecord(uint32_t format);
  glib::ImageLoad& Get();

 private:
  std::variant<glib::ImageLoad, glib::BMPLoad, glib::TIFLoad, glib::FPXLoad, glib::PCDLoad> record_;
};

// Formats whose files may keep one picture at several resolutions.
bool IsMultiResolutionFormat(uint32_t format);

// What "ImageResolution" asks of a file offering these sizes (the first is the
// format's default, the picture itself): load as usual, load the one at an index,
// or ask the user. Values other than 0 and 2 count as 1 (the default resolution).
struct ResolutionChoice {
  enum Kind { kDefault, kIndex, kAsk } kind = kDefault;
  size_t index = 0;
};
ResolutionChoice ChooseResolution(int32_t imageResolution, const std::vector<Size>& sizes);

}  // namespace viewer
