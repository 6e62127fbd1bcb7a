#include <gtest/gtest.h>

#include <random>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;
using glib::JPGSave;

namespace {

class JpegTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

TEST_F(JpegTest, ModesAndOptionsRoundTripWithinTolerance) {
  Picture source = Pattern(67, 45, false, 0);
  struct Case {
    uint32_t mode, pixelType, subsample;
    uint8_t grey, optimise, interleaved;
    uint32_t restart;
    int tolerance;
  };
  const Case cases[] = {
      {192, 0x06010308, 0x11111111, 0, 0, 1, 0, 8},
      {194, 0x06010308, 0x22111122, 0, 1, 1, 0, 12},
      {193, 0x03010308, 0x11111111, 0, 0, 0, 2, 8},
      {192, 0x01010108, 0x11111111, 0, 0, 1, 0, 255},
      {192, 0x06010308, 0x11111111, 1, 0, 1, 1, 255},
      {192, 0x07010408, 0x11111111, 0, 0, 1, 0, 12},
      {194, 0x05010408, 0x11111111, 0, 0, 1, 0, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << std::hex << c.pixelType);
    JPGSave params;
    params.mode = c.mode;
    params.pixelType = c.pixelType;
    params.quality = 98;
    params.subsample = glib::SubsampleCode(c.subsample);
    params.grayscale = c.grey;
    params.optimizeHuffman = c.optimise;
    params.interleaved = c.interleaved;
    params.restartInterval = c.restart;
    std::string path = vexlo.Dir().File("round.jpg");
    ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    const Picture& got = back.pages.at(0);
    EXPECT_LE(MaxDifference(got, source), c.tolerance);
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    // Extended sequential with baseline-sized tables is written as a baseline frame.
    EXPECT_EQ(info->jpeg.frameMarker, c.mode == 193 ? 192u : c.mode);
    bool grey = c.grey || c.pixelType == 0x01010108;
    EXPECT_EQ(info->jpeg.components, grey                                                   ? 1u
                                     : (c.pixelType >> 24) == 5 || (c.pixelType >> 24) == 7 ? 4u
                                                                                            : 3u);
    if (grey) {
      for (size_t i = 0; i < got.bgra.size(); i += 4) EXPECT_EQ(got.bgra[i], got.bgra[i + 2]);
    }
    if (c.pixelType == 0x06010308 && !grey) {
      EXPECT_EQ(info->jpeg.sampling[0], uint8_t(c.subsample >> 24));
      EXPECT_EQ(info->jpeg.colorSpace, 6u);
    }
    if (c.restart) {
      EXPECT_EQ(info->jpeg.restartInterval, uint32_t((67 + 7) / 8 * c.restart));
      EXPECT_EQ(info->jpeg.interleaved, 0);
    }
  }
  JPGSave lossless;
  lossless.mode = 195;
  EXPECT_EQ(vexlo.Save(vexlo.Dir().File("l.jpg"), {source}, lossless), glib::UNSF);
}

TEST_F(JpegTest, ExifAndIptcComeThroughByteForByte) {
  std::string exif = OrbiskExif();
  std::string iptc("\x1C\x02\x00\x00\x02\x00\x04\x1C\x02\x78\x00\x05Hello", 17);
  JPGSave params;
  params.exif = reinterpret_cast<const uint8_t*>(exif.data());
  params.exifSize = uint32_t(exif.size());
  params.iptc = reinterpret_cast<const uint8_t*>(iptc.data());
  params.iptcSize = uint32_t(iptc.size());
  Picture source = Pattern(16, 16);
  source.resolutionX = source.resolutionY = 300;
  std::string path = vexlo.Dir().File("meta.jpg");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->exifSize, exif.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->exif), info->exifSize), exif);
  ASSERT_EQ(info->iptcSize, iptc.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->iptc), info->iptcSize), iptc);
  EXPECT_NEAR(info->resolutionX, 300, 0.5);
  // The page carries them too, for a later save.
  Loaded loaded = vexlo.Load(path);
  ASSERT_EQ(loaded.rc, glib::RCOK);
  EXPECT_NE(loaded.metadata.at(0).find(exif), std::string::npos);
  EXPECT_NE(loaded.metadata.at(0).find(iptc), std::string::npos);
  // Without blocks in the record the file has none.
  JPGSave plain;
  ASSERT_EQ(vexlo.Save(path, {source}, plain), glib::RCOK);
  EXPECT_EQ(vexlo.Info(path)->exifSize, 0u);
}

TEST_F(JpegTest, RealFilesMatchTheReferenceDecoder) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string source = vexlo.Dir().File("source.png");
  ASSERT_TRUE(Convert("-size 96x64 plasma:fractal -seed 7 '" + source + "'"));
  struct Variant {
    const char* args;
    int tolerance;
    uint32_t colorSpace;
  };
  const Variant variants[] = {
      {"-quality 90", 2, 6},
      {"-quality 80 -interlace Plane", 2, 6},
      {"-colorspace Gray", 1, 1},
      {"-colorspace CMYK -quality 95", 3, 7},
      {"-sampling-factor 2x2 -quality 70 -set comment 'Hello there'", 2, 6},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.args);
    std::string target = vexlo.Dir().File("ref.jpg");
    vexlo.ExpectLikeReference(source, v.args, target, v.tolerance);
    auto info = vexlo.Info(target);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->jpeg.colorSpace, v.colorSpace);
  }
  EXPECT_STREQ(vexlo.Info(vexlo.Dir().File("ref.jpg"))->Text(glib::kInfoComment), "Hello there");
}

TEST_F(JpegTest, ThumbnailsUseDctScaling) {
  JPGSave params;
  std::string path = vexlo.Dir().File("big.jpg");
  ASSERT_EQ(vexlo.Save(path, {Pattern(800, 600)}, params), glib::RCOK);
  Loaded thumb = vexlo.Thumbnail(path, 160, 120);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  EXPECT_EQ(thumb.pages.at(0).width, 200);
  EXPECT_EQ(thumb.pages.at(0).height, 150);
  EXPECT_EQ(vexlo.Thumbnail(path, 700, 500).pages.at(0).width, 800);
}

TEST_F(JpegTest, ThumbnailsAreWrittenIntoTheExifBlockWhenAsked) {
  for (bool withExif : {false, true}) {
    SCOPED_TRACE(withExif);
    std::string exif = OrbiskExif();
    JPGSave params;
    params.createThumbnail = 1;
    if (withExif) {
      params.exif = reinterpret_cast<const uint8_t*>(exif.data());
      params.exifSize = uint32_t(exif.size());
    }
    std::string path = vexlo.Dir().File("thumb.jpg");
    ASSERT_EQ(vexlo.Save(path, {Pattern(640, 400)}, params), glib::RCOK);
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    std::string block(reinterpret_cast<const char*>(info->exif), info->exifSize);
    if (withExif) {
      EXPECT_NE(block.find("Orbisk"), std::string::npos);  // the caller's entries stay
    }
    // The stored thumbnail serves a request it covers: 160 x 100, not a DCT scaling.
    Loaded thumb = vexlo.Thumbnail(path, 100, 60);
    ASSERT_EQ(thumb.rc, glib::RCOK);
    EXPECT_EQ(thumb.pages.at(0).width, 160);
    EXPECT_EQ(thumb.pages.at(0).height, 100);
  }
}

// A stored thumbnail a little smaller than the request still serves it, one much
// smaller or of other proportions (bars) does not: then the picture is DCT-scaled.
TEST_F(JpegTest, StoredThumbnailsServeOnlyRequestsTheyNearlyCoverInTheirProportions) {
  JPGSave params;
  params.createThumbnail = 1;
  std::string path = vexlo.Dir().File("photo.jpg");
  ASSERT_EQ(vexlo.Save(path, {Pattern(640, 400)}, params), glib::RCOK);  // 160 x 100 stored
  Loaded near = vexlo.Thumbnail(path, 200, 200);  // fitted 200 x 125: 3/4 is 150 x 94
  ASSERT_EQ(near.rc, glib::RCOK);
  EXPECT_EQ(near.pages.at(0).width, 160);
  Loaded far = vexlo.Thumbnail(path, 240, 240);  // fitted 240 x 150: 3/4 is 180 x 113
  ASSERT_EQ(far.rc, glib::RCOK);
  EXPECT_EQ(far.pages.at(0).width, 640);

  // A 4:3 thumbnail (160 x 120) carried into a 3:2 picture's EXIF block.
  ASSERT_EQ(vexlo.Save(path, {Pattern(640, 480)}, params), glib::RCOK);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  std::string block(reinterpret_cast<const char*>(info->exif), info->exifSize);
  JPGSave carried;
  carried.exif = reinterpret_cast<const uint8_t*>(block.data());
  carried.exifSize = uint32_t(block.size());
  ASSERT_EQ(vexlo.Save(path, {Pattern(600, 400)}, carried), glib::RCOK);
  Loaded barred = vexlo.Thumbnail(path, 100, 100);
  ASSERT_EQ(barred.rc, glib::RCOK);
  EXPECT_EQ(barred.pages.at(0).width, 150);  // 1/4 scale, not the 160 x 120 thumbnail
  EXPECT_EQ(barred.pages.at(0).height, 100);
}

// A coded stream many times the writer's output buffer reaches a file and a memory
// block whole and alike, and a device that refuses the bytes fails the save.
TEST_F(JpegTest, LargeStreamsArriveWholeAndRefusedWritesFail) {
  Picture source = Pattern(640, 480);
  std::mt19937 noise(3);
  for (size_t i = 0; i < source.bgra.size(); ++i) {
    if (i % 4 != 3) source.bgra[i] = uint8_t(source.bgra[i] / 2 + noise() % 128);
  }
  JPGSave params;
  params.quality = 100;
  std::string path = vexlo.Dir().File("large.jpg");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  std::string file = ReadFile(path);
  ASSERT_GT(file.size(), size_t(4) << 16);
  EXPECT_EQ(file.substr(file.size() - 2), "\xFF\xD9");
  EXPECT_TRUE(vexlo.SaveBytes({source}, params) == file);
  Loaded back = vexlo.Load(path);
  ASSERT_EQ(back.rc, glib::RCOK);
  EXPECT_LE(MaxDifference(back.pages.at(0), source), 8);
#if !defined(_WIN32)
  EXPECT_EQ(vexlo.Save("/dev/full", {source}, params), glib::WERR);
#endif
}

// A 32-bit page is coded from its own rows, the alpha bytes skipped: the same file
// as its pixels in 24-bit rows give, in YCbCr and in RGB.
TEST_F(JpegTest, ThirtyTwoBitPagesCodeLikeTheir24BitRows) {
  Picture source = Pattern(61, 37, true, 5);
  std::vector<uint8_t> bgr;
  for (size_t i = 0; i < source.bgra.size(); i += 4)
    bgr.insert(bgr.end(), &source.bgra[i], &source.bgra[i] + 3);
  for (uint32_t pixelType : {0x06010308u, 0x03010308u}) {
    SCOPED_TRACE(pixelType);
    JPGSave params;
    params.pixelType = pixelType;
    std::string wide = vexlo.SaveBytes({source}, params);
    glib::ImageDataExchange request;
    auto* page = new glib::IDEPage;
    page->bitmap.width = source.width;
    page->bitmap.height = source.height;
    page->bitmap.pixelType = glib::kPixelRGB24;
    page->bitmap.stride = source.width * 3;
    page->bitmap.pixels = bgr.data();
    page->bitmap.ownsPixels = 0;
    request.pages.Add(page);
    ASSERT_EQ(vexlo.Manager().SaveImageData(nullptr, &request, &params), glib::RCOK);
    std::string narrow(static_cast<const char*>(request.source), request.sourceSize);
    request.release(const_cast<void*>(request.source), 0);
    ASSERT_FALSE(wide.empty());
    EXPECT_TRUE(wide == narrow);
  }
}

TEST_F(JpegTest, MalformedFilesAnswerWithACode) {
  JPGSave params;
  std::string good = vexlo.SaveBytes({Pattern(40, 30)}, params);
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 3), nullptr, glib::kFormatJPG).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 200)).rc, glib::BADI);
  // Data cut short: what arrived is shown.
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, good.size() - 100)).rc, glib::RCOK);
  // A frame claiming 65535 x 65535 pixels is refused before any allocation.
  size_t sof = good.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string huge = good;
  huge.replace(sof + 5, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(vexlo.LoadBytes(huge).rc, glib::OMEM);
  std::string zero = good;
  zero.replace(sof + 5, 4, std::string(4, '\0'));
  EXPECT_EQ(vexlo.LoadBytes(zero).rc, glib::BADI);
  // Markers whose lengths run past the end, and a bad Huffman table.
  std::string bad(
      "\xFF\xD8\xFF\xE1\xFF\xF0"
      "Exif\0\0",
      12);
  EXPECT_EQ(vexlo.LoadBytes(bad).rc, glib::BADI);
  std::string table = good;
  size_t dht = table.find("\xFF\xC4");
  table[dht + 5] = '\xFF';
  EXPECT_NE(vexlo.LoadBytes(table).rc, glib::RCOK);
}

}  // namespace
