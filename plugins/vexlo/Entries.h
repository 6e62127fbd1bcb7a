// Exported entry points by name: "Load%sImageData", "Get%sFileInfo",
// "Load%sImageThumbnail" and "Save%sImageData", with the format code in place of %s.
#pragma once

#include "platform/Abi.h"
#include "vexlo/Formats.h"

namespace vexlo {

// "GetFilterInfo": query 0 registers the formats, query 1 answers the save query.
uint32_t FilterInfo(uint32_t query, void* record) noexcept;
uint32_t RunLoad(uint32_t id, const void* path, glib::ImageDataExchange* request, void* params,
                 LoadFunc load) noexcept;
uint32_t RunInfo(uint32_t id, const void* path, glib::ImageDataExchange* request, void* params,
                 InfoFunc info) noexcept;
uint32_t RunSave(uint32_t id, const void* path, glib::ImageDataExchange* request,
                 glib::ImageSave* params, SaveFunc save) noexcept;

}  // namespace vexlo

#define VEXLO_LOAD_ENTRIES(CODE, id, Name)                                \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Load##CODE##ImageData(              \
      const void* path, glib::ImageDataExchange* request, void* params) { \
    return vexlo::RunLoad(id, path, request, params, &vexlo::Load##Name); \
  }                                                                       \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Get##CODE##FileInfo(                \
      const void* path, glib::ImageDataExchange* request, void* params) { \
    return vexlo::RunInfo(id, path, request, params, &vexlo::Info##Name); \
  }

#define VEXLO_THUMBNAIL_ENTRY(CODE, id, Name)                                  \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Load##CODE##ImageThumbnail(              \
      const void* path, glib::ImageDataExchange* request, void* params) {      \
    return vexlo::RunLoad(id, path, request, params, &vexlo::Thumbnail##Name); \
  }

#define VEXLO_SAVE_ENTRY(CODE, id, Name)                                             \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Save##CODE##ImageData(                         \
      const void* path, glib::ImageDataExchange* request, glib::ImageSave* params) { \
    return vexlo::RunSave(id, path, request, params, &vexlo::Save##Name);            \
  }
