// Listing one folder: FindFirstFile on Windows, a directory stream elsewhere.
// Names are UTF-16 on every platform (natively converted from UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FolderEntry {
  std::u16string name;
  bool isFolder = false;  // for a link: what it points to
  bool isLink = false;    // symbolic link, junction or other reparse point
  uint64_t size = 0;      // files only
};

// The entries of `folder` other than "." and "..", in the order the system gives
// them; false when the folder cannot be read.
bool ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries);

}  // namespace platform
