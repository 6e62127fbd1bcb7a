// Conversions between UTF-16 text (Windows file names, wide entry points) and the
// 8-bit encoding the program stores: the ANSI code page on Windows, UTF-8 elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Characters that cannot be represented become '?' (Windows) or U+FFFD (UTF-8).
std::string NarrowFromUtf16(std::u16string_view text);
std::u16string Utf16FromNarrow(std::string_view text);

// Strict UTF-8 <-> UTF-16, the same on every platform; ill-formed input becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);
std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace platform
