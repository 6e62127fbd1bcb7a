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
