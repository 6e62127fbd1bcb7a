// HEIF/HEIC and AVIF files made by Debian's encoders (heif-enc, avifenc), decoded by
// the plug-in and by the tools' own decoders (heif-convert, avifdec).
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <fstream>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

// The identifiers the plug-in announces: code HEI and AVF, common and multi-page.
constexpr uint32_t kFormatHEI = 0x18484549;
constexpr uint32_t kFormatAVF = 0x18415646;

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveTools() { return Shell("command -v heif-enc heif-convert avifenc avifdec exiftool"); }

class HeifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "heif-enc, avifenc and their decoders are missing";
    keep16.pageCount = 0xFFFFFFFF;
  }

  // The picture as a PNG (16-bit samples with `wide`), written by the plug-in itself.
  std::string Png(const std::string& name, const Picture& picture, bool wide = false) {
    glib::PNGSave params;
    bool alpha = false;
    for (size_t i = 3; i < picture.bgra.size(); i += 4) alpha |= picture.bgra[i] != 255;
    params.pixelType = wide ? (alpha ? glib::kPixelRGBA64 : glib::kPixelRGB48)
                            : (alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24);
    std::string path = vexlo.Dir().File(name);
    EXPECT_EQ(vexlo.Save(path, {picture}, params), glib::RCOK);
    return path;
  }
  // Encodes with `command` ("%in" and "%out" replaced) into a file of the temporary folder.
  std::string Encode(std::string command, const std::string& in, const std::string& name) {
    std::string out = vexlo.Dir().File(name);
    command.replace(command.find("%in"), 3, "'" + in + "'");
    command.replace(command.find("%out"), 4, "'" + out + "'");
    EXPECT_TRUE(Shell(command)) << command;
    return out;
  }
  // The reference decoder's result, read back through the plug-in's PNG decoder.
  Picture Reference(const std::string& path, bool wide = false, bool libheif = false) {
    std::string png = path + ".ref.png";
    bool avif = path.ends_with(".avif") && !libheif;
    std::string command =
        avif ? "avifdec " + std::string(wide ? "-d 16 " : "-d 8 ") + "'" + path + "' '" + png + "'"
             : "heif-convert '" + path + "' '" + png + "'";
    EXPECT_TRUE(Shell(command)) << command;
    Loaded loaded = vexlo.Load(png, wide ? &keep16 : nullptr);
    EXPECT_EQ(loaded.rc, glib::RCOK) << png;
    return loaded.pages.empty() ? Picture{} : loaded.pages[0];
  }

  Vexlo vexlo;
  glib::ImageLoad keep16;
};

// Largest difference of the 10-bit values under two 16-bit pictures (heif-convert
// shifts 10-bit samples up, the plug-in and avifdec scale them to the full range).
int MaxTenBitDifference(const Picture& a, const Picture& b) {
  if (a.wide.size() != b.wide.size() || a.wide.empty()) return 1023;
  int most = 0;
  for (size_t i = 0; i < a.wide.size(); ++i)
    most = std::max(most, std::abs((a.wide[i] >> 6) - (b.wide[i] >> 6)));
  return most;
}

// Lossless files give back the source exactly, alpha included; lossy ones decode like
// the tools' decoders (the same library for HEIF; libavif's own colour conversion,
// which rounds a little differently, for AVIF). The signature picks the format.
TEST_F(HeifTest, FilesDecodeLikeTheReferenceDecoders) {
  struct Case {
    const char* name;
    const char* encode;
    bool lossless;
    uint32_t format;
    int tolerance;  // against the reference decoder
  };
  const Case cases[] = {
      {"ll.heic", "heif-enc -L -p chroma=444 --matrix_coefficients=0 -o %out %in", true, kFormatHEI,
       0},
      {"lossy.heic", "heif-enc -q 60 -o %out %in", false, kFormatHEI, 0},
      {"ll.avif", "avifenc -l %in %out", true, kFormatAVF, 0},
      {"lossy.avif", "avifenc --min 20 --max 30 %in %out", false, kFormatAVF, 1},
  };
  for (bool alpha : {false, true}) {
    Picture source = Pattern(37, 23, alpha, 5);
    std::string png = Png(alpha ? "alpha.png" : "opaque.png", source);
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (alpha ? " with alpha" : ""));
      std::string file = Encode(c.encode, png, std::string(alpha ? "a-" : "") + c.name);
      Loaded ours = vexlo.Load(file);
      ASSERT_EQ(ours.rc, glib::RCOK);
      EXPECT_EQ(ours.format, c.format);
      ASSERT_EQ(ours.pages.size(), 1u);
      const Picture& got = ours.pages[0];
      EXPECT_EQ(got.pixelType, alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24);
      // x265's lossless mode as heif-enc drives it may be a level off the source.
      if (c.lossless) {
        EXPECT_LE(MaxDifference(got, source), c.format == kFormatHEI ? 1 : 0);
      }
      EXPECT_LE(MaxDifference(got, Reference(file)), c.tolerance);
    }
  }
}

// Pictures decode as heif-convert decodes them. A single coded picture or a grid of
// them (AV1 or HEVC, every chroma layout, a grey picture coded as 4:0:0, with alpha or
// without; heif-enc puts odd sizes into a grid), turned and mirrored, goes through our
// own decoder and conversion, within the level libheif's conversion rounds to (it
// keeps 8 fraction bits). A clean aperture and a grid with alpha are left to libheif,
// and decode exactly.
TEST_F(HeifTest, PicturesDecodeLikeLibheif) {
  struct Input {
    std::string colour, grey, alpha;
  };
  auto inputs = [&](const std::string& name, int width, int height) {
    Input in{Png(name + ".png", Pattern(width, height, false, 7)),
             vexlo.Dir().File(name + "-grey.png"),
             Png(name + "-alpha.png", Pattern(width, height, true, 8))};
    EXPECT_TRUE(Convert("'" + in.colour + "' -colorspace Gray '" + in.grey + "'"));
    return in;
  };
  const Input odd = inputs("odd", 29, 17), even = inputs("even", 128, 64);
  struct Case {
    const char* name;
    const char* encode;
    const std::string& in;
    int width, height, tolerance;
  };
  const Case cases[] = {
      {"g420.heic", "heif-enc -q 70 -o %out %in", odd.colour, 29, 17, 1},
      {"g422.heic", "heif-enc -q 70 -p chroma=422 -o %out %in", odd.colour, 29, 17, 1},
      {"g444.heic", "heif-enc -q 70 -p chroma=444 -o %out %in", odd.colour, 29, 17, 1},
      {"ggrey.heic", "heif-enc -q 70 -o %out %in", odd.grey, 29, 17, 1},
      {"p420.heic", "heif-enc -q 70 -o %out %in", even.colour, 128, 64, 1},
      {"p422.heic", "heif-enc -q 70 -p chroma=422 -o %out %in", even.colour, 128, 64, 1},
      {"p444.heic", "heif-enc -q 70 -p chroma=444 -o %out %in", even.colour, 128, 64, 1},
      {"pgrey.heic", "heif-enc -q 70 -o %out %in", even.grey, 128, 64, 1},
      {"palpha.heic", "heif-enc -q 70 -o %out %in", even.alpha, 128, 64, 1},
      {"p420.avif", "avifenc -y 420 %in %out", even.colour, 128, 64, 1},
      {"plimited.avif", "avifenc -y 422 -r limited %in %out", even.colour, 128, 64, 1},
      {"palpha.avif", "avifenc %in %out", even.alpha, 128, 64, 1},
      {"rotated.avif", "avifenc --irot 1 %in %out", even.colour, 64, 128, 1},
      {"mirrored.avif", "avifenc --imir 1 %in %out", even.colour, 128, 64, 1},
      {"flipped.avif", "avifenc --imir 0 %in %out", even.colour, 128, 64, 1},
      {"both.avif", "avifenc --irot 3 --imir 0 %in %out", even.colour, 64, 128, 1},
      {"turned-grid.avif", "avifenc -g 2x1 --irot 2 %in %out", even.colour, 128, 64, 1},
      {"alpha-grid.avif", "avifenc -g 2x1 %in %out", even.alpha, 128, 64, 0},
      {"cropped.avif", "avifenc --crop 2,4,100,40 %in %out", even.colour, 100, 40, 0},
      {"grid.avif", "avifenc -g 2x1 %in %out", even.colour, 128, 64, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = Encode(c.encode, c.in, c.name);
    Loaded ours = vexlo.Load(file);
    ASSERT_EQ(ours.rc, glib::RCOK);
    ASSERT_EQ(ours.pages.size(), 1u);
    EXPECT_EQ(ours.pages[0].width, c.width);
    EXPECT_EQ(ours.pages[0].height, c.height);
    EXPECT_LE(MaxDifference(ours.pages[0], Reference(file, false, true)), c.tolerance);
  }
}

// Colour premultiplied by its alpha comes out straight, as avifdec gives it: from a
// single picture and from a grid (which libheif decodes). Lossless files, so that the
// only differences are those of dividing by alpha again (libavif divides through a
// table of reciprocals, two levels off at most).
TEST_F(HeifTest, PremultipliedColourComesOutStraight) {
  std::string png = Png("prem.png", Pattern(128, 64, true, 9));
  for (const char* encode : {"avifenc -l -p %in %out", "avifenc -l -p -g 2x1 %in %out"}) {
    SCOPED_TRACE(encode);
    std::string file = Encode(encode, png, "prem.avif");
    Loaded ours = vexlo.Load(file);
    ASSERT_EQ(ours.rc, glib::RCOK);
    ASSERT_EQ(ours.pages.size(), 1u);
    EXPECT_LE(MaxDifference(ours.pages[0], Reference(file)), 2);
  }
}

// 10-bit files keep their depth as 16-bit samples, scaled to the full range; asked for
// 8 bits they give 8.
TEST_F(HeifTest, TenBitSamplesBecomeSixteenBit) {
  std::string png = Png("wide.png", Pattern(32, 20, true, 9), true);
  const char* encoders[] = {"heif-enc -b 10 -q 90 -o %out %in", "avifenc -d 10 %in %out"};
  const char* names[] = {"ten.heic", "ten.avif"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(names[i]);
    std::string file = Encode(encoders[i], png, names[i]);
    Loaded wide = vexlo.Load(file, &keep16);
    ASSERT_EQ(wide.rc, glib::RCOK);
    EXPECT_EQ(wide.pages.at(0).pixelType, glib::kPixelRGBA64);
    Picture reference = Reference(file, true);
    EXPECT_LE(MaxTenBitDifference(wide.pages[0], reference), i == 0 ? 0 : 1);
    // Full range: a 10-bit maximum is 65535, not 65472.
    uint16_t top = 0;
    for (uint16_t v : wide.pages[0].wide) top = std::max(top, v);
    EXPECT_EQ(top, 65535);

    glib::ImageLoad reduce;
    reduce.reduceTo8Bits = 1;
    Loaded narrow = vexlo.Load(file, &reduce);
    ASSERT_EQ(narrow.rc, glib::RCOK);
    EXPECT_EQ(narrow.pages.at(0).pixelType, glib::kPixelRGBA32);
    EXPECT_LE(MaxDifference(narrow.pages[0], wide.pages[0]), 1);
  }
}

// Several images in one file are pages, the primary one first; the page range picks.
// The information record counts them and describes the primary image.
TEST_F(HeifTest, ImagesOfOneFileArePages) {
  std::string first = Png("first.png", Pattern(40, 30, false, 1));
  std::string second = Png("second.png", Pattern(21, 13, true, 2));
  std::string file = vexlo.Dir().File("two.heic");
  ASSERT_TRUE(Shell("heif-enc -q 80 -o '" + file + "' '" + first + "' '" + second + "'"));
  Loaded all = vexlo.Load(file);
  ASSERT_EQ(all.rc, glib::RCOK);
  ASSERT_EQ(all.pages.size(), 2u);
  EXPECT_EQ(all.pages[0].width, 40);
  EXPECT_EQ(all.pages[1].width, 21);
  EXPECT_EQ(all.pages[1].pixelType, glib::kPixelRGBA32);

  glib::ImageLoad onlySecond;
  onlySecond.firstPage = 1;
  onlySecond.pageCount = 1;
  Loaded picked = vexlo.Load(file, &onlySecond);
  ASSERT_EQ(picked.rc, glib::RCOK);
  ASSERT_EQ(picked.pages.size(), 1u);
  EXPECT_EQ(picked.pages[0], all.pages[1]);

  auto info = vexlo.Info(file);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageCount, 2u);
  EXPECT_EQ(info->width, 40);
  EXPECT_EQ(info->height, 30);
  EXPECT_EQ(info->format, kFormatHEI);
}

// The thumbnail entry decodes the embedded thumbnail when it serves the request;
// otherwise, and without one, the image itself.
TEST_F(HeifTest, ThumbnailEntryUsesTheEmbeddedThumbnail) {
  std::string png = Png("big.png", Pattern(96, 64, false, 3));
  std::string with = Encode("heif-enc -q 80 -t 24 -o %out %in", png, "thumb.heic");
  Loaded thumb = vexlo.Thumbnail(with, 32, 32);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  ASSERT_EQ(thumb.pages.size(), 1u);
  EXPECT_EQ(thumb.pages[0].width, 24);
  EXPECT_EQ(thumb.pages[0].height, 16);
  // Too small for a larger request: the image itself.
  Loaded larger = vexlo.Thumbnail(with, 80, 80);
  ASSERT_EQ(larger.rc, glib::RCOK);
  EXPECT_EQ(larger.pages.at(0).width, 96);

  std::string without = Encode("avifenc %in %out", png, "plain.avif");
  Loaded full = vexlo.Thumbnail(without, 32, 32);
  ASSERT_EQ(full.rc, glib::RCOK);
  EXPECT_EQ(full.pages.at(0).width, 96);
}

// EXIF (without HEIF's offset word and the JPEG-style header) and the ICC profile reach
// the information record and the page's metadata.
TEST_F(HeifTest, ExifAndProfileReachTheInformationRecord) {
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string icc(size, '\0');
  cmsSaveProfileToMem(profile, icc.data(), &size);
  cmsCloseProfile(profile);
  std::string iccPath = vexlo.Write("srgb.icc", icc);
  std::string jpeg = vexlo.Dir().File("tagged.jpg");
  ASSERT_TRUE(Convert("'" + Png("tagged.png", Pattern(24, 16)) + "' -profile '" + iccPath + "' '" +
                      jpeg + "'"));
  ASSERT_TRUE(Shell("exiftool -overwrite_original -Make=HeifMaker '" + jpeg + "'"));
  std::string file = Encode("heif-enc -q 80 -o %out %in", jpeg, "tagged.heic");

  auto info = vexlo.Info(file);
  ASSERT_TRUE(info);
  ASSERT_GE(info->exifSize, 8u);
  std::string exif(reinterpret_cast<const char*>(info->exif), info->exifSize);
  EXPECT_TRUE(exif.starts_with("II*") || exif.starts_with(std::string("MM\0*", 4)));
  EXPECT_NE(exif.find("HeifMaker"), std::string::npos);
  EXPECT_EQ(info->hasColorProfile, 1u);
  EXPECT_EQ(info->colorProfileSpace, glib::FourCC("RGB "));
  EXPECT_STREQ(info->typeText, "HEIF");
  EXPECT_EQ(info->pixelType, glib::kPixelRGB24);

  Loaded loaded = vexlo.Load(file);
  ASSERT_EQ(loaded.rc, glib::RCOK);
  ASSERT_EQ(loaded.metadata.size(), 1u);
  EXPECT_NE(loaded.metadata[0].find("HeifMaker"), std::string::npos);
  EXPECT_NE(loaded.metadata[0].find(icc.substr(36, 8)), std::string::npos);  // "acspAPPL"
}

// Damaged files and files claiming huge pictures give codes: the size is refused before
// any decoding.
TEST_F(HeifTest, DamagedAndHugeFilesGiveCodes) {
  // 64 x 64: the coded size itself, no cropping box.
  std::string png = Png("small.png", Pattern(64, 64));
  std::string good = ReadFile(Encode("heif-enc -q 50 -o %out %in", png, "good.heic"));
  ASSERT_GT(good.size(), 100u);
  for (size_t cut : {size_t(12), size_t(40), good.size() / 2, good.size() - 10}) {
    SCOPED_TRACE(cut);
    Loaded loaded = vexlo.LoadBytes(std::string_view(good).substr(0, cut), nullptr, kFormatHEI);
    EXPECT_NE(loaded.rc, glib::RCOK);
    EXPECT_TRUE(loaded.pages.empty());
  }
  // The image's spatial extent claims 20000 x 20000: more pixels than any decoder takes.
  size_t ispe = good.find("ispe");
  ASSERT_NE(ispe, std::string::npos);
  std::string huge = good;
  const char side[4] = {0, 0, 0x4E, 0x20};
  huge.replace(ispe + 8, 4, side, 4);
  huge.replace(ispe + 12, 4, side, 4);
  Loaded loaded = vexlo.LoadBytes(huge, nullptr, kFormatHEI);
  EXPECT_EQ(loaded.rc, glib::OMEM);
  uint32_t rc = 0;
  EXPECT_FALSE(
      vexlo.Info(vexlo.Write("garbage.avif", std::string("\0\0\0\x18", 4) + "ftypavif" + good), &rc,
                 kFormatAVF));
  EXPECT_NE(rc, glib::RCOK);
}

// heif-enc files of a 64 x 64 picture whose SPS was rewritten to claim 30000 x 30000
// (over the pixel cap) and 8192 x 8192 (within it, far beyond the item): nothing is
// allocated for them, the picture and the thumbnail give codes, the information
// (from the container) is still there.
TEST_F(HeifTest, StreamsClaimingMoreThanTheItemAreRefused) {
  struct Case {
    const char* file;
    uint32_t rc;
  };
  for (const Case& c :
       {Case{"hevc-huge-sps.heic", glib::OMEM}, Case{"hevc-oversized-sps.heic", glib::OMEM}}) {
    SCOPED_TRACE(c.file);
    std::string bytes = ReadFile(DataFile(c.file));
    ASSERT_GT(bytes.size(), 100u);
    Loaded loaded = vexlo.LoadBytes(bytes, nullptr, kFormatHEI);
    EXPECT_EQ(loaded.rc, c.rc);
    EXPECT_TRUE(loaded.pages.empty());
    std::string path = vexlo.Write(c.file, bytes);
    EXPECT_EQ(vexlo.Thumbnail(path, 16, 16).rc, c.rc);
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 64);
  }
}

}  // namespace

// heif-enc puts a 33 x 17 picture into a grid of one 64 x 64 tile. A grid whose
// description asks for a canvas beyond the image's declared size is refused before
// anything is allocated for it, a long panorama's as well as a square's.
TEST_F(HeifTest, GridsLargerThanTheirImageAreRefused) {
  std::string good =
      ReadFile(Encode("heif-enc -q 50 -o %out %in", Png("grid.png", Pattern(33, 17)), "grid.heic"));
  size_t idat = good.find("idat");
  ASSERT_NE(idat, std::string::npos);
  ASSERT_EQ(good.substr(idat + 8, 4), std::string("\0\0\0\x21\0\x11", 6).substr(2, 4));
  size_t ispe = good.find(std::string("\0\0\0\x21\0\0\0\x11", 8));
  ASSERT_NE(ispe, std::string::npos);
  std::string path = vexlo.Write("good-grid.heic", good);
  ASSERT_EQ(vexlo.Load(path).rc, glib::RCOK);
  // 20000 x 17 declared, 20000 x 20000 asked for.
  std::string bad = good;
  bad.replace(ispe, 4, std::string("\0\0\x4E\x20", 4));
  bad.replace(idat + 8, 4, std::string("\x4E\x20\x4E\x20", 4));
  path = vexlo.Write("long-grid.heic", bad);
  EXPECT_EQ(vexlo.Load(path).rc, glib::BADI);
  EXPECT_EQ(vexlo.Thumbnail(path, 16, 16).rc, glib::BADI);
#if !defined(_WIN32)
  // libheif would refuse it too, but only after filling a canvas of gigabytes: in a
  // process of its own, the load must leave the peak of resident memory small.
  EXPECT_EXIT(
      {
        Loaded loaded = vexlo.Load(path);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::exit(loaded.rc == glib::BADI && usage.ru_maxrss < 400 * 1024 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
#endif
}
