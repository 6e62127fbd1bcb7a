// A message box with a "Do not show this dialog again" check box under its text, for
// the questions a user may switch off.
#pragma once

#include <windows.h>

#include <string>

namespace viewer {

struct CheckedAnswer {
  int button = 0;  // IDOK, IDCANCEL, ... (0 when the box could not be shown)
  bool checked = false;
};

// Question icon, top-most and task-modal; `buttons` as for MessageBox (MB_OKCANCEL).
CheckedAnswer CheckedMessageBox(HWND owner, const std::wstring& caption, std::wstring text,
                                UINT buttons);

// The label of the check box.
inline constexpr wchar_t kDoNotShowAgain[] = L"Do not show this dialog again";

}  // namespace viewer
