// What the file system says about a path: whether it is a folder, its size and time,
// and the shell's type name and small icon for it (Windows; elsewhere a name made
// from the extension and no icon). Also the local-time formatting the information
// panel uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct FileFacts {
  bool folder = false;
  uint64_t size = 0;
  int64_t modified = 0;  // seconds since 1970, UTC
  std::string typeName;  // UTF-8
  void* icon = nullptr;  // an HICON owned by the caller (ReleaseIcon); null elsewhere
};

// Nothing when the path does not exist. The icon is asked for only with wantIcon.
std::optional<FileFacts> QueryFileFacts(std::u16string_view path, bool wantIcon);
void ReleaseIcon(void* icon);

// strftime of a time in local time (UTC when wanted); "" for a time the C library
// cannot convert.
std::string FormatTime(int64_t secondsSince1970, const char* pattern, bool utc = false);

// UTF-8 text in the program's 8-bit encoding (the ANSI code page on Windows, UTF-8
// elsewhere), for files and clipboards that expect it.
std::string NarrowFromUtf8(std::string_view text);

}  // namespace platform
