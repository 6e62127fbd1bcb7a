#include "viewer/ShortcutRows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/Commands.h"

using namespace viewer;
using host::AccelEntry;

namespace {

const std::vector<AccelEntry> kDefaults(host::kDefaultAccelerators.begin(),
                                        host::kDefaultAccelerators.end());

HotKeyListItem& Row(std::vector<HotKeyListItem>& rows, uint16_t cmd) {
  return *std::find_if(rows.begin(), rows.end(),
                       [cmd](const HotKeyListItem& row) { return row.cmd == cmd; });
}

constexpr uint16_t kEscKey = 0x1B;
constexpr uint16_t kCtrlC = (kHotKeyControl << 8) | 'C';
constexpr uint16_t kCtrlAltC = ((kHotKeyControl | kHotKeyAlt) << 8) | 'C';

}  // namespace

TEST(ShortcutKeys, ModifiersConvertBothWaysWithoutNoInvert) {
  const AccelEntry ctrlShiftB{0x0F, 'B', 30850};
  EXPECT_EQ(HotKeyFromAccel(ctrlShiftB), ((kHotKeyControl | kHotKeyShift) << 8) | 'B');
  EXPECT_EQ(HotKeyFromAccel({0x1B, 'C', 1}), kCtrlAltC);
  EXPECT_EQ(HotKeyFromAccel({0x03, 0x22, 1}), 0x22);
  // Back: FVIRTKEY and the modifiers, FNOINVERT dropped; the extended mark is no flag.
  EXPECT_EQ(AccelFromHotKey(kCtrlAltC, 7), (AccelEntry{0x19, 'C', 7}));
  EXPECT_EQ(AccelFromHotKey((kHotKeyShift << 8) | 'A', 7), (AccelEntry{0x05, 'A', 7}));
  EXPECT_EQ(AccelFromHotKey((kHotKeyExtended << 8) | 0x2E, 7), (AccelEntry{0x01, 0x2E, 7}));
}

TEST(ShortcutRows, DefaultTableGivesOneRowPerListedCommandInOrder) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  ASSERT_EQ(rows.size(), host::kShortcutCommands.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].cmd, host::kShortcutCommands[i].id);
    EXPECT_EQ(rows[i].name, host::kShortcutCommands[i].name);
  }
  // "OpenNext" has Page Down, Right and Space, in table order.
  EXPECT_EQ(Row(rows, host::kCmdOpenNext).keys, (std::array<uint16_t, 4>{0x22, 0x27, 0x20, 0}));
  EXPECT_EQ(Row(rows, host::kCmdCopyImage).keys[0], kCtrlC);
  // Esc and the host keys are not rows.
  for (const HotKeyListItem& row : rows) {
    EXPECT_NE(row.cmd, host::kCmdEscape);
    EXPECT_NE(row.cmd, host::kCmdHostKey1);
  }
}

TEST(ShortcutRows, RowHoldsAtMostFourKeysAndSkipsClearedEntries) {
  std::vector<AccelEntry> table;
  table.push_back({0x03, 0, host::kCmdZoomIn});  // a cleared entry
  for (uint16_t key = 'A'; key <= 'E'; ++key) table.push_back({0x03, key, host::kCmdZoomIn});
  std::vector<HotKeyListItem> rows = RowsFromTable(table);
  EXPECT_EQ(Row(rows, host::kCmdZoomIn).keys, (std::array<uint16_t, 4>{'A', 'B', 'C', 'D'}));
}

TEST(ShortcutEditing, EditedRowIsCompactedAndOtherRowsLoseItsKeys) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  HotKeyListItem& copyPath = Row(rows, host::kCmdCopyPath);
  copyPath.keys = {0, 0, kCtrlC, kCtrlAltC};
  const size_t edited = size_t(&copyPath - rows.data());
  TakeKeysFor(rows, edited);
  EXPECT_EQ(Row(rows, host::kCmdCopyPath).keys, (std::array<uint16_t, 4>{kCtrlC, kCtrlAltC, 0, 0}));
  EXPECT_EQ(Row(rows, host::kCmdCopyImage).keys, (std::array<uint16_t, 4>{}));
  // Rows not holding those keys keep theirs.
  EXPECT_EQ(Row(rows, host::kCmdOpenNext).keys, (std::array<uint16_t, 4>{0x22, 0x27, 0x20, 0}));

  // A key taken from the middle of another row closes the gap there.
  HotKeyListItem& zoomIn = Row(rows, host::kCmdZoomIn);
  zoomIn.keys = {0x27, 0, 0, 0};
  TakeKeysFor(rows, size_t(&zoomIn - rows.data()));
  EXPECT_EQ(Row(rows, host::kCmdOpenNext).keys, (std::array<uint16_t, 4>{0x22, 0x20, 0, 0}));
  TakeKeysFor(rows, rows.size());  // out of range: nothing happens
}

TEST(ShortcutEditing, HotKeyDialogClearsRepeatsOfTheKeyJustTaken) {
  std::array<uint16_t, 4> keys{'A', 'B', 'A', 'A'};
  ClearRepeatsOf(keys, 2);
  EXPECT_EQ(keys, (std::array<uint16_t, 4>{0, 'B', 'A', 0}));
  std::array<uint16_t, 4> empty{0, 0, 'B', 0};
  ClearRepeatsOf(empty, 0);  // an empty slot clears nothing
  EXPECT_EQ(empty, (std::array<uint16_t, 4>{0, 0, 'B', 0}));
}

TEST(ShortcutTable, KeptEntriesOfUnlistedCommandsThenRows) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  std::optional<std::vector<AccelEntry>> table = TableFromRows(rows, kDefaults);
  ASSERT_TRUE(table);
  // Same bindings as the defaults (FNOINVERT dropped), each exactly once.
  EXPECT_EQ(table->size(), kDefaults.size());
  for (const AccelEntry& entry : kDefaults) {
    const AccelEntry plain{uint8_t(entry.fVirt & ~host::kFNoInvert), entry.key, entry.cmd};
    const bool listed = host::FindShortcutCommand(entry.cmd) != nullptr;
    EXPECT_EQ(std::count(table->begin(), table->end(), listed ? plain : entry), 1)
        << entry.cmd << " " << entry.key;
  }
  // Esc and the seven host keys come first, in their order.
  ASSERT_GE(table->size(), 8u);
  EXPECT_EQ((*table)[0].cmd, host::kCmdEscape);
  EXPECT_EQ((*table)[7].cmd, host::kCmdHostKey7);
}

TEST(ShortcutTable, EscAndTheHostKeysWinOverTheSameKeysInARow) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  Row(rows, host::kCmdZoomIn).keys = {kEscKey, '3', 0, 0};
  std::vector<AccelEntry> table = *TableFromRows(rows, kDefaults);
  auto first = [&](uint16_t key) {
    return std::find_if(table.begin(), table.end(),
                        [key](const AccelEntry& e) {
                          return e.key == key && (e.fVirt & ~host::kFNoInvert) == host::kFVirtKey;
                        })
        ->cmd;
  };
  EXPECT_EQ(first(kEscKey), host::kCmdEscape);
  EXPECT_EQ(first('3'), host::kCmdHostKey1 + 2);
}

TEST(ShortcutTable, KeysAfterAGapAreDroppedAndEditedCommandsReplaced) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  Row(rows, host::kCmdOpenNext).keys = {'N', 0, 'X', 0};
  std::vector<AccelEntry> table = *TableFromRows(rows, kDefaults);
  std::vector<AccelEntry> next;
  for (const AccelEntry& entry : table)
    if (entry.cmd == host::kCmdOpenNext) next.push_back(entry);
  EXPECT_EQ(next, (std::vector<AccelEntry>{{0x01, 'N', host::kCmdOpenNext}}));
}

TEST(ShortcutTable, CurrentTableLongerThanTheListStays) {
  std::vector<HotKeyListItem> rows = RowsFromTable(kDefaults);
  std::vector<AccelEntry> longTable(rows.size() + 1, AccelEntry{0x03, 'Q', host::kCmdZoomIn});
  EXPECT_FALSE(TableFromRows(rows, longTable));
  longTable.pop_back();
  EXPECT_TRUE(TableFromRows(rows, longTable));
}
