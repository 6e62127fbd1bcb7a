#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;
using glib::GIFSave;

namespace {

class GifTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

// A picture of few colours, so that a palette keeps it exactly.
Picture Flat(int32_t w, int32_t h, uint32_t seed) {
  Picture p = Pattern(w, h, false, seed);
  for (size_t i = 0; i < p.bgra.size(); i += 4) {
    for (int c = 0; c < 3; ++c) p.bgra[i + c] = uint8_t(p.bgra[i + c] & 0xC0);
  }
  return p;
}

TEST_F(GifTest, AnimationsRoundTripWithDelaysPalettesAndInterlace) {
  std::vector<Picture> frames = {Flat(23, 17, 1), Flat(23, 17, 2), Flat(23, 17, 3)};
  frames[0].delay = 100;
  frames[1].delay = 250;
  frames[2].delay = 40;
  for (uint8_t global : {0, 1}) {
    for (uint8_t interlace : {0, 1}) {
      SCOPED_TRACE(testing::Message()
                   << "global " << int(global) << " interlace " << int(interlace));
      GIFSave params;
      params.createGlobalPalette = global;
      params.interlace = interlace;
      params.dither = 0;
      std::string path = vexlo.Dir().File("anim.gif");
      ASSERT_EQ(vexlo.Save(path, frames, params), glib::RCOK);
      Loaded back = vexlo.Load(path);
      ASSERT_EQ(back.rc, glib::RCOK);
      ASSERT_EQ(back.pages.size(), 3u);
      for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(MaxDifference(back.pages[i], frames[i]), 0) << i;
        EXPECT_EQ(back.pages[i].delay, frames[i].delay);
        EXPECT_EQ(back.pages[i].group, -1);
      }
      auto info = vexlo.Info(path);
      ASSERT_TRUE(info);
      EXPECT_EQ(info->pageCount, 3u);
    }
  }
}

TEST_F(GifTest, TransparencyColourCountAndPageRanges) {
  Picture holes = Flat(10, 10, 5);
  for (size_t i = 0; i < holes.bgra.size(); i += 12) holes.bgra[i + 3] = 0;
  GIFSave params;
  params.colorCount = 8;
  std::string path = vexlo.Dir().File("holes.gif");
  ASSERT_EQ(vexlo.Save(path, {holes, Flat(10, 10, 6), Flat(10, 10, 7)}, params), glib::RCOK);
  Loaded all = vexlo.Load(path);
  ASSERT_EQ(all.rc, glib::RCOK);
  const Picture& first = all.pages.at(0);
  for (size_t i = 0; i < first.bgra.size(); i += 4) EXPECT_EQ(first.bgra[i + 3], i % 12 ? 255 : 0);
  glib::ImageLoad range;
  range.firstPage = 1;
  range.pageCount = 1;
  Loaded second = vexlo.Load(path, &range);
  ASSERT_EQ(second.rc, glib::RCOK);
  ASSERT_EQ(second.pages.size(), 1u);
  EXPECT_EQ(MaxDifference(second.pages[0], all.pages[1]), 0);
  range.firstPage = 3;
  EXPECT_EQ(vexlo.Load(path, &range).rc, glib::BADA);
}

TEST_F(GifTest, FramesMatchTheReferencePlayer) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string path = vexlo.Dir().File("ref.gif");
  // Small frames at offsets, with transparency and each disposal method.
  ASSERT_TRUE(
      Convert("-size 40x30 xc:yellow "
              "\\( -size 10x10 xc:red -repage +5+5 \\) "
              "\\( -dispose Background -size 12x8 xc:blue -repage +20+10 \\) "
              "\\( -dispose Previous -size 8x8 xc:none -fill green -draw 'circle 4,4 4,1' -repage "
              "+2+15 \\) "
              "\\( -dispose None -size 6x6 xc:purple -repage +30+2 \\) "
              "-set delay 7 -interlace Line '" +
              path + "'"));
  std::string frames = vexlo.Dir().File("frame-%d.rgba");
  ASSERT_TRUE(Convert("'" + path + "' -coalesce -depth 8 '" + frames + "'"));
  Loaded ours = vexlo.Load(path);
  ASSERT_EQ(ours.rc, glib::RCOK);
  ASSERT_EQ(ours.pages.size(), 5u);
  for (size_t i = 0; i < ours.pages.size(); ++i) {
    std::string rgba = ReadFile(vexlo.Dir().File("frame-" + std::to_string(i) + ".rgba"));
    ASSERT_EQ(rgba.size(), 40u * 30 * 4);
    const Picture& page = ours.pages[i];
    int worst = 0;
    for (size_t p = 0; p < rgba.size(); p += 4) {
      uint8_t alpha = uint8_t(rgba[p + 3]);
      if (alpha == 0) {
        worst = std::max(worst, int(page.bgra[p + 3]));
        continue;
      }
      worst = std::max(worst, std::abs(int(page.bgra[p]) - int(uint8_t(rgba[p + 2]))));
      worst = std::max(worst, std::abs(int(page.bgra[p + 2]) - int(uint8_t(rgba[p]))));
    }
    EXPECT_EQ(worst, 0) << "frame " << i;
    EXPECT_EQ(page.delay, 70u);
  }
}

TEST_F(GifTest, MalformedFilesAnswerWithACode) {
  GIFSave params;
  std::string good = vexlo.SaveBytes({Flat(20, 20, 1)}, params);
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 6), nullptr, glib::kFormatGIF).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 20)).rc, glib::BADI);
  // Image data cut short: the frame shows what arrived.
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, good.size() - 30)).rc, glib::RCOK);
  std::string huge = good;
  huge[6] = huge[7] = huge[8] = huge[9] = '\xFF';
  size_t desc = huge.find(',');
  huge[desc + 5] = huge[desc + 6] = huge[desc + 7] = huge[desc + 8] = '\xFF';
  EXPECT_EQ(vexlo.LoadBytes(huge).rc, glib::OMEM);
}

}  // namespace
