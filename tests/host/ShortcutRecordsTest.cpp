#include "host/ShortcutRecords.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "host/Commands.h"
#include "host/Settings.h"

using namespace host;

namespace {

constexpr uint8_t kCtrl = kFVirtKey | kFNoInvert | kFControl;
constexpr uint8_t kPlain = kFVirtKey | kFNoInvert;

std::vector<AccelEntry> Defaults() {
  return {kDefaultAccelerators.begin(), kDefaultAccelerators.end()};
}

// Each command's key strokes in table order: what the user can press.
std::map<uint16_t, std::vector<uint32_t>> Bindings(const std::vector<AccelEntry>& table) {
  std::map<uint16_t, std::vector<uint32_t>> keys;
  for (const AccelEntry& entry : BoundEntries(table)) keys[entry.cmd].push_back(StoredKey(entry));
  return keys;
}

std::vector<uint32_t> KeysOf(const std::vector<AccelEntry>& table, uint16_t cmd) {
  return Bindings(table)[cmd];
}

IniFile Records(std::string_view lines) {
  IniFile ini;
  ini.LoadFromMemory("[Settings]\n" + std::string(lines));
  return ini;
}

}  // namespace

TEST(ShortcutRecords, CommandTablesAreConsistent) {
  std::set<std::string_view> names;
  for (const NamedCommand& command : kShortcutCommands) {
    names.insert(command.name);
    EXPECT_EQ(FindShortcutCommand(command.id), &command) << "ids are unique";
  }
  EXPECT_EQ(names.size(), 65u);
  EXPECT_EQ(FindShortcutCommand(kCmdEscape), nullptr);

  // Every default key belongs to a listed command, Esc or a host key, and to one only.
  std::set<uint32_t> strokes;
  for (const AccelEntry& entry : kDefaultAccelerators) {
    bool kept = entry.cmd == kCmdEscape || (entry.cmd >= kCmdHostKey1 && entry.cmd <= kCmdHostKey7);
    EXPECT_TRUE(FindShortcutCommand(entry.cmd) || kept) << entry.cmd;
    EXPECT_TRUE(strokes.insert(StoredKey(entry)).second) << entry.key;
  }
  EXPECT_EQ(KeysOf(Defaults(), kCmdOpenNext), (std::vector<uint32_t>{0x30022, 0x30027, 0x30020}));
}

TEST(ShortcutRecords, AReassignedKeyLeavesItsOldCommand) {
  // Ctrl+C to "CopyPath": "CopyImage" loses it, "CopyPath" has it instead of Ctrl+Alt+C.
  std::vector<AccelEntry> table = Defaults();
  IniFile ini = Records("key0=30781,#B0043\n");
  ReadShortcutRecords(ini, table);
  EXPECT_EQ(KeysOf(table, kCmdCopyPath), std::vector<uint32_t>{0xB0043});
  EXPECT_TRUE(KeysOf(table, kCmdCopyImage).empty());
  EXPECT_EQ(table.size(), kDefaultAccelerators.size()) << "entries are reused, not added";
}

// The walk over the table does not end when the record's keys are placed: an entry of
// another command further down that holds one of them loses it too, so a key stroke
// never triggers two commands whatever the order of the table.
TEST(ShortcutRecords, AReassignedKeyLeavesAnOldCommandFurtherDown) {
  std::vector<AccelEntry> table = Defaults();  // "About" first, "SaveImage" far below
  IniFile ini = Records("key0=30827,#B0053\n");  // Ctrl+S to "About"
  ReadShortcutRecords(ini, table);
  EXPECT_EQ(KeysOf(table, kCmdAbout), std::vector<uint32_t>{0xB0053});
  EXPECT_TRUE(KeysOf(table, kCmdSaveImage).empty());
}

TEST(ShortcutRecords, ARecordIsTheCompleteKeyListOfItsCommand) {
  std::vector<AccelEntry> table = Defaults();
  // "OpenNext" keeps only Right; "Options" (no default key) gets two new ones;
  // "About" is written without keys.
  IniFile ini = Records(
      "key0=#7838,#30027\n"
      "key1=30798,#B004F,0,#B0050\n"
      "key2=30827,0\n");
  ReadShortcutRecords(ini, table);
  auto bindings = Bindings(table);
  EXPECT_EQ(bindings[kCmdOpenNext], std::vector<uint32_t>{0x30027});
  EXPECT_EQ(bindings[kCmdOptions], (std::vector<uint32_t>{0xB004F, 0xB0050}));
  EXPECT_TRUE(bindings[kCmdOpenImage].empty()) << "Ctrl+O moved to Options";
  EXPECT_TRUE(bindings[kCmdAbout].empty());
  EXPECT_EQ(bindings[kCmdEscape], std::vector<uint32_t>{0x3001B}) << "untouched";
}

TEST(ShortcutRecords, AnUnknownCommandEndsTheRecords) {
  std::vector<AccelEntry> table = Defaults();
  IniFile ini = Records(
      "key0=1036,#B0041\n"     // host key 3 is in the table, though not in the list
      "key1=1,#B0042\n"        // no such command
      "key2=30782,#B0044\n");  // never read
  ReadShortcutRecords(ini, table);
  EXPECT_EQ(KeysOf(table, kCmdHostKey1 + 2), std::vector<uint32_t>{0xB0041});
  EXPECT_EQ(KeysOf(table, kCmdCopyImage), std::vector<uint32_t>{0xB0043});

  for (const char* stop : {"key0=\"x\",#B0041\nkey1=30782,#B0044\n", "key1=30782,#B0044\n",
                           "key0=#10000,#B0041\nkey1=30782,#B0044\n"}) {
    std::vector<AccelEntry> untouched = Defaults();
    ReadShortcutRecords(Records(stop), untouched);
    EXPECT_EQ(untouched, Defaults()) << stop;
  }
}

TEST(ShortcutRecords, WrittenRecordsReadBackToTheSameKeys) {
  std::vector<AccelEntry> table = Defaults();
  ApplyShortcutRecord(table, kCmdCopyPath, std::vector<uint32_t>{0xB0043});
  ApplyShortcutRecord(table, kCmdAbout, std::vector<uint32_t>{});
  ApplyShortcutRecord(table, kCmdScale, std::vector<uint32_t>{0x70071, 0xB0053, 0x70071});

  // A longer list from before, with a gap after key60.
  IniFile ini = Records("key70=#1\n");
  for (int n = 0; n <= 60; ++n) {
    ini.SetInt("Settings", "key" + std::to_string(n), 0, 1, true);
    ini.SetInt("Settings", "key" + std::to_string(n), 9, 1, true);
  }
  WriteShortcutRecords(ini, table);
  EXPECT_EQ(ini.GetInt("Settings", "key0", 0, 0), kCmdAbout);
  EXPECT_EQ(ini.FindItem("Settings", "key0")->values.size(), 2u) << "About,0";
  EXPECT_EQ(ini.FindItem("Settings", "key1")->values.size(), 2u) << "the old tail is gone";

  size_t records = 0;
  while (ini.FindItem("Settings", "key" + std::to_string(records))) ++records;
  EXPECT_EQ(records, Bindings(table).size() + 3) << "About, CopyImage and SaveImage keyless";
  EXPECT_NE(ini.FindItem("Settings", "key70"), nullptr) << "after a gap: never read, kept";

  std::vector<AccelEntry> back = Defaults();
  ReadShortcutRecords(ini, back);
  EXPECT_EQ(Bindings(back), Bindings(table));
  EXPECT_EQ(KeysOf(back, kCmdScale), (std::vector<uint32_t>{0x70071, 0xB0053}));
  EXPECT_TRUE(KeysOf(back, kCmdSaveImage).empty()) << "Ctrl+S went to Scale";
  EXPECT_EQ(BoundEntries(back).size(), BoundEntries(table).size());
}

TEST(ShortcutRecords, StoredKeysKeepFlagsAndKeyCode) {
  AccelEntry entry{kCtrl | kFShift | kFAlt, 0x4C, kCmdAutoContrast};
  EXPECT_EQ(StoredKey(entry), 0x1F004Cu);
  EXPECT_EQ(FromStoredKey(0x1F004C, kCmdAutoContrast), entry);
  EXPECT_EQ(FromStoredKey(0xFFE3004C, 1), (AccelEntry{0x03, 0x4C, 1})) << "stray bits dropped";
  EXPECT_EQ(StoredKey(AccelEntry{kPlain, 0x20, 1}), 0x30020u);
}
