#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "Harness.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"

using namespace vexlo_test;
using namespace std::string_literals;

namespace {

constexpr uint32_t kFormatJ2K = 0x2C4A5032;  // JP2's code, a flag byte of its own

bool HaveOpenJpegTools() {
  return RunQuietly("command -v opj_compress && command -v opj_decompress");
}

// A PNM file (P5, P6 or P7 with alpha) of 1 to 4 channels with 8 or 16-bit samples in
// a pattern that uses the whole range; the same picture as the harness sees it.
Picture WritePnm(const std::string& path, int w, int h, int channels, bool wide) {
  std::ofstream out(path, std::ios::binary);
  int top = wide ? 65535 : 255;
  if (channels == 2 || channels == 4) {
    out << "P7\nWIDTH " << w << "\nHEIGHT " << h << "\nDEPTH " << channels << "\nMAXVAL " << top
        << "\nTUPLTYPE " << (channels == 2 ? "GRAYSCALE_ALPHA" : "RGB_ALPHA") << "\nENDHDR\n";
  } else {
    out << (channels == 1 ? "P5" : "P6") << "\n" << w << " " << h << "\n" << top << "\n";
  }
  Picture p;
  p.width = w;
  p.height = h;
  p.bgra.resize(size_t(w) * h * 4);
  p.wide.resize(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t s[4];
      for (int c = 0; c < channels; ++c)
        s[c] = uint32_t((x * 977 + y * 331 + c * 7919) * (c + 3)) % uint32_t(top + 1);
      for (int c = 0; c < channels; ++c) {
        if (wide) out.put(char(s[c] >> 8));
        out.put(char(s[c] & 0xFF));
      }
      bool grey = channels <= 2;
      uint32_t r = s[0], g = grey ? s[0] : s[1], b = grey ? s[0] : s[2];
      uint32_t a = channels == 2 ? s[1] : channels == 4 ? s[3] : uint32_t(top);
      size_t i = (size_t(y) * w + x) * 4;
      uint32_t v[4] = {b, g, r, a};
      for (int k = 0; k < 4; ++k) {
        p.wide[i + k] = uint16_t(wide ? v[k] : v[k] * 257);
        p.bgra[i + k] = uint8_t(wide ? v[k] >> 8 : v[k]);
      }
    }
  }
  return p;
}

class Jp2Test : public ::testing::Test {
 protected:
  // The reference decoder's PNG of a file (read by our PNG reader, 16 bits kept).
  Picture Reference(const std::string& path, const std::string& extra = "") {
    std::string png = path + ".ref.png";
    EXPECT_TRUE(RunQuietly("opj_decompress -i '" + path + "' -o '" + png + "' " + extra));
    Loaded ref = vexlo.Load(png);
    EXPECT_EQ(ref.rc, glib::RCOK);
    return ref.pages.empty() ? Picture{} : ref.pages[0];
  }
  Vexlo vexlo;
};

// The cases that compare with OpenJPEG's own programs.
class Jp2ReferenceTest : public Jp2Test {
 protected:
  void SetUp() override {
    if (!HaveOpenJpegTools()) GTEST_SKIP() << "no opj_compress / opj_decompress";
  }
};

TEST_F(Jp2ReferenceTest, LosslessFilesMatchTheSourceAndTheReferenceDecoder) {
  for (const char* ext : {"jp2", "j2k"}) {
    for (int channels = 1; channels <= 4; ++channels) {
      for (bool wide : {false, true}) {
        SCOPED_TRACE(testing::Message() << ext << " channels " << channels << " wide " << wide);
        std::string name = vexlo.Dir().File("c" + std::to_string(channels) + (wide ? "w" : "n"));
        std::string pnm = name + (channels == 2 || channels == 4 ? ".pam"
                                  : channels == 1                ? ".pgm"
                                                                 : ".ppm");
        Picture source = WritePnm(pnm, 37, 23, channels, wide);
        std::string coded = name + "." + ext;
        ASSERT_TRUE(RunQuietly("opj_compress -n 4 -i '" + pnm + "' -o '" + coded + "'"));
        Loaded ours = vexlo.Load(coded);
        ASSERT_EQ(ours.rc, glib::RCOK);
        ASSERT_EQ(ours.pages.size(), 1u);
        const Picture& page = ours.pages[0];
        // 16-bit samples stay 16-bit, as in PNG and TIFF pages.
        EXPECT_EQ(glib::BitsPerSample(page.pixelType), wide ? 16u : 8u);
        if (wide) {
          EXPECT_EQ(page.wide, source.wide);
        } else {
          EXPECT_EQ(page.bgra, source.bgra);
        }
        Picture ref = Reference(coded);
        EXPECT_EQ(page.bgra, ref.bgra);
        if (wide) {
          EXPECT_EQ(page.wide, ref.wide);
        }
        auto info = vexlo.Info(coded);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->format, std::string(ext) == "jp2" ? glib::kFormatJP2 : kFormatJ2K);
        EXPECT_EQ(info->height, 23);
        EXPECT_EQ(info->bitsPerPixel, channels * (wide ? 16 : 8));
      }
    }
  }
}

TEST_F(Jp2ReferenceTest, OurFilesReadBackAndTheReferenceReadsThem) {
  Picture picture = Pattern(61, 47, true, 3);
  for (uint32_t format : {uint32_t(glib::kFormatJP2), kFormatJ2K}) {
    SCOPED_TRACE(format);
    std::string path = vexlo.Dir().File(format == kFormatJ2K ? "ours.j2k" : "ours.jp2");
    glib::JP2Save lossless;
    lossless.format = format;
    lossless.quality = 100;
    ASSERT_EQ(vexlo.Save(path, {picture}, lossless), glib::RCOK);
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    EXPECT_EQ(back.format, format);
    EXPECT_EQ(MaxDifference(back.pages.at(0), picture), 0);
    EXPECT_EQ(Reference(path).bgra, picture.bgra);
    size_t losslessSize = ReadFile(path).size();
    // Lower quality, smaller file; still near the picture.
    glib::JP2Save lossy;
    lossy.format = format;
    lossy.quality = 60;
    ASSERT_EQ(vexlo.Save(path, {picture}, lossy), glib::RCOK);
    EXPECT_LT(ReadFile(path).size() * 4, losslessSize);
    Loaded rough = vexlo.Load(path);
    ASSERT_EQ(rough.rc, glib::RCOK);
    Picture smooth = Pattern(61, 47, false, 0);
    ASSERT_EQ(vexlo.Save(path + ".smooth", {smooth}, lossy), glib::RCOK);
    EXPECT_LE(MaxDifference(vexlo.Load(path + ".smooth").pages.at(0), smooth), 8);
    EXPECT_LE(MaxDifference(Reference(path), rough.pages.at(0)), 1);
  }
  // 16-bit pages keep their depth through our writer.
  Picture wideSource = WritePnm(vexlo.Dir().File("wide.ppm"), 33, 17, 3, true);
  ASSERT_TRUE(RunQuietly("opj_compress -n 4 -i '" + vexlo.Dir().File("wide.ppm") + "' -o '" +
                         vexlo.Dir().File("wide.jp2") + "'"));
  glib::ImageDataExchange request;
  ASSERT_EQ(vexlo.Manager().LoadImageData(vexlo.Dir().File("wide.jp2").c_str(), &request, nullptr),
            glib::RCOK);
  glib::JP2Save deep;
  deep.quality = 100;
  deep.pixelType = glib::kPixelRGB48;
  std::string again = vexlo.Dir().File("again.jp2");
  ASSERT_EQ(vexlo.Manager().SaveImageData(again.c_str(), &request, &deep), glib::RCOK);
  EXPECT_EQ(vexlo.Load(again).pages.at(0).wide, wideSource.wide);
  EXPECT_EQ(Reference(again).wide, wideSource.wide);
}

TEST_F(Jp2Test, PicturesOfAMegapixelComeBackWholeThroughTheWorkerThreads) {
  Picture picture = Pattern(1024, 1030, true, 7);
  glib::JP2Save params;
  params.quality = 100;
  std::string path = vexlo.Dir().File("mega.jp2");
  ASSERT_EQ(vexlo.Save(path, {picture}, params), glib::RCOK);
  Loaded back = vexlo.Load(path);
  ASSERT_EQ(back.rc, glib::RCOK);
  EXPECT_EQ(MaxDifference(back.pages.at(0), picture), 0);
}

TEST_F(Jp2Test, TheResolutionBoxGivesTheDensity) {
  glib::JP2Save params;
  params.quality = 100;
  std::string file = vexlo.SaveBytes({Pattern(20, 10)}, params);
  // The writer's display resolution box becomes a capture resolution box of
  // 11811 (horizontal) and 5906 (vertical) points per metre: 300 and 150 dpi.
  size_t res = file.find("res \0\0\0\x12resd"s);
  ASSERT_NE(res, std::string::npos);
  file.replace(res - 4, 26, "\0\0\0\x1Ares \0\0\0\x12resc\x17\x12\0\x01\x2E\x23\0\x01\0\0"s);
  std::string path = vexlo.Write("dense.jp2", file);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_NEAR(info->resolutionX, 300.0f, 0.1f);
  EXPECT_NEAR(info->resolutionY, 150.0f, 0.1f);
  Loaded l = vexlo.Load(path);
  ASSERT_EQ(l.rc, glib::RCOK);
  EXPECT_NEAR(l.pages.at(0).resolutionX, 300.0f, 0.1f);
}

// The page's density, or the record's, goes into a display resolution box in the
// header; the file stays whole for OpenJPEG and exiftool. Codestreams have no boxes.
TEST_F(Jp2ReferenceTest, SavedDensityComesBack) {
  struct Case {
    const char* name;
    float pageX, pageY;      // the page's density
    float recordX, recordY;  // the record's (0: the page's)
    float x, y;              // what the file should give
  };
  const Case cases[] = {
      {"page-300", 300, 300, 0, 0, 300, 300},
      {"record-72x144", 96, 96, 72, 144, 72, 144},
      {"odd", 2540.5f, 0.5f, 0, 0, 2540.5f, 0.5f},
      {"huge", 4e5f, 1e5f, 0, 0, 4e5f, 1e5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture = Pattern(40, 24, false, 3);
    picture.resolutionX = c.pageX;
    picture.resolutionY = c.pageY;
    glib::JP2Save params;
    params.quality = 100;
    params.resolutionX = c.recordX;
    params.resolutionY = c.recordY;
    std::string path = vexlo.Dir().File(std::string(c.name) + ".jp2");
    ASSERT_EQ(vexlo.Save(path, {picture}, params), glib::RCOK);
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    EXPECT_NEAR(info->resolutionX, c.x, c.x * 1e-4);
    EXPECT_NEAR(info->resolutionY, c.y, c.y * 1e-4);
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    EXPECT_NEAR(back.pages.at(0).resolutionX, c.x, c.x * 1e-4);
    EXPECT_EQ(MaxDifference(back.pages[0], picture), 0);
    EXPECT_EQ(MaxDifference(Reference(path), picture), 0);
    EXPECT_TRUE(RunQuietly("opj_dump -i '" + path + "'"));
    if (c.x > 0 && c.x < 1000 && RunQuietly("exiftool -ver")) {
      std::string out = path + ".txt";
      ASSERT_TRUE(std::system(("exiftool -s3 -n -DisplayXResolution -DisplayYResolution '" + path +
                               "' > '" + out + "'")
                                  .c_str()) == 0);
      std::ifstream in(out);
      double x = 0, y = 0;
      in >> x >> y;
      // exiftool gives points per metre.
      EXPECT_NEAR(x * 0.0254, c.x, 0.01);
      EXPECT_NEAR(y * 0.0254, c.y, 0.01);
    }
  }
  // A bare codestream keeps only the pixels.
  Picture picture = Pattern(40, 24, false, 3);
  picture.resolutionX = picture.resolutionY = 300;
  glib::JP2Save params;
  params.format = kFormatJ2K;
  params.quality = 100;
  std::string path = vexlo.Dir().File("dense.j2k");
  ASSERT_EQ(vexlo.Save(path, {picture}, params), glib::RCOK);
  EXPECT_EQ(ReadFile(path).find("res "), std::string::npos);
  EXPECT_EQ(MaxDifference(Reference(path), picture), 0);
}

TEST_F(Jp2ReferenceTest, ReducedResolutionsServeThumbnailsAndAWantedSize) {
  std::string path = vexlo.Dir().File("big.jp2");
  glib::JP2Save params;
  params.quality = 100;
  ASSERT_EQ(vexlo.Save(path, {Pattern(400, 300, false, 5)}, params), glib::RCOK);
  // The smallest level that still covers 50 x 40 is a quarter: 100 x 75.
  Loaded thumb = vexlo.Thumbnail(path, 50, 40);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  ASSERT_EQ(thumb.pages.size(), 1u);
  EXPECT_EQ(thumb.pages[0].width, 100);
  EXPECT_EQ(thumb.pages[0].height, 75);
  Picture ref = Reference(path, "-r 2");
  EXPECT_EQ(MaxDifference(thumb.pages[0], ref), 0);
  glib::ImageLoad wanted;
  wanted.width = 200;
  wanted.height = 150;
  Loaded half = vexlo.Load(path, &wanted);
  ASSERT_EQ(half.rc, glib::RCOK);
  EXPECT_EQ(half.pages.at(0).width, 200);
  EXPECT_EQ(MaxDifference(half.pages[0], Reference(path, "-r 1")), 0);
  EXPECT_EQ(vexlo.Load(path).pages.at(0).width, 400);
}

TEST_F(Jp2Test, DamagedFilesAnswerWithACode) {
  glib::JP2Save params;
  params.quality = 100;
  Picture picture = Pattern(64, 64, true, 2);
  for (uint32_t format : {uint32_t(glib::kFormatJP2), kFormatJ2K}) {
    params.format = format;
    std::string good = vexlo.SaveBytes({picture}, params);
    ASSERT_FALSE(good.empty());
    // Cut anywhere in the headers: a code, never a crash or a page.
    for (size_t cut : {size_t(4), size_t(13), size_t(40), size_t(90), size_t(150)}) {
      Loaded l = vexlo.LoadBytes(good.substr(0, cut), nullptr, format);
      EXPECT_NE(l.rc, glib::RCOK) << cut;
    }
    // Cut in the coded data, or bytes flipped there: a code, or a picture of the size.
    for (size_t at = good.size() / 3; at < good.size(); at += good.size() / 7) {
      std::string bad = good;
      bad[at] = char(bad[at] ^ 0x5A);
      for (const std::string& bytes : {bad, good.substr(0, at)}) {
        Loaded l = vexlo.LoadBytes(bytes, nullptr, format);
        if (l.rc == glib::RCOK) {
          EXPECT_EQ(l.pages.at(0).width, 64);
        }
      }
    }
    // A size beyond the pixel limit is refused before anything is decoded.
    std::string huge = good;
    size_t siz = huge.find("\xFF\x51");
    ASSERT_NE(siz, std::string::npos);
    for (int i = 0; i < 4; ++i) huge[siz + 6 + i] = huge[siz + 22 + i] = char(0x7F);  // Xsiz, XTsiz
    size_t ihdr = huge.find("ihdr");
    if (ihdr != std::string::npos) {
      for (int i = 0; i < 4; ++i) huge[ihdr + 8 + i] = char(0x7F);  // the box's width
    }
    EXPECT_EQ(vexlo.LoadBytes(huge, nullptr, format).rc, glib::OMEM);
  }
}

}  // namespace
