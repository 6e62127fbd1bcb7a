// The rows of the shortcut list and the rules of editing them: one row per command
// of the shortcut list with up to four key strokes as hot-key values, built from an
// accelerator table and turned back into one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "host/Accelerator.h"

namespace viewer {

// Hot-key modifiers, in the byte above the virtual-key code.
constexpr uint16_t kHotKeyShift = 1;
constexpr uint16_t kHotKeyControl = 2;
constexpr uint16_t kHotKeyAlt = 4;
constexpr uint16_t kHotKeyExtended = 8;

constexpr size_t kKeysPerRow = 4;

// One row of the shortcut list; a key of 0 is empty.
struct HotKeyListItem {
  uint16_t cmd = 0;
  std::array<uint16_t, kKeysPerRow> keys{};
  std::string_view name;
};

// The key stroke of an accelerator entry as a hot-key value.
uint16_t HotKeyFromAccel(const host::AccelEntry& entry);
// The accelerator entry of a hot-key value: a virtual key without FNOINVERT.
host::AccelEntry AccelFromHotKey(uint16_t hotKey, uint16_t cmd);

// One row per shortcut command in list order, holding the first four entries of
// the table that bind the command, in table order.
std::vector<HotKeyListItem> RowsFromTable(const std::vector<host::AccelEntry>& table);

// The non-empty keys move to the front, keeping their order.
void CompactKeys(HotKeyListItem& row);

// After a row was edited: its keys are compacted and every other row loses the keys
// this row now holds, so a key stroke belongs to one command only.
void TakeKeysFor(std::vector<HotKeyListItem>& rows, size_t edited);

// In the hot-key dialog: after `taken` got a key, the other slots holding the same
// value are cleared.
void ClearRepeatsOf(std::array<uint16_t, kKeysPerRow>& keys, size_t taken);

// The table the rows stand for: the entries of `current` for commands outside the
// list (Esc, the host keys) first, in their order, so they win over any key stroke
// a row holds; then each row's keys up to its first empty one. Nothing when
// `current` holds more entries than there are rows.
std::optional<std::vector<host::AccelEntry>> TableFromRows(
    const std::vector<HotKeyListItem>& rows, const std::vector<host::AccelEntry>& current);

}  // namespace viewer
