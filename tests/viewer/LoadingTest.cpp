// The list behind the history, the progress-panel rule and the load plan.
#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "viewer/LoadPlan.h"
#include "viewer/LoadProgress.h"
#include "viewer/PathList.h"

using namespace viewer;

TEST(PathList, AddNavigateAndRemove) {
  PathList list;
  EXPECT_FALSE(list.Current());
  list.Add("a", true);
  list.Add("a", true);  // the same as the last entry: nothing
  list.Add("b", false);
  list.Add("c", true);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(*list.Current(), "c");
  EXPECT_FALSE(list.HasNext());
  EXPECT_FALSE(list.Next());
  EXPECT_EQ(*list.Prev(), "b");
  EXPECT_EQ(*list.Prev(), "a");
  EXPECT_FALSE(list.Prev());
  EXPECT_EQ(*list.Current(), "a");
  list.RemoveCurrent();  // the entry that followed becomes current
  EXPECT_EQ(*list.Current(), "b");
  list.Last();
  list.RemoveCurrent();  // at the end: the new last one
  EXPECT_EQ(*list.Current(), "b");
  list.RemoveCurrent();
  EXPECT_TRUE(list.Empty());
  EXPECT_FALSE(list.Current());
  list.RemoveCurrent();  // nothing to remove
}

TEST(LoadProgress, PanelOnlyForLoadsEstimatedAt201MillisecondsOrMore) {
  LoadProgress fast;
  fast.Begin();
  EXPECT_EQ(fast.Report(1, 10, 1000), LoadProgress::Action::None);  // starts the clock
  // 5 of 10 done in 100 ms: (10 + 1) / (5 + 1) * 100 = 183 ms.
  EXPECT_EQ(fast.Report(5, 10, 1100), LoadProgress::Action::None);
  EXPECT_EQ(fast.Current(), LoadProgress::State::Fast);
  EXPECT_EQ(fast.Report(9, 10, 1900), LoadProgress::Action::None);
  EXPECT_EQ(fast.End(), LoadProgress::Action::None);

  LoadProgress slow;
  slow.Begin();
  slow.Report(1, 10, 0xFFFFFFF0u);  // the tick count wraps during the load
  // 5 of 10 in 110 ms: 11 / 6 * 110 = 201.7 ms.
  EXPECT_EQ(slow.Report(5, 10, 0x5Eu), LoadProgress::Action::ShowPanel);
  EXPECT_EQ(slow.Report(6, 10, 0x60u), LoadProgress::Action::UpdatePanel);
  EXPECT_EQ(slow.End(), LoadProgress::Action::HidePanel);
  EXPECT_EQ(slow.Current(), LoadProgress::State::Idle);
}

TEST(LoadPlan, SettingsAndFileDecideTheRequest) {
  host::Settings settings;
  LoadPlan plan = PlanLoad(settings, 1, glib::kFormatPNG);
  EXPECT_EQ(plan.colorProfile, 0u);
  EXPECT_TRUE(plan.reduceTo8Bits);
  EXPECT_EQ(plan.pageCount, kAllPages);
  EXPECT_FALSE(plan.pageByPage);
  EXPECT_FALSE(plan.thumbnail);

  plan = PlanLoad(settings, 12, glib::kFormatTIF);  // "PageByPageMode" is on by default
  EXPECT_TRUE(plan.pageByPage);
  EXPECT_EQ(plan.firstPage, 0u);
  EXPECT_EQ(plan.pageCount, 1u);
  EXPECT_EQ(plan.filePages, 12u);
  EXPECT_FALSE(PlanLoad(settings, 12, glib::kFormatGIF).pageByPage);  // animations play
  EXPECT_FALSE(PlanLoad(settings, kPagesUnknown, glib::kFormatTIF).pageByPage);

  settings.profileUsing = 2;
  settings.bps16 = true;
  settings.thSize = {160, 120};
  plan = PlanLoad(settings, 1, glib::kFormatJPG);
  EXPECT_EQ(plan.colorProfile, 3u);
  EXPECT_FALSE(plan.reduceTo8Bits);
  EXPECT_TRUE(plan.thumbnail);
  EXPECT_EQ(plan.thumbnailSize, (Size{160, 120}));
  settings.profileUsing = 1;
  settings.thSize = {160, 0};  // both sides are needed
  plan = PlanLoad(settings, 1, glib::kFormatJPG);
  EXPECT_EQ(plan.colorProfile, 1u);
  EXPECT_FALSE(plan.thumbnail);
}

TEST(LoadPlan, FramesShorterThan20MillisecondsStay100) {
  EXPECT_EQ(FrameDelay(0), 100u);
  EXPECT_EQ(FrameDelay(19), 100u);
  EXPECT_EQ(FrameDelay(20), 20u);
  EXPECT_EQ(FrameDelay(1500), 1500u);
}
