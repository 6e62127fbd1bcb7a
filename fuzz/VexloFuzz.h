// What every vexlo fuzz target does with its input: load it (all pages), read its
// information and, where the format has them, its thumbnail; then write the first
// page back with the format's own writer and read that again. The pixel limit is
// lowered so that a small input cannot ask for minutes of decoding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/FileInfoRecord.h"
#include "formats/ImageDataExchange.h"
#include "vexlo/Entries.h"

namespace vexlo_fuzz {

struct Codec {
  uint32_t format;
  vexlo::LoadFunc load;
  vexlo::InfoFunc info;
  vexlo::LoadFunc thumbnail;  // may be null
  vexlo::SaveFunc save;       // may be null
  glib::ImageSave* saveParams;
  const void* loadParams;  // may be null
};

inline void Run(const Codec& codec, const uint8_t* data, size_t size) {
  vexlo::LimitPixels(1u << 22);
  {
    glib::ImageDataExchange request;
    request.source = data;
    request.sourceSize = uint32_t(size);
    request.thumbnailMaxWidth = 16;
    request.thumbnailMaxHeight = 16;
    if (size == 0) return;
    uint32_t rc = vexlo::RunLoad(codec.format, nullptr, &request,
                                 const_cast<void*>(codec.loadParams), codec.load);
    if (rc == glib::RCOK && codec.save && !request.pages.empty() &&
        request.pages[0]->bitmap.width <= 512 && request.pages[0]->bitmap.height <= 512) {
      glib::ImageDataExchange out;
      glib::IDEPage* page = request.pages.Detach(0);
      out.pages.Add(page);
      if (vexlo::RunSave(codec.format, nullptr, &out, codec.saveParams, codec.save) == glib::RCOK &&
          out.source) {
        glib::ImageDataExchange again;
        again.source = out.source;
        again.sourceSize = out.sourceSize;
        vexlo::RunLoad(codec.format, nullptr, &again, nullptr, codec.load);
        platform::PageFree(const_cast<void*>(out.source));
      }
    }
  }
  {
    glib::ImageDataExchange request;
    request.source = data;
    request.sourceSize = uint32_t(size);
    glib::FileInfoRecord* info = nullptr;
    vexlo::RunInfo(codec.format, nullptr, &request, &info, codec.info);
    glib::FileInfoRecordDeleter()(info);
  }
  if (codec.thumbnail) {
    glib::ImageDataExchange request;
    request.source = data;
    request.sourceSize = uint32_t(size);
    request.thumbnailMaxWidth = 16;
    request.thumbnailMaxHeight = 16;
    vexlo::RunLoad(codec.format, nullptr, &request, nullptr, codec.thumbnail);
  }
}

}  // namespace vexlo_fuzz

#define VEXLO_FUZZ_TARGET(...)                                              \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    static const vexlo_fuzz::Codec codec = __VA_ARGS__;                     \
    vexlo_fuzz::Run(codec, data, size);                                     \
    return 0;                                                               \
  }
