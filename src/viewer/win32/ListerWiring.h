// What ties a viewer to the file manager's Lister window: the subclass procedure that
// hands keys back and forwards menu commands, the search for the main window, and
// the few things shared by every viewer of the process.
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

// True on the old Windows without Unicode calls.
bool NonUnicodeSystem();

// The process's current viewer is the last one made.
void SetCurrentViewer(COrbiskWnd* viewer);
void ForgetViewer(COrbiskWnd* viewer);
COrbiskWnd* CurrentViewer();

}  // namespace viewer
