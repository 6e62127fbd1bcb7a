// UTF-16 for the wide Win32 calls: from UTF-8 (the program's own texts) and from the
// 8-bit code page (paths and settings), and back.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ui {

std::wstring WideFromUtf8(std::string_view text);
std::wstring WideFromNarrow(std::string_view text);
std::string NarrowFromWide(std::wstring_view text);
std::string Utf8FromWide(std::wstring_view text);

// The text of a window.
std::wstring WindowText(HWND window);

}  // namespace ui
