#include "runtime/EnumFiles.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/FolderList.h"
#include "platform/Text.h"

namespace glib {

EnumFiles::EnumFiles(std::u16string_view pathMask, bool recurse) : recurse_(recurse) {
  size_t cut = pathMask.find_last_of(u"\\/");
  std::u16string_view name = pathMask;
  if (cut != std::u16string_view::npos) {
    folder_ = std::u16string(pathMask.substr(0, cut + 1));
    separator_ = pathMask[cut];
    name = pathMask.substr(cut + 1);
  }
  std::string mask = platform::Utf8FromUtf16(name);
  if (mask.empty() || mask == "*.*") mask.assign(1, '*');
  nameMask_.SetMask(mask.data(), uint32_t(mask.size()));
}

EnumFiles::EnumFiles(std::string_view pathMask, bool recurse)
    : EnumFiles(platform::Utf16FromNarrow(pathMask), recurse) {}

bool EnumFiles::Execute() {
  bool readable = true;
  try {
    return WalkFolder(folder_, 0, readable) == Walk::kGoOn && readable;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// `folder` is empty (the current folder) or ends with a separator.
EnumFiles::Walk EnumFiles::WalkFolder(const std::u16string& folder, int depth, bool& readable) {
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(folder, entries)) {
    if (depth == 0) readable = false;
    return Walk::kGoOn;  // an unreadable subfolder does not end the walk
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& entry : entries) {
    if (entry.isFolder || !nameMask_.MatchName(platform::Utf8FromUtf16(entry.name))) continue;
    FoundFile file;
    file.widePath = folder + entry.name;
    file.path = platform::NarrowFromUtf16(file.widePath);
    file.size = entry.size;
    if (!OnFile(file)) return Walk::kStopped;
  }
  if (!recurse_ || depth + 1 >= kMaxDepth) return Walk::kGoOn;
  for (const auto& entry : entries) {
    if (!entry.isFolder || entry.isLink) continue;
    if (WalkFolder(folder + entry.name + separator_, depth + 1, readable) == Walk::kStopped) {
      return Walk::kStopped;
    }
  }
  return Walk::kGoOn;
}

}  // namespace glib
