// JPEG XL under Wine: files made by cjxl open in the standalone viewer through the
// Windows build of vexlo, with their size and their pages in the status bar: the test
// data's animation (three lossless frames of 24 x 16) and a lossy 40 x 30 picture with
// alpha (the SIMD code of the lossy decoder), and the thumbnail the file manager asks
// for.
#include <gtest/gtest.h>

#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr char kViewWithStatus[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";

class JxlViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
    ResetProfile();
    WriteIni(kViewWithStatus);
  }
  StandaloneViewer viewer;
};

TEST_F(JxlViewerTest, AnAnimationOpensWithItsSizeAndPages) {
  HWND window = viewer.Open(TestData(L"vexlo/animation.jxl"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(window, 1).rfind(L"24 x 16 ", 0) == 0; }))
      << "status: " << testing::PrintToString(StatusText(window, 1));
  // The animation may be playing: the page shown changes, the count does not.
  std::wstring pages = StatusText(window, 2);
  EXPECT_NE(pages.find(L"/3 Page(s)"), std::wstring::npos) << testing::PrintToString(pages);
  EXPECT_TRUE(viewer.Close());
}

TEST_F(JxlViewerTest, ALossyPictureWithAlphaOpens) {
  HWND window = viewer.Open(TestData(L"vexlo/lossy-alpha.jxl"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(window, 1).rfind(L"40 x 30 ", 0) == 0; }))
      << "status: " << testing::PrintToString(StatusText(window, 1));
  EXPECT_EQ(StatusText(window, 2), L"1/1 Page(s)");
  EXPECT_TRUE(viewer.Close());
}

// The file manager's thumbnail of a JPEG XL file, through the plug-in's thumbnail
// entry: the 40 x 30 picture fitted into 20 x 20.
TEST_F(JxlViewerTest, TheThumbnailFitsTheBox) {
  const ListerEntries& lister = Lister();
  ASSERT_TRUE(lister.previewW);
  std::wstring path = TestData(L"vexlo/lossy-alpha.jxl");
  HBITMAP thumbnail = lister.previewW(path.data(), 20, 20, nullptr, 0);
  ASSERT_NE(thumbnail, nullptr);
  BitmapPixels small = ReadBitmap(thumbnail);
  EXPECT_EQ(small.width, 20);
  EXPECT_EQ(small.height, 15);
  DeleteObject(thumbnail);
}

}  // namespace
