// Building the folder list of a folder of 100 000 files (collecting the lower-cased
// paths and sorting them, as the viewer does after showing a picture) against a bare
// readdir walk of the same folder, in the same run. Prints the `bench` line of
// `make bench` and exits 1 when the ratio is over its target.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "viewer/FolderWalk.h"
#include "viewer/PathList.h"

namespace {

constexpr int kFiles = 100000;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

}  // namespace

int main() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "orbisk-folder-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string folder = dir.string();
  // Names in a shuffled order, so that the sort has work to do.
  for (int i = 0; i < kFiles; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/IMG_%06d.JPG", (i * 7919) % kFiles);
    int fd = ::open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0) ::close(fd);
  }
  std::string keep = Lower(folder + "/IMG_050000.JPG");
  size_t sink = 0;
  auto ours = [&] {
    std::vector<std::string> files;
    viewer::CollectFolder(folder, false, &Lower, [&](const std::string& path) {
      files.push_back(path);
      return true;
    });
    viewer::PathList list;
    list.Assign(std::move(files));
    list.Sort(viewer::PathList::Order::kNone, keep);  // "SortFileType" 0, the default
    sink += list.Count() + list.CurrentIndex();
  };
  auto anchor = [&] {
    std::vector<std::string> names;
    DIR* walk = opendir(folder.c_str());
    while (dirent* entry = readdir(walk)) names.emplace_back(entry->d_name);
    closedir(walk);
    sink += names.size();
  };
  bool ok = bench::Compare("folder_list_100k_vs_readdir", ours, anchor, 1.5);
  std::filesystem::remove_all(dir);
  return ok && sink > 0 ? 0 : 1;
}
