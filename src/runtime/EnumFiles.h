// Walks the files that match a path mask ("C:\\Pictures\\*.jpg"), optionally through
// every subfolder, and hands each one to a callback that a subclass overrides.
//
// The folder part ends at the last "\" or "/"; the name part is a RegExp mask
// matched against whole names in either case ("*.*" means every file, as users
// know it from Windows). Links to folders are not followed, and the walk goes at
// most kMaxDepth folders deep, so a folder cycle cannot trap it: every matching file
// is reported exactly once. Within a folder, files come in byte order of their
// UTF-16 names, then the subfolders are walked in the same order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/RegExp.h"

namespace glib {

class EnumFiles {
 public:
  static constexpr int kMaxDepth = 32;

  struct FoundFile {
    std::string path;         // the program's 8-bit encoding (UTF-8 natively)
    std::u16string widePath;  // the same path in UTF-16, for opening it on Windows
    uint64_t size = 0;
  };

  // pathMask in the program's 8-bit encoding, or in UTF-16.
  EnumFiles(std::string_view pathMask, bool recurse);
  EnumFiles(std::u16string_view pathMask, bool recurse);
  virtual ~EnumFiles() = default;
  EnumFiles(const EnumFiles&) = delete;
  EnumFiles& operator=(const EnumFiles&) = delete;

  // Runs the walk; false when the callback stopped it or the starting folder could
  // not be read.
  bool Execute();

 protected:
  // One matching file; return false to stop the walk.
  virtual bool OnFile(const FoundFile& file) = 0;

 private:
  enum class Walk { kGoOn, kStopped };
  Walk WalkFolder(const std::u16string& folder, int depth, bool& readable);

  std::u16string folder_;      // empty, or ending with its separator
  char16_t separator_ = u'/';  // the mask's own, for the paths of subfolders
  RegExp nameMask_;
  bool recurse_;
};

}  // namespace glib
