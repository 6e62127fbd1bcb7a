// What "GetFilterInfo"(0, &record) receives: the host functions that create format
// records and the manager's format list to append them to. The plug-in writes the
// interface version it was built for; the manager accepts only kFilterInterfaceVersion.
//
// A plug-in registers a format like this:
//   FilterFormatDesc* d = record->AddFormat(id, 0, 2, "BM", "bmp\ndib",
//                                           "|Windows Bitmap|*.bmp;*.dib");
//   record->Formats->Add(d);  // grows through the list's own table
//   d->ByExtension = 1;
//   record->Version = kFilterInterfaceVersion;
#pragma once

#include <cstdint>

#include "formats/FilterFormatDesc.h"
#include "formats/GenArray.h"
#include "platform/Abi.h"

namespace glib {

constexpr uint32_t kFilterInterfaceVersion = 0x801;

// maskLength 0xFFFFFFFF: mask is NUL-terminated. Null extensions or filterText leave
// the field empty. The record is not in the list yet: the plug-in appends it.
using AddFormatFunc = FilterFormatDesc*(ORBISK_CDECL*)(uint32_t id, uint32_t matchParam,
                                                       uint32_t maskLength, const char* mask,
                                                       const char* extensions,
                                                       const char* filterText);
// Appends one sub-format (extensions and filter text) to a format; RCOK, or BADA for a
// null format, OMEM when memory is short.
using AddSubFormatFunc = uint32_t(ORBISK_CDECL*)(FilterFormatDesc* desc, const char* extensions,
                                                 const char* filterText);

struct FilterInfoRecord {
  AddFormatFunc AddFormat = nullptr;
  AddSubFormatFunc AddSubFormat = nullptr;
  gen::array_ptr<FilterFormatDesc>* Formats = nullptr;
  uint32_t Version = 0;  // written by the plug-in
};

ORBISK_LAYOUT_OFFSET(FilterInfoRecord, AddSubFormat, 4);
ORBISK_LAYOUT_OFFSET(FilterInfoRecord, Formats, 8);
ORBISK_LAYOUT_OFFSET(FilterInfoRecord, Version, 12);
ORBISK_LAYOUT_SIZE(FilterInfoRecord, 16);

}  // namespace glib
