// The shown picture on the desktop: the bitmap written to the Windows folder and the
// desktop settings each wallpaper command leaves.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";

std::wstring DesktopValue(const wchar_t* name) { return RegistryString(kDesktop, name); }

std::wstring WallpaperFile() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring folder = windows;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + L"Wallpaper\\Orbisk_wallpaper.bmp";
}

// Width and height from a BMP's header; zero when it is not one.
std::pair<int32_t, int32_t> BitmapSize(const std::string& bytes) {
  if (bytes.size() < 26 || bytes.compare(0, 2, "BM") != 0) return {0, 0};
  int32_t width = 0, height = 0;
  std::memcpy(&width, bytes.data() + 18, 4);
  std::memcpy(&height, bytes.data() + 22, 4);
  return {width, height};
}

class WallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart()) << "Orbisk library missing beside the test";
    picture_ = folder_.File(L"wide.bmp");
    WriteBmp(picture_, 100, 50, 0xFF0000, 0x0000FF);
    DeleteFileW(WallpaperFile().c_str());
    ASSERT_TRUE(viewer_.Open(picture_));
  }
  void TearDown() override {
    Command(host::kCmdWallpaperRestore);
    EXPECT_TRUE(viewer_.Close());
  }
  void Command(UINT command) { viewer_.Command(command); }

  TempFolder folder_;
  std::wstring picture_;
  StandaloneViewer viewer_;
};

TEST_F(WallpaperTest, EachModeWritesTheBitmapAndItsStyle) {
  const struct {
    UINT command;
    const wchar_t* style;
    const wchar_t* tile;
  } modes[] = {{host::kCmdWallpaperCentered, L"0", L"0"},
               {host::kCmdWallpaperTiled, L"0", L"1"},
               {host::kCmdWallpaperStretched, L"2", L"0"}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.command);
    DeleteFileW(WallpaperFile().c_str());
    Command(mode.command);
    EXPECT_EQ(BitmapSize(FileBytes(WallpaperFile())), std::make_pair(100, 50));
    EXPECT_EQ(DesktopValue(L"Wallpaper"), WallpaperFile());
    EXPECT_EQ(DesktopValue(L"WallpaperStyle"), mode.style);
    EXPECT_EQ(DesktopValue(L"TileWallpaper"), mode.tile);
  }
  // Clear Desktop: no wallpaper, and no file written.
  DeleteFileW(WallpaperFile().c_str());
  Command(host::kCmdWallpaperRestore);
  EXPECT_EQ(DesktopValue(L"Wallpaper"), L"");
  EXPECT_EQ(GetFileAttributesW(WallpaperFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WallpaperTest, FitOnDesktopStretchesACopyToTheScreen) {
  Command(host::kCmdWallpaperFitOnDesktop);
  auto [width, height] = BitmapSize(FileBytes(WallpaperFile()));
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN),
            screenHeight = GetSystemMetrics(SM_CYSCREEN);
  // The screen's size in one direction, proportions kept in the other.
  EXPECT_TRUE(width == screenWidth || height == screenHeight) << width << " x " << height;
  EXPECT_LE(width, screenWidth);
  EXPECT_LE(height, screenHeight);
  EXPECT_NEAR(double(width) / height, 2.0, 0.05);
  EXPECT_EQ(DesktopValue(L"WallpaperStyle"), L"0");
  EXPECT_EQ(DesktopValue(L"TileWallpaper"), L"0");
  // The document shown is as it was: its size, and nothing to save.
  EXPECT_EQ(viewer_.Status(1).substr(0, 9), L"100 x 50 ");
  EXPECT_TRUE(viewer_.Greyed(host::kCmdSaveImage));
}

}  // namespace
