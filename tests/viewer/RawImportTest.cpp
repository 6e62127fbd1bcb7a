#include "viewer/RawImport.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(RawImport, ProposesTheResolutionWhosePixelsFillTheFile) {
  std::optional<RawGuess> guess = GuessRawDimensions(921600);
  ASSERT_TRUE(guess);
  EXPECT_EQ(guess->width, 640);
  EXPECT_EQ(guess->height, 480);
  EXPECT_EQ(guess->channels, 3);
  EXPECT_EQ(guess->bitsPerChannel, 8);
  EXPECT_TRUE(guess->exact);
  // RGB before grey before RGBA, 8 before 16 bits: 640 x 480 RGBA is 1228800 bytes,
  // as is 1280 x 960 grey, which is tried first.
  guess = GuessRawDimensions(1228800);
  EXPECT_EQ(guess->channels, 1);
  EXPECT_EQ(guess->width, 1280);

  // No exact match: the closest candidate.
  guess = GuessRawDimensions(1000000);
  ASSERT_TRUE(guess);
  EXPECT_EQ(guess->width, 1152);
  EXPECT_EQ(guess->height, 864);
  EXPECT_EQ(guess->channels, 1);
  EXPECT_FALSE(guess->exact);

  // Outside the range of resolutions: a square.
  guess = GuessRawDimensions(100);
  EXPECT_EQ(guess->width, 10);
  EXPECT_EQ(guess->height, 10);
  EXPECT_EQ(GuessRawDimensions(63999)->width, 252);
  EXPECT_EQ(GuessRawDimensions(64000)->width, 320) << "the smallest resolution is tried";
  guess = GuessRawDimensions(uint64_t(3008) * 1960 * 8 + 1);
  EXPECT_EQ(guess->width, guess->height);
  EXPECT_EQ(GuessRawDimensions(UINT64_MAX)->width, INT32_MAX);
  EXPECT_FALSE(GuessRawDimensions(0));
}

TEST(RawImport, ChannelListsStayAPermutationAndNameTheColourSpace) {
  ChannelOrder order{0, 1, 2, 3};
  ChooseChannel(order, 0, 2);  // R's list picks B: B's list gets the R nobody shows
  EXPECT_EQ(order, (ChannelOrder{2, 1, 0, 3}));
  ChooseChannel(order, 3, 1);
  EXPECT_EQ(order, (ChannelOrder{2, 3, 0, 1}));
  ChooseChannel(order, 9, 1);  // out of range: nothing
  EXPECT_EQ(order, (ChannelOrder{2, 3, 0, 1}));

  EXPECT_EQ(ColorSpaceText(1, order), "Colorspace: GRAY");
  EXPECT_EQ(ColorSpaceText(2, order), "Colorspace: GRAY ALPHA");
  EXPECT_EQ(ColorSpaceText(3, order), "Colorspace: BAR");
  EXPECT_EQ(ColorSpaceText(4, order), "Colorspace: BARG");
}

TEST(RawImport, SettingsBecomeTheLoadRecord) {
  RawSettings settings;
  settings.width = 150;
  settings.height = 103;
  settings.headerLength = 16;
  settings.lineGap = 2;
  settings.channels = 4;
  settings.sixteenBits = true;
  settings.littleEndian = false;
  settings.fillAlpha = true;
  settings.fileSize = 46350;
  settings.order = {2, 1, 0, 3};
  glib::RAWLoad record;
  FillRawLoad(settings, record);
  EXPECT_EQ(record.width, 150u);
  EXPECT_EQ(record.height, 103u);
  EXPECT_EQ(record.headerLength, 16u);
  EXPECT_EQ(record.lineGap, 2u);
  EXPECT_EQ(record.pixelType, 0x03010410u) << "colour model kept, 4 channels of 16 bits";
  EXPECT_EQ(record.littleEndian, 0);
  EXPECT_EQ(record.fillAlpha, 1);
  EXPECT_EQ(record.fileSize, 46350u);
  EXPECT_EQ(std::string(record.channelOrder, 4), "BGRA");
}
