#include "viewer/FolderWalk.h"

#include <utility>
#include <vector>

#include "platform/FolderList.h"

namespace viewer {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool Collect(const std::string& folder, bool recurse, int depth,
             const std::function<std::string(std::string)>& lower,
             const std::function<bool(const std::string&)>& onFile) {
  bool goOn = true;
  std::string prefix = folder + kSeparator;
  platform::ListFolderNarrow(folder, [&](std::string_view name, bool isFolder, bool isLink) {
    std::string path = prefix;
    path += name;
    if (!isFolder) {
      goOn = onFile(lower(std::move(path)));
    } else if (recurse && !isLink && depth < kMaxFolderDepth) {
      // Depth first, where the folder is met.
      goOn = Collect(path, recurse, depth + 1, lower, onFile);
    }
    return goOn;
  });
  return goOn;
}

}  // namespace

bool CollectFolder(const std::string& folder, bool recurse,
                   const std::function<std::string(std::string)>& lower,
                   const std::function<bool(const std::string&)>& onFile) {
  return Collect(folder, recurse, 0, lower, onFile);
}

std::string FolderOf(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

std::optional<std::string> WalkFolder(PathList& folder, bool forward, std::string_view shown,
                                      const std::function<bool()>& wrap,
                                      const std::function<bool(const std::string&)>& canLoad,
                                      bool fromCurrent) {
  if (folder.Count() < 2) return std::nullopt;
  while (!folder.Empty()) {
    if (std::exchange(fromCurrent, false)) {
      // The candidate is already current.
    } else if (forward ? !folder.HasNext() : !folder.HasPrev()) {
      if (!wrap()) return std::nullopt;
      forward ? folder.First() : folder.Last();
    } else {
      forward ? folder.Next() : folder.Prev();
    }
    for (std::optional<std::string> candidate = folder.Current(); candidate && *candidate != shown;
         candidate = folder.Current()) {
      if (canLoad(*candidate)) return candidate;
      folder.RemoveCurrent();
    }
    if (folder.Count() == 1) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace viewer
