#include "platform/Path.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

void ExpectSplit(std::string_view path, const char* drive, const char* directory, const char* name,
                 const char* extension) {
  PathParts parts = SplitPath(path);
  EXPECT_EQ(parts.drive, drive) << path;
  EXPECT_EQ(parts.directory, directory) << path;
  EXPECT_EQ(parts.name, name) << path;
  EXPECT_EQ(parts.extension, extension) << path;
  EXPECT_EQ(MakePath(parts), path) << "round trip";
}

}  // namespace

TEST(Path, SplitsIntoDriveDirectoryNameAndExtension) {
  ExpectSplit("C:\\Images\\photo.jpg", "C:", "\\Images\\", "photo", ".jpg");
  ExpectSplit("d:photo.JPG", "d:", "", "photo", ".JPG");
  ExpectSplit("C:/mixed\\seps/a.b", "C:", "/mixed\\seps/", "a", ".b");
  ExpectSplit("\\\\server\\share\\x.tif", "", "\\\\server\\share\\", "x", ".tif");
  ExpectSplit("", "", "", "", "");
}

TEST(Path, ExtensionStartsAtTheLastDotOfTheFileName) {
  ExpectSplit("archive.tar.gz", "", "", "archive.tar", ".gz");
  ExpectSplit("C:\\dir.d\\README", "C:", "\\dir.d\\", "README", "");
  ExpectSplit("folder/.hidden", "", "folder/", "", ".hidden");
  ExpectSplit("trailing.", "", "", "trailing", ".");
}

TEST(Path, OnlyALetterAndColonMakeADrive) {
  ExpectSplit("1:x", "", "", "1:x", "");
  ExpectSplit("C:", "C:", "", "", "");
  ExpectSplit("ab:c.d", "", "", "ab:c", ".d");
}

TEST(Path, MakePathAddsMissingSeparatorsAndDots) {
  EXPECT_EQ(MakePath("C", "\\dir", "name", "ext"), "C:\\dir\\name.ext");
  EXPECT_EQ(MakePath("C:", "a/b", "name", ".ext"), "C:a/b/name.ext");
  EXPECT_EQ(MakePath("", "", "", ".ext"), ".ext");
  std::string plain = MakePath("", "dir", "n", "");
  EXPECT_TRUE(plain == "dir\\n" || plain == "dir/n") << plain;
}
