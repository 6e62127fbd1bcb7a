// What the settings store and the diagnostics log need from the operating system.
// HostWin32.cpp implements it with the shell, the registry and the memory status;
// HostPosix.cpp with the XDG folders and the kernel's memory figures.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "host/ProfileStore.h"

namespace host {

// Windows: "Orbisk\Orbisk.ini" in the common documents folder (the folder is
// created), or beside the library when the shell has no such folder.
// Elsewhere: "orbisk/Orbisk.ini" in $XDG_CONFIG_HOME or ~/.config (created).
std::string DefaultIniPath();

// The current user's profile values: the registry under "Software\Quintel",
// section "Settings", on Windows; "Profile.ini" beside the default settings file
// elsewhere.
std::unique_ptr<ProfileStore> OpenUserProfile();

// Where the diagnostics log goes when no folder is given: "c:" on Windows, the
// temporary folder elsewhere.
std::string DefaultLogFolder();

// The separator the program puts between a folder and a name.
char PathSeparator();

// Thread-safe local time.
bool LocalTime(std::time_t time, std::tm& out);

// Figures in bytes, as the memory status of the operating system gives them.
struct MemoryStatus {
  uint32_t loadPercent = 0;
  uint64_t totalPhysical = 0;
  uint64_t availablePhysical = 0;
  uint64_t totalPaging = 0;
  uint64_t availablePaging = 0;
  uint64_t totalVirtual = 0;
  uint64_t availableVirtual = 0;
};
bool QueryMemoryStatus(MemoryStatus& status);

// A wide string (UTF-16 on Windows, UTF-32 elsewhere) in the program's 8-bit encoding.
std::string NarrowFromWide(const wchar_t* text, size_t length);

}  // namespace host
