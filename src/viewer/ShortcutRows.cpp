#include "viewer/ShortcutRows.h"

#include <algorithm>

#include "host/Commands.h"

namespace viewer {

using host::AccelEntry;

uint16_t HotKeyFromAccel(const AccelEntry& entry) {
  uint16_t modifiers = 0;
  if (entry.fVirt & host::kFShift) modifiers |= kHotKeyShift;
  if (entry.fVirt & host::kFControl) modifiers |= kHotKeyControl;
  if (entry.fVirt & host::kFAlt) modifiers |= kHotKeyAlt;
  return uint16_t((modifiers << 8) | (entry.key & 0xFF));
}

AccelEntry AccelFromHotKey(uint16_t hotKey, uint16_t cmd) {
  const uint16_t modifiers = hotKey >> 8;
  uint8_t flags = host::kFVirtKey;
  if (modifiers & kHotKeyControl) flags |= host::kFControl;
  if (modifiers & kHotKeyShift) flags |= host::kFShift;
  if (modifiers & kHotKeyAlt) flags |= host::kFAlt;
  return {flags, uint16_t(hotKey & 0xFF), cmd};
}

std::vector<HotKeyListItem> RowsFromTable(const std::vector<AccelEntry>& table) {
  std::vector<HotKeyListItem> rows;
  rows.reserve(host::kShortcutCommands.size());
  for (const host::NamedCommand& command : host::kShortcutCommands) {
    HotKeyListItem row;
    row.cmd = uint16_t(command.id);
    row.name = command.name;
    size_t filled = 0;
    for (const AccelEntry& entry : table) {
      if (filled == kKeysPerRow) break;
      if (entry.cmd == row.cmd && entry.key != 0) row.keys[filled++] = HotKeyFromAccel(entry);
    }
    rows.push_back(row);
  }
  return rows;
}

void CompactKeys(HotKeyListItem& row) {
  std::stable_partition(row.keys.begin(), row.keys.end(), [](uint16_t key) { return key != 0; });
}

void TakeKeysFor(std::vector<HotKeyListItem>& rows, size_t edited) {
  if (edited >= rows.size()) return;
  CompactKeys(rows[edited]);
  const auto& taken = rows[edited].keys;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i == edited) continue;
    bool changed = false;
    for (uint16_t& key : rows[i].keys) {
      if (key != 0 && std::find(taken.begin(), taken.end(), key) != taken.end()) {
        key = 0;
        changed = true;
      }
    }
    if (changed) CompactKeys(rows[i]);
  }
}

void ClearRepeatsOf(std::array<uint16_t, kKeysPerRow>& keys, size_t taken) {
  if (taken >= keys.size() || keys[taken] == 0) return;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i != taken && keys[i] == keys[taken]) keys[i] = 0;
  }
}

std::optional<std::vector<AccelEntry>> TableFromRows(const std::vector<HotKeyListItem>& rows,
                                                     const std::vector<AccelEntry>& current) {
  if (current.size() > rows.size()) return std::nullopt;
  std::vector<AccelEntry> table;
  table.reserve(rows.size() * kKeysPerRow + current.size());
  // The entries of commands outside the list come first: a platform accelerator
  // table takes the first entry of a key stroke, so Esc and the host keys keep
  // working whatever key strokes the rows hold.
  for (const AccelEntry& entry : current) {
    const bool listed = std::any_of(
        rows.begin(), rows.end(), [&](const HotKeyListItem& row) { return row.cmd == entry.cmd; });
    if (!listed && entry.cmd != 0) table.push_back(entry);
  }
  for (const HotKeyListItem& row : rows) {
    for (uint16_t key : row.keys) {
      if (key == 0) break;
      table.push_back(AccelFromHotKey(key, row.cmd));
    }
  }
  return table;
}

}  // namespace viewer
