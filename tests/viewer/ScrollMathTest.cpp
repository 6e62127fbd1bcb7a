#include "viewer/ScrollMath.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

ScrollModel Scroller(Size total, Size client) {
  ScrollModel scroller;
  scroller.SetTotal(total);
  scroller.RecalcPages(client);
  return scroller;
}

}  // namespace

TEST(ScrollModel, PagesAndBarRanges) {
  ScrollModel scroller = Scroller({100000, 100}, {400, 0});
  EXPECT_EQ(scroller.PageStep(), (Size{400, 1}));  // an empty client still pages by one
  scroller.SetUnits({3, 3});
  scroller.RecalcPages({400, 300});
  EXPECT_EQ(scroller.PageStep(), (Size{132, 99}));
  EXPECT_EQ(scroller.BarRange(Axis::Horizontal), 32767);
  EXPECT_EQ(scroller.BarRange(Axis::Vertical), 100);
  // The thumb's share: the client in units, scaled like the range beyond 32767.
  EXPECT_EQ(scroller.BarPage(Axis::Vertical, 300), 100);
  EXPECT_EQ(scroller.BarPage(Axis::Horizontal, 400), 43);  // 133 units * 32767 / 100000
  EXPECT_EQ(scroller.BarPage(Axis::Horizontal, 0), 1);
}

TEST(ScrollModel, ThumbsAreScaledBeyond32767AndStillReachBothEnds) {
  ScrollModel scroller = Scroller({100000, 500}, {400, 300});
  scroller.SetPosition({50000, 250});
  EXPECT_EQ(scroller.ThumbPosition(Axis::Horizontal), 16383);
  EXPECT_EQ(scroller.ThumbPosition(Axis::Vertical), 250);
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::ThumbPosition, 32767).position.x,
            100000);
  EXPECT_EQ(scroller.ThumbPosition(Axis::Horizontal), 32767);
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::ThumbPosition, 16384).position.x,
            50001);
}

TEST(ScrollModel, ScrollCodesStepAndClamp) {
  ScrollModel scroller = Scroller({1000, 500}, {100, 50});
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::LineDown, 0).position.x, 1);
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::PageDown, 0).position.x, 101);
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::PageUp, 0).position.x, 1);
  EXPECT_EQ(scroller.OnScroll(Axis::Horizontal, ScrollCode::LineUp, 0).position.x, 0);
  EXPECT_FALSE(scroller.OnScroll(Axis::Horizontal, ScrollCode::LineUp, 0).changed);
  EXPECT_EQ(scroller.OnScroll(Axis::Vertical, ScrollCode::Bottom, 0).position, (Point{0, 500}));
  EXPECT_FALSE(scroller.OnScroll(Axis::Vertical, ScrollCode::EndScroll, 0).changed);

  ScrollMove track = scroller.OnScroll(Axis::Vertical, ScrollCode::ThumbTrack, 70);
  EXPECT_EQ(track.position.y, 70);
  EXPECT_EQ(track.thumb, 70);
  scroller.liveTracking = false;
  EXPECT_FALSE(scroller.OnScroll(Axis::Vertical, ScrollCode::ThumbTrack, 90).changed);

  scroller.SetTotal({1000, 40});  // a smaller range pulls the position in
  EXPECT_EQ(scroller.Position(), (Point{0, 40}));
}

TEST(ScrollModel, ScrollToMovesTheContentsOrRepaints) {
  ScrollModel scroller = Scroller({1000, 500}, {100, 50});
  scroller.SetUnits({2, 2});
  ScrollMove move = scroller.ScrollTo({-20, 30});
  EXPECT_TRUE(move.changed && move.scrollContents);
  EXPECT_EQ(move.position, (Point{0, 30}));
  EXPECT_EQ(move.by, (Point{0, -60}));
  EXPECT_EQ(scroller.ScrollTo({5000, 5000}).position, (Point{1000, 500}));

  scroller.RecalcPages({100, 50});  // 49 x 24 units of two pixels
  scroller.viewportOriginScrolling = false;
  EXPECT_TRUE(scroller.ScrollTo({1000 - 48, 500}).scrollContents);
  EXPECT_FALSE(scroller.ScrollTo({1000, 500 - 24}).scrollContents);
}

TEST(ScrollModel, AutoScrollGrowsWithDistanceUpToAPage) {
  ScrollModel scroller = Scroller({1000, 1000}, {100, 50});
  scroller.SetPosition({500, 500});
  EXPECT_EQ(scroller.AutoScrollStep({50, -35}, {100, 50}).position, (Point{500, 497}));
  EXPECT_EQ(scroller.AutoScrollStep({50, -1}, {100, 50}).position, (Point{500, 496}));
  EXPECT_EQ(scroller.AutoScrollStep({-5000, 5000}, {100, 50}).position, (Point{400, 546}));
  EXPECT_EQ(scroller.AutoScrollStep({120, 10}, {100, 50}).position, (Point{402, 546}));
  scroller.autoScroll = false;
  EXPECT_FALSE(scroller.AutoScrollStep({50, -35}, {100, 50}).changed);
}

TEST(DragTracker, PansFromTheAnchorOnScrollableAxes) {
  DragTracker drag;
  EXPECT_FALSE(drag.Begin({10, 20}, {100, 100}, true, false, false));
  ASSERT_TRUE(drag.Begin({10, 20}, {100, 100}, true, true, true));
  EXPECT_FALSE(drag.Move({100, 100}));
  EXPECT_EQ(drag.Move({90, 95}), (Point{20, 25}));
  EXPECT_FALSE(drag.Move({90, 95}));
  EXPECT_TRUE(drag.End());
  EXPECT_FALSE(drag.Move({0, 0}));

  ASSERT_TRUE(drag.Begin({10, 20}, {100, 100}, true, true, false));
  EXPECT_EQ(drag.Move({0, 0}), (Point{110, 0}));
}
