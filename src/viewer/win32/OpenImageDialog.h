// "Open image": the system's open dialog with the formats the plug-ins read, and a
// preview of the selected file under it (a thumbnail, its size and its format).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace viewer {

// The chosen file, or nothing on Cancel. `folder` is where the dialog starts and
// becomes the chosen file's folder.
std::optional<std::wstring> RunOpenImageDialog(HWND owner, std::wstring& folder);

}  // namespace viewer
