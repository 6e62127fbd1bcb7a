#include "host/Placement.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

const Rect kWork{0, 0, 1920, 1040};

}  // namespace

TEST(Placement, AWindowOffScreenIsPulledBackKeepingItsSize) {
  EXPECT_EQ(ClampPlacement({3000, 2000, 3800, 2600}, kWork, {}), (Rect{1792, 912, 2592, 1512}));
  EXPECT_EQ(ClampPlacement({-900, -50, -100, 550}, kWork, {}), (Rect{0, 0, 800, 600}));
  EXPECT_EQ(ClampPlacement({100, 100, 900, 700}, kWork, {}), (Rect{100, 100, 900, 700}));
  // A work area that does not start at the origin (a task bar on the left or top)
  // counts by its width and height: the corner is clamped against 0 and those.
  const Rect shifted{60, 40, 1920, 1080};
  EXPECT_EQ(ClampPlacement({0, 0, 800, 600}, shifted, {}), (Rect{0, 0, 800, 600}));
  EXPECT_EQ(ClampPlacement({3000, 2000, 3800, 2600}, shifted, {}), (Rect{1732, 912, 2532, 1512}));
}

TEST(Placement, ASmallWindowIsEnlarged) {
  EXPECT_EQ(ClampPlacement({10, 10, 20, 20}, kWork, {}), (Rect{10, 10, 610, 278}));
  EXPECT_EQ(ClampPlacement({10, 10, 5, 5}, kWork, {}), (Rect{10, 10, 610, 278}));
}

TEST(Placement, NoSavedPositionTakesThePlatformDefault) {
  Rect none{-1, -1, -1, -1};
  EXPECT_EQ(ClampPlacement(none, kWork, Rect{50, 60, 1050, 860}), (Rect{50, 60, 1050, 860}));
  EXPECT_EQ(ClampPlacement(none, kWork, {}), (Rect{0, 0, 600, 268}));
  EXPECT_EQ(ClampPlacement({-1, 5, 700, 500}, kWork, {}), (Rect{0, 5, 701, 500}))
      << "only a missing position is replaced";
}

TEST(Placement, ExtremeValuesStayInRange) {
  Rect huge = ClampPlacement({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, kWork, {});
  EXPECT_EQ(huge.left, 0);
  EXPECT_EQ(huge.top, 0);
  EXPECT_EQ(huge.right, INT32_MAX);
  Rect tiny = ClampPlacement({100, 100, 700, 400}, Rect{0, 0, 50, 50}, {});
  EXPECT_EQ(tiny, (Rect{-78, -78, 522, 222})) << "128 pixels are kept even on a tiny area";
}
