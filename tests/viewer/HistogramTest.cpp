#include "viewer/Histogram.h"

#include <gtest/gtest.h>

#include <vector>

using namespace viewer;

namespace {

// A bitmap over `rows`, which the test keeps alive.
glib::CoreBitmap BitmapOver(std::vector<uint8_t>& rows, int32_t width, int32_t height,
                            uint32_t type, int32_t stride = glib::kStridePadded) {
  glib::CoreBitmap bitmap;
  bitmap.pixels = rows.data();
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelType = type;
  bitmap.stride = stride;
  return bitmap;
}

// 3 x 2 pixels of 24 bits, rows padded to 12 bytes with bytes that must not count:
// four of (blue 10, green 20, red 30) and two of (200, 100, 0).
HistogramTable TwoColourTable() {
  std::vector<uint8_t> rows = {10, 20, 30, 10,  20,  30, 200, 100, 0,  0xEE, 0xEE, 0xEE,
                               10, 20, 30, 200, 100, 0,  10,  20,  30, 0xEE, 0xEE, 0xEE};
  return FillHistogram(BitmapOver(rows, 3, 2, glib::kPixelRGB24));
}

}  // namespace

TEST(Histogram, CountsEachChannelOfATwoColourPicture) {
  const HistogramTable table = TwoColourTable();
  EXPECT_EQ(table.channels, 4);
  EXPECT_EQ(table.counts[kBlueChannel][10], 4);
  EXPECT_EQ(table.counts[kBlueChannel][200], 2);
  EXPECT_EQ(table.counts[kGreenChannel][100], 2);
  EXPECT_EQ(table.counts[kRedChannel][0], 2);
  EXPECT_EQ(table.counts[kCombinedChannel][20], 4);
  EXPECT_EQ(table.counts[kCombinedChannel][100], 2);
  EXPECT_EQ(table.counts[kBlueChannel][0xEE], 0);
}

TEST(Histogram, PalettesAndSixteenBitSamples) {
  std::vector<uint8_t> nibbles = {0x12, 0x10};  // packed rows: 1 2 / 1 0
  glib::CoreBitmap four = BitmapOver(nibbles, 2, 2, glib::kPixelIndexed4, glib::kStridePacked);
  four.palette[1] = 0x00300201;  // red 0x30, green 2, blue 1
  four.palette[2] = 0x00FFFFFF;
  HistogramTable table = FillHistogram(four);
  EXPECT_EQ(table.counts[kRedChannel][0x30], 2);
  EXPECT_EQ(table.counts[kBlueChannel][255], 1);
  EXPECT_EQ(table.counts[kBlueChannel][0], 1);

  // One 64-bit pixel: samples 0x1234, 0x5678, 0x9ABC stored low byte first, alpha.
  std::vector<uint8_t> wide = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xFF, 0xFF};
  table = FillHistogram(BitmapOver(wide, 1, 1, glib::kPixelRGBA64));
  EXPECT_EQ(table.counts[kBlueChannel][0x12], 1);
  EXPECT_EQ(table.counts[kGreenChannel][0x56], 1);
  EXPECT_EQ(table.counts[kRedChannel][0x9A], 1);

  std::vector<uint8_t> bits = {0xFF, 0, 0, 0};
  EXPECT_EQ(FillHistogram(BitmapOver(bits, 8, 1, glib::kPixelBW1)).channels, 0);
  EXPECT_FALSE(ChannelControlsEnabled(1));
  // Rows shorter than the pixels they should hold are not read.
  EXPECT_EQ(FillHistogram(BitmapOver(wide, 1, 1, glib::kPixelRGB24, 2)).channels, 0);
}

TEST(Histogram, StatisticsOverARange) {
  const HistogramTable table = TwoColourTable();
  const HistogramStats all = ComputeStats(table, kCombinedChannel, {});
  EXPECT_EQ(all.pixels, 6);
  EXPECT_EQ(all.mean, 46.67);  // 46.666... rounded up
  EXPECT_EQ(all.stdDev, 37.72);
  EXPECT_EQ(all.median, 20);
  HistogramTexts texts = StatsTexts(all, {});
  EXPECT_EQ(texts.range, "0...255");
  EXPECT_EQ(texts.percent, "100%");
  EXPECT_EQ(texts.mean, "46.67");

  const HistogramStats none = ComputeStats(table, kCombinedChannel, {30, 90});
  EXPECT_EQ(none.pixels, 0);
  EXPECT_EQ(none.mean, 0);
  EXPECT_EQ(none.stdDev, 0);
  EXPECT_EQ(none.median, -1);
  EXPECT_EQ(StatsTexts(none, {30, 90}).median, "-1");

  EXPECT_EQ(ComputeStats(table, kCombinedChannel, {100, 100}).median, 100);
  EXPECT_EQ(ComputeStats(table, kRedChannel, {0, 127}).percent, 49.81);
  EXPECT_EQ(ChannelOfListEntry(1), kRedChannel);
  EXPECT_EQ(ChannelOfListEntry(3), kBlueChannel);
}

TEST(Histogram, GraphColumnsBarsAndColours) {
  const HistogramTable table = TwoColourTable();
  const std::vector<GraphColumn> columns = GraphColumns(table, kBlueChannel, false, 512, 101);
  ASSERT_EQ(columns.size(), 512u);
  EXPECT_EQ(columns[21].level, 10);
  EXPECT_EQ(columns[21].top, 1);  // the largest count fills the height
  EXPECT_EQ(columns[400].top, 51);
  EXPECT_EQ(columns[401].top, 51);
  EXPECT_EQ(columns[0].top, 101);  // no pixels, no bar
  EXPECT_EQ(columns[0].blue, 0);
  EXPECT_EQ(columns[256].blue, 127);
  EXPECT_EQ(columns[511].blue, 254);
  EXPECT_EQ(columns[511].red, 0);

  const std::vector<GraphColumn> logarithmic = GraphColumns(table, kBlueChannel, true, 256, 101);
  EXPECT_EQ(logarithmic[200].top, 101 - 50);  // ln 2 / ln 4 of the height
  EXPECT_EQ(logarithmic[0].top, 101);

  // ln 1 = 0 leaves no scale to draw with.
  std::vector<uint8_t> one = {1, 2, 3};
  const HistogramTable single = FillHistogram(BitmapOver(one, 1, 1, glib::kPixelRGB24));
  EXPECT_EQ(GraphColumns(single, kRedChannel, true, 10, 50)[0].top, 50);
  EXPECT_EQ(GridLineX(4, 288), 230);
  EXPECT_EQ(GradientEndColour(kGreenChannel), 0xFF008000u);
}

TEST(Histogram, DraggedRangeStaysWithinTheLevels) {
  EXPECT_EQ(DraggedRange(300, 100, 512), (LevelRange{50, 150}));
  EXPECT_EQ(DraggedRange(0, 511, 512), (LevelRange{0, 255}));
  EXPECT_EQ(DraggedRange(0, 512, 512), std::nullopt);
  EXPECT_EQ(DraggedRange(-3, 20, 256), std::nullopt);
}
