#include "viewer/win32/KeyNames.h"

#include "viewer/ViewerTexts.h"

namespace viewer {
namespace {

// Page Up to Delete share scan codes with the numeric pad; the extended bit picks
// the dedicated keys.
bool NamedAsExtended(UINT key) { return key >= 33 && key <= 46; }

std::wstring KeyName(UINT key) {
  LONG scan = LONG(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  if (NamedAsExtended(key)) scan |= 1 << 24;
  wchar_t name[64] = {};
  if (GetKeyNameTextW(scan, name, 64) > 0) return name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    return std::wstring(1, wchar_t(key));
  return L"#" + std::to_wstring(key);
}

}  // namespace

std::wstring KeyStrokeText(const host::AccelEntry& entry) {
  std::wstring text;
  if (entry.fVirt & host::kFControl) text += L"Ctrl+";
  if (entry.fVirt & host::kFShift) text += L"Shift+";
  if (entry.fVirt & host::kFAlt) text += L"Alt+";
  return text + KeyName(entry.key);
}

void DecorateMenuItem(HMENU menu, UINT position, UINT command,
                      const std::vector<host::AccelEntry>& table) {
  wchar_t buffer[512] = {};
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  item.dwTypeData = buffer;
  item.cch = 511;
  if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return;
  std::vector<std::wstring> keys;
  for (const host::AccelEntry& entry : KeyStrokesFor(table, command)) {
    keys.push_back(KeyStrokeText(entry));
  }
  std::wstring text = MenuTextWithKeys(buffer, keys);
  if (text == buffer) return;
  item.fMask = MIIM_STRING;
  item.dwTypeData = text.data();
  SetMenuItemInfoW(menu, position, TRUE, &item);
}

}  // namespace viewer
