#include "viewer/ScanBatch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "formats/PixelType.h"
#include "runtime/TiffDirectory.h"

namespace viewer {
namespace {

// The names a batch gives `pages` scans, with the files of `present` already there.
std::vector<std::string> Names(const ScanBatch& batch, int pages, const std::string& extension,
                               bool tif, std::set<std::string> present = {}) {
  std::vector<std::string> names;
  int32_t number = batch.startIndex;
  for (int i = 0; i < pages; ++i) {
    ScanFileName name = NextScanFile(batch, extension, tif, number, [&](const std::string& path) {
      return present.count(path) != 0;
    });
    names.push_back(name.path + (name.append ? " +" : ""));
    present.insert(name.path);
  }
  return names;
}

ScanBatch Batch(const std::string& folder, int32_t start) {
  ScanBatch batch;
  batch.folder = folder;
  batch.startIndex = start;
  return batch;
}

TEST(ScanBatch, FilesAreNumberedFromTheStartIndexAndMultipageKeepsOneFile) {
  ScanBatch batch = Batch("C:\\scans\\", 7);
  EXPECT_EQ(Names(batch, 3, ".jpg", false),
            (std::vector<std::string>{"C:\\scans\\ScanImage7.jpg", "C:\\scans\\ScanImage8.jpg",
                                      "C:\\scans\\ScanImage9.jpg"}));

  batch.multipage = true;
  EXPECT_EQ(
      Names(batch, 2, ".tif", true),
      (std::vector<std::string>{"C:\\scans\\ScanImage7.tif +", "C:\\scans\\ScanImage7.tif +"}));
  // Multipage means nothing for other formats.
  EXPECT_EQ(Names(batch, 2, ".jpg", false)[1], "C:\\scans\\ScanImage8.jpg");
}

TEST(ScanBatch, SkipExistingPassesOverFilesThatAreThere) {
  ScanBatch batch = Batch("D:\\out", 7);
  batch.pattern = "Page";
  batch.skipExisting = true;
  std::set<std::string> present{"D:\\out\\Page7.png", "D:\\out\\Page9.png"};
  EXPECT_EQ(Names(batch, 3, ".png", false, present),
            (std::vector<std::string>{"D:\\out\\Page8.png", "D:\\out\\Page10.png",
                                      "D:\\out\\Page11.png"}));
  // Without the option the file is overwritten.
  batch.skipExisting = false;
  EXPECT_EQ(Names(batch, 1, ".png", false, present)[0], "D:\\out\\Page7.png");
  // A multipage TIFF is appended to, never skipped.
  batch.skipExisting = true;
  batch.multipage = true;
  EXPECT_EQ(Names(batch, 1, ".tif", true, {"D:\\out\\Page7.tif"})[0], "D:\\out\\Page7.tif +");
}

TEST(ScanBatch, AutoDetectPicksTheRecordByDepth) {
  auto bw = AutoScanRecord(1);
  ASSERT_TRUE(bw);
  EXPECT_EQ(bw->format, glib::kFormatTIF);
  EXPECT_EQ(static_cast<glib::TIFSave*>(bw.get())->compression, 4u);
  EXPECT_EQ(bw->pixelType, glib::kPixelBW1);
  for (int bits : {4, 8}) {
    auto gray = AutoScanRecord(bits);
    ASSERT_TRUE(gray);
    EXPECT_EQ(static_cast<glib::TIFSave*>(gray.get())->compression, 5u);
    EXPECT_EQ(gray->pixelType, bits == 4 ? glib::kPixelIndexed4 : glib::kPixelIndexed8);
  }
  auto color = AutoScanRecord(24);
  ASSERT_TRUE(color);
  EXPECT_EQ(color->format, glib::kFormatJPG);
  EXPECT_EQ(static_cast<glib::JPGSave*>(color.get())->quality, 85u);
  EXPECT_EQ(color->pixelType, glib::kPixelRGB24);
  for (int bits : {0, 2, 16, 32, 48}) EXPECT_FALSE(AutoScanRecord(bits)) << bits;
}

TEST(ScanBatch, TheExifBlockDescribesTheScan) {
  EXPECT_EQ(ScanTimeText(2026, 3, 4, 5, 6, 7), "2026:03:04 05:06:07");
  EXPECT_DOUBLE_EQ(FixedToDouble(300, 32768), 300.5);

  std::vector<uint8_t> block =
      ScanExifBlock(ScanTimeText(2026, 12, 7, 13, 45, 9), "Orbisk", "Flatbed", 300.0, 150.5);
  glib::Libtiff::Reader reader;
  ASSERT_TRUE(reader.Open(block));
  ASSERT_EQ(reader.Directories().size(), 1u);
  const auto& ifd = reader.Directories()[0];
  auto text = [&](uint16_t tag) {
    const auto* entry = glib::Libtiff::Reader::Find(ifd, tag);
    if (!entry) return std::string("<none>");
    auto bytes = reader.Bytes(*entry);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(text(36864), "0220");
  EXPECT_EQ(text(36867), std::string("2026:12:07 13:45:09") + '\0');
  EXPECT_EQ(text(271), std::string("Orbisk") + '\0');
  EXPECT_EQ(text(272), std::string("Flatbed") + '\0');
  const auto* x = glib::Libtiff::Reader::Find(ifd, 282);
  const auto* y = glib::Libtiff::Reader::Find(ifd, 283);
  ASSERT_TRUE(x && y);
  EXPECT_DOUBLE_EQ(reader.Real(*x).value_or(0), 300.0);
  EXPECT_DOUBLE_EQ(reader.Real(*y).value_or(0), 150.5);
}

}  // namespace
}  // namespace viewer
