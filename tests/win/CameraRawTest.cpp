// Camera RAW in the standalone viewer: a DNG (a colour filter array with camera data)
// opens through the Windows build of the plug-in, with its size in the status bar and
// the camera in the information panel.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "win/HostKit.h"

using namespace wintest;

namespace {

class CameraRawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
    ResetProfile();
    WriteIni("ShowInfo=#1\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n");
  }
  void TearDown() override { EXPECT_TRUE(viewer_.Close()); }

  StandaloneViewer viewer_;
};

bool HasRow(const std::vector<std::wstring>& rows, const std::wstring& row) {
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

}  // namespace

TEST_F(CameraRawTest, ADngOpensWithItsSizeAndCamera) {
  HWND viewer = viewer_.Open(TestData(L"vexlo/camera.dng"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"40 x 30 ");
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Maker\tOrbisk"); }));
  std::vector<std::wstring> rows = InfoRows(viewer);
  EXPECT_TRUE(HasRow(rows, L"Model\tSeed"));
  EXPECT_TRUE(HasRow(rows, L"Dimension\t40 x 30 pixels"));
  EXPECT_TRUE(HasRow(rows, L"Version\tDNG 1.4.0.0"));
}
