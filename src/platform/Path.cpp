#include "platform/Path.h"

namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace

PathParts SplitPath(std::string_view path) {
  PathParts parts;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    path.remove_prefix(2);
  }
  auto cut = path.find_last_of("\\/");
  if (cut != std::string_view::npos) {
    parts.directory = path.substr(0, cut + 1);
    path.remove_prefix(cut + 1);
  }
  // A leading dot starts the extension too (".profile" has no name), as in the CRT.
  auto dot = path.rfind('.');
  if (dot != std::string_view::npos) {
    parts.extension = path.substr(dot);
    path = path.substr(0, dot);
  }
  parts.name = path;
  return parts;
}

std::string MakePath(std::string_view drive, std::string_view directory, std::string_view name,
                     std::string_view extension) {
  std::string path;
  path.reserve(drive.size() + directory.size() + name.size() + extension.size() + 3);
  if (!drive.empty()) {
    path += drive[0];
    path += ':';
  }
  if (!directory.empty()) {
    path += directory;
    if (!IsSeparator(directory.back())) {
      // Keep the style the directory already uses.
      auto used = directory.find_first_of("\\/");
      path += used == std::string_view::npos ? kSeparator : directory[used];
    }
  }
  path += name;
  if (!extension.empty()) {
    if (extension[0] != '.') path += '.';
    path += extension;
  }
  return path;
}

}  // namespace platform
