// PCX, TGA and the Netpbm family: the plain raster formats with their own code.
#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

class RasterTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

// Colours and greys that palettes keep exactly.
Picture Few(int32_t w, int32_t h, bool grey) {
  Picture p = Pattern(w, h);
  for (size_t i = 0; i < p.bgra.size(); i += 4) {
    uint8_t v = uint8_t(((i / 4) % 7) * 40);
    p.bgra[i] = v;
    p.bgra[i + 1] = grey ? v : uint8_t(255 - v);
    p.bgra[i + 2] = grey ? v : uint8_t(v / 2);
  }
  return p;
}

TEST_F(RasterTest, PcxDepthsRoundTrip) {
  for (uint32_t type : {0x03010308u, 0x02010108u, 0x02010104u, 0x01010101u}) {
    SCOPED_TRACE(testing::Message() << std::hex << type);
    glib::PCXSave params;
    params.pixelType = type;
    params.dither = 0;
    Picture source = type == 0x01010101u ? Few(21, 11, true) : Few(21, 11, false);
    if (type == 0x01010101u) {
      for (size_t i = 0; i < source.bgra.size(); i += 4)
        source.bgra[i] = source.bgra[i + 1] = source.bgra[i + 2] = (i / 4) % 3 ? 255 : 0;
    }
    std::string path = vexlo.Dir().File("round.pcx");
    ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    EXPECT_EQ(MaxDifference(back.pages.at(0), source), 0);
  }
}

TEST_F(RasterTest, TgaDepthsAndRunLengthRoundTrip) {
  Picture source = Pattern(33, 19, true);
  for (uint8_t rle : {0, 1}) {
    for (uint32_t type : {0x83010408u, 0x03010308u, 0x83010110u, 0x43010110u, 0x02010108u}) {
      SCOPED_TRACE(testing::Message() << std::hex << type << " rle " << int(rle));
      glib::TGASave params;
      params.pixelType = type;
      params.rleCompression = rle;
      Picture input = type == 0x02010108u ? Few(33, 19, false) : source;
      std::string path = vexlo.Dir().File("round.tga");
      ASSERT_EQ(vexlo.Save(path, {input}, params), glib::RCOK);
      Loaded back = vexlo.Load(path);
      ASSERT_EQ(back.rc, glib::RCOK);
      Picture expected = input;
      for (size_t i = 3; i < expected.bgra.size(); i += 4) {
        if (type == 0x83010110u) expected.bgra[i] = expected.bgra[i] >= 128 ? 255 : 0;
        if (type != 0x83010408u && type != 0x83010110u) expected.bgra[i] = 255;
      }
      EXPECT_LE(MaxDifference(back.pages.at(0), expected), (type & 0xFF) == 0x10 ? 8 : 0);
      EXPECT_EQ(vexlo.Info(path)->compression, rle ? 1 : 0);
    }
  }
}

TEST_F(RasterTest, NetpbmMembersRoundTripRawAndPlain) {
  Picture colour = Pattern(17, 9, true);
  Picture grey = Few(17, 9, true);
  struct Case {
    uint32_t format, pixelType;
    const Picture* source;
    int tolerance;
  };
  const Case cases[] = {
      {0x0050504D, 0x03010308, &colour, 0}, {0x0050474D, 0x03010310, &grey, 0},
      {0x0050414D, 0x83010408, &colour, 0}, {0x0050414D, 0x83010410, &colour, 0},
      {0x0050414D, 0x01010108, &grey, 0},   {0x0050464D, 0x03030320, &colour, 1},
  };
  for (const Case& c : cases) {
    for (uint8_t raw : {0, 1}) {
      SCOPED_TRACE(testing::Message()
                   << std::hex << c.format << " " << c.pixelType << " raw " << int(raw));
      glib::PNMSave params;
      params.format = c.format;
      params.pixelType = c.pixelType;
      params.rawData = raw;
      std::string path = vexlo.Dir().File("round.pnm");
      ASSERT_EQ(vexlo.Save(path, {*c.source}, params), glib::RCOK);
      Loaded back = vexlo.Load(path, nullptr, c.format);
      ASSERT_EQ(back.rc, glib::RCOK);
      Picture expected = *c.source;
      if (!glib::HasAlpha(c.pixelType)) {
        for (size_t i = 3; i < expected.bgra.size(); i += 4) expected.bgra[i] = 255;
      }
      EXPECT_LE(MaxDifference(back.pages.at(0), expected), c.tolerance);
    }
  }
  // PBM: black and white, whatever the source's greys.
  glib::PNMSave bitmap;
  bitmap.format = 0x0050424D;
  bitmap.dither = 0;
  std::string path = vexlo.Dir().File("mono.pbm");
  ASSERT_EQ(vexlo.Save(path, {grey}, bitmap), glib::RCOK);
  Picture mono = vexlo.Load(path).pages.at(0);
  for (size_t i = 0; i < mono.bgra.size(); i += 4) {
    EXPECT_EQ(mono.bgra[i], grey.bgra[i] >= 128 ? 255 : 0);
  }
  EXPECT_EQ(vexlo.Info(path)->kind, 0);
}

TEST_F(RasterTest, ReferenceFilesDecodeAlike) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string source = vexlo.Dir().File("source.png");
  ASSERT_TRUE(Convert("-size 37x21 plasma:fractal -seed 5 '" + source + "'"));
  const char* targets[] = {
      "ref.pcx",
      "PCX:-colors 16 -type Palette ref2.pcx",
      "ref.tga",
      "-compress RLE ref2.tga",
      "-flip ref3.tga",
      "-compress none ref.ppm",
      "ref.pgm",
      "-depth 16 ref2.ppm",
      "-monochrome ref.pbm",
      "-compress none -monochrome ref2.pbm",
      "ref.pam",
  };
  for (const char* target : targets) {
    SCOPED_TRACE(target);
    std::string t = target;
    size_t space = t.rfind(' ');
    std::string name = space == std::string::npos ? t : t.substr(space + 1);
    std::string options = space == std::string::npos ? "" : t.substr(0, space);
    if (options.rfind("PCX:", 0) == 0) options = options.substr(4);
    vexlo.ExpectLikeReference(source, options, vexlo.Dir().File(name), 1,
                              name.find(".tga") != std::string::npos);
  }
}

TEST_F(RasterTest, MalformedFilesAnswerWithACode) {
  EXPECT_EQ(vexlo.LoadBytes("P6\n99999999 99999999\n255\n", nullptr, 0x0050504D).rc, glib::OMEM);
  EXPECT_EQ(vexlo.LoadBytes("P6\n4 4\n0\n", nullptr, 0x0050504D).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes("P5\n2 2\n255\nab", nullptr, 0x0050474D).rc, glib::RCOK);  // short data
  EXPECT_EQ(vexlo.LoadBytes("P7\nWIDTH 2\nDEPTH 9\nENDHDR\n", nullptr, 0x0050414D).rc, glib::BADI);
  std::string pcx(128, '\0');
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[8] = '\xFF', pcx[9] = '\xFF', pcx[10] = 1;
  pcx[65] = 1, pcx[66] = 1;  // one plane, but a line of 1 byte for 65536 pixels
  EXPECT_EQ(vexlo.LoadBytes(pcx + "x", nullptr, glib::kFormatPCX).rc, glib::BADI);
  std::string tga(18, '\0');
  tga[2] = 2, tga[12] = 100, tga[14] = 100, tga[16] = 24;
  EXPECT_EQ(vexlo.LoadBytes(tga, nullptr, glib::kFormatTGA).rc, glib::RCOK);  // no pixels: empty
  tga[16] = 7;
  EXPECT_EQ(vexlo.LoadBytes(tga, nullptr, glib::kFormatTGA).rc, glib::BADI);
}

}  // namespace
