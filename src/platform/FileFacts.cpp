#include "platform/FileFacts.h"

#include <ctime>

#include "platform/Text.h"

#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <sys/stat.h>
#endif

namespace platform {

#if defined(_WIN32)

namespace {

int64_t UnixSeconds(const FILETIME& time) {
  uint64_t ticks = (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return int64_t(ticks / 10000000) - 11644473600LL;
}

}  // namespace

std::optional<FileFacts> QueryFileFacts(std::u16string_view path, bool wantIcon) {
  std::wstring wide(path.begin(), path.end());
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FileFacts facts;
  facts.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.modified = UnixSeconds(data.ftLastWriteTime);
  SHFILEINFOW shell = {};
  UINT flags = SHGFI_TYPENAME | (wantIcon ? SHGFI_ICON | SHGFI_SMALLICON : 0);
  if (SHGetFileInfoW(wide.c_str(), 0, &shell, sizeof shell, flags)) {
    std::u16string type(reinterpret_cast<const char16_t*>(shell.szTypeName));
    facts.typeName = Utf8FromUtf16(type);
    facts.icon = shell.hIcon;
  }
  return facts;
}

void ReleaseIcon(void* icon) {
  if (icon) DestroyIcon(static_cast<HICON>(icon));
}

std::string NarrowFromUtf8(std::string_view text) { return NarrowFromUtf16(Utf16FromUtf8(text)); }

#else

std::optional<FileFacts> QueryFileFacts(std::u16string_view path, bool) {
  std::string name = Utf8FromUtf16(path);
  struct stat status;
  if (stat(name.c_str(), &status) != 0) return std::nullopt;
  FileFacts facts;
  facts.folder = S_ISDIR(status.st_mode);
  facts.size = facts.folder ? 0 : uint64_t(status.st_size);
  facts.modified = int64_t(status.st_mtime);
  if (facts.folder) {
    facts.typeName = "File folder";
  } else {
    // As the shell names files it has no program for: "PNG File", or "File".
    size_t slash = name.find_last_of('/');
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) &&
        dot + 1 < name.size()) {
      for (char c : name.substr(dot + 1))
        facts.typeName += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
      facts.typeName += ' ';
    }
    facts.typeName += "File";
  }
  return facts;
}

void ReleaseIcon(void*) {}

std::string NarrowFromUtf8(std::string_view text) { return std::string(text); }

#endif

std::string FormatTime(int64_t secondsSince1970, const char* pattern, bool utc) {
  std::time_t time = std::time_t(secondsSince1970);
  std::tm parts = {};
#if defined(_WIN32)
  if ((utc ? gmtime_s(&parts, &time) : localtime_s(&parts, &time)) != 0) return {};
#else
  if (!(utc ? gmtime_r(&time, &parts) : localtime_r(&time, &parts))) return {};
#endif
  char buffer[256];
  size_t length = std::strftime(buffer, sizeof buffer, pattern, &parts);
  return std::string(buffer, length);
}

}  // namespace platform
