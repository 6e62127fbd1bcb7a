#include "host/ShortcutRecords.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "host/Commands.h"
#include "host/Settings.h"

namespace host {
namespace {

std::string RecordName(int n) { return "key" + std::to_string(n); }

bool IsKnownCommand(const std::vector<AccelEntry>& table, int32_t cmd) {
  if (cmd <= 0 || cmd > 0xFFFF) return false;
  if (FindShortcutCommand(uint32_t(cmd))) return true;
  return std::any_of(table.begin(), table.end(),
                     [cmd](const AccelEntry& entry) { return entry.cmd == cmd; });
}

void Clear(AccelEntry& entry) { entry.fVirt = 0, entry.key = 0; }

}  // namespace

void ApplyShortcutRecord(std::vector<AccelEntry>& table, uint16_t cmd,
                         std::span<const uint32_t> storedKeys) {
  std::vector<AccelEntry> keys;
  for (uint32_t stored : storedKeys) {
    AccelEntry key = FromStoredKey(stored, cmd);
    if (key.key == 0) continue;
    auto same = [&](const AccelEntry& other) { return SameKeyStroke(other, key); };
    if (std::none_of(keys.begin(), keys.end(), same)) keys.push_back(key);
  }

  size_t used = 0;
  for (AccelEntry& entry : table) {
    if (entry.cmd == cmd) {
      if (used < keys.size()) {
        entry = keys[used++];
      } else {
        Clear(entry);
      }
    } else if (entry.key != 0 && std::any_of(keys.begin(), keys.end(), [&](const AccelEntry& key) {
                 return SameKeyStroke(key, entry);
               })) {
      Clear(entry);
    }
  }
  table.insert(table.end(), keys.begin() + ptrdiff_t(used), keys.end());
}

void ReadShortcutRecords(const IniFile& ini, std::vector<AccelEntry>& table) {
  for (int n = 0; n < kMaxShortcutRecords; ++n) {
    std::string name = RecordName(n);
    const IniItem* record = ini.FindItem(kSettingsSection, name);
    if (!record || record->values.empty() ||
        (record->values[0].type != IniValueType::kHex &&
         record->values[0].type != IniValueType::kDecimal)) {
      return;
    }
    int32_t cmd = record->values[0].integer;
    if (!IsKnownCommand(table, cmd)) return;
    uint32_t keys[4];
    for (int i = 0; i < 4; ++i) keys[i] = uint32_t(ini.GetInt(kSettingsSection, name, i + 1, 0));
    ApplyShortcutRecord(table, uint16_t(cmd), keys);
  }
}

void WriteShortcutRecords(IniFile& ini, std::span<const AccelEntry> table) {
  std::vector<bool> done(table.size());
  int n = 0;
  for (size_t i = 0; i < table.size() && n < kMaxShortcutRecords; ++i) {
    if (table[i].cmd == 0 || done[i]) continue;
    // A fresh item: an old record may be longer or hold values of another type.
    std::string name = RecordName(n++);
    ini.RemoveItem(kSettingsSection, name);
    ini.SetInt(kSettingsSection, name, 0, table[i].cmd, true);
    ini.SetInt(kSettingsSection, name, 1, int32_t(StoredKey(table[i])), true);
    int item = 2;
    for (size_t j = i + 1; j < table.size(); ++j) {
      if (table[j].cmd != table[i].cmd) continue;
      done[j] = true;
      if (table[j].key != 0) {
        ini.SetInt(kSettingsSection, name, item++, int32_t(StoredKey(table[j])), true);
      }
    }
  }
  while (n < kMaxShortcutRecords && ini.RemoveItem(kSettingsSection, RecordName(n))) ++n;
}

std::vector<AccelEntry> BoundEntries(std::span<const AccelEntry> table) {
  std::vector<AccelEntry> bound;
  std::copy_if(table.begin(), table.end(), std::back_inserter(bound),
               [](const AccelEntry& entry) { return entry.cmd != 0 && entry.key != 0; });
  return bound;
}

}  // namespace host
