// The save capability query, "GetFilterInfo"(1, &query): the plug-in fills the four
// answers for the format named in the parameter record, and the Film's save reads
// them to decide which pictures to hand over.
#pragma once

#include <cstdint>

#include "formats/ImageSave.h"
#include "platform/Abi.h"

namespace glib {

struct SaveQuery {
  ImageSave* params = nullptr;  // its format field names the format asked about
  uint8_t alpha = 0;            // the format keeps an alpha channel
  uint8_t vector = 0;           // it takes a vector picture
  uint8_t layers = 0;           // it takes several layers per slide
  uint8_t merged = 0;           // with layers, it also wants a flattened first slide
};

ORBISK_LAYOUT_SIZE(SaveQuery, 8);
ORBISK_LAYOUT_OFFSET(SaveQuery, alpha, 4);
ORBISK_LAYOUT_OFFSET(SaveQuery, merged, 7);

}  // namespace glib
