// The codecs behind the plug-in's entries: one set of functions per format. Each
// gets the whole source in memory and reports through the request (pages), an
// InfoRecord or a Sink; Entries.cpp wires them to the exported names.
#pragma once

#include <cstdint>

#include "vexlo/Core.h"

namespace vexlo {

struct LoadJob {
  glib::ImageDataExchange* request;
  const Source& source;
  LoadOptions options;
  uint32_t format;  // the identifier the entry serves
};

struct SaveJob {
  glib::ImageDataExchange* request;
  glib::ImageSave* params;  // checked to be the format's record class
  Sink& sink;
  uint32_t format;
};

using LoadFunc = uint32_t (*)(LoadJob& job);
using InfoFunc = uint32_t (*)(const Source& source, InfoRecord& info);
using SaveFunc = uint32_t (*)(SaveJob& job);

#define VEXLO_CODEC(Name)            \
  uint32_t Load##Name(LoadJob& job); \
  uint32_t Info##Name(const Source& source, InfoRecord& info)

VEXLO_CODEC(Bmp);
uint32_t SaveBmp(SaveJob& job);
VEXLO_CODEC(Jpg);
uint32_t ThumbnailJpg(LoadJob& job);
uint32_t SaveJpg(SaveJob& job);
VEXLO_CODEC(Png);
uint32_t SavePng(SaveJob& job);
VEXLO_CODEC(Gif);
uint32_t SaveGif(SaveJob& job);
VEXLO_CODEC(Tif);
uint32_t ThumbnailTif(LoadJob& job);
uint32_t SaveTif(SaveJob& job);

#undef VEXLO_CODEC

}  // namespace vexlo
