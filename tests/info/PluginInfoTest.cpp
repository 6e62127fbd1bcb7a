// The information model over the real raster plug-in: what a user reads in the
// panel for camera files of every format that carries EXIF, and for IPTC keywords.
#include <gtest/gtest.h>

#include <map>

#include "filters/FilterManager.h"
#include "info/InfoExport.h"
#include "info/PictureInfo.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

namespace {

class PluginInfo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&SetUpTestSuite));
    glib::FilterManager::Global().Configure((folder + "../../plugins").c_str(), "vexlo");
    glib::FilterManager::Global().Init(true);
  }

  // The items of one group, as the panel lists them.
  static std::map<std::string, std::string> Group(const std::string& file, const std::string& title,
                                                  bool detailed = false) {
    glib::FlmPictureInfo model;
    model.SetDetailed(detailed);
    std::string path = (testing_support::DataDir() / "info" / file).string();
    EXPECT_TRUE(model.BuildForPath(platform::Utf16FromUtf8(path))) << path;
    info::InfoCatalogs catalogs;
    catalogs.Build(model);
    std::map<std::string, std::string> items;
    for (const info::InfoCatalog& catalog : catalogs.Catalogs())
      if (catalog.title == title)
        for (const info::InfoItem& item : catalog.items) items[item.name] = item.value;
    return items;
  }
};

TEST_F(PluginInfo, CameraFilesOfEveryFormatShowTheirExif) {
  for (const char* file :
       {"camera-le.jpg", "camera-be.jpg", "camera.tif", "camera.png", "camera.webp"}) {
    SCOPED_TRACE(file);
    auto exif = Group(file, "EXIF");
    EXPECT_EQ(exif["Make"], "Orbisk Test Camera Co.");
    EXPECT_EQ(exif["Model"], "OT-100 Mark II");
    EXPECT_EQ(exif["Exposure Time"], "1/250");
    EXPECT_EQ(exif["F-Number"], "f/2.8");
    EXPECT_EQ(exif["ISO Speed"], "200");
    EXPECT_EQ(exif["Date Time Original"], "2024:05:01 12:34:56");
    EXPECT_EQ(exif["GPS Latitude"], "48° 51' 28.8\" N");
    EXPECT_EQ(exif["GPS Altitude"], "35.5 m");
    EXPECT_EQ(exif["Artist"], "Jörg Müller");
    EXPECT_EQ(exif["Lens Model"], "OT 24-70mm F2.8");
    // Offsets and pointers only in the detailed view.
    EXPECT_EQ(exif.count("Exif IFD Pointer") + exif.count("Exif Offset"), 0u);
  }
  auto webp = Group("camera.webp", "Common Info");
  EXPECT_EQ(webp["Dimension"], "16 x 12 pixels");
  EXPECT_EQ(webp["Compression"], "VP8 (lossy)");
  auto detailed = Group("camera-le.jpg", "EXIF", true);
  EXPECT_GT(detailed.size(), Group("camera-le.jpg", "EXIF").size());
}

TEST_F(PluginInfo, IptcDatasetsEachHaveTheirRow) {
  auto iptc = Group("iptc.jpg", "IPTC");
  EXPECT_EQ(iptc["Keywords"], "alpha");
  EXPECT_EQ(iptc["Keywords (2)"], "beta");
  EXPECT_EQ(iptc["City"], "Zürich");
  EXPECT_EQ(iptc["Caption/Abstract"], "Grüße aus Köln");
  EXPECT_EQ(iptc["Date Created"], "2024:05:06");
  auto common = Group("iptc.jpg", "Common Info");
  EXPECT_EQ(common["Dimension"], "64 x 48 pixels");
  EXPECT_EQ(common["File size"], "534 bytes");
}

// HEIF/HEIC and AVIF files made by heif-enc and avifenc from a camera JPEG.
TEST_F(PluginInfo, HeifAndAvifFilesShowTheirExifSizeAndCodec) {
  for (const char* file : {"camera.heic", "camera.avif"}) {
    SCOPED_TRACE(file);
    auto exif = Group(file, "EXIF");
    EXPECT_EQ(exif["Make"], "Orbisk Test Camera Co.");
    EXPECT_EQ(exif["Exposure Time"], "1/250");
    EXPECT_EQ(exif["GPS Altitude"], "35.5 m");
    auto common = Group(file, "Common Info");
    // avifenc turned the JPEG's EXIF orientation into the file's own rotation, which
    // the size reflects; heif-enc kept the picture as it was coded.
    bool avif = std::string(file).ends_with("avif");
    EXPECT_EQ(common["Dimension"], avif ? "48 x 64 pixels" : "64 x 48 pixels");
    EXPECT_EQ(common["File type"], avif ? "AVIF" : "HEIF");
    EXPECT_EQ(common["Compression"], avif ? "AV1" : "HEVC");
  }
}

}  // namespace
