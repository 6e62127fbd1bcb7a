// Settings files are hand-edited and may be anything. Reads the bytes as an INI file,
// runs every look-up the settings store makes on them (the key table, shortcut
// records, recent files, packed group flags), writes the settings back, and checks
// that the written layout reads back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/Commands.h"
#include "host/IniFile.h"
#include "host/Settings.h"
#include "host/ShortcutRecords.h"

namespace {

// Section names that begin with '[' lose it when read back, and lines that grow past
// the line limit are cut: both are limits of the format, not faults.
bool RoundTripExpected(const host::IniFile& ini, std::string_view text) {
  for (const host::IniSection& section : ini.Sections()) {
    if (!section.name.empty() && section.name.front() == '[') return false;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end - start > host::IniFile::kMaxLineLength) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  host::IniFile ini;
  ini.LoadFromMemory(std::string_view(reinterpret_cast<const char*>(data), size));

  for (const host::IniSection& section : ini.Sections()) {
    for (const host::IniItem& item : section.items) {
      for (int i = 0; i <= int(item.values.size()); ++i) {
        ini.GetBinary(section.name, item.name, i, {});
        ini.GetDouble(section.name, item.name, i, 0);
      }
    }
  }

  std::string text = ini.ToText();
  host::IniFile again;
  again.LoadFromMemory(text);
  if (RoundTripExpected(ini, text) && again.ToText() != text) std::abort();

  host::Settings settings;
  host::ReadSettingKeys(ini, settings);
  std::vector<host::AccelEntry> table(host::kDefaultAccelerators.begin(),
                                      host::kDefaultAccelerators.end());
  host::ReadShortcutRecords(ini, table);
  host::AboutInfo about = host::ReadAbout(ini);

  host::WriteSettingKeys(ini, settings);
  host::WriteShortcutRecords(ini, table);
  host::WriteRecentFiles(ini, settings.recentFiles);
  host::WriteAbout(ini, about);
  host::Settings reread;
  host::ReadSettingKeys(ini, reread);
  return 0;
}
