#include "runtime/Crc.h"

#include <array>

namespace glib {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t CRCUpdate(uint32_t crc, const void* data, size_t size) noexcept {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!bytes) return crc;
  uint32_t c = ~crc;
  for (size_t i = 0; i < size; ++i) c = kTable[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t CRCByte(uint32_t crc, uint8_t byte) noexcept {
  uint32_t c = ~crc;
  return ~(kTable[(c ^ byte) & 0xFF] ^ (c >> 8));
}

}  // namespace glib
