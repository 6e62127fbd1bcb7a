#include "viewer/PaintMath.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(PaintPlan, SmallImageIsCentredUnscaledWithBackgroundAround) {
  PaintPlan plan = PlanPaint({{ViewMode::BestFit, 1.0f}, {100, 50}, {400, 300}, {100, 50}, {7, 9}});
  EXPECT_EQ(plan.draw, DrawKind::Copy);
  EXPECT_EQ(plan.scroll, (Point{0, 0}));
  EXPECT_EQ(plan.destination, (Rect{150, 125, 250, 175}));
  EXPECT_EQ(plan.source, (Rect{0, 0, 100, 50}));
  EXPECT_EQ(plan.imageRect, plan.destination);
  ASSERT_EQ(plan.fillCount, 4);
  EXPECT_EQ(plan.fill[0], (Rect{0, 0, 400, 125}));
  EXPECT_EQ(plan.fill[1], (Rect{0, 175, 400, 300}));
  EXPECT_EQ(plan.fill[2], (Rect{0, 125, 150, 175}));
  EXPECT_EQ(plan.fill[3], (Rect{250, 125, 400, 175}));
}

// Without centring (the file manager's choice) a small picture sits at the top left
// and the scroll position is still pulled back; a large one is placed as before.
TEST(PaintPlan, UncentredSmallImageSitsTopLeft) {
  PaintInput input{{ViewMode::BestFit, 1.0f}, {100, 50}, {400, 300}, {100, 50}, {7, 9}};
  input.centred = false;
  PaintPlan plan = PlanPaint(input);
  EXPECT_EQ(plan.scroll, (Point{0, 0}));
  EXPECT_EQ(plan.destination, (Rect{0, 0, 100, 50}));
  ASSERT_EQ(plan.fillCount, 2);
  EXPECT_EQ(plan.fill[0], (Rect{0, 50, 400, 300}));
  EXPECT_EQ(plan.fill[1], (Rect{100, 0, 400, 50}));
}

TEST(PaintPlan, ZoomedImageScalesOnlyTheVisiblePart) {
  PaintInput input{{ViewMode::Zoom, 2.0f}, {2000, 1600}, {400, 300}, {1000, 800}, {1001, 2000}};
  PaintPlan plan = PlanPaint(input);
  EXPECT_EQ(plan.draw, DrawKind::Stretch);
  EXPECT_EQ(plan.scroll, (Point{1001, 1300}));  // pulled back to the excess
  EXPECT_EQ(plan.destination, (Rect{1001, 1300, 1401, 1600}));
  EXPECT_EQ(plan.source, (Rect{501, 650, 701, 800}));
  EXPECT_EQ(plan.fillCount, 0);

  input.view.zoom = 1.0f;
  input.displayed = {1000, 800};
  input.scroll = {600, 20};
  plan = PlanPaint(input);
  EXPECT_EQ(plan.draw, DrawKind::Copy);
  EXPECT_EQ(plan.source, (Rect{600, 20, 1000, 320}));
  EXPECT_EQ(plan.destination, plan.source);
}

TEST(PaintPlan, FitWidthOverflowScrollsVerticallyAndFitsDrawWhole) {
  PaintPlan tall =
      PlanPaint({{ViewMode::FitWidth, 0.5f}, {200, 500}, {200, 300}, {400, 1000}, {5, 100}});
  EXPECT_EQ(tall.scroll, (Point{0, 100}));
  EXPECT_EQ(tall.destination, (Rect{0, 100, 200, 400}));
  EXPECT_EQ(tall.source, (Rect{0, 200, 400, 800}));

  PaintPlan fit =
      PlanPaint({{ViewMode::FitInWindow, 0.4f}, {400, 80}, {400, 300}, {1000, 200}, {3, 3}});
  EXPECT_EQ(fit.draw, DrawKind::Stretch);
  EXPECT_EQ(fit.destination, (Rect{0, 110, 400, 190}));
  EXPECT_EQ(fit.source, (Rect{0, 0, 1000, 200}));
  EXPECT_EQ(fit.fillCount, 2);
}

TEST(PaintPlan, FrozenNaturalAndBadInput) {
  PaintInput input{{ViewMode::Zoom, 1.0f}, {100, 50}, {400, 300}, {100, 50}, {}};
  input.frozen = true;
  PaintPlan frozen = PlanPaint(input);
  EXPECT_EQ(frozen.draw, DrawKind::None);
  EXPECT_TRUE(frozen.imageRect.IsEmpty());

  PaintPlan natural =
      PlanPaint({{ViewMode::Natural, 1.0f}, {128, 64}, {128, 64}, {2000, 1000}, {}});
  EXPECT_EQ(natural.destination, (Rect{0, 0, 128, 64}));
  EXPECT_EQ(natural.source, (Rect{0, 0, 2000, 1000}));

  PaintPlan zero = PlanPaint({{ViewMode::Zoom, 0.0f}, {0, 0}, {400, 300}, {100, 50}, {5, 5}});
  EXPECT_EQ(zero.draw, DrawKind::None);
  EXPECT_EQ(zero.fillCount, 1);
  PaintPlan empty = PlanPaint({{ViewMode::Zoom, 1.0f}, {}, {400, 300}, {0, 0}, {}});
  EXPECT_EQ(empty.draw, DrawKind::None);
  EXPECT_EQ(empty.fill[0], (Rect{0, 0, 400, 300}));
}

TEST(PaintPlan, ViewportOriginMovesOnlyBelow32768Pixels) {
  EXPECT_EQ(PrepareDcOrigin({32767, 5}, {1, 1}), (Point{-32767, -5}));
  EXPECT_FALSE(PrepareDcOrigin({32768, 0}, {1, 1}));
  EXPECT_FALSE(PrepareDcOrigin({0, 16384}, {1, 2}));
  EXPECT_EQ(DrawingToClient({40000, 10, 40400, 310}, {40000, 10}), (Rect{0, 0, 400, 300}));
}
