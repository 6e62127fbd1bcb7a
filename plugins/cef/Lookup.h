// Lookup tables applied to rows in place: one table per colour channel (blue, green,
// red); alpha samples keep their values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cef {

// The fastest form the processor has.
void LookUpRow(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]);
void LookUpRow(uint16_t* row, size_t samples, int channels, const uint16_t* const lut[3]);

// The forms behind it: plain C++, and 64 bytes at a time (LookupAvx512.cpp) for
// processors with AVX-512 VBMI (HasAvx512Lookups).
void LookUpRowPlain(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]);
void LookUpRowAvx512(uint8_t* row, size_t samples, int channels, const uint8_t* const lut[3]);
bool HasAvx512Lookups();

}  // namespace cef
