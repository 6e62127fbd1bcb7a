// One format a plug-in announces. The program creates the record in AddFormat, the
// plug-in appends it to the manager's format list and may then set ByExtension,
// Probe and DeepProbe; the manager fills the entry points and owns the record.
#pragma once

#include <cstdint>
#include <type_traits>

#include "formats/GenArray.h"
#include "formats/GenString.h"
#include "platform/Abi.h"
#include "platform/Module.h"

struct VStream;

namespace glib {

struct ImageDataExchange;
struct ImageSave;

// Plug-in entries; each returns an ERetcode. `path` is 8-bit or UTF-16 as the
// request's wide flag says; `params` is what the caller passes through (load or
// information parameters).
using LoadEntry = uint32_t(ORBISK_CDECL*)(const void* path, ImageDataExchange* request,
                                          void* params);
using SaveEntry = uint32_t(ORBISK_CDECL*)(const void* path, ImageDataExchange* request,
                                          ImageSave* params);
// Query 0 registers the formats (FilterInfoRecord*), query 1 answers the save query
// (SaveQuery*).
using FilterInfoEntry = uint32_t(ORBISK_CDECL*)(uint32_t query, void* record);
// Resolved and kept, never called by the program.
using PixmapEntry = void*;
// Detectors: RCOK when the stream holds this format. The stream's position is
// theirs to set.
using ProbeEntry = uint32_t(ORBISK_CDECL*)(VStream* stream, uint32_t format);
using DeepProbeEntry = uint32_t(ORBISK_CDECL*)(VStream* stream, uint32_t format, uint8_t flag);

struct FilterFormatDesc {
  static constexpr uint32_t kNulTerminatedMask = 0xFFFFFFFF;

  uint32_t Id = 0xFFFFFFFF;  // the glib::EFormat
  uint32_t MatchParam = 0;   // the match word (RegExp); 0 also allows choice by extension
  uint32_t MaskLength = kNulTerminatedMask;  // 0: no signature
  gen::string Mask;        // binary signature mask, MaskLength bytes of it are used
  gen::string Extensions;  // lower case, no dots, separated by line feeds
  gen::string FilterText;  // "|Description|*.ext;*.ext" with optional "|more"
  gen::array_ptr<gen::string> SubExtensions;
  gen::array_ptr<gen::string> SubFilterTexts;  // parallel to SubExtensions
  uint8_t Enabled = 1;
  uint8_t CanRead = 0;
  uint8_t CanWrite = 0;
  uint8_t ByExtension = 0;                  // the plug-in allows identification by extension
  platform::ModuleHandle Module = nullptr;  // only in the first format of a module
  LoadEntry GetFileInfo = nullptr;
  FilterInfoEntry GetFilterInfo = nullptr;
  LoadEntry LoadImageData = nullptr;
  LoadEntry LoadImageThumbnail = nullptr;
  SaveEntry SaveImageData = nullptr;
  PixmapEntry LoadPixmapData = nullptr;
  PixmapEntry SavePixmapData = nullptr;
  ProbeEntry Probe = nullptr;
  DeepProbeEntry DeepProbe = nullptr;

  FilterFormatDesc() = default;
  FilterFormatDesc(const FilterFormatDesc&) = delete;
  FilterFormatDesc& operator=(const FilterFormatDesc&) = delete;
  // The module goes with the one record that holds it.
  ~FilterFormatDesc() { platform::UnloadModule(Module); }
};

static_assert(std::is_standard_layout_v<FilterFormatDesc>);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Id, 0);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, MatchParam, 4);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, MaskLength, 8);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Mask, 12);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Extensions, 36);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, FilterText, 60);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, SubExtensions, 84);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, SubFilterTexts, 120);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Enabled, 156);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, CanRead, 157);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, CanWrite, 158);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, ByExtension, 159);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Module, 160);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, GetFileInfo, 164);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, GetFilterInfo, 168);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, LoadImageData, 172);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, LoadImageThumbnail, 176);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, SaveImageData, 180);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, LoadPixmapData, 184);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, SavePixmapData, 188);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, Probe, 192);
ORBISK_LAYOUT_OFFSET(FilterFormatDesc, DeepProbe, 196);
ORBISK_LAYOUT_SIZE(FilterFormatDesc, 200);

}  // namespace glib
