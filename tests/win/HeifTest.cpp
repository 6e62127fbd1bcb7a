// HEIF/HEIC and AVIF files in the standalone viewer through the Windows build of the
// raster plug-in: the picture's size and the page count in the status bar.
#include <windows.h>

#include <gtest/gtest.h>

#include "win/HostKit.h"

using namespace wintest;

namespace {

class HeifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
    ResetProfile();
    WriteIni("AutoLoadLastImage=#0\r\n");
  }
  void TearDown() override { EXPECT_TRUE(viewer_.Close()); }

  StandaloneViewer viewer_;
};

TEST_F(HeifTest, HeicWithTwoImagesOpensAtItsPrimaryImage) {
  // heif-enc of a 70 x 20 gradient and a 30 x 40 one.
  HWND viewer = viewer_.Open(TestData(L"vexlo/two-images.heic"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 0), L"two-images.heic");
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"70 x 20 ");
  EXPECT_EQ(StatusText(viewer, 2), L"1/2 Page(s)");
}

TEST_F(HeifTest, AvifOpens) {
  // avifenc of the 70 x 20 gradient.
  HWND viewer = viewer_.Open(TestData(L"vexlo/gradient.avif"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 0), L"gradient.avif");
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"70 x 20 ");
  EXPECT_EQ(StatusText(viewer, 2), L"1/1 Page(s)");
}

TEST_F(HeifTest, AvifSequenceOpensWithEveryFrameAsAPage) {
  // avifenc of three 70 x 20 gradients at 5 frames a second.
  HWND viewer = viewer_.Open(TestData(L"vexlo/three-frames.avif"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"70 x 20 ");
  EXPECT_EQ(StatusText(viewer, 2), L"1/3 Page(s)");
}

TEST_F(HeifTest, HeifSequenceOpensWithEveryFrameAsAPage) {
  // The HEVC pictures of two 64 x 64 heif-enc stills as the samples of one track.
  HWND viewer = viewer_.Open(TestData(L"vexlo/two-frames-hevc.heic"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"64 x 64 ");
  EXPECT_EQ(StatusText(viewer, 2), L"1/2 Page(s)");
}

}  // namespace
