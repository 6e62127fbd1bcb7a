// PackBits run-length coding, used for the information list's collapsed-group flags
// kept in the settings file. A count byte n of 0 to 127 is followed by n + 1 literal
// bytes; n of -1 to -127 by one byte repeated 1 - n times; -128 is a no-op.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace host {

std::vector<uint8_t> PackBits(std::span<const uint8_t> data);

// Unpacks until `out` is full or the packed data ends (a cut-off last run gives what
// it holds); returns the number of bytes written. Bytes beyond stay untouched.
size_t UnpackBits(std::span<const uint8_t> packed, std::span<uint8_t> out);

}  // namespace host
