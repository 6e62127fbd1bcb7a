// What the test plug-ins share: announcing formats the way a real plug-in does,
// making pages with rows from the host's allocator, a file information record, and
// counters the tests read through the exported "GetTestPluginStats".
//
// To give a test plug-in new behaviour (crafted pages, odd answers), add an entry to
// its source; the helpers here stay format-neutral.
#pragma once

#include <cstdint>

#include "formats/Abi.h"
#include "formats/FileInfoRecord.h"
#include "formats/FilterInfoRecord.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"
#include "formats/SaveQuery.h"
#include "formats/Stream.h"

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
