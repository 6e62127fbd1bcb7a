// CRC-32 (the polynomial of zip and PNG) as a running value. Each call takes and
// returns the finished checksum, so calls chain: CRCUpdate(CRCUpdate(0, a), b) is
// the checksum of a followed by b, and CRCUpdate(0, "123456789", 9) is 0xCBF43926.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glib {

uint32_t CRCUpdate(uint32_t crc, const void* data, size_t size) noexcept;
uint32_t CRCByte(uint32_t crc, uint8_t byte) noexcept;

}  // namespace glib
