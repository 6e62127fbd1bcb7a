// Key-stroke texts as the keyboard layout names the keys, and the menu items that
// show them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/Accelerator.h"

namespace viewer {

// "Ctrl+Shift+B": the modifiers in the order Ctrl, Shift, Alt, then the key's name.
std::wstring KeyStrokeText(const host::AccelEntry& entry);

// Replaces the keys after the item's tab by the command's current keys.
void DecorateMenuItem(HMENU menu, UINT position, UINT command,
                      const std::vector<host::AccelEntry>& table);

}  // namespace viewer
