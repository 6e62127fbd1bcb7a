// Pictures of the modern and the camera formats open in the standalone viewer
// through the Windows build of the raster plug-in, with their size and pages in the
// status bar; a camera file names its camera in the information panel, and the file
// manager's thumbnail of a JPEG XL file fits its box.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "win/HostKit.h"

using namespace wintest;

namespace {

class FormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart("ShowInfo=#1\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"))
        << "Orbisk library missing beside the test";
  }
  StandaloneViewer viewer_;
};

struct Picture {
  const wchar_t* file;   // in the test data's vexlo folder
  const wchar_t* size;   // how the size pane starts
  const wchar_t* pages;  // how the page pane ends: an animation may be playing
};

constexpr Picture kPictures[] = {
    // heif-enc of a 70 x 20 gradient and a 30 x 40 one: the primary image first.
    {L"two-images.heic", L"70 x 20 ", L"1/2 Page(s)"},
    // avifenc of the 70 x 20 gradient, and of three of them at 5 frames a second.
    {L"gradient.avif", L"70 x 20 ", L"1/1 Page(s)"},
    {L"three-frames.avif", L"70 x 20 ", L"1/3 Page(s)"},
    // The HEVC pictures of two 64 x 64 heif-enc stills as the samples of one track.
    {L"two-frames-hevc.heic", L"64 x 64 ", L"1/2 Page(s)"},
    // opj_compress: 40 x 30, RGB, lossless.
    {L"rgb-40x30.jp2", L"40 x 30 24 BPP", L"1/1 Page(s)"},
    // Two 16 x 16 cursor frames shown in three steps (blue, green, blue).
    {L"three-steps.ani", L"16 x 16 ", L"3 Page(s)"},
    // Three 8 x 6 frames without AF_ICON: a bare bitmap, one with an AND mask below its
    // rows, and a whole BMP file.
    {L"raw-bitmaps.ani", L"8 x 6 ", L"3 Page(s)"},
    // A DNG: a colour filter array with camera data.
    {L"camera.dng", L"40 x 30 ", L"1/1 Page(s)"},
#if defined(ORBISK_TEST_JXL)
    // cjxl: three lossless frames, and a lossy picture with alpha (the SIMD code of
    // the lossy decoder).
    {L"animation.jxl", L"24 x 16 ", L"/3 Page(s)"},
    {L"lossy-alpha.jxl", L"40 x 30 ", L"1/1 Page(s)"},
#endif
};

bool HasRow(const std::vector<std::wstring>& rows, const std::wstring& row) {
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

}  // namespace

TEST_F(FormatsTest, EachPictureOpensWithItsSizeAndPages) {
  for (const Picture& picture : kPictures) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(picture.file)));
    HWND viewer = viewer_.Open(TestData((std::wstring(L"vexlo/") + picture.file).c_str()));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer_.Status(0), picture.file);
    EXPECT_TRUE(StatusStarts(viewer, picture.size)) << testing::PrintToString(viewer_.Status(1));
    const std::wstring pages = viewer_.Status(2), end = picture.pages;
    EXPECT_TRUE(pages.size() >= end.size() &&
                pages.compare(pages.size() - end.size(), end.size(), end) == 0)
        << testing::PrintToString(pages);
    EXPECT_TRUE(viewer_.Close());
  }
}

TEST_F(FormatsTest, ADngNamesItsCamera) {
  HWND viewer = viewer_.Open(TestData(L"vexlo/camera.dng"));
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Maker\tOrbisk"); }));
  std::vector<std::wstring> rows = InfoRows(viewer);
  EXPECT_TRUE(HasRow(rows, L"Model\tSeed"));
  EXPECT_TRUE(HasRow(rows, L"Dimension\t40 x 30 pixels"));
  EXPECT_TRUE(HasRow(rows, L"Version\tDNG 1.4.0.0"));
  EXPECT_TRUE(viewer_.Close());
}

#if defined(ORBISK_TEST_JXL)
// Through the plug-in's thumbnail entry: the 40 x 30 picture fitted into 20 x 20.
TEST_F(FormatsTest, AJpegXlThumbnailFitsTheBox) {
  ASSERT_TRUE(Lister().previewW);
  std::wstring path = TestData(L"vexlo/lossy-alpha.jxl");
  HBITMAP thumbnail = Lister().previewW(path.data(), 20, 20, nullptr, 0);
  ASSERT_NE(thumbnail, nullptr);
  BitmapPixels small = ReadBitmap(thumbnail);
  EXPECT_EQ(small.width, 20);
  EXPECT_EQ(small.height, 15);
  DeleteObject(thumbnail);
}
#endif
