// Camera RAW through the plug-in, on DNG files the tests write: a colour filter array
// sampled from a generated picture, with optional previews. dcraw_emu (LibRaw's own
// command-line decoder) is the reference for the decoded pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "Harness.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"

using namespace vexlo_test;

namespace {

constexpr uint32_t kFormatDCR = 0x00444352;

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char(value >> (8 * i)));
}

struct Ifd {
  struct Entry {
    uint16_t type;
    uint32_t count;
    std::string bytes;
  };
  std::map<uint16_t, Entry> entries;
  std::string strip;  // the pixel data StripOffsets points at

  void Add(uint16_t tag, uint16_t type, std::initializer_list<uint32_t> values) {
    int size = type == 3 ? 2 : type == 1 ? 1 : 4;
    Entry& e = entries[tag] = {type, uint32_t(values.size()), {}};
    for (uint32_t v : values) Put(e.bytes, v, size);
  }
  void Text(uint16_t tag, const std::string& text) {
    entries[tag] = {2, uint32_t(text.size() + 1), text + '\0'};
  }
  void Ratio(uint16_t tag, uint16_t type, std::initializer_list<double> values) {
    Entry& e = entries[tag] = {type, uint32_t(values.size()), {}};
    for (double v : values) {
      Put(e.bytes, uint32_t(int32_t(v * 10000 + (v < 0 ? -0.5 : 0.5))), 4);
      Put(e.bytes, 10000, 4);
    }
  }
  size_t Size() const {
    size_t n = 2 + entries.size() * 12 + 4;
    for (const auto& [tag, e] : entries) n += e.bytes.size() > 4 ? (e.bytes.size() + 1) & ~1u : 0;
    return n;
  }
};

// A little-endian TIFF of the directories: the first and `chained` in the main chain,
// `exif` linked from the first one; strips after all directories.
std::string BuildTiff(Ifd first, Ifd exif, Ifd* chained) {
  std::vector<Ifd*> all{&first, &exif};
  if (chained) all.push_back(chained);
  // StripOffsets and the links are LONGs of fixed size: lay out with placeholders.
  for (Ifd* d : all) {
    if (!d->strip.empty()) d->Add(273, 4, {0});
  }
  first.Add(34665, 4, {0});
  std::vector<uint32_t> at;
  uint32_t pos = 8;
  for (Ifd* d : all) {
    at.push_back(pos);
    pos += uint32_t(d->Size());
  }
  for (Ifd* d : all) {
    if (d->strip.empty()) continue;
    d->Add(273, 4, {pos});
    pos += uint32_t(d->strip.size());
  }
  first.Add(34665, 4, {at[1]});
  std::string out("II*\0", 4);
  Put(out, 8, 4);
  for (size_t i = 0; i < all.size(); ++i) {
    const Ifd& d = *all[i];
    uint32_t data = at[i] + 2 + uint32_t(d.entries.size()) * 12 + 4;
    std::string values;
    Put(out, uint32_t(d.entries.size()), 2);
    for (const auto& [tag, e] : d.entries) {
      Put(out, tag, 2);
      Put(out, e.type, 2);
      Put(out, e.count, 4);
      if (e.bytes.size() <= 4) {
        out += e.bytes + std::string(4 - e.bytes.size(), '\0');
      } else {
        Put(out, data + uint32_t(values.size()), 4);
        values += e.bytes;
        if (values.size() & 1) values.push_back('\0');
      }
    }
    Put(out, i == 0 && chained ? at[2] : 0, 4);
    out += values;
  }
  for (Ifd* d : all) out += d->strip;
  return out;
}

enum class Preview { kNone, kJpeg, kBitmap };

// A CFA DNG (RGGB, 12-bit samples in 16 bits) of `picture`, with camera data and, when
// asked, a preview of `preview`.
std::string MakeDng(const Picture& picture, Preview kind = Preview::kNone,
                    const std::string& previewBytes = {}, const Picture* preview = nullptr,
                    uint32_t orientation = 1) {
  Ifd raw;
  raw.Add(254, 4, {0});
  raw.Add(256, 4, {uint32_t(picture.width)});
  raw.Add(257, 4, {uint32_t(picture.height)});
  raw.Add(258, 3, {16});
  raw.Add(259, 3, {1});
  raw.Add(262, 3, {32803});
  raw.Text(271, "Orbisk");
  raw.Text(272, "Test Camera");
  raw.Add(274, 3, {orientation});
  raw.Add(277, 3, {1});
  raw.Add(278, 4, {uint32_t(picture.height)});
  raw.Add(279, 4, {uint32_t(picture.width * picture.height * 2)});
  raw.Add(284, 3, {1});
  raw.Text(306, "2024:05:06 07:08:09");
  raw.Add(33421, 3, {2, 2});
  raw.Add(33422, 1, {0, 1, 1, 2});
  raw.Add(50706, 1, {1, 4, 0, 0});
  raw.Add(50707, 1, {1, 1, 0, 0});
  raw.Text(50708, "Orbisk Test Camera");
  raw.Add(50714, 4, {0});
  raw.Add(50717, 4, {4095});
  raw.Ratio(50721, 10,
            {3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570});
  raw.Ratio(50728, 5, {0.5, 1.0, 0.8});  // as-shot neutral: a warm light
  raw.Add(50778, 3, {21});
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; ++x) {
      // Blue, green, red bytes: red at even/even, blue at odd/odd.
      int channel = (y & 1) == 0 ? ((x & 1) == 0 ? 2 : 1) : ((x & 1) == 0 ? 1 : 0);
      Put(raw.strip, picture.bgra[(size_t(y) * picture.width + x) * 4 + channel] * 16u, 2);
    }
  }
  Ifd exif;
  exif.Ratio(33434, 5, {0.004});
  exif.Ratio(33437, 5, {5.6});
  exif.Add(34855, 3, {400});
  exif.Ratio(37386, 5, {35.0});
  Ifd shown;
  if (kind != Preview::kNone) {
    shown.Add(254, 4, {1});
    shown.Add(256, 4, {uint32_t(preview->width)});
    shown.Add(257, 4, {uint32_t(preview->height)});
    shown.Add(258, 3, {8, 8, 8});
    shown.Add(259, 3, {kind == Preview::kJpeg ? 7u : 1u});
    shown.Add(262, 3, {kind == Preview::kJpeg ? 6u : 2u});
    shown.Add(277, 3, {3});
    shown.Add(278, 4, {uint32_t(preview->height)});
    if (kind == Preview::kJpeg) {
      shown.strip = previewBytes;
    } else {
      for (size_t i = 0; i < preview->bgra.size(); i += 4) {
        shown.strip += char(preview->bgra[i + 2]);
        shown.strip += char(preview->bgra[i + 1]);
        shown.strip += char(preview->bgra[i]);
      }
    }
    shown.Add(279, 4, {uint32_t(shown.strip.size())});
  }
  return BuildTiff(raw, exif, kind == Preview::kNone ? nullptr : &shown);
}

// The reference tools are Linux programs: the Windows build of the tests skips them.
bool HaveTool(const char* path) {
#if defined(_WIN32)
  (void)path;
  return false;
#else
  return std::filesystem::exists(path);
#endif
}

// dcraw_emu's 16-bit output of a file (its -6 PPM) as a Picture with wide samples.
bool ReferenceRaw(const std::string& path, const std::string& options, Picture& out) {
  if (!HaveTool("/usr/bin/dcraw_emu")) return false;
  std::string ppm = path + ".ppm";
  std::filesystem::remove(ppm);
  std::string command = "/usr/bin/dcraw_emu -6 -o 1 " + options + " '" + path + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  std::string bytes = ReadFile(ppm);
  int width = 0, height = 0, max = 0, used = 0;
  if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &width, &height, &max, &used) != 3 ||
      max != 65535)
    return false;
  size_t at = size_t(used) + 1;
  if (bytes.size() < at + size_t(width) * height * 6) return false;
  out.width = width;
  out.height = height;
  out.wide.resize(size_t(width) * height * 4);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    for (int c = 0; c < 3; ++c) {
      const uint8_t* s = reinterpret_cast<const uint8_t*>(bytes.data()) + at + i * 6 + c * 2;
      out.wide[i * 4 + (2 - c)] = uint16_t(s[0] << 8 | s[1]);  // RGB into blue-first order
    }
    out.wide[i * 4 + 3] = 65535;
  }
  return true;
}

int MaxWideDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.wide.size() != b.wide.size()) return 65535;
  int most = 0;
  for (size_t i = 0; i < a.wide.size(); ++i) most = std::max(most, std::abs(a.wide[i] - b.wide[i]));
  return most;
}

class CameraRawTest : public testing::Test {
 protected:
  Vexlo vexlo;
  Picture picture = Pattern(96, 64, false, 7);
};

}  // namespace

// Every combination of demosaicing and white balance decodes as LibRaw's own tool
// decodes the same file with the same settings, and each choice changes the result.
TEST_F(CameraRawTest, DecodesLikeTheReferenceInEverySetting) {
  std::string path = vexlo.Write("pattern.dng", MakeDng(picture));
  struct Case {
    uint32_t quality;
    bool camera;
    const char* options;
  };
  const Case cases[] = {
      {0, true, "-q 0 -w"}, {3, true, "-q 3 -w"}, {0, false, "-q 0 -a"}, {3, false, "-q 3 -a"}};
  std::vector<Picture> results;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    glib::ImageLoad params;
    params.rawQuality = c.quality;
    params.cameraWhiteBalance = c.camera ? 1 : 0;
    Loaded got = vexlo.Load(path, &params);
    ASSERT_EQ(got.rc, glib::RCOK);
    EXPECT_EQ(got.format, kFormatDCR);  // found through the TIFF signature
    const Picture& page = got.pages.at(0);
    EXPECT_EQ(page.pixelType, glib::kPixelRGB48);
    Picture reference;
    if (ReferenceRaw(path, c.options, reference)) {
      EXPECT_LE(MaxWideDifference(page, reference), 1);
    } else {
      EXPECT_FALSE(HaveTool("/usr/bin/dcraw_emu"));
    }
    results.push_back(page);
  }
  EXPECT_GT(MaxWideDifference(results[0], results[1]), 256);  // fast against quality
  EXPECT_GT(MaxWideDifference(results[0], results[2]), 256);  // camera against auto
}

// Thumbnails come from the embedded preview, JPEG or bitmap; without one, from a
// half-size decode.
TEST_F(CameraRawTest, ThumbnailsUseTheEmbeddedPreview) {
  Picture small = Pattern(48, 32, false, 3);
  glib::JPGSave jpeg;
  jpeg.quality = 95;
  std::string jpegBytes = vexlo.SaveBytes({small}, jpeg);
  ASSERT_FALSE(jpegBytes.empty());
  Loaded direct = vexlo.LoadBytes(jpegBytes);
  ASSERT_EQ(direct.rc, glib::RCOK);
  for (Preview kind : {Preview::kJpeg, Preview::kBitmap}) {
    std::string path = vexlo.Write(kind == Preview::kJpeg ? "jpeg.dng" : "bitmap.dng",
                                   MakeDng(picture, kind, jpegBytes, &small));
    Loaded thumb = vexlo.Thumbnail(path, 40, 40);
    ASSERT_EQ(thumb.rc, glib::RCOK);
    const Picture& page = thumb.pages.at(0);
    EXPECT_EQ(page.width, 48);
    EXPECT_EQ(page.height, 32);
    EXPECT_EQ(MaxDifference(page, kind == Preview::kJpeg ? direct.pages.at(0) : small), 0);
  }
  // A camera held upright: the preview turns as the picture does.
  Loaded upright = vexlo.Thumbnail(
      vexlo.Write("upright.dng", MakeDng(picture, Preview::kBitmap, {}, &small, 6)), 40, 40);
  ASSERT_EQ(upright.rc, glib::RCOK);
  const Picture& turned = upright.pages.at(0);
  ASSERT_EQ(turned.width, 32);
  ASSERT_EQ(turned.height, 48);
  EXPECT_EQ(turned.At(0, 0), small.At(0, 31));  // clockwise: the bottom left comes first
  EXPECT_EQ(turned.At(31, 47), small.At(47, 0));
  EXPECT_EQ(
      vexlo.Load(vexlo.Write("upright-full.dng", MakeDng(picture, Preview::kNone, {}, nullptr, 6)))
          .pages.at(0)
          .width,
      64);
  Loaded half = vexlo.Thumbnail(vexlo.Write("none.dng", MakeDng(picture)), 40, 40);
  ASSERT_EQ(half.rc, glib::RCOK);
  EXPECT_EQ(half.pages.at(0).width, 48);
  EXPECT_EQ(half.pages.at(0).height, 32);
}

// The record names the camera and carries exposure, aperture, ISO and focal length in
// its EXIF block, as exiftool reads them.
TEST_F(CameraRawTest, InformationRecordHoldsTheCameraData) {
  std::string path = vexlo.Write("info.dng", MakeDng(picture));
  uint32_t rc = 0;
  auto info = vexlo.Info(path, &rc);
  ASSERT_EQ(rc, glib::RCOK);
  EXPECT_EQ(info->format, kFormatDCR);
  EXPECT_EQ(info->width, 96);
  EXPECT_EQ(info->height, 64);
  EXPECT_EQ(info->bitsPerPixel, 48);
  EXPECT_STREQ(info->texts[glib::kInfoMake], "Orbisk");
  EXPECT_STREQ(info->texts[glib::kInfoModel], "Test Camera");
  EXPECT_STREQ(info->texts[glib::kInfoVersion], "DNG 1.4.0.0");
  EXPECT_STREQ(info->texts[glib::kInfoDate], "2024:05:06 07:08:09");
  ASSERT_NE(info->exif, nullptr);
  if (!HaveTool("/usr/bin/exiftool")) GTEST_SKIP() << "no exiftool";
  std::string block = vexlo.Write(
      "exif.tif", std::string(reinterpret_cast<const char*>(info->exif), info->exifSize));
  std::string out = vexlo.Dir().File("exif.txt");
  ASSERT_EQ(std::system(("/usr/bin/exiftool -s3 -n -ExposureTime -FNumber -ISO -FocalLength "
                         "-Model '" +
                         block + "' > '" + out + "'")
                            .c_str()),
            0);
  EXPECT_EQ(ReadFile(out), "0.004\n5.6\n400\n35\nTest Camera\n");
}

// Damaged and oversized files give codes: cut anywhere, a made-up raw header, a
// sensor too big for the limits (refused before anything is unpacked).
TEST_F(CameraRawTest, BadFilesGiveCodes) {
  std::string good = MakeDng(picture);
  for (size_t cut : {size_t(12), size_t(200), good.size() / 2}) {
    Loaded got = vexlo.Load(vexlo.Write("cut.dng", good.substr(0, cut)));
    EXPECT_NE(got.rc, glib::RCOK) << cut;
  }
  Loaded fake = vexlo.Load(vexlo.Write("fake.raf", "FUJIFILMCCD-RAW " + std::string(300, 'x')));
  EXPECT_NE(fake.rc, glib::RCOK);
  std::string huge = good;
  // ImageWidth and ImageLength of the first directory: 60000 x 60000.
  size_t entries = 8 + 2;
  for (size_t i = entries; i + 12 <= huge.size() && i < entries + 12 * 40; i += 12) {
    uint16_t tag = uint16_t(uint8_t(huge[i]) | uint8_t(huge[i + 1]) << 8);
    if (tag == 256 || tag == 257) {
      std::string v;
      Put(v, 60000, 4);
      huge.replace(i + 8, 4, v);
    }
  }
  Loaded big = vexlo.Load(vexlo.Write("huge.dng", huge));
  EXPECT_EQ(big.rc, glib::OMEM);
  EXPECT_TRUE(big.pages.empty());
}
