#include "viewer/win32/EditDialogParts.h"

namespace viewer {

RECT TakePlaceholder(HWND dialog, UINT id) {
  RECT area{};
  if (HWND placeholder = GetDlgItem(dialog, int(id))) {
    GetWindowRect(placeholder, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    DestroyWindow(placeholder);
  }
  return area;
}

}  // namespace viewer
