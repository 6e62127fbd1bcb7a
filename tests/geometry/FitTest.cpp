#include "geometry/Fit.h"

#include <gtest/gtest.h>

using namespace geometry;

TEST(FitInto, EnlargesOrReducesKeepingTheAspect) {
  EXPECT_EQ(FitInto({400, 300}, {100, 50}), (Size{400, 200}));
  EXPECT_EQ(FitInto({400, 300}, {1000, 200}), (Size{400, 80}));
  EXPECT_EQ(FitInto({400, 300}, {100, 200}), (Size{150, 300}));  // tall: height first
  EXPECT_EQ(FitInto({400, 100}, {200, 100}), (Size{200, 100}));  // wide, then height-bound
  EXPECT_EQ(FitInto({100, 100}, {10000, 1}), (Size{100, 1}));    // never below 1
  EXPECT_EQ(FitInto({0, -5}, {10, 10}), (Size{1, 1}));
  EXPECT_FALSE(FitInto({400, 300}, {0, 50}));
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

TEST(Rect, EdgesFarApartStillGiveTheirDistance) {
  const Rect wide{INT32_MIN, 0, INT32_MAX, 1};
  EXPECT_EQ(wide.Width(), int64_t(INT32_MAX) - INT32_MIN);
  EXPECT_EQ(RectAt(INT32_MAX - 1, 0, 10, 10).right, INT32_MAX);   // kept inside 32 bits
  EXPECT_EQ(Intersect({0, 0, 10, 10}, {10, 0, 20, 10}), Rect{});  // touching edges: none
  EXPECT_TRUE(Rect{}.IsZero());
  EXPECT_TRUE(Rect({5, 5, 5, 9}).IsEmpty());
}
