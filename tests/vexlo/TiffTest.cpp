#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "Harness.h"
#include "formats/Retcode.h"
#include "runtime/TiffDirectory.h"
#include "support/Exiftool.h"

using namespace vexlo_test;
using glib::TIFSave;

namespace {

class TiffTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

TEST_F(TiffTest, DepthsCompressionsAndLayoutsRoundTrip) {
  Picture source = Pattern(70, 41, true, 0);
  struct Case {
    uint32_t type, compression;
    int tolerance;
    bool alpha;
  };
  const Case cases[] = {
      {0x83010410, 5, 0, true},    {0x03010310, 8, 0, false},       {0x83010408, 32773, 0, true},
      {0x03010308, 1, 0, false},   {0x03010308, 7, 12, false},      {0x02010108, 5, 60, false},
      {0x02010104, 8, 255, false}, {0x01010101, 4, 255, false},     {0x01010101, 3, 255, false},
      {0x01010101, 2, 255, false}, {0x01010101, 32771, 255, false},
  };
  for (const Case& c : cases) {
    for (int layout = 0; layout < 4; ++layout) {
      SCOPED_TRACE(testing::Message() << std::hex << c.type << std::dec << " compression "
                                      << c.compression << " layout " << layout);
      TIFSave params;
      params.pixelType = c.type;
      params.compression = c.compression;
      params.tiled = layout & 1;
      params.littleEndian = layout & 2 ? 0 : 1;
      params.bigTiff = layout == 3;
      params.multiStrip = layout != 2;
      params.fillOrder = layout == 1 ? 2 : 1;
      std::string path = vexlo.Dir().File("round.tif");
      ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
      glib::ImageLoad keep;
      Loaded back = vexlo.Load(path, &keep);
      ASSERT_EQ(back.rc, glib::RCOK);
      Picture expected = source;
      if (!c.alpha) {
        for (size_t i = 3; i < expected.bgra.size(); i += 4) expected.bgra[i] = 255;
      }
      if (c.tolerance < 255) {
        EXPECT_LE(MaxDifference(back.pages.at(0), expected), c.tolerance);
      }
      if ((c.type & 0xFF) == 1) {
        EXPECT_EQ(glib::BitsPerPixel(back.pages.at(0).pixelType), 1u);  // bilevel stays 1 bit
      }
      auto info = vexlo.Info(path);
      ASSERT_TRUE(info);
      EXPECT_EQ(info->compression, int32_t(c.compression));
      if (params.tiled || !params.multiStrip) {
        EXPECT_EQ(info->tiff.segmentation, params.tiled ? 2 : 1);
      }
      EXPECT_EQ(info->bigEndian, params.littleEndian ? 0 : 1);
    }
  }
}

TEST_F(TiffTest, PagesRangesAndAppending) {
  std::vector<Picture> pages = {Pattern(12, 9, false, 1), Pattern(8, 5, false, 2),
                                Pattern(20, 3, false, 3)};
  TIFSave params;
  params.pixelType = 0x03010308;
  std::string path = vexlo.Dir().File("pages.tif");
  ASSERT_EQ(vexlo.Save(path, pages, params), glib::RCOK);
  Loaded all = vexlo.Load(path);
  ASSERT_EQ(all.pages.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(MaxDifference(all.pages[i], pages[i]), 0);
  EXPECT_EQ(vexlo.Info(path)->pageCount, 3u);
  glib::TIFLoad range;
  range.firstPage = 2;
  range.pageCount = 1;
  Loaded last = vexlo.Load(path, &range);
  ASSERT_EQ(last.pages.size(), 1u);
  EXPECT_EQ(last.pages[0].width, 20);
  range.firstPage = 5;
  EXPECT_EQ(vexlo.Load(path, &range).rc, glib::BADA);

  // Batch scans append through byte +55 of the record.
  params.keepPartialFile = 1;
  params.compression = 4;
  params.pixelType = 0x01010101;
  ASSERT_EQ(vexlo.Save(path, {Pattern(16, 16)}, params), glib::RCOK);
  ASSERT_EQ(vexlo.Save(path, {Pattern(16, 16)}, params), glib::RCOK);
  Loaded appended = vexlo.Load(path);
  ASSERT_EQ(appended.rc, glib::RCOK);
  EXPECT_EQ(appended.pages.size(), 5u);
  EXPECT_EQ(MaxDifference(appended.pages[1], pages[1]), 0);
}

TEST_F(TiffTest, CmykAndIptcAndInformation) {
  std::string iptc(
      "\x1C\x02\x78\x00\x03"
      "abc",
      8);
  TIFSave params;
  params.pixelType = 0x83010408;
  params.cmyk = 5;
  params.iptc = reinterpret_cast<const uint8_t*>(iptc.data());
  params.iptcSize = uint32_t(iptc.size());
  Picture source = Pattern(30, 20, false, 0);
  source.resolutionX = 600;
  source.resolutionY = 300;
  std::string path = vexlo.Dir().File("cmyk.tif");
  ASSERT_EQ(vexlo.Save(path, {source}, params), glib::RCOK);
  Loaded back = vexlo.Load(path);
  ASSERT_EQ(back.rc, glib::RCOK);
  EXPECT_LE(MaxDifference(back.pages.at(0), source), 2);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->tiff.photometric, 5);
  EXPECT_EQ(info->tiff.samplesPerPixel, 4u);
  EXPECT_NEAR(info->resolutionX, 600, 0.01);
  EXPECT_NEAR(info->resolutionY, 300, 0.01);
  EXPECT_STREQ(info->Text(glib::kInfoSoftware), "Orbisk");
  ASSERT_GE(info->iptcSize, iptc.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->iptc), iptc.size()), iptc);
}

TEST_F(TiffTest, RealFilesMatchTheReferenceDecoder) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference decoder";
  std::string source = vexlo.Dir().File("source.png");
  ASSERT_TRUE(Convert("-size 50x37 plasma:fractal -seed 11 '" + source + "'"));
  const char* variants[] = {
      "-depth 16 -compress Zip",
      "-colorspace CMYK -compress LZW",
      "-colors 30 -type Palette",
      "-colorspace Gray -define quantum:polarity=min-is-white",
      "-compress JPEG -quality 95 -define tiff:photometric=YCbCr",
      "-define tiff:tile-geometry=16x16 -compress LZW",
      "-interlace Plane -alpha set -channel A -evaluate set 60%",
      "-monochrome -compress Group4",
  };
  for (const char* variant : variants) {
    SCOPED_TRACE(variant);
    vexlo.ExpectLikeReference(source, variant, vexlo.Dir().File("ref.tif"), 2);
  }
}

// Hand-made little-endian TIFF files: the header (first directory at 8), then values
// and directory entries in the order they are appended.
struct TiffBytes {
  std::string t = std::string("II*\0\x08\0\0\0", 8);

  void U16(uint32_t v) { t += char(v & 255), t += char(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    U16(tag), U16(type), U32(count), U32(value);
  }
  // The eight entries of a width x height 8-bit grey picture, uncompressed, in one
  // strip at `pixelsAt`.
  void GreyStrip(uint32_t width, uint32_t height, uint32_t pixelsAt) {
    Entry(256, 3, 1, width);
    Entry(257, 3, 1, height);
    Entry(258, 3, 1, 8);
    Entry(259, 3, 1, 1);
    Entry(262, 3, 1, 1);
    Entry(273, 4, 1, pixelsAt);
    Entry(278, 3, 1, height);
    Entry(279, 4, 1, width * height);
  }
};

// A hand-made little-endian TIFF: one 2 x 2 8-bit grey strip and the skin tag 30583,
// followed by `next` as the offset of the next directory.
std::string TinyTiff(uint32_t next, bool skinTag) {
  TiffBytes b;
  uint16_t entries = skinTag ? 9 : 8;
  uint32_t dataAt = 8 + 2 + entries * 12 + 4;
  b.U16(entries);
  b.GreyStrip(2, 2, dataAt);
  if (skinTag) b.Entry(30583, 1, 12, dataAt + 4);
  b.U32(next);
  b.t += std::string("\x10\x20\x30\x40", 4);
  b.t += "SKINCtest=1\n";
  return b.t;
}

TEST_F(TiffTest, SkinTagsAndDirectoryCycles) {
  Loaded skin = vexlo.LoadBytes(TinyTiff(0, true));
  ASSERT_EQ(skin.rc, glib::RCOK);
  EXPECT_EQ(skin.pages.at(0).At(1, 1) & 0xFF, 0x40u);
  // The next directory is the first one again: one page, no endless walk.
  Loaded cycle = vexlo.LoadBytes(TinyTiff(8, false));
  ASSERT_EQ(cycle.rc, glib::RCOK);
  EXPECT_EQ(cycle.pages.size(), 1u);
  std::string path = vexlo.Write("cycle.tif", TinyTiff(8, true));
  EXPECT_EQ(vexlo.Info(path)->pageCount, 1u);
}

TEST_F(TiffTest, MalformedFilesAnswerWithACode) {
  std::string good = TinyTiff(0, false);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 6), nullptr, glib::kFormatTIF).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(good.substr(0, 30)).rc, glib::BADI);
  std::string huge = good;
  huge[8 + 2 + 8] = '\xFF';  // width 65535
  huge[8 + 2 + 9] = '\xFF';
  huge[8 + 2 + 12 + 8] = '\xFF';
  huge[8 + 2 + 12 + 9] = '\xFF';
  EXPECT_EQ(vexlo.LoadBytes(huge).rc, glib::OMEM);
  std::string farStrip = good;
  farStrip[8 + 2 + 5 * 12 + 8] = '\x7F';
  EXPECT_EQ(vexlo.LoadBytes(farStrip).rc, glib::RCOK);  // the strip reads as empty
}

// What an EXIF block handed over by the plug-in says, read back with the runtime's
// reader: texts by (directory, tag), rationals as numerator/denominator.
struct ExifFacts {
  bool sound = false, bigEndian = false, layoutTags = false;
  std::map<std::pair<int, uint16_t>, std::string> texts;
  std::map<std::pair<int, uint16_t>, std::vector<glib::Libtiff::Rational>> rationals;
  std::map<std::pair<int, uint16_t>, uint32_t> numbers;

  std::string Text(int which, uint16_t tag) const {
    auto found = texts.find({which, tag});
    return found == texts.end() ? "(none)" : found->second;
  }
};

enum { kIfd0, kExif, kInterop, kGps };

ExifFacts ReadExif(const uint8_t* data, uint32_t size) {
  ExifFacts facts;
  glib::Libtiff::Reader reader;
  if (!reader.Open({data, size}) || reader.Directories().empty()) return facts;
  facts.sound = true;
  facts.bigEndian = reader.BigEndian();
  auto collect = [&](int which, const glib::Libtiff::Directory& d) {
    for (const glib::Libtiff::Entry& e : d.entries) {
      std::span<const uint8_t> bytes = reader.Bytes(e);
      if (e.type == glib::Libtiff::kAscii) {
        facts.texts[{which, e.tag}] = std::string(bytes.begin(), bytes.end()).c_str();
      } else if (e.type == glib::Libtiff::kRational) {
        for (uint32_t i = 0; i < e.count; ++i)
          facts.rationals[{which, e.tag}].push_back(*reader.RationalAt(e, i));
      } else if (auto n = reader.Unsigned(e)) {
        facts.numbers[{which, e.tag}] = *n;
      }
    }
  };
  const glib::Libtiff::Directory ifd0 = reader.Directories().front();
  collect(kIfd0, ifd0);
  for (uint16_t tag : {256, 257, 273, 279, 259, 317}) {
    if (reader.Find(ifd0, tag)) facts.layoutTags = true;
  }
  if (const glib::Libtiff::Entry* e = reader.Find(ifd0, 34853)) {
    if (auto gps = reader.SubDirectory(*e)) collect(kGps, *gps);
  }
  if (const glib::Libtiff::Entry* e = reader.Find(ifd0, 34665)) {
    if (auto exif = reader.SubDirectory(*e)) {
      collect(kExif, *exif);
      if (const glib::Libtiff::Entry* i = reader.Find(*exif, 40965)) {
        if (auto interop = reader.SubDirectory(*i)) collect(kInterop, *interop);
      }
    }
  }
  return facts;
}

// The tags of tests/data/info/exif.tif, written by exiftool.
const char kExiftoolTags[] =
    "-Make=Cam -Model=M1 -Artist=Me -ExposureTime=1/250 -FNumber=2.8 -ISO=200 "
    "-DateTimeOriginal='2024:05:01 12:34:56' -GPSLatitude=48.8582 -GPSLatitudeRef=N "
    "-GPSLongitude=2.2945 -GPSLongitudeRef=E -GPSAltitude=35 -InteropIndex=R98";

void ExpectCameraTags(const ExifFacts& f) {
  ASSERT_TRUE(f.sound);
  EXPECT_FALSE(f.layoutTags);  // the pixels' layout stays out of the block
  EXPECT_EQ(f.texts.at({kIfd0, 0x010F}), "Cam");
  EXPECT_EQ(f.texts.at({kIfd0, 0x0110}), "M1");
  EXPECT_EQ(f.texts.at({kIfd0, 0x013B}), "Me");
  auto exposure = f.rationals.at({kExif, 0x829A}).at(0);
  EXPECT_EQ(exposure.numerator, 1);
  EXPECT_EQ(exposure.denominator, 250);
  auto fnumber = f.rationals.at({kExif, 0x829D}).at(0);
  EXPECT_DOUBLE_EQ(double(fnumber.numerator) / double(fnumber.denominator), 2.8);
  EXPECT_EQ(f.numbers.at({kExif, 0x8827}), 200u);
  EXPECT_EQ(f.texts.at({kExif, 0x9003}), "2024:05:01 12:34:56");
  EXPECT_EQ(f.texts.at({kInterop, 0x0001}), "R98");
  EXPECT_EQ(f.texts.at({kGps, 0x0001}), "N");
  EXPECT_EQ(f.texts.at({kGps, 0x0003}), "E");
  const auto& latitude = f.rationals.at({kGps, 0x0002});
  ASSERT_EQ(latitude.size(), 3u);
  double degrees = 0, scale = 1;
  for (const auto& r : latitude) {
    degrees += double(r.numerator) / double(r.denominator) / scale;
    scale *= 60;
  }
  EXPECT_NEAR(degrees, 48.8582, 1e-6);
  auto altitude = f.rationals.at({kGps, 0x0006}).at(0);
  EXPECT_EQ(altitude.numerator / altitude.denominator, 35);
}

// IFD0's descriptive tags, the EXIF directory with its interoperability directory
// and the GPS directory all come over, in the file's byte order.
TEST_F(TiffTest, ExifBlockCarriesEveryMetadataDirectory) {
  std::string path = (testing_support::DataDir() / "info" / "exif.tif").string();
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  ExifFacts facts = ReadExif(info->exif, info->exifSize);
  ExpectCameraTags(facts);
  EXPECT_FALSE(facts.bigEndian);
  EXPECT_EQ(facts.numbers.at({kIfd0, 274}), 1u);  // orientation, for the panel

  // A decoded page carries the block too.
  Loaded loaded = vexlo.Load(path);
  ASSERT_EQ(loaded.rc, glib::RCOK);
  EXPECT_NE(loaded.metadata.at(0).find("2024:05:01 12:34:56"), std::string::npos);

  if (!HaveConvert() || !testing_support::HaveExiftool()) GTEST_SKIP() << "no convert or exiftool";
  std::string big = vexlo.Dir().File("big.tif");
  // ImageMagick 6 takes the TIFF byte order from this define, not from -endian.
  ASSERT_TRUE(Convert("-size 64x48 gradient: -compress lzw -define tiff:endian=msb '" + big + "'"));
  ASSERT_EQ(std::system(("/usr/bin/exiftool -q -overwrite_original " + std::string(kExiftoolTags) +
                         " '" + big + "' >/dev/null 2>&1")
                            .c_str()),
            0);
  auto bigInfo = vexlo.Info(big);
  ASSERT_TRUE(bigInfo);
  ExifFacts bigFacts = ReadExif(bigInfo->exif, bigInfo->exifSize);
  ExpectCameraTags(bigFacts);
  EXPECT_TRUE(bigFacts.bigEndian);
}

// A save record's EXIF block is written into the file: the camera's texts in the
// first page, the EXIF (with interoperability) and GPS directories after the pages,
// in either byte order; pages appended later and BigTIFF files carry none.
TEST_F(TiffTest, TheRecordsExifBlockIsWrittenWithTheFirstPage) {
  auto source = vexlo.Info((testing_support::DataDir() / "info" / "exif.tif").string());
  ASSERT_TRUE(source && source->exifSize > 0);
  std::vector<Picture> pages = {Pattern(24, 16), Pattern(24, 16, false, 2)};
  for (uint8_t littleEndian : {1, 0}) {
    SCOPED_TRACE(int(littleEndian));
    TIFSave params;
    params.littleEndian = littleEndian;
    params.exif = source->exif;
    params.exifSize = source->exifSize;
    std::string path = vexlo.Dir().File("exif-out.tif");
    ASSERT_EQ(vexlo.Save(path, pages, params), glib::RCOK);
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    ExifFacts facts = ReadExif(info->exif, info->exifSize);
    ExpectCameraTags(facts);
    EXPECT_EQ(facts.bigEndian, littleEndian == 0);
    // The pixels and the second page are untouched by what came after them.
    Loaded back = vexlo.Load(path);
    ASSERT_EQ(back.rc, glib::RCOK);
    ASSERT_EQ(back.pages.size(), 2u);
    EXPECT_EQ(MaxDifference(back.pages[1], pages[1]), 0);
  }
  TIFSave big;
  big.bigTiff = 1;
  big.exif = source->exif;
  big.exifSize = source->exifSize;
  std::string bigPath = vexlo.Dir().File("exif-big.tif");
  ASSERT_EQ(vexlo.Save(bigPath, {pages[0]}, big), glib::RCOK);
  EXPECT_EQ(MaxDifference(vexlo.Load(bigPath).pages.at(0), pages[0]), 0);
}

// No metadata, no block; a describing IFD0 tag alone is enough for one; an EXIF
// directory alone gets an IFD0 that points at it.
TEST_F(TiffTest, ExifBlockOnlyWhenThereIsSomethingToShow) {
  auto plain = vexlo.Info(vexlo.Write("plain.tif", TinyTiff(0, false)));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->exifSize, 0u);

  TiffBytes b;
  uint32_t pixelsAt = 8 + 2 + 9 * 12 + 4, makeAt = pixelsAt + 4;
  b.U16(9);
  b.GreyStrip(2, 2, pixelsAt);
  b.Entry(0x010F, 2, 6, makeAt);
  b.U32(0);
  b.t += std::string("\x10\x20\x30\x40", 4) + std::string("Canon\0", 6);
  auto make = vexlo.Info(vexlo.Write("make.tif", b.t));
  ASSERT_TRUE(make);
  ExifFacts facts = ReadExif(make->exif, make->exifSize);
  EXPECT_EQ(facts.Text(kIfd0, 0x010F), "Canon");
  EXPECT_TRUE(facts.rationals.empty() && !facts.layoutTags);

  TiffBytes e;
  uint32_t exifAt = 8 + 2 + 9 * 12 + 4, dateAt = exifAt + 2 + 12 + 4 + 4;
  e.U16(9);
  e.GreyStrip(2, 2, exifAt + 2 + 12 + 4);
  e.Entry(34665, 4, 1, exifAt);
  e.U32(0);
  e.U16(1);
  e.Entry(0x9003, 2, 20, dateAt);
  e.U32(0);
  e.t += std::string("\x10\x20\x30\x40", 4) + std::string("2024:01:02 03:04:05\0", 20);
  auto exif = vexlo.Info(vexlo.Write("exif.tif", e.t));
  ASSERT_TRUE(exif);
  EXPECT_EQ(ReadExif(exif->exif, exif->exifSize).Text(kExif, 0x9003), "2024:01:02 03:04:05");
  EXPECT_EQ(vexlo.LoadBytes(e.t).rc, glib::RCOK);
}

// Cut short or with bytes spoilt anywhere in its directories, the file gives an empty
// or sound block, never a crash.
TEST_F(TiffTest, DamagedMetadataGivesAnEmptyOrSoundBlock) {
  std::string good = ReadFile((testing_support::DataDir() / "info" / "exif.tif").string());
  ASSERT_GT(good.size(), 600u);
  auto check = [&](const std::string& bytes) {
    uint32_t rc = 0;
    auto info = vexlo.Info(vexlo.Write("damaged.tif", bytes), &rc);
    if (info && info->exifSize) {
      EXPECT_TRUE(ReadExif(info->exif, info->exifSize).sound);
    }
  };
  for (size_t size = 8; size < good.size(); size += 13) check(good.substr(0, size));
  for (size_t at = 8; at < good.size(); at += 3) {
    std::string spoilt = good;
    spoilt[at] = char(spoilt[at] ^ 0xFF);
    check(spoilt);
  }
}

// A 4 x 4 page followed by its 2 x 2 reduced-resolution image.
std::string TwoResolutions() {
  TiffBytes b;
  uint32_t ifd = 8 + 16 + 4;  // after both pictures
  b.t += std::string(16, '\x50') + std::string(4, '\xA0');
  auto directory = [&](uint32_t side, uint32_t pixelsAt, uint32_t subfile, uint32_t next) {
    b.U16(9);
    b.Entry(254, 4, 1, subfile);
    b.GreyStrip(side, side, pixelsAt);
    b.U32(next);
  };
  b.t[4] = char(ifd);
  directory(4, 8, 0, ifd + 2 + 9 * 12 + 4);
  directory(2, 24, 1, 0);
  return b.t;
}

TEST_F(TiffTest, ReducedResolutionsServeTheResolutionChoiceAndThumbnails) {
  std::string path = vexlo.Write("two.tif", TwoResolutions());
  Loaded full = vexlo.Load(path);
  ASSERT_EQ(full.rc, glib::RCOK);
  ASSERT_EQ(full.pages.size(), 1u);  // the reduced image is not a page of its own
  EXPECT_EQ(full.pages[0].width, 4);
  EXPECT_EQ(vexlo.Info(path)->pageCount, 1u);
  glib::TIFLoad wanted;
  wanted.width = 2;
  wanted.height = 2;
  Loaded small = vexlo.Load(path, &wanted);
  ASSERT_EQ(small.rc, glib::RCOK);
  EXPECT_EQ(small.pages.at(0).width, 2);
  EXPECT_EQ(small.pages.at(0).At(0, 0) & 0xFF, 0xA0u);
  Loaded thumb = vexlo.Thumbnail(path, 2, 2);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  EXPECT_EQ(thumb.pages.at(0).width, 2);
}

}  // namespace
