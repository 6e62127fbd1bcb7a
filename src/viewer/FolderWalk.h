// The folder list's two portable halves: collecting the files of a folder, and the
// walk of "OpenNext" / "OpenPrev" over the list, which drops the files that cannot be
// shown as it meets them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "viewer/PathList.h"

namespace viewer {

// Sub-folders are entered to this depth at most; links to folders are not entered,
// so a junction that points at its parent cannot loop.
constexpr int kMaxFolderDepth = 64;

// Every file of `folder` (a path without its trailing separator) and, with recurse,
// of its sub-folders depth first where they are met, as full paths in the program's
// 8-bit encoding passed through `lower`. `onFile` receives each path and returns
// whether to go on. Returns false when it was stopped.
bool CollectFolder(const std::string& folder, bool recurse,
                   const std::function<std::string(std::string)>& lower,
                   const std::function<bool(const std::string&)>& onFile);

// The folder a path is in: the text before its last separator ("" without one).
std::string FolderOf(std::string_view path);

// The next (or previous) entry of the folder list to load after `shown`. At the end
// (start) of the list `wrap` decides whether to go on from the other end. Entries
// that `canLoad` refuses leave the list. Nothing when there is nothing else to show.
// With fromCurrent the current entry is the first candidate: after a failed file was
// removed, the one that followed it stands there and must not be stepped over.
std::optional<std::string> WalkFolder(PathList& folder, bool forward, std::string_view shown,
                                      const std::function<bool()>& wrap,
                                      const std::function<bool(const std::string&)>& canLoad,
                                      bool fromCurrent = false);

}  // namespace viewer
