// What ties a viewer to the file manager's Lister window: the subclass procedure that
// hands keys back and forwards menu commands, the search for the main window, and
// the built-in keys every viewer of the process shares.
#pragma once

#include <windows.h>

namespace viewer {

class COrbiskWnd;

// The window procedure a Lister window gets while a viewer sits in it.
LRESULT CALLBACK ListerSubclassProc(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept;

// The first top-level window of class "TTOTAL_CMD" in the parent's process.
HWND FindFileManagerMainWindow(HWND parent);

// The built-in keys (resource 1223) that the Lister window translates.
HACCEL ListerAccelerators();

// A fresh copy of the viewer's main menu (resource 230), owned by whoever takes it.
HMENU LoadMainMenu();

}  // namespace viewer
