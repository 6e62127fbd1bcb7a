#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;
using glib::BMPSave;

namespace {

class BmpTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

TEST_F(BmpTest, EveryDepthRoundTrips) {
  Picture source = Pattern(37, 13, true);
  struct Case {
    uint32_t type;
    int tolerance;
    bool keepsAlpha;
  };
  const Case cases[] = {
      {0x83010408, 0, true},   {0x43010408, 0, false},   {0x03010308, 0, false},
      {0x83010110, 8, false},  {0x43010110, 8, false},   {0x03010110, 8, false},
      {0x02010108, 60, false}, {0x02010104, 255, false}, {0x02010101, 255, false},
  };
  for (const Case& c : cases) {
    for (uint8_t topBottom : {0, 1}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.type << " top-bottom " << int(topBottom));
      BMPSave params;
      params.pixelType = c.type;
      params.topBottom = topBottom;
      std::string path = vexlo.Dir().File("round.bmp");
      ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
      Loaded back = vexlo.Load(path);
      ASSERT_EQ(back.rc, glib::RCOK);
      ASSERT_EQ(back.pages.size(), 1u);
      Picture expected = source;
      Picture got = back.pages[0];
      if (!c.keepsAlpha) {
        for (size_t i = 3; i < expected.bgra.size(); i += 4) expected.bgra[i] = got.bgra[i];
      }
      if (c.type == 0x83010110) {  // one alpha bit
        for (size_t i = 3; i < expected.bgra.size(); i += 4)
          EXPECT_EQ(got.bgra[i], expected.bgra[i] >= 128 ? 255 : 0);
      }
      if (c.tolerance < 255) {
        EXPECT_LE(MaxDifference(expected, got), c.tolerance);
      }
      EXPECT_EQ(got.width, 37);
      EXPECT_EQ(got.height, 13);
    }
  }
}

TEST_F(BmpTest, IndexedSavesKeepFewColoursExactlyAndHonourGreyscale) {
  Picture source = Pattern(16, 16);
  for (size_t i = 0; i < source.bgra.size(); i += 4) {
    uint8_t v = (i / 4) % 3 == 0 ? 0 : 200;
    source.bgra[i] = v;
    source.bgra[i + 1] = uint8_t(255 - v);
    source.bgra[i + 2] = 30;
  }
  BMPSave params;
  params.pixelType = 0x02010104;
  std::string path = vexlo.Dir().File("few.bmp");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  EXPECT_EQ(MaxDifference(vexlo.Load(path).pages.at(0), source), 0);

  params.pixelType = 0x03010308;
  params.grayscale = 1;
  ASSERT_EQ(vexlo.Save(path, {Pattern(8, 8)}, params), glib::RCOK);
  Picture grey = vexlo.Load(path).pages.at(0);
  for (size_t i = 0; i < grey.bgra.size(); i += 4) {
    EXPECT_EQ(grey.bgra[i], grey.bgra[i + 1]);
    EXPECT_EQ(grey.bgra[i], grey.bgra[i + 2]);
  }
}

TEST_F(BmpTest, InformationReportsVersionBitMaskAndDensity) {
  BMPSave params;
  params.pixelType = 0x03010110;
  Picture source = Pattern(10, 4);
  source.resolutionX = 300;
  source.resolutionY = 150;
  std::string path = vexlo.Dir().File("info.bmp");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->format, glib::kFormatBMP);
  EXPECT_EQ(info->width, 10);
  EXPECT_EQ(info->height, 4);
  EXPECT_EQ(info->bitsPerPixel, 16);
  EXPECT_EQ(info->pixelType, 0x03010110u);  // "RGB 5:6:5"
  EXPECT_EQ(info->versionMajor, 3);
  EXPECT_NEAR(info->resolutionX, 300, 0.1);
  EXPECT_NEAR(info->resolutionY, 150, 0.1);
  EXPECT_EQ(info->fileSize, ReadFile(path).size());

  params.pixelType = 0x83010408;
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  EXPECT_EQ(vexlo.Info(path)->versionMajor, 5);
  Loaded back = vexlo.Load(path);
  EXPECT_NEAR(back.pages.at(0).resolutionX, 300, 0.1);
}

// A headerless device-independent bitmap (what a scanner hands over) loads from memory
// with the BMP format given; a 2 x 2 8-bit one with a two-entry palette.
TEST_F(BmpTest, HeaderlessDibFromMemory) {
  std::string dib(40, '\0');
  dib[0] = 40;
  dib[4] = 2;
  dib[8] = 2;
  dib[12] = 1;
  dib[14] = 8;
  dib[32] = 2;                                                // colours used
  dib += std::string("\x00\x00\xFF\x00\x00\xFF\x00\x00", 8);  // red, green
  dib += std::string("\x00\x01\x00\x00\x01\x00\x00\x00", 8);  // bottom row first
  Loaded loaded = vexlo.LoadBytes(dib, nullptr, glib::kFormatBMP);
  ASSERT_EQ(loaded.rc, glib::RCOK);
  const Picture& p = loaded.pages.at(0);
  EXPECT_EQ(p.At(0, 1), 0xFFFF0000u);
  EXPECT_EQ(p.At(1, 1), 0xFF00FF00u);
  EXPECT_EQ(p.At(0, 0), 0xFF00FF00u);
}

TEST_F(BmpTest, RunLengthAndOldHeadersMatchTheReferenceDecoder) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string source = vexlo.Dir().File("source.png");
  ASSERT_TRUE(Convert("-size 61x23 plasma:fractal -seed 4 '" + source + "'"));
  const char* variants[] = {
      "-colors 200 -compress RLE BMP3:%s",
      "-colors 12 -depth 4 -compress RLE BMP3:%s",
      "BMP2:%s",
      "-define bmp:subtype=RGB565 BMP:%s",
      "-define bmp:subtype=ARGB4444 BMP:%s",
      "-define bmp:subtype=RGB555 BMP:%s",
      "-colors 2 BMP3:%s",
      "-alpha set -channel A -evaluate set 50% BMP:%s",
  };
  for (const char* variant : variants) {
    SCOPED_TRACE(variant);
    vexlo.ExpectLikeReference(source, variant, vexlo.Dir().File("ref.bmp"), 1);
  }
}

TEST_F(BmpTest, MalformedFilesAnswerWithACode) {
  BMPSave params;
  std::string good = vexlo.SaveBytes({Pattern(9, 9)}, params);
  ASSERT_GT(good.size(), 60u);
  // Truncated headers and missing rows.
  for (size_t cut : {2u, 14u, 20u, 53u}) {
    EXPECT_EQ(vexlo.LoadBytes(good.substr(0, cut), nullptr, glib::kFormatBMP).rc, glib::BADI)
        << cut;
  }
  // Rows cut short still give a picture (the missing part stays empty).
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, good.size() - 40)).rc, glib::RCOK);
  auto patched = [&](size_t at, uint32_t value) {
    std::string bytes = good;
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
    return vexlo.LoadBytes(bytes).rc;
  };
  EXPECT_EQ(patched(18, 0x7FFFFFFF), glib::OMEM);  // width beyond the limit
  EXPECT_EQ(patched(22, 0x80000000), glib::BADI);  // height INT32_MIN
  EXPECT_EQ(patched(18, 0), glib::BADI);
  EXPECT_EQ(patched(14, 200), glib::BADI);          // unknown header size
  EXPECT_EQ(patched(10, 0xFFFFFF00), glib::BADI);   // pixel data beyond the end
  EXPECT_EQ(patched(28, 7 << 16 | 1), glib::BADI);  // 7 bits per pixel
  EXPECT_EQ(patched(30, 9), glib::BADI);            // unknown compression
  // RLE8 whose runs and deltas point outside the picture.
  std::string rle = good.substr(0, 54);
  rle[28] = 8;
  rle[30] = 1;
  rle[10] = 54;
  rle += std::string("\xFF\x05\x00\x02\xFF\xFF\x00\x03\x01\x02\x03\x00\x00\x01", 14);
  EXPECT_EQ(vexlo.LoadBytes(rle).rc, glib::RCOK);
}

}  // namespace
