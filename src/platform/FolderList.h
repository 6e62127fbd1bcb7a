// Listing one folder: FindFirstFile on Windows, a directory stream elsewhere.
// Names are UTF-16 on every platform (natively converted from UTF-8).
#pragma once

#include <cstdint>
#include <functional>
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

// The same walk in the program's 8-bit encoding (the ANSI code page on Windows,
// UTF-8 elsewhere), each entry handed to `visit` as it is read (name, folder, link);
// `visit` returns whether to go on. No sizes. False when the folder cannot be read.
bool ListFolderNarrow(
    const std::string& folder,
    const std::function<bool(std::string_view name, bool isFolder, bool isLink)>& visit);

}  // namespace platform
