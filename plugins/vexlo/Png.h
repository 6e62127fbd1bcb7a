// PNG decoding shared with the icon reader (icons may hold PNG images).
#pragma once

#include <span>

#include "vexlo/Formats.h"

namespace vexlo {

bool IsPng(std::span<const uint8_t> bytes);
// Decodes a PNG stream into a new page (colour profile and metadata applied).
uint32_t DecodePngPage(LoadJob& job, std::span<const uint8_t> bytes, PagePtr& page);

}  // namespace vexlo
