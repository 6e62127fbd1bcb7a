#include "viewer/OptionRules.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(ZoomStepField, PercentWithinRangeBecomesAFraction) {
  EXPECT_DOUBLE_EQ(*ZoomStepFromPercentText("10"), 0.1);
  EXPECT_DOUBLE_EQ(*ZoomStepFromPercentText(" 0.05 "), 0.0005);
  EXPECT_DOUBLE_EQ(*ZoomStepFromPercentText("1000"), 10);
  EXPECT_FALSE(ZoomStepFromPercentText("0.04"));
  EXPECT_FALSE(ZoomStepFromPercentText("1000.01"));
  EXPECT_FALSE(ZoomStepFromPercentText("-5"));
  EXPECT_FALSE(ZoomStepFromPercentText(""));
  EXPECT_FALSE(ZoomStepFromPercentText("12abc"));
  EXPECT_FALSE(ZoomStepFromPercentText("1e2"));
  EXPECT_FALSE(ZoomStepFromPercentText(std::string(100, '1')));
}

TEST(ZoomStepField, ShownInPercentWithoutTrailingZeros) {
  EXPECT_EQ(ZoomStepPercentText(0.1), "10");
  EXPECT_EQ(ZoomStepPercentText(0.025), "2.5");
  EXPECT_EQ(ZoomStepPercentText(0.0005), "0.05");
  EXPECT_DOUBLE_EQ(*ZoomStepFromPercentText(ZoomStepPercentText(0.125)), 0.125);
}

TEST(SlideshowTimeoutField, WholeSecondsFromOneAreStoredInMilliseconds) {
  EXPECT_EQ(SlideshowTimeoutFromSecondsText("5"), 5000);
  EXPECT_EQ(SlideshowTimeoutFromSecondsText("1"), 1000);
  EXPECT_EQ(SlideshowTimeoutFromSecondsText("2147483"), 2147483000);
  EXPECT_FALSE(SlideshowTimeoutFromSecondsText("0"));
  EXPECT_FALSE(SlideshowTimeoutFromSecondsText("1.5"));
  EXPECT_FALSE(SlideshowTimeoutFromSecondsText("-3"));
  EXPECT_FALSE(SlideshowTimeoutFromSecondsText("2147484"));
  EXPECT_FALSE(SlideshowTimeoutFromSecondsText("x"));
  EXPECT_EQ(SlideshowSecondsShown(5000), 5);
  EXPECT_EQ(SlideshowSecondsShown(1499), 1);
  EXPECT_EQ(SlideshowSecondsShown(0), 1);
}
