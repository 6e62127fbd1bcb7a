// JPEG 2000 pictures and animated cursors open in the standalone viewer through the
// Windows build of the raster plug-in.
#include <windows.h>

#include <gtest/gtest.h>

#include "win/HostKit.h"

using namespace wintest;

namespace {

class Jp2AniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
    ResetProfile();
    WriteIni("AutoLoadLastImage=#0\r\n");
  }
  StandaloneViewer viewer_;
};

TEST_F(Jp2AniTest, AJpeg2000PictureOpensWithItsSize) {
  // Made with opj_compress: 40 x 30, RGB, lossless.
  HWND viewer = viewer_.Open(TestData(L"vexlo/rgb-40x30.jp2"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 0), L"rgb-40x30.jp2");
  EXPECT_EQ(StatusText(viewer, 1), L"40 x 30 24 BPP");
  EXPECT_EQ(StatusText(viewer, 2), L"1/1 Page(s)");
  EXPECT_TRUE(viewer_.Close());
}

TEST_F(Jp2AniTest, AnAnimatedCursorOpensWithEveryStep) {
  // Two 16 x 16 cursor frames shown in three steps (blue, green, blue).
  HWND viewer = viewer_.Open(TestData(L"vexlo/three-steps.ani"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 1).rfind(L"16 x 16 ", 0), 0u) << StatusText(viewer, 1);
  std::wstring pages = StatusText(viewer, 2);
  EXPECT_NE(pages.find(L"3 Page(s)"), std::wstring::npos) << pages;
  EXPECT_TRUE(viewer_.Close());
}

TEST_F(Jp2AniTest, AnAnimatedCursorOfRawBitmapsOpensWithEveryStep) {
  // Three 8 x 6 frames without AF_ICON: a bare bitmap, one with an AND mask below its
  // rows, and a whole BMP file.
  HWND viewer = viewer_.Open(TestData(L"vexlo/raw-bitmaps.ani"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"8 x 6 ", 0) == 0; }))
      << testing::PrintToString(StatusText(viewer, 1));
  std::wstring pages = StatusText(viewer, 2);
  EXPECT_NE(pages.find(L"3 Page(s)"), std::wstring::npos) << testing::PrintToString(pages);
  EXPECT_TRUE(viewer_.Close());
}

}  // namespace
