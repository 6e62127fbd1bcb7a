#include "viewer/WindowRules.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(WindowRules, InstanceModeFromTheParent) {
  EXPECT_EQ(DecideInstanceMode(u"Orbisk", false), InstanceMode::Standalone);
  EXPECT_EQ(DecideInstanceMode(u"Orbisk", true), InstanceMode::Standalone);
  EXPECT_EQ(DecideInstanceMode(u"orbisk", false), InstanceMode::ListerWindow);  // case counts
  EXPECT_EQ(DecideInstanceMode(u"TLister", true), InstanceMode::QuickView);
}

TEST(WindowRules, NamesBeginningWithADashAreOptions) {
  EXPECT_EQ(SplitStartupName("-logfile").option, "-logfile");
  EXPECT_EQ(SplitStartupName("-logfile").file, "");
  EXPECT_EQ(SplitStartupName("-").option, "-");
  EXPECT_EQ(SplitStartupName("c:\\-x.png").file, "c:\\-x.png");
  EXPECT_TRUE(SplitStartupName("").file.empty());
}

TEST(WindowRules, EscUnwindsOneStateAtATime) {
  EscState state;
  state.slideShow = true;
  state.fullScreen = true;
  EscAction action = DecideEsc(state);
  EXPECT_TRUE(action.stopSlideShow);
  EXPECT_TRUE(action.leaveFullScreen);  // both in one press
  EXPECT_FALSE(action.close);

  state = {};
  state.fullScreen = true;
  action = DecideEsc(state);
  EXPECT_TRUE(action.leaveFullScreen);
  EXPECT_FALSE(action.close);

  state = {};
  state.standalone = true;
  EXPECT_FALSE(DecideEsc(state).close);
  state.singleEscToExit = true;
  EXPECT_TRUE(DecideEsc(state).close);

  state = {};
  EXPECT_TRUE(DecideEsc(state).close);  // a Lister window closes
  state.quickView = true;
  EXPECT_FALSE(DecideEsc(state).close);
  state.loadRunning = true;
  EXPECT_TRUE(DecideEsc(state).abortLoad);
}

TEST(WindowRules, FullScreenPutsTheDisplayAreaOverTheScreen) {
  // A frame at (100, 50) whose display area starts 8 px in and 60 px down, and ends
  // 8 px from the right and 30 px from the bottom.
  Rect window{100, 50, 900, 650};
  Rect area{108, 110, 892, 620};
  Rect full = FullScreenWindowRect(window, area, {1280, 1024}, 22);
  EXPECT_EQ(full.left, -8);
  EXPECT_EQ(full.top, -60);
  EXPECT_EQ(full.Width(), 1280 + 8 + 8);
  EXPECT_EQ(full.Height(), 1024 + 60 + 30 + 22);
}

TEST(WindowRules, HiddenListerEveryThirdMessage) {
  EXPECT_TRUE(HideListerNow(0));
  EXPECT_FALSE(HideListerNow(1));
  EXPECT_FALSE(HideListerNow(2));
  EXPECT_TRUE(HideListerNow(3));
}

TEST(WindowRules, WheelDirections) {
  EXPECT_FALSE(WheelShowsNext(120));  // away from the user: previous
  EXPECT_FALSE(WheelShowsNext(0));
  EXPECT_TRUE(WheelShowsNext(-120));
  EXPECT_TRUE(ListerWheelShowsNext(120));  // the Lister reports the other way round
  EXPECT_FALSE(ListerWheelShowsNext(0));
}
