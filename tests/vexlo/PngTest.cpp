#include <gtest/gtest.h>

#include "Harness.h"
#include "IccProfile.h"
#include "formats/Retcode.h"

using namespace vexlo_test;
using glib::PNGSave;

namespace {

class PngTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

TEST_F(PngTest, EveryDepthRoundTrips) {
  Picture source = Pattern(29, 17, true);
  struct Case {
    uint32_t type;
    int tolerance;  // against the source, after greying where the type is grey
    bool grey, alpha;
  };
  const Case cases[] = {
      {0x83010410, 0, false, true},    {0x03010310, 0, false, false},
      {0x83010408, 0, false, true},    {0x03010308, 0, false, false},
      {0x02010108, 40, false, false},  {0x02010104, 255, false, false},
      {0x02010102, 255, false, false}, {0x02010101, 255, false, false},
      {0x81010210, 1, true, true},     {0x81010208, 1, true, true},
      {0x01010110, 1, true, false},    {0x01010108, 1, true, false},
      {0x01010104, 17, true, false},   {0x01010102, 85, true, false},
      {0x01010101, 255, true, false},
  };
  glib::ImageLoad keep16;
  keep16.pageCount = 0xFFFFFFFF;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type);
    PNGSave params;
    params.pixelType = c.type;
    params.useAlphaForIndexed = 0;
    std::string path = vexlo.Dir().File("round.png");
    ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
    Loaded back = vexlo.Load(path, &keep16);
    ASSERT_EQ(back.rc, glib::RCOK);
    Picture got = back.pages.at(0);
    Picture expected = source;
    for (size_t i = 0; i < expected.bgra.size(); i += 4) {
      uint8_t* p = &expected.bgra[i];
      if (c.grey) p[0] = p[1] = p[2] = uint8_t((p[0] * 29 + p[1] * 150 + p[2] * 77 + 128) >> 8);
      if (!c.alpha) p[3] = 255;
    }
    if (c.tolerance < 255) {
      EXPECT_LE(MaxDifference(got, expected), c.tolerance);
    }
    EXPECT_EQ(got.width, 29);
    bool wide = (c.type & 0xFF) == 16;
    EXPECT_EQ(glib::BitsPerSample(got.pixelType) == 16, wide);
  }
}

TEST_F(PngTest, SixteenBitsAreKeptOrReducedAsTheLoadAsks) {
  PNGSave params;
  params.pixelType = 0x03010310;
  std::string path = vexlo.Dir().File("wide.png");
  ASSERT_EQ(vexlo.Save(path, {Pattern(8, 8)}, params), glib::RCOK);
  glib::ImageLoad load;
  EXPECT_EQ(vexlo.Load(path, &load).pages.at(0).pixelType, glib::kPixelRGB48);
  load.reduceTo8Bits = 1;
  EXPECT_EQ(vexlo.Load(path, &load).pages.at(0).pixelType, glib::kPixelRGB24);
}

TEST_F(PngTest, IndexedSavesUseAPaletteSlotForTransparency) {
  Picture source = Pattern(10, 10);
  for (size_t i = 0; i < source.bgra.size(); i += 8) source.bgra[i + 3] = 0;
  PNGSave params;
  params.pixelType = 0x02010108;
  std::string path = vexlo.Dir().File("alpha.png");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  Picture got = vexlo.Load(path).pages.at(0);
  for (size_t i = 0; i < got.bgra.size(); i += 4) EXPECT_EQ(got.bgra[i + 3], i % 8 ? 255 : 0);
}

TEST_F(PngTest, RealFilesMatchTheReferenceDecoder) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string source = vexlo.Dir().File("source.png");
  ASSERT_TRUE(Convert("-size 45x33 plasma:fractal -seed 3 -alpha set -channel A -fx 'i/w' '" +
                      source + "'"));
  const char* variants[] = {
      "PNG32:%s",
      "-interlace PNG PNG24:%s",
      "-colors 20 PNG8:%s",
      "-colors 3 -type Palette -depth 2 %s",
      "-colorspace Gray -depth 16 %s",
      "-colorspace Gray -depth 1 %s",
      "-colorspace Gray -depth 4 %s",
      "-depth 16 PNG64:%s",
      "-colorspace Gray -alpha on PNG:%s",
  };
  for (const char* variant : variants) {
    SCOPED_TRACE(variant);
    vexlo.ExpectLikeReference(source, variant, vexlo.Dir().File("ref.png"), 1);
  }
}

TEST_F(PngTest, InformationCarriesChunks) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string path = vexlo.Dir().File("chunks.png");
  ASSERT_TRUE(
      Convert("-size 20x10 xc:red -density 300 -units PixelsPerInch -set Title 'A title' "
              "-interlace PNG -define png:include-chunk=gAMA,tIME,tEXt,pHYs '" +
              path + "'"));
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->format, glib::kFormatPNG);
  EXPECT_EQ(info->width, 20);
  EXPECT_EQ(info->interlaced, 1);
  EXPECT_NEAR(info->resolutionX, 300, 1);
  EXPECT_NEAR(info->gamma, 0.45455, 0.001);
  EXPECT_EQ(info->hasLastModified, 1);
  bool title = false;
  for (uint32_t i = 0; i < info->pairCount; ++i) {
    if (std::string(info->pairs[i * 2]) == "Title")
      title = std::string(info->pairs[i * 2 + 1]) == "A title";
  }
  EXPECT_TRUE(title);
}

// An embedded linear-light profile brightens mid-tones when profiles are used, and
// is left alone for RGB pictures when only non-RGB ones are converted.
TEST_F(PngTest, EmbeddedProfilesFollowTheLoadParameters) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string icc =
      RgbProfile({{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, cmsBuildGamma(nullptr, 1.0));
  std::string iccPath = vexlo.Write("linear.icc", icc);
  std::string path = vexlo.Dir().File("profiled.png");
  ASSERT_TRUE(
      Convert("-size 4x4 xc:'rgb(128,128,128)' -profile '" + iccPath + "' PNG24:'" + path + "'"));
  glib::ImageLoad load;
  EXPECT_EQ(vexlo.Load(path, &load).pages.at(0).At(0, 0) & 0xFF, 128u);
  load.colorProfile = 3;
  Loaded kept = vexlo.Load(path, &load);
  EXPECT_EQ(kept.pages.at(0).At(0, 0) & 0xFF, 128u);
  load.colorProfile = 1;
  Loaded converted = vexlo.Load(path, &load);
  EXPECT_NEAR(double(converted.pages.at(0).At(0, 0) & 0xFF), 188, 3);
  // Converted pixels say so, so that a writer does not label them with the old profile.
  EXPECT_EQ(kept.metadata.at(0).find("SRGB"), std::string::npos);
  EXPECT_NE(converted.metadata.at(0).find("SRGB"), std::string::npos);
  auto info = vexlo.Info(path);
  EXPECT_EQ(info->hasColorProfile, 1u);
  EXPECT_EQ(info->colorProfileSpace, glib::FourCC("RGB "));
}

TEST_F(PngTest, MalformedFilesAnswerWithACode) {
  PNGSave params;
  std::string good = vexlo.SaveBytes({Pattern(30, 20)}, params);
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 8), nullptr, glib::kFormatPNG).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 40)).rc, glib::BADI);
  std::string huge = good;
  huge.replace(16, 8, "\x7F\xFF\xFF\xFF\x7F\xFF\xFF\xFF");
  EXPECT_NE(vexlo.LoadBytes(huge).rc, glib::RCOK);
  std::string crc = good;
  crc[good.find("IDAT") + 10] ^= 0x55;
  uint32_t rc = vexlo.LoadBytes(crc).rc;  // the rows before the damage may be shown
  EXPECT_TRUE(rc == glib::RCOK || rc == glib::BADI);
}

}  // namespace
