// The information model: value formats, the per-format items, the groups the panel
// builds from the rows, and the text and HTML export.
#include "info/PictureInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "formats/FormatRegistry.h"
#include "info/InfoExport.h"
#include "platform/FileFacts.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

namespace {

using glib::FileInfoRecord;
using glib::FlmPictureInfo;
using info::InfoCatalogs;

struct Record : FileInfoRecord {
  static void Destroy(FileInfoRecord*, uint32_t) {}
  static constexpr glib::FileInfoRecordOps kOps = {&Record::Destroy};
  Record() : FileInfoRecord(&kOps, sizeof(Record)) {}
};

class Model : public FlmPictureInfo {
 public:
  int refreshes = 0;
  // The value of the first row with this name after the header of `group`.
  std::string Find(std::string_view group, std::string_view name) const {
    bool inside = false;
    for (size_t i = 0; i < Size(); ++i) {
      if (Name(i).front() == '[') {
        inside = Name(i) == "[" + std::string(group) + "]";
      } else if (inside && Name(i) == name) {
        return Value(i);
      }
    }
    return "<absent>";
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < Size(); ++i) names.push_back(Name(i));
    return names;
  }

 protected:
  void Refresh() override { ++refreshes; }
};

class PictureInfo : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    _putenv_s("TZ", "UTC0");
    _tzset();
#else
    setenv("TZ", "UTC", 1);
    tzset();
#endif
  }
};

TEST(InfoValues, FileSizeSwitchesUnitsAtTheirBoundaries) {
  EXPECT_EQ(glib::FileSizeText(0), "0 bytes");
  EXPECT_EQ(glib::FileSizeText(1023), "1023 bytes");
  EXPECT_EQ(glib::FileSizeText(1024), "1 KB (1024 bytes)");
  EXPECT_EQ(glib::FileSizeText(1535), "1 KB (1535 bytes)");
  EXPECT_EQ(glib::FileSizeText(1536), "2 KB (1536 bytes)");
  EXPECT_EQ(glib::FileSizeText(1048576), "1024 KB (1048576 bytes)");
  EXPECT_EQ(glib::FileSizeText(1048577), "1.00 MB (1048577 bytes)");
  EXPECT_EQ(glib::FileSizeText(1073741824), "1024.00 MB (1073741824 bytes)");
  EXPECT_EQ(glib::FileSizeText(1073741825), "1.00 GB (1073741825 bytes)");
  EXPECT_EQ(glib::FileSizeText(uint64_t(5) << 30), "5.00 GB (5368709120 bytes)");
}

TEST(InfoValues, CompressionTablesAndSubsampling) {
  EXPECT_STREQ(glib::GeneralCompressionName(0), "None");
  EXPECT_STREQ(glib::GeneralCompressionName(6), "CCITT Group4 (T.6)");
  EXPECT_STREQ(glib::GeneralCompressionName(18), "DXT5");
  EXPECT_STREQ(glib::GeneralCompressionName(19), "None");
  EXPECT_STREQ(glib::GeneralCompressionName(-5), "None");
  EXPECT_EQ(glib::TiffCompressionName(32773), "RLE (Packbits)");
  EXPECT_EQ(glib::TiffCompressionName(65000), "KodakCCD");
  EXPECT_EQ(glib::TiffCompressionName(11), "#11");
  const uint8_t sampling[] = {0x22, 0x11, 0x11, 0x11};
  EXPECT_EQ(glib::JpegSubsamplingText(sampling, 3), "4:1:1 (22:11:11)");
  EXPECT_EQ(glib::JpegSubsamplingText(sampling, 1), "4 (22)");
  EXPECT_EQ(glib::JpegSubsamplingText(sampling, 0), "");
  const uint8_t wide[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_LE(glib::JpegSubsamplingText(wide, 4).size(), 32u);
}

TEST_F(PictureInfo, CommonInfoComesFirstWithDimensionInInchesOnlyWithResolution) {
  Record r;
  r.format = glib::kFormatBMP;
  r.typeText = "Windows Bitmap";
  r.fileSize = 1048577;
  r.modified = 86400 * 365;  // 1 January 1971
  r.width = 600;
  r.height = 300;
  r.bitsPerPixel = 24;
  r.resolutionX = r.resolutionY = 300;
  r.versionMajor = 3;
  Model model;
  model.BuildFromRecord(r, u"C:\\pics\\a.bmp");
  EXPECT_EQ(model.refreshes, 1);
  EXPECT_EQ(model.Name(0), "[Common Info]");
  EXPECT_EQ(model.Value(0), "0");
  EXPECT_EQ(model.Find("Common Info", "File path"), "C:\\pics\\a.bmp");
  EXPECT_EQ(model.Find("Common Info", "File type"), "Windows Bitmap");
  EXPECT_EQ(model.Find("Common Info", "File size"), "1.00 MB (1048577 bytes)");
  EXPECT_EQ(model.Find("Common Info", "Modified"), "01.01.1971 00:00");
  EXPECT_EQ(model.Find("Common Info", "Dimension"), "600 x 300 pixels (2.00 x 1.00 inches)");
  EXPECT_EQ(model.Find("Common Info", "Color depth"), "24 bpp");
  EXPECT_EQ(model.Find("Common Info", "Density"), "300 x 300 dpi");
  EXPECT_EQ(model.Find("Common Info", "Version"), "<absent>");  // version 3 is not named

  r.resolutionX = 0;
  r.typeText = nullptr;
  r.versionMajor = 2;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("Common Info", "File path"), "<absent>");
  EXPECT_EQ(model.Find("Common Info", "File type"), "Unknown");
  EXPECT_EQ(model.Find("Common Info", "Dimension"), "600 x 300 pixels");
  EXPECT_EQ(model.Find("Common Info", "Version"), "OS/2");
}

TEST_F(PictureInfo, PlainFormatsNeverShowInches) {
  Record r;
  r.format = glib::kFormatGIF;
  r.width = 10;
  r.height = 20;
  r.resolutionX = r.resolutionY = 72;
  r.pageCount = 3;
  r.compression = 2;
  r.texts[glib::kInfoComment] = "hello";
  Model model;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("Common Info", "Dimension"), "10 x 20 pixels");
  EXPECT_EQ(model.Find("Common Info", "Pages"), "3");
  EXPECT_EQ(model.Find("Common Info", "Comment"), "hello");
  EXPECT_EQ(model.Find("Common Info", "Compression"), "LZW");
}

TEST_F(PictureInfo, Jpeg2000CodestreamsShowTheGenericItemsAsJp2Does) {
  for (uint32_t format : {uint32_t(glib::kFormatJP2), 0x2C4A5032u}) {
    Record r;
    r.format = format;
    r.width = 40;
    r.height = 30;
    r.bitsPerPixel = 24;
    r.pageCount = 1;
    Model model;
    model.BuildFromRecord(r);
    EXPECT_EQ(model.Find("Common Info", "Dimension"), "40 x 30 pixels") << std::hex << format;
    EXPECT_EQ(model.Find("Common Info", "Color depth"), "24 bpp");
    EXPECT_EQ(model.Find("Common Info", "Pages"), "1");
  }
}

TEST_F(PictureInfo, JpegGroupNamesItsFrame) {
  Record r;
  r.format = glib::kFormatJPG;
  r.width = 640;
  r.height = 480;
  r.compression = 8;
  r.jpeg.frameMarker = 194;
  r.jpeg.bitsPerSample = 8;
  r.jpeg.components = 3;
  r.jpeg.sampling[0] = 0x22;
  r.jpeg.sampling[1] = r.jpeg.sampling[2] = 0x11;
  r.jpeg.colorSpace = 6;
  r.jpeg.restartInterval = 4;
  std::string comment(1500, 'c');
  r.texts[glib::kInfoComment] = comment.c_str();
  Model model;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("Common Info", "Comment").size(), FlmPictureInfo::kCommentLimit);
  EXPECT_EQ(model.Find("JPEG", "Mode"), "Progressive");
  EXPECT_EQ(model.Find("JPEG", "Compression"), "DCT & Huffman");
  EXPECT_EQ(model.Find("JPEG", "Subsampling"), "4:1:1 (22:11:11)");
  EXPECT_EQ(model.Find("JPEG", "Interleaved"), "No");
  EXPECT_EQ(model.Find("JPEG", "Color space"), "YCbCr");
  EXPECT_EQ(model.Find("JPEG", "Restart Interval"), "4 MCU(s)");
  EXPECT_EQ(model.Find("JPEG", "Lossless Predictor"), "<absent>");
  EXPECT_EQ(model.Find("JPEG", "Embedded Color Profile"), "<absent>");
  // A JPEG names its compression itself: no general-table row in Common Info.
  EXPECT_EQ(model.Find("Common Info", "Compression"), "<absent>");

  r.jpeg.frameMarker = 195;
  r.jpeg.components = 1;
  r.jpeg.restartInterval = 1280;
  r.jpeg.losslessPredictor = 1;
  r.jpeg.losslessPointTransform = 0;
  r.hasColorProfile = 1;
  r.colorProfileSpace = 0x52474220;  // "RGB "
  r.colorProfileText = "sRGB";
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("JPEG", "Mode"), "Lossless");
  EXPECT_EQ(model.Find("JPEG", "Interleaved"), "<absent>");
  EXPECT_EQ(model.Find("JPEG", "Restart Interval"), "2 row(s)");
  EXPECT_EQ(model.Find("JPEG", "Lossless Predictor"), "1");
  EXPECT_EQ(model.Find("JPEG", "Embedded Color Profile"), "RGB ; sRGB");
}

TEST_F(PictureInfo, TiffGroupFollowsTheTagValues) {
  Record r;
  r.format = glib::kFormatTIF;
  r.compression = 32773;
  r.bigEndian = 1;
  r.tiff.bitsPerSample = 1;
  r.tiff.samplesPerPixel = 1;
  r.tiff.photometric = 0;
  r.tiff.segmentation = 2;
  r.tiff.orientation = 9;
  r.tiff.pageNumber = 1;
  r.tiff.pageTotal = 4;
  r.texts[glib::kInfoMake] = "Maker";
  Model model;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("TIFF", "Byte order"), "bigendian");
  EXPECT_EQ(model.Find("TIFF", "Photometric"), "MONO (WHITE IS ZERO)");
  EXPECT_EQ(model.Find("TIFF", "Segmentation"), "Tiled");
  EXPECT_EQ(model.Find("TIFF", "Orientation"), "");
  EXPECT_EQ(model.Find("TIFF", "Extra samples"), "<absent>");
  EXPECT_EQ(model.Find("TIFF", "Make"), "Maker");
  EXPECT_EQ(model.Find("TIFF", "Page number"), "2 of 4");
  EXPECT_EQ(model.Find("TIFF", "Compression"), "RLE (Packbits)");

  r.tiff.bitsPerSample = 8;
  r.tiff.samplesPerPixel = 3;
  r.tiff.photometric = 5;
  r.tiff.orientation = 6;
  r.tiff.hasDotRange = 1;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("TIFF", "Photometric"), "CMY");
  EXPECT_EQ(model.Find("TIFF", "Orientation"), "right-top");
  r.tiff.photometric = 6;
  r.tiff.ycbcrSubsampling[0] = 2;
  r.tiff.ycbcrSubsampling[1] = 1;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("TIFF", "Subsampling"), "2:1");
}

TEST_F(PictureInfo, PngTextsGoIntoItsGroup) {
  Record r;
  r.format = glib::kFormatPNG;
  const char* pairs[] = {"Title", "Sunset", "Author", "Me"};
  r.pairs = pairs;
  r.pairCount = 2;
  r.gamma = 0.45455f;
  r.interlaced = 1;
  r.compression = 3;
  Model model;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("PNG", "Title"), "Sunset");
  EXPECT_EQ(model.Find("PNG", "Author"), "Me");
  EXPECT_EQ(model.Find("PNG", "Gamma"), "0.45455");
  EXPECT_EQ(model.Find("PNG", "Interlaced"), "Yes");
  EXPECT_EQ(model.Find("PNG", "Last Modified"), "<absent>");
  EXPECT_EQ(model.Find("PNG", "Compression"), "Flate");
}

TEST_F(PictureInfo, RawImportShowsItsLayout) {
  Record r;
  r.format = glib::kFormatRAW;
  r.width = 4;
  r.height = 2;
  r.raw.headerSize = 16;
  r.raw.channels = 3;
  r.raw.bitsPerSample = 8;
  std::memcpy(r.raw.channelOrder, "BGR", 3);
  r.raw.interleaved = 1;
  r.raw.littleEndian = 1;
  Model model;
  model.BuildFromRecord(r);
  EXPECT_EQ(model.Find("Common Info", "Color space"), "BGR");
  EXPECT_EQ(model.Find("Common Info", "Header size"), "16");
  EXPECT_EQ(model.Find("Common Info", "Interleave order"), "YES");
  EXPECT_EQ(model.Find("Common Info", "Byte order"), "littleendian");
}

TEST_F(PictureInfo, LongValuesAreCutAtTheLimit) {
  Model model;
  model.AddGroup(0, "Common Info");
  std::string longText(5000, 'x');
  model.AddItem("a", "%s", longText.c_str());
  model.AddText("b", longText);
  EXPECT_EQ(model.Value(1).size(), FlmPictureInfo::kValueLimit - 1);
  EXPECT_EQ(model.Value(2).size(), FlmPictureInfo::kValueLimit - 1);
}

TEST_F(PictureInfo, PathsWithoutImageInformationFallBackToTheFileSystem) {
  testing_support::TempDir dir;
  std::string file = dir.File("notes.xyz");
  std::ofstream(file) << "not a picture";
  Model model;
  EXPECT_TRUE(model.BuildForPath(platform::Utf16FromUtf8(file)));
  EXPECT_EQ(model.Name(0), "[File Info]");
  EXPECT_EQ(model.Value(0), "2");
  EXPECT_EQ(model.Find("File Info", "File size"), "13 bytes");
  EXPECT_NE(model.Find("File Info", "File type"), "<absent>");
  EXPECT_NE(model.Find("File Info", "Modified"), "<absent>");
  EXPECT_EQ(model.refreshes, 1);

  EXPECT_TRUE(model.BuildForPath(platform::Utf16FromUtf8(dir.Path().string()), nullptr, true));
  EXPECT_EQ(model.Name(0), "[Folder Info]");
  EXPECT_EQ(model.Find("Folder Info", "Path"), dir.Path().string());

  EXPECT_FALSE(model.BuildForPath(platform::Utf16FromUtf8(dir.File("missing.png"))));
  EXPECT_EQ(model.Size(), 0u);
}

// ---- Groups and export ----

InfoCatalogs CatalogsOf(const FlmPictureInfo& model) {
  InfoCatalogs catalogs;
  catalogs.Build(model);
  return catalogs;
}

TEST(InfoExport, RowsBecomeGroupsWithOneItemPerName) {
  Model model;
  model.AddGroup(0, "Common Info");
  model.AddText("File type", "JPEG");
  model.AddGroup(4, "EXIF");
  model.AddText("Make", "First");
  model.AddText("Model", "X");
  model.AddText("Make", "Second");
  model.AddGroup(0, "Common Info again");  // the same icon returns to the first group
  model.AddText("Extra", "1");
  InfoCatalogs catalogs = CatalogsOf(model);
  ASSERT_EQ(catalogs.Catalogs().size(), 2u);
  const info::InfoCatalog& exif = catalogs.Catalogs()[1];
  EXPECT_EQ(exif.title, "EXIF");
  EXPECT_EQ(exif.icon, 4);
  ASSERT_EQ(exif.items.size(), 2u);
  EXPECT_EQ(exif.items[0].name, "Make");
  EXPECT_EQ(exif.items[0].value, "Second");
  EXPECT_EQ(catalogs.Catalogs()[0].title, "Common Info");
  EXPECT_EQ(catalogs.Catalogs()[0].items.size(), 2u);
}

TEST(InfoExport, TextAndHtmlFormsAreExact) {
  Model model;
  model.AddGroup(0, "Common Info");
  model.AddText("File type", "JPEG");
  model.AddGroup(4, "EXIF");
  model.AddText("Make", "Cam");
  InfoCatalogs catalogs = CatalogsOf(model);
  catalogs.Catalogs()[1].collapsed = true;  // collapsed groups are exported too
  EXPECT_EQ(info::TextForm(catalogs.Catalogs()),
            "Common Info\r\nFile type\tJPEG\r\nEXIF\r\nMake\tCam\r\n");
  std::string html = info::HtmlForm(catalogs.Catalogs());
  std::string empty = info::HtmlForm({});
  EXPECT_EQ(empty.size(), 125u + 18u);
  EXPECT_EQ(empty.substr(0, 8), "<html>\r\n");
  EXPECT_EQ(empty.substr(125), "</body>\r\n</html>\r\n");
  EXPECT_EQ(html.substr(0, 125), empty.substr(0, 125));
  EXPECT_EQ(html.substr(125, html.size() - 143),
            "<p>Common Info</p>\r\n<p>File type\tJPEG</p>\r\n<p>EXIF</p>\r\n<p>Make\tCam</p>\r\n");
  EXPECT_EQ(html.find("<body>"), std::string::npos);

  EXPECT_EQ(info::RowText(catalogs.Catalogs(), 1, info::kHeaderItem), "EXIF\r\n");
  EXPECT_EQ(info::RowText(catalogs.Catalogs(), 1, 0), "Make\tCam\r\n");
  EXPECT_EQ(info::RowText(catalogs.Catalogs(), 1, 1), "");
  EXPECT_EQ(info::RowText(catalogs.Catalogs(), 2, 0), "");
}

TEST(InfoExport, SavingPicksTheNameAndTheForm) {
  testing_support::TempDir dir;
  Model model;
  model.AddGroup(0, "Common Info");
  model.AddText("File type", "JPEG");
  InfoCatalogs catalogs = CatalogsOf(model);
  auto same = [](std::string_view text) { return std::string(text); };
  auto save = [&](const std::string& name) {
    return platform::Utf8FromUtf16(
        info::SaveInfo(platform::Utf16FromUtf8(dir.File(name)), catalogs.Catalogs(), same));
  };
  EXPECT_EQ(save("info"), dir.File("info.txt"));
  EXPECT_EQ(testing_support::ReadFile(dir.File("info.txt")), "Common Info\r\nFile type\tJPEG\r\n");
  // The test for ".htm" is case-sensitive.
  save("info.HTM");
  EXPECT_EQ(testing_support::ReadFile(dir.File("info.HTM")), "Common Info\r\nFile type\tJPEG\r\n");
  save("page.html");
  EXPECT_EQ(testing_support::ReadFile(dir.File("page.html")).substr(125, 20),
            "<p>Common Info</p>\r\n");

  InfoCatalogs none;
  auto saveEmpty = [&](const std::string& name) {
    info::SaveInfo(platform::Utf16FromUtf8(dir.File(name)), none.Catalogs(), same);
    return testing_support::ReadFile(dir.File(name));
  };
  EXPECT_EQ(saveEmpty("empty.txt"), "");
  EXPECT_EQ(saveEmpty("empty.htm").size(), 143u);
  EXPECT_EQ(info::SaveInfo(platform::Utf16FromUtf8(dir.File("no/such/folder/x.txt")),
                           catalogs.Catalogs(), same),
            u"");
}

}  // namespace
