#include "viewer/EditMath.h"

#include <gtest/gtest.h>

#include <vector>

using namespace viewer;

namespace {

glib::CoreBitmap BitmapOver(std::vector<uint8_t>& rows, int32_t width, int32_t height,
                            uint32_t type) {
  glib::CoreBitmap bitmap;
  bitmap.pixels = rows.data();
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelType = type;
  return bitmap;
}

}  // namespace

TEST(ScaleDialog, ConstrainedSidesFollowAndNeverReachZero) {
  ScaleState state = StartScale({400, 300}, true, 2);
  EXPECT_FALSE(ScaleOkEnabled(state));
  EditNewWidth(state, 200);
  EXPECT_EQ(state.newHeight, 150);
  EXPECT_TRUE(ScaleOkEnabled(state));
  EditNewWidth(state, 1);
  EXPECT_EQ(state.newHeight, 1);
  EditNewHeight(state, 299);
  EXPECT_EQ(state.newWidth, 399);  // 398.67 to the nearest

  ScaleState empty = StartScale({0, 0}, true, 0);
  EditNewWidth(empty, 10);
  EXPECT_EQ(empty.newHeight, 1);
  ScaleState free = StartScale({400, 300}, false, 0);
  EditNewWidth(free, 200);
  EXPECT_EQ(free.newHeight, 300);

  EXPECT_EQ(InterpolationIndex(8), 0);
  EXPECT_EQ(InterpolationIndex(7), 7);
  EXPECT_EQ(kInterpolationTexts[6], "Sinc256  (slow)");
  EXPECT_FALSE(ValidNewSide(0));
  EXPECT_TRUE(ValidNewSide(2147483647));
  EXPECT_EQ(ParseWholeNumber(" 640 "), 640);
  EXPECT_EQ(ParseWholeNumber("64O"), std::nullopt);
}

TEST(ScaleDialog, ValidationRefusesTheFirstEntryOutOfRange) {
  ScaleEntries entries{"200", "150", "72", "72"};
  EXPECT_FALSE(CheckScaleEntries(entries));
  entries.newWidth = "2147483647";
  entries.resolutionX = "0.01";
  entries.resolutionY = " 1500000 ";
  EXPECT_FALSE(CheckScaleEntries(entries));

  // The dialog's order: width, height, horizontal, vertical; the edit to correct.
  struct Wrong {
    std::string ScaleEntries::*field;
    const char* text;
    uint16_t id;
  };
  const Wrong kWrong[] = {{&ScaleEntries::newWidth, "0", scale_ids::kNewWidth},
                          {&ScaleEntries::newWidth, "2147483648", scale_ids::kNewWidth},
                          {&ScaleEntries::newHeight, "", scale_ids::kNewHeight},
                          {&ScaleEntries::newHeight, "1.5", scale_ids::kNewHeight},
                          {&ScaleEntries::resolutionX, "0.009", scale_ids::kResolutionX},
                          {&ScaleEntries::resolutionY, "1500000.1", scale_ids::kResolutionY},
                          {&ScaleEntries::resolutionY, "inf", scale_ids::kResolutionY}};
  for (const Wrong& wrong : kWrong) {
    ScaleEntries typed = entries;
    typed.*wrong.field = wrong.text;
    std::optional<ScaleRefusal> refusal = CheckScaleEntries(typed);
    ASSERT_TRUE(refusal) << wrong.text;
    EXPECT_EQ(refusal->id, wrong.id) << wrong.text;
  }
  ScaleEntries both = entries;
  both.newHeight = "0";
  both.resolutionX = "x";
  EXPECT_EQ(CheckScaleEntries(both)->message,
            "New height must be a whole number from 1 to 2147483647.");
  both.newHeight = "1";
  EXPECT_EQ(CheckScaleEntries(both)->message,
            "The horizontal resolution must be a number from 0.01 to 1500000.");
}

TEST(ScaleDialog, ResolutionsAndPrintedSize) {
  ScaleState state = StartScale({720, 360}, true, 0);
  EXPECT_EQ(PrintedSizeOf(state).width, 10);
  state.unit = PrintUnit::Cm;
  EXPECT_EQ(PrintedSizeOf(state).width, 25.4);
  EXPECT_EQ(PrintedLengthText(PrintedSizeOf(state).width), "25.4");
  EXPECT_EQ(PrintedLength(100, 3, PrintUnit::Inch), 33.33);  // truncated, not rounded

  EditResolutionX(state, 300);
  EXPECT_EQ(state.resolutionY, 300);
  EXPECT_TRUE(ScaleOkEnabled(state));
  EditResolutionY(state, -4);
  EXPECT_EQ(state.resolutionX, 0.01);
  EXPECT_FALSE(ValidResolution(state.resolutionY));
  EXPECT_TRUE(ValidResolution(1500000));
  EXPECT_FALSE(ValidResolution(1500000.5));
}

TEST(RotateDialog, AnglesChecksAndTexts) {
  const double typed = ClampTypedAngle(450);
  EXPECT_EQ(typed, 360);
  ASSERT_EQ(CheckedRightAngle(typed), 4u);
  EXPECT_EQ(kRightAngles[4].text, "360\u00b0  CW");
  EXPECT_EQ(kRightAngles[4].id, 1037);
  EXPECT_EQ(AngleText(typed), "360.0\u00b0 CW");
  EXPECT_EQ(ClampTypedAngle(-3), 0);

  EXPECT_EQ(CheckedRightAngle(AngleFromSlider(900)), 1u);
  EXPECT_EQ(CheckedRightAngle(AngleFromSlider(901)), std::nullopt);
  EXPECT_EQ(AngleText(AngleFromSlider(3599)), "359.9\u00b0 CW");
  EXPECT_EQ(SliderFromAngle(90), 900);
  EXPECT_EQ(SliderFromAngle(12.3), 123);

  const RotationDial up = RotationDialFor({100, 80}, 0);
  EXPECT_EQ(up.circle, (Rect{1, 1, 79, 79}));
  EXPECT_EQ(up.centre, (Point{40, 40}));
  EXPECT_EQ(up.end, (Point{40, 1}));
  EXPECT_EQ(RotationDialFor({100, 80}, 90).end, (Point{78, 40}));
  EXPECT_EQ(RotationDialFor({100, 80}, 180).end, (Point{39, 78}));
}

TEST(ColourDepthDialog, DisablesTheCurrentDepthAndPreselectsTheOneBelow) {
  DepthChoiceStart start = DepthChoicesFor(32);
  EXPECT_EQ(start.disabled, 4u);
  EXPECT_EQ(start.preselected, 3u);
  start = DepthChoicesFor(1);
  EXPECT_EQ(start.disabled, 0u);
  EXPECT_EQ(start.preselected, 1u);
  EXPECT_EQ(DepthChoicesFor(4).preselected, 0u);
  start = DepthChoicesFor(48);
  EXPECT_EQ(start.disabled, std::nullopt);
  EXPECT_EQ(start.preselected, 3u);
  EXPECT_EQ(DepthChoicesFor(64).preselected, 4u);
  EXPECT_EQ(DepthChoicesFor(16).preselected, 2u);
  EXPECT_EQ(kDepthChoices[3].pixelType, glib::kPixelRGB24);
  EXPECT_FALSE(CanChangeColourDepth(glib::kPixelVector));
}

TEST(SwapDialog, ColumnsStayPermutations) {
  SwapColumns columns = StartSwap(glib::kPixelRGBA32);
  ChooseSwapEntry(columns.source, columns.rows, 0, 2);
  EXPECT_EQ(columns.source, (std::array<int32_t, 4>{2, 1, 0, 3}));
  ChooseSwapEntry(columns.destination, columns.rows, 3, 1);
  EXPECT_EQ(columns.destination, (std::array<int32_t, 4>{2, 3, 0, 1}));

  SwapColumns rgb = StartSwap(glib::kPixelRGB24);
  EXPECT_EQ(rgb.rows, 3);
  ChooseSwapEntry(rgb.source, rgb.rows, 0, 3);  // no "A" without alpha
  EXPECT_EQ(rgb.source[0], 0);
  EXPECT_EQ(SwapRowsFor(glib::kPixelRGB48), 3);
  EXPECT_EQ(SwapRowsFor(glib::kPixelRGB565), 0);
}

TEST(SwapDialog, SwapsThePixelsOfEachRow) {
  // Two 24-bit pixels a row, rows padded to 8 bytes.
  std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
  glib::CoreBitmap rgb = BitmapOver(rows, 2, 2, glib::kPixelRGB24);
  EXPECT_EQ(SwapChannels(rgb, StartSwap(rgb.pixelType)), glib::RCOK);
  EXPECT_EQ(rows,
            (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 0xEE, 0xEE, 9, 8, 7, 12, 11, 10, 0xEE, 0xEE}));

  // Position 0 receives the sample at 1, 1 the one at 2, and so on round.
  SwapColumns turn;
  turn.destination = {1, 2, 3, 0};
  std::vector<uint8_t> wide = {0x00, 0xA0, 0x11, 0xB1, 0x22, 0xC2, 0x33, 0xD3};
  glib::CoreBitmap rgba64 = BitmapOver(wide, 1, 1, glib::kPixelRGBA64);
  EXPECT_EQ(SwapChannels(rgba64, turn), glib::RCOK);
  EXPECT_EQ(wide, (std::vector<uint8_t>{0x11, 0xB1, 0x22, 0xC2, 0x33, 0xD3, 0x00, 0xA0}));

  std::vector<uint8_t> indexed = {1, 2, 3, 4};
  glib::CoreBitmap eight = BitmapOver(indexed, 4, 1, glib::kPixelIndexed8);
  EXPECT_EQ(SwapChannels(eight, StartSwap(eight.pixelType)), glib::BADA);
  EXPECT_EQ(indexed, (std::vector<uint8_t>{1, 2, 3, 4}));
  // A position the picture lacks changes nothing.
  std::vector<uint8_t> three = {1, 2, 3, 0};
  glib::CoreBitmap one = BitmapOver(three, 1, 1, glib::kPixelRGB24);
  SwapColumns withAlpha;
  withAlpha.rows = 3;
  withAlpha.destination = {3, 1, 0, 2};
  EXPECT_EQ(SwapChannels(one, withAlpha), glib::BADA);
  EXPECT_EQ(three, (std::vector<uint8_t>{1, 2, 3, 0}));
}

TEST(ResolutionDialog, ListTextsAndPreselection) {
  EXPECT_EQ(ResolutionTexts({{640, 480}, {160, 120}}),
            (std::vector<std::string>{"640 x 480", "160 x 120"}));
  EXPECT_EQ(InitialResolutionEntry(1, 2), 1u);
  EXPECT_EQ(InitialResolutionEntry(2, 2), 0u);
}
