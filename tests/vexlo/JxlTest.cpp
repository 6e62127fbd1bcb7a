// JPEG XL against libjxl's own tools: files made by cjxl decode to what djxl makes of
// them, and djxl reads what the writer makes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "Harness.h"
#include "IccProfile.h"
#include "formats/Retcode.h"
#include "host/SaveOptions.h"

using namespace vexlo_test;
using glib::JXLSave;
using glib::PNGSave;

namespace {

// What a command prints.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

bool HaveTools() { return RunQuietly("cjxl --version") && RunQuietly("djxl --version"); }

class JxlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "cjxl/djxl (libjxl-tools) missing";
    keep16.pageCount = 0xFFFFFFFF;
  }

  // A PNG of the picture in `pixelType`, turned into JPEG XL by cjxl with `options`.
  std::string Encode(const std::string& name, const Picture& picture, uint32_t pixelType,
                     const std::string& options) {
    PNGSave params;
    params.pixelType = pixelType;
    std::string png = vexlo.Dir().File(name + ".png");
    EXPECT_EQ(vexlo.Save(png, {picture}, params), glib::RCOK);
    return Cjxl(png, name, options);
  }
  std::string Cjxl(const std::string& source, const std::string& name, const std::string& options) {
    std::string jxl = vexlo.Dir().File(name + ".jxl");
    EXPECT_TRUE(RunQuietly("cjxl '" + source + "' '" + jxl + "' " + options)) << source;
    return jxl;
  }
  // What djxl makes of a file, through our PNG reader (16 bits kept).
  Picture Reference(const std::string& jxl, const std::string& extra = "") {
    std::string png = jxl + ".ref.png";
    EXPECT_TRUE(RunQuietly("djxl '" + jxl + "' '" + png + "' " + extra)) << jxl;
    Loaded loaded = vexlo.Load(png, &keep16);
    EXPECT_EQ(loaded.rc, glib::RCOK);
    return loaded.pages.empty() ? Picture{} : loaded.pages[0];
  }
  static int MaxWideDifference(const Picture& a, const Picture& b) {
    if (a.wide.size() != b.wide.size() || a.wide.empty()) return 65535;
    int worst = 0;
    for (size_t i = 0; i < a.wide.size(); ++i)
      worst = std::max(worst, std::abs(int(a.wide[i]) - int(b.wide[i])));
    return worst;
  }

  Vexlo vexlo;
  glib::ImageLoad keep16;
};

TEST_F(JxlTest, CjxlFilesDecodeLikeDjxl) {
  struct Case {
    const char* name;
    bool alpha;
    uint32_t pngType;
    const char* options;
    uint32_t pageType;
    int tolerance;  // against djxl; lossless files also against the source
  };
  const Case cases[] = {
      {"lossless", false, glib::kPixelRGB24, "-d 0 -e 3", glib::kPixelRGB24, 0},
      {"alpha", true, glib::kPixelRGBA32, "-d 0 -e 3", glib::kPixelRGBA32, 0},
      {"grey", false, 0x01010108, "-d 0 -e 3", 0x01010108, 0},
      {"grey-alpha", true, 0x81010208, "-d 0 -e 3", glib::kPixelRGBA32, 0},
      {"lossy", false, glib::kPixelRGB24, "-d 1.5 -e 3", glib::kPixelRGB24, 1},
      {"lossy-alpha", true, glib::kPixelRGBA32, "-d 1 -e 3", glib::kPixelRGBA32, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture source = Pattern(37, 23, c.alpha, 7);
    std::string jxl = Encode(c.name, source, c.pngType, c.options);
    Loaded ours = vexlo.Load(jxl);
    ASSERT_EQ(ours.rc, glib::RCOK);
    EXPECT_EQ(ours.format, glib::kFormatJXL);
    ASSERT_EQ(ours.pages.size(), 1u);
    EXPECT_EQ(ours.pages[0].pixelType, c.pageType);
    EXPECT_LE(MaxDifference(ours.pages[0], Reference(jxl)), c.tolerance);
    if (c.tolerance == 0 && glib::ColourModel(c.pngType) != 1) {
      EXPECT_EQ(MaxDifference(ours.pages[0], source), 0);
    }
  }
}

TEST_F(JxlTest, SixteenBitsAreKeptOrReduced) {
  // With alpha against the source (djxl of this version cannot write 16-bit alpha),
  // without against djxl.
  for (uint32_t type : {uint32_t(glib::kPixelRGBA64), uint32_t(glib::kPixelRGB48)}) {
    SCOPED_TRACE(type);
    std::string name = "wide" + std::to_string(type & 0xFFFF);
    std::string jxl = Encode(name, Pattern(19, 11, glib::HasAlpha(type), 3), type, "-d 0 -e 3");
    Loaded ours = vexlo.Load(jxl, &keep16);
    ASSERT_EQ(ours.rc, glib::RCOK);
    EXPECT_EQ(ours.pages.at(0).pixelType, type);
    Picture png = vexlo.Load(vexlo.Dir().File(name + ".png"), &keep16).pages.at(0);
    EXPECT_EQ(MaxWideDifference(ours.pages[0], png), 0);
    if (!glib::HasAlpha(type)) {
      EXPECT_EQ(MaxWideDifference(ours.pages[0], Reference(jxl)), 0);
    }
    glib::ImageLoad reduce = keep16;
    reduce.reduceTo8Bits = 1;
    Loaded narrow = vexlo.Load(jxl, &reduce);
    ASSERT_EQ(narrow.rc, glib::RCOK);
    EXPECT_EQ(glib::BitsPerSample(narrow.pages.at(0).pixelType), 8u);
    EXPECT_LE(MaxDifference(narrow.pages[0], png), 1);
  }
}

TEST_F(JxlTest, AnimationsArePagesWithTheirDelays) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick missing";
  // cjxl takes GIF frames that replace the whole canvas.
  std::string gif = vexlo.Dir().File("full.gif");
  ASSERT_TRUE(Convert("'" + DataFile("animation.gif") + "' -coalesce -dispose None '" + gif + "'"));
  Loaded frames = vexlo.Load(gif);
  ASSERT_EQ(frames.rc, glib::RCOK);
  ASSERT_GT(frames.pages.size(), 1u);
  std::string jxl = Cjxl(gif, "animation", "-d 0 -e 3");
  Loaded ours = vexlo.Load(jxl);
  ASSERT_EQ(ours.rc, glib::RCOK);
  ASSERT_EQ(ours.pages.size(), frames.pages.size());
  for (size_t i = 0; i < ours.pages.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(MaxDifference(ours.pages[i], frames.pages[i]), 0);
    EXPECT_EQ(ours.pages[i].delay, frames.pages[i].delay);
  }
  // A range of pages: the second alone.
  glib::ImageLoad second;
  second.firstPage = 1;
  second.pageCount = 1;
  Loaded one = vexlo.Load(jxl, &second);
  ASSERT_EQ(one.rc, glib::RCOK);
  ASSERT_EQ(one.pages.size(), 1u);
  EXPECT_EQ(MaxDifference(one.pages[0], frames.pages[1]), 0);

  uint32_t rc = 0;
  auto info = vexlo.Info(jxl, &rc);
  ASSERT_EQ(rc, glib::RCOK);
  EXPECT_EQ(info->pageCount, frames.pages.size());
}

// An RGB profile with a tabulated tone curve, which no built-in colour encoding of
// the format describes: cjxl has to store it.
std::string OddProfile() {
  cmsUInt16Number table[16];
  for (int i = 0; i < 16; ++i) table[i] = cmsUInt16Number(65535.0 * (i * i + i) / (15.0 * 16.0));
  return RgbProfile({{0.68, 0.32, 1.0}, {0.265, 0.69, 1.0}, {0.15, 0.06, 1.0}},
                    cmsBuildTabulatedToneCurve16(nullptr, 16, table));
}

TEST_F(JxlTest, InformationHasSizeExifAndProfile) {
  if (!RunQuietly("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "python3-pil missing";
  std::string icc = vexlo.Write("odd.icc", OddProfile());
  std::string jpeg = vexlo.Dir().File("meta.jpg");
  // EXIF with the camera make "Orbisk"; cjxl keeps a JPEG's EXIF and profile.
  std::string script =
      "from PIL import Image; im = Image.new('RGB', (21, 13), (200, 60, 20)); "
      "ex = Image.Exif(); ex[0x010F] = 'Orbisk'; "
      "im.save('" +
      jpeg + "', icc_profile=open('" + icc + "','rb').read(), exif=ex.tobytes())";
  ASSERT_TRUE(RunQuietly("/usr/bin/python3 -c \"" + script + "\""));
  std::string jxl = Cjxl(jpeg, "meta", "");
  uint32_t rc = 0;
  auto info = vexlo.Info(jxl, &rc);
  ASSERT_EQ(rc, glib::RCOK);
  EXPECT_EQ(info->width, 21);
  EXPECT_EQ(info->height, 13);
  EXPECT_EQ(info->pageCount, 1u);
  EXPECT_EQ(info->hasColorProfile, 1u);
  EXPECT_EQ(info->colorProfileSpace, 0x52474220u);  // "RGB "
  ASSERT_NE(info->exif, nullptr);
  std::string exif(reinterpret_cast<const char*>(info->exif), info->exifSize);
  EXPECT_TRUE(exif.rfind("II*", 0) == 0 || exif.rfind("MM", 0) == 0) << "not a TIFF block";
  EXPECT_NE(exif.find("Orbisk"), std::string::npos);
  // The load converts through the stored profile and keeps both blocks on the slide.
  Loaded ours = vexlo.Load(jxl);
  ASSERT_EQ(ours.rc, glib::RCOK);
  EXPECT_NE(ours.metadata.at(0).find("Orbisk"), std::string::npos);
  EXPECT_NE(ours.metadata.at(0).find("ICCP"), std::string::npos);
}

TEST_F(JxlTest, DamagedFilesGiveACode) {
  std::string jxl = Encode("whole", Pattern(64, 48, false, 2), glib::kPixelRGB24, "-d 1 -e 3");
  std::string bytes = ReadFile(jxl);
  // A cut file still starts as JPEG XL; a header that lies about its size; garbage.
  for (size_t keep : {size_t(2), size_t(12), bytes.size() / 2}) {
    Loaded cut = vexlo.LoadBytes(bytes.substr(0, keep), nullptr, glib::kFormatJXL);
    EXPECT_NE(cut.rc, glib::RCOK) << keep;
  }
  std::string garbage = "\xFF\x0A" + std::string(200, '\x5A');
  EXPECT_NE(vexlo.LoadBytes(garbage, nullptr, glib::kFormatJXL).rc, glib::RCOK);
  uint32_t rc = 0;
  EXPECT_EQ(vexlo.Info(vexlo.Write("garbage.jxl", garbage), &rc, glib::kFormatJXL), nullptr);
  EXPECT_NE(rc, glib::RCOK);
}

TEST_F(JxlTest, WrittenFilesReadBackInDjxl) {
  struct Case {
    const char* name;
    uint32_t pixelType;
    bool lossless;
    int tolerance;  // ours against the source
  };
  const Case cases[] = {
      {"rgba", glib::kPixelRGBA32, true, 0},
      {"rgb48", glib::kPixelRGB48, true, 0},
      {"grey", 0x01010108, true, 255},
      {"lossy", glib::kPixelRGB24, false, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Lossy coding blurs the pattern's steps in red: a smooth one for that case.
    Picture source = Pattern(33, 21, glib::HasAlpha(c.pixelType), c.lossless ? 5 : 0);
    JXLSave params;
    params.pixelType = c.pixelType;
    params.lossless = c.lossless;
    params.effort = 3;
    std::string jxl = vexlo.Dir().File(std::string(c.name) + "-ours.jxl");
    ASSERT_EQ(vexlo.Save(jxl, {source}, params), glib::RCOK);
    Loaded ours = vexlo.Load(jxl, &keep16);
    ASSERT_EQ(ours.rc, glib::RCOK);
    Picture expected = source;
    if (!glib::HasAlpha(c.pixelType))
      for (size_t i = 3; i < expected.bgra.size(); i += 4) expected.bgra[i] = 255;
    if (c.tolerance < 255) {
      EXPECT_LE(MaxDifference(ours.pages.at(0), expected), c.tolerance);
    }
    EXPECT_LE(MaxDifference(ours.pages.at(0), Reference(jxl)), c.lossless ? 0 : 1);
  }
  // The quality sets the distance: lower quality, smaller file.
  Picture photo = Pattern(64, 64, false, 0);
  JXLSave high, low;
  high.quality = 95;
  low.quality = 30;
  EXPECT_GT(vexlo.SaveBytes({photo}, high).size(), vexlo.SaveBytes({photo}, low).size());

  // Two pages make an animation with the pages' delays.
  Picture first = Pattern(16, 16, false, 1), second = Pattern(16, 16, false, 2);
  first.delay = 120;
  second.delay = 40;
  JXLSave params;
  params.lossless = 1;
  params.effort = 1;
  std::string jxl = vexlo.Dir().File("two.jxl");
  ASSERT_EQ(vexlo.Save(jxl, {first, second}, params), glib::RCOK);
  Loaded back = vexlo.Load(jxl);
  ASSERT_EQ(back.pages.size(), 2u);
  EXPECT_EQ(back.pages[0].delay, 120u);
  EXPECT_EQ(back.pages[1].delay, 40u);
  EXPECT_EQ(MaxDifference(back.pages[1], second), 0);
  EXPECT_TRUE(RunQuietly("djxl '" + jxl + "' '" + jxl + ".png'"));
}

// A slide metadata block: four-character tag, 32-bit little-endian length, bytes.
std::string MetadataEntry(const char (&tag)[5], const std::string& bytes) {
  std::string out(tag, 4);
  for (int i = 0; i < 4; ++i) out += char(bytes.size() >> (8 * i));
  return out + bytes;
}

// The bytes of the entry `tag` in a slide metadata block, empty when it has none.
std::string FindEntry(const std::string& block, const char (&tag)[5]) {
  for (size_t at = 0; at + 8 <= block.size();) {
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= uint32_t(uint8_t(block[at + 4 + i])) << (8 * i);
    if (size > block.size() - at - 8) break;
    if (block.compare(at, 4, tag) == 0) return block.substr(at + 8, size);
    at += 8 + size;
  }
  return {};
}

// The page's EXIF block and colour profile go into the file, and come back byte for
// byte through our reader and libjxl's tools.
TEST_F(JxlTest, WriterKeepsThePagesExifAndProfile) {
  const std::string exif = OrbiskExif(), icc = OddProfile();
  struct Case {
    const char* name;
    bool lossless;
    std::string metadata;
    bool exif, icc;  // what the file should carry
    bool keepExif = true;
  };
  const Case cases[] = {
      {"both-lossless", true, MetadataEntry("EXIF", exif) + MetadataEntry("ICCP", icc), true, true},
      {"both-lossy", false, MetadataEntry("ICCP", icc) + MetadataEntry("EXIF", exif), true, true},
      // The JPEG-style header of some EXIF blocks is not part of the box.
      {"jpeg-header", true, MetadataEntry("EXIF", std::string("Exif\0\0", 6) + exif), true, false},
      // A profile of another colour space than the samples is left out.
      {"grey-profile", true, MetadataEntry("ICCP", icc.substr(0, 16) + "GRAY" + icc.substr(20)),
       false, false},
      {"none", true, "", false, false},
      // Pixels a loader already turned into sRGB are no longer in the profile's colours.
      {"converted", true, MetadataEntry("ICCP", icc) + MetadataEntry("SRGB", "\x01"), false, false},
      // The user's "no EXIF" reaches the writer through the record.
      {"exif-off", true, MetadataEntry("EXIF", exif), false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture source = Pattern(24, 16, false, 3);
    glib::ImageDataExchange request;
    glib::IDEPage* page = BorrowingPage(source);
    page->slideMetadata.assign(c.metadata.data(), c.metadata.size());
    request.pages.Add(page);
    JXLSave params;
    params.lossless = c.lossless;
    params.effort = 3;
    params.keepExif = c.keepExif;
    std::string jxl = vexlo.Dir().File(std::string(c.name) + ".jxl");
    ASSERT_EQ(vexlo.Manager().SaveImageData(jxl.c_str(), &request, &params), glib::RCOK);

    Loaded back = vexlo.Load(jxl);
    ASSERT_EQ(back.rc, glib::RCOK);
    ASSERT_EQ(back.metadata.size(), 1u);
    EXPECT_EQ(FindEntry(back.metadata[0], "EXIF"), c.exif ? exif : "");
    EXPECT_EQ(FindEntry(back.metadata[0], "ICCP"), c.icc ? icc : "");
    if (c.lossless) {
      EXPECT_EQ(MaxDifference(back.pages.at(0), source), 0);
    }
    // djxl gives the stored profile back as it is.
    if (c.icc) {
      std::string out = jxl + ".icc";
      ASSERT_TRUE(RunQuietly("djxl '" + jxl + "' '" + jxl + ".png' --orig_icc_out='" + out + "'"));
      EXPECT_EQ(ReadFile(out), icc);
    }
    // exiftool finds the camera make in the box.
    if (c.exif && RunQuietly("exiftool -ver")) {
      EXPECT_EQ(Output("exiftool -s3 -Make '" + jxl + "'"), "Orbisk\n");
    }
  }
}

// Thumbnails of a lossy file come from its 1:8 pass, enlarged: near the picture but
// not its full detail. A lossless file has no such pass and decodes whole.
TEST_F(JxlTest, ThumbnailsComeFromTheCoarsePass) {
  Picture source = Pattern(320, 240, false, 0);
  JXLSave lossy;
  lossy.quality = 90;
  lossy.effort = 3;
  std::string path = vexlo.Dir().File("thumb-lossy.jxl");
  ASSERT_EQ(vexlo.Save(path, {source}, lossy), glib::RCOK);
  Loaded full = vexlo.Load(path);
  Loaded thumb = vexlo.Thumbnail(path, 40, 30);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  ASSERT_EQ(thumb.pages.size(), 1u);
  EXPECT_EQ(thumb.pages[0].width, 320);
  EXPECT_EQ(thumb.pages[0].height, 240);
  int difference = MaxDifference(thumb.pages[0], full.pages.at(0));
  EXPECT_GT(difference, 0) << "the whole picture was decoded";
  EXPECT_LE(difference, 64);

  JXLSave lossless;
  lossless.lossless = 1;
  lossless.effort = 1;
  path = vexlo.Dir().File("thumb-lossless.jxl");
  ASSERT_EQ(vexlo.Save(path, {source}, lossless), glib::RCOK);
  thumb = vexlo.Thumbnail(path, 40, 30);
  ASSERT_EQ(thumb.rc, glib::RCOK);
  EXPECT_EQ(MaxDifference(thumb.pages.at(0), source), 0);

  std::string bytes = ReadFile(path);
  EXPECT_NE(vexlo.Thumbnail(vexlo.Write("cut.jxl", bytes.substr(0, bytes.size() / 2)), 40, 30).rc,
            glib::RCOK);
}

// The save dialog's JPEG XL rows make the record the writer takes.
TEST_F(JxlTest, SaveOptionsMakeTheRecord) {
  namespace save = host::save;
  save::Values values;
  EXPECT_EQ(save::BuildRows(glib::kFormatJXL, 1, values).size(), 5u);
  ASSERT_EQ(save::SetFromText(values, "Quality_JXL", "30"), "");
  ASSERT_EQ(save::SetFromText(values, "Effort_JXL", "2"), "");
  ASSERT_EQ(save::SetFromText(values, "Pt_JXL", "64 (True color, RGBA)"), "");
  EXPECT_NE(save::SetFromText(values, "Effort_JXL", "10"), "");
  auto record = save::CreateImageSave(glib::kFormatJXL, values, 0);
  ASSERT_NE(record, nullptr);
  auto* jxl = static_cast<JXLSave*>(record.get());
  EXPECT_EQ(jxl->quality, 30u);
  EXPECT_EQ(jxl->effort, 2u);
  EXPECT_EQ(jxl->lossless, 0);
  EXPECT_EQ(jxl->pixelType, glib::kPixelRGBA64);
  ASSERT_EQ(save::SetFromText(values, "Lossless_JXL", "Yes"), "");
  record = save::CreateImageSave(glib::kFormatJXL, values, 0);
  Picture source = Pattern(20, 10, true, 4);
  std::string path = vexlo.Dir().File("options.jxl");
  ASSERT_EQ(vexlo.Save(path, {source}, *record), glib::RCOK);
  Loaded back = vexlo.Load(path, &keep16);
  ASSERT_EQ(back.rc, glib::RCOK);
  EXPECT_EQ(back.pages.at(0).pixelType, glib::kPixelRGBA64);
  EXPECT_EQ(MaxDifference(back.pages[0], source), 0);
}

}  // namespace
