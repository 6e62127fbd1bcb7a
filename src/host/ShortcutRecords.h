// Shortcut records of the settings file: "key0", "key1", ... in [Settings], each a
// command identifier followed by up to four stored key strokes (see Accelerator.h).
//
// A record is read as the complete key list of its command: the command's entries
// take the record's keys in order, entries left over are cleared, keys left over
// are appended, and every other entry holding one of the keys is cleared, so no key
// stroke triggers two commands. Cleared entries (key 0) stay in the table: written
// back they become "command,0", which is how a command whose keys were all removed
// keeps them removed. Hand BoundEntries() to the platform, never the raw table.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "host/Accelerator.h"
#include "host/IniFile.h"

namespace host {

// Records beyond this are neither read nor cleaned up; there are far fewer commands.
constexpr int kMaxShortcutRecords = 256;

// Merges one record into the table. Zero keys and repeated keys are skipped.
void ApplyShortcutRecord(std::vector<AccelEntry>& table, uint16_t cmd,
                         std::span<const uint32_t> storedKeys);

// Merges "key0", "key1", ... into the table. Reading stops at the first record
// that is missing or whose command is neither a shortcut command nor in the table.
void ReadShortcutRecords(const IniFile& ini, std::vector<AccelEntry>& table);

// One record per command, in table order; records left over from a longer list
// are removed so that they are not read back.
void WriteShortcutRecords(IniFile& ini, std::span<const AccelEntry> table);

// The entries that bind a key to a command.
std::vector<AccelEntry> BoundEntries(std::span<const AccelEntry> table);

}  // namespace host
