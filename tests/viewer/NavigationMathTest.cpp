#include "viewer/NavigationMath.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(Navigation, ThumbnailRatiosAndViewportCursorForAZoomedImage) {
  const Size image{2000, 1000};
  std::optional<Size> thumbnail = NavigationThumbnailSize(image);
  ASSERT_EQ(thumbnail, (Size{128, 64}));
  EXPECT_EQ(ViewportCursorSize(*thumbnail, image, 1.0f, {500, 400}), (Size{32, 26}));
  NavigationRatios ratios = NavigationRatiosFor(1.0f, image, *thumbnail);
  EXPECT_EQ(ratios.x, 15.625f);
  EXPECT_EQ(ratios.y, 15.625f);

  EXPECT_EQ(ViewportCursorPosition({100, 200}, {500, 300}, ratios), (Point{132, 219}));
  EXPECT_EQ(NavigationScrollTarget({32, 19}, ratios), (Point{500, 297}));
  EXPECT_EQ(ViewportCursorConfinement({100, 200, 228, 264}, {32, 26}), (Rect{100, 200, 197, 239}));
}

TEST(Navigation, DegenerateInputStaysOnTheThumbnail) {
  EXPECT_FALSE(NavigationThumbnailSize({0, 10}));
  EXPECT_EQ(ViewportCursorSize({128, 64}, {2000, 1000}, 0.0f, {500, 400}), (Size{128, 64}));
  EXPECT_EQ(ViewportCursorSize({128, 64}, {2000, 1000}, 1.0f, {0, -3}), (Size{1, 1}));
  NavigationRatios none = NavigationRatiosFor(1.0f, {2000, 1000}, {0, 0});
  EXPECT_EQ(ViewportCursorPosition({100, 200}, {500, 300}, none), (Point{100, 200}));
}

TEST(Navigation, CornerBoxAndWindowPlacement) {
  EXPECT_EQ(CornerBox({0, 0, 500, 400}, true, true, {17, 16}), (Rect{483, 384, 500, 400}));
  EXPECT_FALSE(CornerBox({0, 0, 500, 400}, true, false, {17, 16}));

  const Rect work{0, 0, 1024, 738};
  EXPECT_EQ(NavigationWindowRect({128, 64}, {1000, 700}, work), (Rect{890, 668, 1024, 738}));
  EXPECT_EQ(NavigationWindowRect({128, 64}, {10, 10}, work), (Rect{10, 10, 144, 80}));
  EXPECT_EQ(NavigationWindowRect({128, 64}, {-50, 10}, work).left, 0);
}

TEST(Navigation, ViewportCursorOutlinesOrInverts) {
  const Size cursor{32, 26};
  EXPECT_EQ(ViewportCursorPixel(cursor, {0, 0}), CursorPixel::Black);
  EXPECT_EQ(ViewportCursorPixel(cursor, {1, 5}), CursorPixel::White);
  EXPECT_EQ(ViewportCursorPixel(cursor, {10, 2}), CursorPixel::Black);
  EXPECT_EQ(ViewportCursorPixel(cursor, {3, 3}), CursorPixel::Transparent);
  EXPECT_EQ(ViewportCursorPixel(cursor, {31, 25}), CursorPixel::Black);
  EXPECT_EQ(ViewportCursorPixel({5, 20}, {2, 10}), CursorPixel::Invert);
}
