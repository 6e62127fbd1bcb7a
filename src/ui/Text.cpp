#include "ui/Text.h"

#include "platform/Text.h"

namespace ui {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return Wide(platform::Utf16FromUtf8(text)); }
std::wstring WideFromNarrow(std::string_view text) { return Wide(platform::Utf16FromNarrow(text)); }
std::string NarrowFromWide(std::wstring_view text) { return platform::NarrowFromUtf16(U16(text)); }
std::string Utf8FromWide(std::wstring_view text) { return platform::Utf8FromUtf16(U16(text)); }

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(size_t(length) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace ui
