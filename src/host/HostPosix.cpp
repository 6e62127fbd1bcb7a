#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "host/HostPlatform.h"
#include "host/IniFile.h"
#include "host/Settings.h"
#include "platform/Text.h"

namespace host {
namespace {

// $XDG_CONFIG_HOME/orbisk/ (only an absolute one counts), else ~/.config/orbisk/,
// else the library's folder.
std::string SettingsFolder() {
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config && config[0] == '/') {
    base = config;
  } else if (home && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return ResolveIniPath("", false);
  }
  std::string folder = base + "/orbisk";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder + "/";
}

// "Name:   123 kB" lines of a /proc file, in bytes; 0 when missing.
uint64_t ProcField(const std::string& text, std::string_view name) {
  size_t at = 0;
  while ((at = text.find(name, at)) != std::string::npos) {
    bool lineStart = at == 0 || text[at - 1] == '\n';
    at += name.size();
    if (lineStart && at < text.size() && text[at] == ':') {
      return std::strtoull(text.c_str() + at + 1, nullptr, 10) * 1024;
    }
  }
  return 0;
}

std::string ReadSmallFile(const char* path) {
  std::ifstream in(path);
  std::string text(64 * 1024, '\0');
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  return text;
}

}  // namespace

std::string DefaultIniPath() { return SettingsFolder() + std::string(kIniFileName); }

std::unique_ptr<ProfileStore> OpenUserProfile() {
  return std::make_unique<IniProfileStore>(SettingsFolder() + "Profile.ini");
}

std::string DefaultLogFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::temp_directory_path(ec).string();
  return ec || folder.empty() ? "/tmp" : folder;
}

char PathSeparator() { return '/'; }

bool LocalTime(std::time_t time, std::tm& out) { return localtime_r(&time, &out) != nullptr; }

bool QueryMemoryStatus(MemoryStatus& status) {
  std::string memInfo = ReadSmallFile("/proc/meminfo");
  status.totalPhysical = ProcField(memInfo, "MemTotal");
  if (status.totalPhysical == 0) return false;
  status.availablePhysical = ProcField(memInfo, "MemAvailable");
  status.loadPercent =
      uint32_t((status.totalPhysical - std::min(status.availablePhysical, status.totalPhysical)) *
               100 / status.totalPhysical);
  status.totalPaging = ProcField(memInfo, "SwapTotal");
  status.availablePaging = ProcField(memInfo, "SwapFree");

  // The address space: the process limit when one is set, else what the
  // architecture gives a user process.
  rlimit limit{};
  bool limited = getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY;
  status.totalVirtual = limited ? uint64_t(limit.rlim_cur)
                                : (sizeof(void*) == 8 ? uint64_t(1) << 47 : uint64_t(3) << 30);
  uint64_t used = ProcField(ReadSmallFile("/proc/self/status"), "VmSize");
  status.availableVirtual = status.totalVirtual - std::min(used, status.totalVirtual);
  return true;
}

std::string NarrowFromWide(const wchar_t* text, size_t length) {
  // wchar_t holds code points here; UTF-16 is what the text conversions take.
  std::u16string utf16;
  utf16.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = uint32_t(text[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      utf16 += char16_t(0xD800 + (c >> 10));
      utf16 += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      utf16 += char16_t(c);
    }
  }
  return platform::NarrowFromUtf16(utf16);
}

}  // namespace host
