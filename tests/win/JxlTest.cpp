// JPEG XL under Wine: a file made by cjxl (the test data's animation, three frames of
// 24 x 16) opens in the standalone viewer through the Windows build of vexlo, with
// its size and its pages in the status bar.
#include <gtest/gtest.h>

#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr char kViewWithStatus[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";

TEST(JxlViewerTest, AnAnimationOpensWithItsSizeAndPages) {
  ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
  ResetProfile();
  WriteIni(kViewWithStatus);
  StandaloneViewer viewer;
  HWND window = viewer.Open(TestData(L"vexlo/animation.jxl"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(window, 1).rfind(L"24 x 16 ", 0) == 0; }))
      << "status: " << testing::PrintToString(StatusText(window, 1));
  // The animation may be playing: the page shown changes, the count does not.
  std::wstring pages = StatusText(window, 2);
  EXPECT_NE(pages.find(L"/3 Page(s)"), std::wstring::npos) << testing::PrintToString(pages);
  EXPECT_TRUE(viewer.Close());
}

}  // namespace
