#include <shlobj.h>
#include <windows.h>

#include <cstddef>
#include <string_view>

#include "host/Accelerator.h"
#include "host/HostPlatform.h"
#include "host/IniFile.h"
#include "host/RegistryProfileStore.h"
#include "host/Settings.h"
#include "platform/Text.h"

namespace host {

// Accelerator tables go to CreateAcceleratorTable as they are.
static_assert(sizeof(AccelEntry) == sizeof(ACCEL) &&
              offsetof(AccelEntry, fVirt) == offsetof(ACCEL, fVirt) &&
              offsetof(AccelEntry, key) == offsetof(ACCEL, key) &&
              offsetof(AccelEntry, cmd) == offsetof(ACCEL, cmd));
static_assert(kFVirtKey == FVIRTKEY && kFNoInvert == FNOINVERT && kFShift == FSHIFT &&
              kFControl == FCONTROL && kFAlt == FALT);

std::string DefaultIniPath() {
  // The program targets Vista and later, where every user can write the common
  // documents folder; the library's folder is only the fallback.
  char folder[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_CREATE, nullptr,
                                 SHGFP_TYPE_CURRENT, folder))) {
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    path += "Orbisk";
    CreateDirectoryA(path.c_str(), nullptr);  // an existing folder is fine
    return path + "\\" + std::string(kIniFileName);
  }
  return ResolveIniPath(kIniFileName, false);
}

std::unique_ptr<ProfileStore> OpenUserProfile() {
  return std::make_unique<RegistryProfileStore>(HKEY_CURRENT_USER, "Software\\Quintel\\Settings");
}

std::string DefaultLogFolder() { return "c:"; }

char PathSeparator() { return '\\'; }

bool LocalTime(std::time_t time, std::tm& out) { return localtime_s(&out, &time) == 0; }

bool QueryMemoryStatus(MemoryStatus& status) {
  // The extended call: the plain one saturates at 4 GB in a 32-bit process.
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (!GlobalMemoryStatusEx(&memory)) return false;
  status.loadPercent = memory.dwMemoryLoad;
  status.totalPhysical = memory.ullTotalPhys;
  status.availablePhysical = memory.ullAvailPhys;
  status.totalPaging = memory.ullTotalPageFile;
  status.availablePaging = memory.ullAvailPageFile;
  status.totalVirtual = memory.ullTotalVirtual;
  status.availableVirtual = memory.ullAvailVirtual;
  return true;
}

std::string NarrowFromWide(const wchar_t* text, size_t length) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return platform::NarrowFromUtf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

}  // namespace host
