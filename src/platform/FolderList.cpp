#include "platform/FolderList.h"

#include <memory>
#include <new>

#include "platform/Text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace platform {

#if defined(_WIN32)

bool ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  try {
    std::u16string pattern(folder);
    if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u'*';
    WIN32_FIND_DATAW data;
    HANDLE find =
        FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.c_str()), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    std::unique_ptr<void, decltype(&FindClose)> closer(find, &FindClose);
    do {
      std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
      if (name == u"." || name == u"..") continue;
      FolderEntry entry;
      entry.name = std::move(name);
      entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entry.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      entries.push_back(std::move(entry));
    } while (FindNextFileW(find, &data));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ListFolderNarrow(const std::string& folder,
                      const std::function<bool(std::string_view, bool, bool)>& visit) {
  std::u16string pattern = Utf16FromNarrow(folder);
  if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.c_str()), FindExInfoBasic,
                                 &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  std::unique_ptr<void, decltype(&FindClose)> closer(find, &FindClose);
  do {
    std::u16string_view wide(reinterpret_cast<const char16_t*>(data.cFileName));
    if (wide == u"." || wide == u"..") continue;
    std::string name = NarrowFromUtf16(wide);
    if (!visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
               (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
      break;
  } while (FindNextFileW(find, &data));
  return true;
}

#else

namespace {
struct FolderCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
}  // namespace

bool ListFolder(std::u16string_view folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  try {
    std::string path = folder.empty() ? std::string(1, '.') : Utf8FromUtf16(folder);
    std::unique_ptr<DIR, FolderCloser> dir(opendir(path.c_str()));
    if (!dir) return false;
    if (path.back() != '/') path += '/';
    while (dirent* found = readdir(dir.get())) {
      std::string name = found->d_name;
      if (name == "." || name == "..") continue;
      std::string full = path + name;
      struct stat info;
      if (lstat(full.c_str(), &info) != 0) continue;  // gone meanwhile
      FolderEntry entry;
      entry.isLink = S_ISLNK(info.st_mode);
      if (entry.isLink && stat(full.c_str(), &info) != 0) continue;    // dangling link
      if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) continue;  // devices, pipes
      entry.isFolder = S_ISDIR(info.st_mode);
      entry.size = entry.isFolder ? 0 : uint64_t(info.st_size);
      entry.name = Utf16FromUtf8(name);
      entries.push_back(std::move(entry));
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ListFolderNarrow(const std::string& folder,
                      const std::function<bool(std::string_view, bool, bool)>& visit) {
  std::string path = folder.empty() ? std::string(1, '.') : folder;
  std::unique_ptr<DIR, FolderCloser> dir(opendir(path.c_str()));
  if (!dir) return false;
  if (path.back() != '/') path += '/';
  while (dirent* found = readdir(dir.get())) {
    std::string_view name = found->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = found->d_type == DT_DIR, isLink = false;
    if (found->d_type != DT_REG && found->d_type != DT_DIR) {
      // The listing does not say: ask, and follow a link to what it points at.
      std::string full = path + std::string(name);
      struct stat info;
      if (lstat(full.c_str(), &info) != 0) continue;
      isLink = S_ISLNK(info.st_mode);
      if (isLink && stat(full.c_str(), &info) != 0) continue;
      if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) continue;
      isFolder = S_ISDIR(info.st_mode);
    }
    if (!visit(name, isFolder, isLink)) break;
  }
  return true;
}

#endif

}  // namespace platform
