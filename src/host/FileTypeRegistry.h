// Orbisk.exe as the opener of file types for the current user, under
// HKEY_CURRENT_USER\Software\Classes: each extension's default value names the
// program identifier "Orbisk.<ext>", which carries the description, the icon and the
// open command. What the extension held before is kept in the profile
// ("Software\Quintel\FileTypes") and put back by Restore.
#pragma once

#include <windows.h>

#include <string>

#include "host/FileTypes.h"

namespace host {

class FileTypeRegistry {
 public:
  // `exePath` opens the files; `icon` is the shell's "path,index" of their icon.
  FileTypeRegistry(std::string exePath, std::string icon);

  // Whether the extension opens with us now.
  bool IsOurs(std::string_view extension) const;
  // Makes the extension open with us; false when the registry refused.
  bool Associate(const FileType& type);
  // Puts back what the extension held before we took it, when it still points to
  // us; removes our program identifier either way.
  void Restore(std::string_view extension);
  // Tells the shell that associations changed.
  static void NotifyShell();

 private:
  std::string exePath_, icon_;
};

}  // namespace host
