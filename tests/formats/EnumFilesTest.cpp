#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/EnumFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

class Collect : public glib::EnumFiles {
 public:
  Collect(const std::string& mask, bool recurse, size_t stopAfter = SIZE_MAX)
      : EnumFiles(mask, recurse), stopAfter_(stopAfter) {}
  std::vector<std::string> names;  // relative to the root, with "/"

  void SetRoot(const fs::path& root) { root_ = root; }

 protected:
  bool OnFile(const FoundFile& file) override {
    fs::path found(file.widePath);
    names.push_back(fs::relative(found, root_).generic_string() + ":" + std::to_string(file.size));
    EXPECT_TRUE(fs::exists(fs::path(file.widePath)));
    return names.size() < stopAfter_;
  }

 private:
  fs::path root_;
  size_t stopAfter_;
};

void Touch(const fs::path& path, size_t size) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

std::vector<std::string> Walk(const TempDir& dir, const std::string& mask, bool recurse,
                              size_t stopAfter = SIZE_MAX, bool* completed = nullptr) {
  Collect walk((dir.Path() / "").string() + mask, recurse, stopAfter);
  walk.SetRoot(dir.Path());
  bool done = walk.Execute();
  if (completed) *completed = done;
  return walk.names;
}

}  // namespace

TEST(EnumFiles, ReportsMatchingFilesOnceInNameOrderAndRecursesOnRequest) {
  TempDir dir;
  Touch(dir.Path() / "b.jpg", 1);
  Touch(dir.Path() / "A.JPG", 2);
  Touch(dir.Path() / "c.png", 3);
  Touch(dir.Path() / "noext", 4);
  Touch(dir.Path() / "sub" / "d.jpg", 5);
  Touch(dir.Path() / "sub" / "deeper" / "e.jpeg", 6);
  fs::create_directories(dir.Path() / "x.jpg");  // a folder is never reported

  EXPECT_EQ(Walk(dir, "*.jpg", false), (std::vector<std::string>{"A.JPG:2", "b.jpg:1"}));
  EXPECT_EQ(Walk(dir, "*.jpg|*.jpeg", true),
            (std::vector<std::string>{"A.JPG:2", "b.jpg:1", "sub/d.jpg:5", "sub/deeper/e.jpeg:6"}));
  EXPECT_EQ(Walk(dir, "*.*", false).size(), 4u);  // "*.*" includes names without a dot
  EXPECT_EQ(Walk(dir, "?.png", false), std::vector<std::string>{"c.png:3"});

  bool completed = true;
  EXPECT_EQ(Walk(dir, "*", true, 2, &completed).size(), 2u);
  EXPECT_FALSE(completed);
  Walk(dir, "*", true, SIZE_MAX, &completed);
  EXPECT_TRUE(completed);
}

TEST(EnumFiles, MissingFolderFailsAndLinksAreNotFollowed) {
  TempDir dir;
  bool completed = true;
  EXPECT_TRUE(Walk(dir, "missing/*", true, SIZE_MAX, &completed).empty());
  EXPECT_FALSE(completed);

  Touch(dir.Path() / "sub" / "f.jpg", 1);
  std::error_code ec;
  fs::create_directory_symlink(dir.Path(), dir.Path() / "sub" / "loop", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(Walk(dir, "*.jpg", true), std::vector<std::string>{"sub/f.jpg:1"});
}
