// The information panel over the real raster plug-in for HEIF/HEIC and AVIF files made
// by heif-enc and avifenc from a camera JPEG: its EXIF and the common items.
#include <gtest/gtest.h>

#include <map>

#include "filters/FilterManager.h"
#include "info/InfoExport.h"
#include "info/PictureInfo.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

namespace {

class HeifInfo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&SetUpTestSuite));
    glib::FilterManager::Global().Configure((folder + "../../plugins").c_str(), "vexlo");
    glib::FilterManager::Global().Init(true);
  }

  static std::map<std::string, std::string> Group(const std::string& file,
                                                  const std::string& title) {
    glib::FlmPictureInfo model;
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

TEST_F(HeifInfo, CameraFilesShowTheirExifSizeAndCodec) {
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
