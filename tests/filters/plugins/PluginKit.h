// What the test plug-ins share: announcing formats the way a real plug-in does,
// making pages with rows from the host's allocator, a file information record, and
// counters the tests read through the exported "GetTestPluginStats".
//
// To give a test plug-in new behaviour (crafted pages, odd answers), add an entry to
// its source; the helpers here stay format-neutral.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/FileInfoRecord.h"
#include "formats/FilterInfoRecord.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"
#include "formats/SaveQuery.h"
#include "formats/Stream.h"
#include "platform/Abi.h"

namespace testplugin {

struct Stats {
  int filterInfoCalls = 0;  // GetFilterInfo(0, ...)
  int rowsReleased = 0;     // page rows given back through the stored release rule
  int entryCalls = 0;       // load, thumbnail, information and save entries together
  int probeCalls = 0;
  uint8_t lastProbeFlag = 0;
  int64_t lastProbePosition = -1;
  uint32_t lastSaveFormat = 0;
  uint32_t lastSavePages = 0;
};

Stats& TheStats();

// Creates a format, appends it to the manager's list and sets ByExtension.
glib::FilterFormatDesc* Announce(glib::FilterInfoRecord* record, uint32_t id, uint32_t maskLength,
                                 const char* mask, const char* extensions, const char* filterText,
                                 bool byExtension = true, uint32_t matchParam = 0);

// Appends a 2 x 2 RGBA page named `name`, its rows from the request's allocator and
// released by a rule that counts and hands them back to the request's release.
uint32_t AddPage(glib::ImageDataExchange* request, const char* name);

// Stores a record (width = `width`) through the information entry's third argument
// when the caller passed one.
uint32_t ReportInfo(void* params, uint32_t format, int32_t width);

// A crafted page: every field a page carries, rows from the request's allocator
// (filled with `pixels`, or every pixel with `fill`), with knobs for pages that lie.
struct PageSpec {
  int32_t width = 2;
  int32_t height = 2;
  uint32_t type = glib::kPixelRGBA32;
  int32_t stride = glib::kStridePadded;
  int32_t group = -1;
  std::string name;
  int32_t x = 0;
  int32_t y = 0;
  uint32_t blend = glib::FourCC("norm");
  uint8_t base = 0;
  uint8_t visible = 1;
  uint8_t enabled = 1;
  uint32_t delay = 10;
  float resolutionX = 96.0f;
  float resolutionY = 96.0f;
  uint32_t background = 0xFFFFFFFF;
  int32_t canvas[4] = {0, 0, 0, 0};
  uint32_t fill = 0;            // the first bytes of every pixel, little-endian
  std::vector<uint8_t> pixels;  // all rows as the row rule lays them out
  std::vector<uint32_t> palette;
  std::string layerMetadata;
  std::string slideMetadata;
  bool noRows = false;       // a page without a picture
  int32_t claimedWidth = 0;  // nonzero: the width written after allocating
  int32_t claimedHeight = 0;
};

// Appends a page made from `shape`; the rows' address is remembered (PageRows).
uint32_t AddCraftedPage(glib::ImageDataExchange* request, const PageSpec& shape);

// Row blocks of the crafted pages, in the order they were made (since the last reset).
std::vector<void*>& PageRows();

}  // namespace testplugin

// Entry definitions, so each plug-in lists its formats in a few lines.
#define TEST_LOAD_ENTRY(Name, Body)                                                            \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Name(const void* path, glib::ImageDataExchange* request, \
                                           void* params) {                                     \
    (void)path;                                                                                \
    (void)request;                                                                             \
    (void)params;                                                                              \
    ++testplugin::TheStats().entryCalls;                                                       \
    Body                                                                                       \
  }
