// One key stroke bound to a command, laid out like the platform's accelerator entry
// (flags byte, pad, 16-bit key, 16-bit command) so that an array of them can be
// handed to CreateAcceleratorTable unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {

// Accelerator flags.
constexpr uint8_t kFVirtKey = 1;
constexpr uint8_t kFNoInvert = 2;
constexpr uint8_t kFShift = 4;
constexpr uint8_t kFControl = 8;
constexpr uint8_t kFAlt = 16;
constexpr uint8_t kAcceleratorFlagMask = 0x1F;

struct AccelEntry {
  uint8_t fVirt = 0;
  uint16_t key = 0;
  uint16_t cmd = 0;

  friend bool operator==(const AccelEntry&, const AccelEntry&) = default;
};

static_assert(sizeof(AccelEntry) == 6 && offsetof(AccelEntry, key) == 2 &&
              offsetof(AccelEntry, cmd) == 4);

// The key stroke as a settings file stores it: (flags << 16) | virtual-key code.
constexpr uint32_t StoredKey(const AccelEntry& entry) {
  return (uint32_t(entry.fVirt) << 16) | entry.key;
}

// Bits outside the flags and the key code are ignored.
constexpr AccelEntry FromStoredKey(uint32_t stored, uint16_t cmd) {
  return {uint8_t((stored >> 16) & kAcceleratorFlagMask), uint16_t(stored & 0xFFFF), cmd};
}

constexpr bool SameKeyStroke(const AccelEntry& a, const AccelEntry& b) {
  return a.fVirt == b.fVirt && a.key == b.key;
}

}  // namespace host
