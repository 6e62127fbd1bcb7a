#include "viewer/DisplayMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace viewer;

namespace {

Layout LayoutOf(ViewMode mode, float zoom, Size client, Size image, LayoutOptions options = {}) {
  std::optional<Layout> layout = ComputeLayout({mode, zoom}, client, image, options);
  EXPECT_TRUE(layout.has_value());
  return layout.value_or(Layout{});
}

}  // namespace

TEST(Layout, FitModesReplaceTheZoomAndPercentFollowsTheFit) {
  Layout best = LayoutOf(ViewMode::BestFit, 3.0f, {400, 300}, {100, 50});
  EXPECT_EQ(best.displayed, (Size{100, 50}));
  EXPECT_EQ(best.zoom, 1.0f);
  EXPECT_TRUE(best.fitsWhole);
  EXPECT_EQ(ZoomPercent({ViewMode::BestFit, best.zoom}, {400, 300}, {100, 50}), 100.0);

  Layout fit = LayoutOf(ViewMode::FitInWindow, 1.0f, {400, 300}, {100, 50});
  EXPECT_EQ(fit.displayed, (Size{400, 200}));
  EXPECT_EQ(fit.zoom, 4.0f);
  EXPECT_EQ(ZoomPercent({ViewMode::FitInWindow, fit.zoom}, {400, 300}, {100, 50}), 400.0);

  for (ViewMode mode : {ViewMode::FitInWindow, ViewMode::BestFit}) {
    Layout large = LayoutOf(mode, 1.0f, {400, 300}, {1000, 200});
    EXPECT_EQ(large.displayed, (Size{400, 80}));
    EXPECT_EQ(large.zoom, 0.4f);
    // The percentage comes from the fit even before the stored zoom follows it.
    EXPECT_EQ(ZoomPercent({mode, 1.0f}, {400, 300}, {1000, 200}), 40.0);
  }
}

TEST(Layout, FitWidthAndFitHeightScrollOnlyAlongTheOtherAxis) {
  Layout width = LayoutOf(ViewMode::FitWidth, 1.0f, {200, 300}, {400, 1000});
  EXPECT_EQ(width.displayed, (Size{200, 500}));
  EXPECT_EQ(width.zoom, 0.5f);
  EXPECT_FALSE(width.showHorzBar);
  EXPECT_TRUE(width.showVertBar);
  EXPECT_EQ(width.scrollTotal, (Size{0, 200}));

  Layout height = LayoutOf(ViewMode::FitHeight, 1.0f, {300, 200}, {1000, 400});
  EXPECT_EQ(height.displayed, (Size{500, 200}));
  EXPECT_TRUE(height.showHorzBar && !height.showVertBar);

  EXPECT_EQ(LayoutOf(ViewMode::FitWidth, 1.0f, {10, 100}, {3, 7}).displayed, (Size{10, 23}));
}

TEST(Layout, ZoomRoundsHalfUpAndScrollsTheExcess) {
  EXPECT_EQ(LayoutOf(ViewMode::Zoom, 0.5f, {400, 300}, {101, 3}).displayed, (Size{51, 2}));
  Layout zoomed = LayoutOf(ViewMode::Zoom, 1.0f, {400, 300}, {1000, 800});
  EXPECT_TRUE(zoomed.showHorzBar && zoomed.showVertBar && zoomed.openHandCursor);
  EXPECT_EQ(zoomed.scrollTotal, (Size{600, 500}));

  // Hidden scroll bars still leave the image draggable; no panning, no scrolling.
  Layout hidden = LayoutOf(ViewMode::Zoom, 1.0f, {400, 300}, {1000, 800}, {true, false});
  EXPECT_FALSE(hidden.showHorzBar || hidden.showVertBar);
  EXPECT_EQ(hidden.scrollTotal, (Size{600, 500}));
  Layout fixed = LayoutOf(ViewMode::Zoom, 1.0f, {400, 300}, {1000, 800}, {false, true});
  EXPECT_FALSE(fixed.showHorzBar || fixed.showVertBar);
  EXPECT_EQ(fixed.scrollTotal, (Size{0, 0}));
}

TEST(Layout, BadInputGivesSaneAnswers) {
  EXPECT_FALSE(ComputeLayout({}, {400, 300}, {0, 10}, {}));
  EXPECT_EQ(LayoutOf(ViewMode::FitWidth, 1.0f, {-5, 300}, {100, 100}).displayed, (Size{0, 0}));
  const Size huge{0x7FFFFFFF, 0x7FFFFFFF};
  EXPECT_EQ(LayoutOf(ViewMode::Zoom, 16.0f, {400, 300}, huge).displayed,
            (Size{kMaxSide, kMaxSide}));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(LayoutOf(ViewMode::Zoom, nan, {400, 300}, {100, 100}).displayed, (Size{0, 0}));
  EXPECT_EQ(LayoutOf(ViewMode::Zoom, -1.0f, {400, 300}, {100, 100}).displayed, (Size{0, 0}));
  EXPECT_EQ(ZoomPercent({ViewMode::Zoom, nan}, {400, 300}, {100, 100}), 0.0);
}

TEST(ResolveLayout, OneBarCanCallForTheOther) {
  std::optional<Layout> layout = ResolveLayout({}, {400, 300}, {410, 290}, {}, {17, 17});
  ASSERT_TRUE(layout);
  EXPECT_TRUE(layout->showHorzBar && layout->showVertBar);
  EXPECT_EQ(layout->client, (Size{383, 283}));
  EXPECT_EQ(layout->scrollTotal, (Size{27, 7}));
}

TEST(ResolveLayout, FitWidthSettlesWhereABarWouldRemoveItself) {
  const ViewState fitWidth{ViewMode::FitWidth, 1.0f};
  std::optional<Layout> tall = ResolveLayout(fitWidth, {400, 300}, {400, 1000}, {}, {17, 17});
  EXPECT_TRUE(tall->showVertBar);
  EXPECT_EQ(tall->displayed, (Size{383, 957}));
  EXPECT_EQ(tall->client, (Size{383, 300}));

  // Full width needs the bar, the bar's width makes it fit: fitted to the narrower
  // width without a bar, and the same answer again after the resize.
  std::optional<Layout> close = ResolveLayout(fitWidth, {400, 300}, {400, 310}, {}, {17, 17});
  EXPECT_FALSE(close->showVertBar || close->showHorzBar || close->scrollableY);
  EXPECT_EQ(close->displayed, (Size{383, 296}));
  EXPECT_EQ(close->client, (Size{400, 300}));
  EXPECT_EQ(ResolveLayout(fitWidth, close->client, {400, 310}, {}, {17, 17})->displayed,
            close->displayed);
}

TEST(ZoomRequest, StepsInSinglePrecisionWithinOpenBoundsAndShowsTwoDecimals) {
  ZoomRequest in = ZoomRequestFor(ZoomCommand::ZoomIn, 15.9f, 0.1f);
  EXPECT_EQ(in.zoom, 16.0f);
  EXPECT_FALSE(IsZoomRequestAccepted(in));
  EXPECT_TRUE(CanZoomIn(15.9f, 0.1f));  // the button allows the bound itself
  EXPECT_FALSE(CanZoomIn(15.95f, 0.1f));

  ZoomRequest out = ZoomRequestFor(ZoomCommand::ZoomOut, 0.1f, 0.1f);
  EXPECT_FALSE(IsZoomRequestAccepted(out));
  EXPECT_FALSE(CanZoomOut(0.1f, 0.1f));
  EXPECT_TRUE(CanZoomOut(0.2f, 0.1f));
  EXPECT_FALSE(IsZoomRequestAccepted({ViewMode::Zoom, std::nanf("")}));

  ViewState state{ViewMode::Zoom, 2.5f};
  EXPECT_TRUE(ApplyZoomRequest(state, ZoomRequestFor(ZoomCommand::FitWidth, 2.5f, 0.1f)));
  EXPECT_EQ(state.zoom, 2.5f);  // fit requests keep the stored zoom
  EXPECT_TRUE(ApplyZoomRequest(state, ZoomRequestFor(ZoomCommand::BestFit, 2.5f, 0.1f)));
  EXPECT_EQ(state.zoom, 1.0f);
  EXPECT_FALSE(ApplyZoomRequest(state, ZoomRequestFor(ZoomCommand::BestFit, 1.0f, 0.1f)));
  EXPECT_TRUE(ApplyZoomRequest(state, ZoomRequestFor(ZoomCommand::ZoomIn, 1.0f, 0.1f)));
  EXPECT_EQ(FormatZoomPercent(ZoomPercent(state, {400, 300}, {10, 10})), "110%");
  EXPECT_EQ(FormatZoomPercent(ZoomPercent({ViewMode::Zoom, 1.0f / 3}, {}, {1, 1})), "33.33%");
  EXPECT_EQ(FormatZoomPercent(ZoomPercent({ViewMode::Zoom, 2.0f / 3}, {}, {1, 1})), "66.67%");
}

TEST(CenterView, CentresTheScrollableAxes) {
  EXPECT_EQ(CenterViewTarget(1.0f, {1000, 800}, {400, 300}, true, true), (Point{300, 250}));
  EXPECT_EQ(CenterViewTarget(1.0f, {1000, 200}, {400, 300}, true, false), (Point{300, 0}));
  EXPECT_FALSE(CenterViewTarget(1.0f, {1000, 800}, {400, 300}, false, false));
}

TEST(ReentryFlag, RefusesANestedRequestOnly) {
  ReentryFlag flag;
  {
    ReentryFlag::Scope outer(flag);
    EXPECT_FALSE(ReentryFlag::Scope(flag).Entered());
  }
  EXPECT_TRUE(ReentryFlag::Scope(flag).Entered());
}
