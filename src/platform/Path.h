// Splitting and joining paths by the C runtime's _splitpath/_makepath rules, which
// the filter manager and the save workflow rely on. Both separators are accepted on
// every platform.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct PathParts {
  std::string drive;      // "C:" or empty
  std::string directory;  // up to and including the last separator
  std::string name;       // the file name without its extension
  std::string extension;  // from the last dot of the file name on, dot included
};

PathParts SplitPath(std::string_view path);

// The reverse of SplitPath: drive is its first letter and a colon, a separator is
// added after a directory that lacks one, a dot before an extension that lacks one.
std::string MakePath(std::string_view drive, std::string_view directory, std::string_view name,
                     std::string_view extension);
inline std::string MakePath(const PathParts& parts) {
  return MakePath(parts.drive, parts.directory, parts.name, parts.extension);
}

}  // namespace platform
