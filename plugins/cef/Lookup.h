// Lookup tables applied to rows in place: one table per colour channel (blue, green,
// red); alpha samples are never written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cef {

void LookUpRow(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]);
void LookUpRow(uint16_t* row, size_t samples, int channels, const uint16_t* const lut[3]);

// The 64-byte form (LookupAvx512.cpp), for processors with AVX-512 VBMI.
void LookUpRowAvx512(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]);

}  // namespace cef
