#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

class IcoTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

TEST_F(IcoTest, EveryImageIsAPageAndEveryDepthRoundTrips) {
  std::vector<Picture> sizes = {Pattern(16, 16, true, 1), Pattern(32, 32, true, 2),
                                Pattern(48, 20, true, 3)};
  for (uint32_t type :
       {0x83010408u, 0x03010308u, 0x43010110u, 0x02010108u, 0x02010104u, 0x02010101u}) {
    SCOPED_TRACE(testing::Message() << std::hex << type);
    glib::ICOSave params;
    params.pixelType = type;
    std::string path = vexlo.Dir().File("icon.ico");
    ASSERT_EQ(vexlo.Save(path, sizes, params), glib::RCOK);
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    ASSERT_EQ(back.pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(back.pages[i].width, sizes[i].width);
      // The mask keeps every pixel's transparency at the half-way mark.
      for (size_t p = 3; p < sizes[i].bgra.size(); p += 4) {
        uint8_t want = type == 0x83010408u ? sizes[i].bgra[p] : sizes[i].bgra[p] >= 128 ? 255 : 0;
        ASSERT_EQ(back.pages[i].bgra[p], want);
      }
    }
    if (type == 0x83010408u) {
      EXPECT_EQ(MaxDifference(back.pages[1], sizes[1]), 0);
    }
    EXPECT_EQ(vexlo.Info(path)->pageCount, 3u);
  }
  glib::ICOSave params;
  EXPECT_EQ(vexlo.Save(vexlo.Dir().File("big.ico"), {Pattern(300, 10)}, params), glib::BADA);
}

TEST_F(IcoTest, CursorsKeepTheirHotSpot) {
  glib::CURSave params;
  params.pixelType = 0x83010408;
  params.hotSpotX = 5;
  params.hotSpotY = 9;
  std::string path = vexlo.Dir().File("arrow.cur");
  ASSERT_EQ(vexlo.Save(path, {Pattern(32, 32, true)}, params), glib::RCOK);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->format, glib::kFormatCUR);
  EXPECT_EQ(info->hotSpotX, 5);
  EXPECT_EQ(info->hotSpotY, 9);
  EXPECT_EQ(vexlo.Load(path).rc, glib::RCOK);
}

TEST_F(IcoTest, PngImagesAndReferenceFiles) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string path = vexlo.Dir().File("ref.ico");
  // ImageMagick stores the 256-pixel image as PNG.
  ASSERT_TRUE(
      Convert("-size 256x256 plasma:fractal -seed 2 -alpha set -channel A -fx 'j/h' "
              "-define icon:auto-resize=256,32 '" +
              path + "'"));
  Loaded ours = vexlo.Load(path);
  ASSERT_EQ(ours.rc, glib::RCOK);
  ASSERT_EQ(ours.pages.size(), 2u);
  Picture reference;
  ASSERT_TRUE(ReferenceDecode(path, reference));
  EXPECT_LE(MaxDifference(ours.pages[0], reference), 1);
}

TEST_F(IcoTest, MalformedFilesAnswerWithACode) {
  glib::ICOSave params;
  std::string good = vexlo.SaveBytes({Pattern(16, 16)}, params);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 10), nullptr, glib::kFormatICO).rc, glib::BADI);
  std::string beyond = good;
  beyond[18] = '\x7F';  // the image's offset lies past the end
  EXPECT_EQ(vexlo.LoadBytes(beyond).rc, glib::BADI);
  std::string huge = good;
  huge[22 + 4] = huge[22 + 5] = huge[22 + 6] = '\x7F';  // width in the image header
  EXPECT_NE(vexlo.LoadBytes(huge).rc, glib::RCOK);
}

}  // namespace
