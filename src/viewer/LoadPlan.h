// What a load asks of the format plug-in, decided from the settings and what the
// file's information says: colour profiles, bit depth, page range, page-by-page
// mode and thumbnails.
#pragma once

#include <cstdint>

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
};

LoadPlan PlanLoad(const host::Settings& settings, uint32_t filePages, uint32_t format);

}  // namespace viewer
