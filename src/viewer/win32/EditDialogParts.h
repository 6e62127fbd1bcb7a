// Pieces the Edit menu's dialogs share: their drawing windows take the place of
// placeholder controls of the templates.
#pragma once

#include <windows.h>

namespace viewer {

// Takes a template's placeholder control away and answers the area it had, in the
// dialog's client coordinates (empty when the template has no such control).
RECT TakePlaceholder(HWND dialog, UINT id);

}  // namespace viewer
