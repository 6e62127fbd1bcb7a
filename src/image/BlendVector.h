// The processor-specific forms of the blend rows, chosen at run time by Blend.cpp.
// Each handles whole groups of pixels from the start of the row and returns how many
// it did; the plain form finishes the row.
#pragma once

#include <cstdint>

#include "image/Blend.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORBISK_BLEND_AVX2 1

namespace glib::blend {

int32_t DisplayNormAvx2(uint8_t* target, const uint8_t* layer, int32_t count);
int32_t GamsAvx2(const BlendRowArgs& args);
int32_t SmasAvx2(const BlendRowArgs& args);

}  // namespace glib::blend

#endif
