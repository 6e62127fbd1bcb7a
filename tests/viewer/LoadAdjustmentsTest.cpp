#include "viewer/LoadAdjustments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace viewer;

TEST(AlphaDisplay, SettingChoosesOneHandling) {
  EXPECT_TRUE(AlphaHandlingFor(AlphaDisplayFromSetting(1)).checkerBeforeFill);
  EXPECT_FALSE(AlphaHandlingFor(AlphaDisplayFromSetting(1)).opaqueAfterLoad);
  EXPECT_TRUE(AlphaHandlingFor(AlphaDisplayFromSetting(2)).opaqueAfterLoad);
  for (int32_t value : {0, 3, -1}) {
    EXPECT_EQ(AlphaDisplayFromSetting(value), AlphaDisplay::SolidBackground);
    AlphaHandling handling = AlphaHandlingFor(AlphaDisplayFromSetting(value));
    EXPECT_FALSE(handling.checkerBeforeFill || handling.opaqueAfterLoad);
  }
}

TEST(AlphaDisplay, CheckerboardStartsGreyAtTheOrigin) {
  EXPECT_EQ(CheckerPixel(0, 0), kCheckerGrey);
  EXPECT_EQ(CheckerPixel(4, 0), kCheckerWhite);
  EXPECT_EQ(CheckerPixel(0, 7), kCheckerWhite);
  EXPECT_EQ(CheckerPixel(4, 4), kCheckerGrey);
  EXPECT_EQ(CheckerPixel(-1, 0), kCheckerWhite);

  uint8_t row[6 * 4] = {};
  FillCheckerRow(row, 6, 4);
  const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const uint8_t grey[4] = {0xA0, 0xA0, 0xA0, 0xFF};
  EXPECT_EQ(0, std::memcmp(row, white, 4));
  EXPECT_EQ(0, std::memcmp(row + 20, grey, 4));
}

TEST(SquarePixels, StretchesTheShorterResolutionSide) {
  EXPECT_EQ(SquarePixelSize({100, 50}, 72, 144), (Size{200, 50}));
  EXPECT_EQ(SquarePixelSize({100, 50}, 144, 72), (Size{100, 100}));
  EXPECT_EQ(SquarePixelSize({100, 50}, 72, 144, 300, 300), (Size{416, 104}));
  EXPECT_FALSE(SquarePixelSize({100, 50}, 72, 72));
  EXPECT_FALSE(SquarePixelSize({100, 50}, 72, 72, 72, 72));  // same size: nothing to do
  EXPECT_FALSE(SquarePixelSize({1, 1}, 144, 72, 1, 1));      // no area left
  EXPECT_FALSE(SquarePixelSize({100, 50}, 0, 72));
  EXPECT_FALSE(SquarePixelSize({100000, 50}, 1e-20f, 1e20f));  // beyond any side

  EXPECT_TRUE(HasNonSquarePixels(72, 144));
  EXPECT_FALSE(HasNonSquarePixels(72, 72));
  EXPECT_FALSE(HasNonSquarePixels(0, 72));
}
