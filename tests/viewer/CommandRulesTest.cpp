#include "viewer/CommandRules.h"

#include <gtest/gtest.h>

#include <set>

using namespace viewer;
using host::kShortcutCommands;

namespace {

bool Enabled(uint32_t command, const CommandState& state) {
  return IsEnabled(RulesFor(command).enable, state);
}

CommandState ImageShown() {
  CommandState state;
  state.imageShown = true;
  state.bitsPerPixel = 24;
  state.pageCount = 1;
  return state;
}

}  // namespace

TEST(CommandTable, EveryCommandHasAUniqueIdNameAndMenuText) {
  std::set<uint32_t> ids;
  std::set<std::string_view> names;
  for (const host::NamedCommand& command : kShortcutCommands) {
    EXPECT_FALSE(command.menuText.empty()) << command.name;
    EXPECT_TRUE(ids.insert(command.id).second) << command.name;
    EXPECT_TRUE(names.insert(command.name).second) << command.name;
  }
  EXPECT_EQ(host::FindShortcutCommand(host::kCmdRotate90)->menuText, "Rotate Clockwise (90\u00b0)");
}

TEST(CommandRules, NothingThatNeedsAnImageWithoutOne) {
  CommandState empty;
  for (uint32_t command :
       {host::kCmdReloadImage, host::kCmdSaveImageAs, host::kCmdDeleteImage, host::kCmdHistogram,
        host::kCmdFlipHor, host::kCmdCopyImage, host::kCmdBestFit, host::kCmdActualSize,
        host::kCmdZoomIn, host::kCmdWallpaperRestore, host::kCmdChangeColorDepth}) {
    EXPECT_FALSE(Enabled(command, empty)) << command;
    EXPECT_TRUE(Enabled(command, ImageShown())) << command;
  }
  // Commands outside the table are always there.
  EXPECT_TRUE(Enabled(host::kCmdExit, empty));
  EXPECT_TRUE(Enabled(host::kCmdOpenImage, empty));
}

TEST(CommandRules, ImageQualifiers) {
  CommandState state = ImageShown();
  EXPECT_FALSE(Enabled(host::kCmdSaveImage, state));
  state.modified = true;
  EXPECT_TRUE(Enabled(host::kCmdSaveImage, state));
  state.bitsPerPixel = 8;
  EXPECT_FALSE(Enabled(host::kCmdSwapColorChannel, state));
  EXPECT_FALSE(Enabled(host::kCmdCopyPath, state));
  state.historyNotEmpty = true;
  EXPECT_TRUE(Enabled(host::kCmdCopyPath, state));
}

TEST(CommandRules, ZoomStepsStayInsideTheBounds) {
  CommandState state = ImageShown();
  state.zoomStep = 0.1f;
  state.zoom = 15.9f;
  EXPECT_TRUE(Enabled(host::kCmdZoomIn, state));  // reaching 16 exactly is allowed here
  state.zoom = 15.95f;
  EXPECT_FALSE(Enabled(host::kCmdZoomIn, state));
  state.zoom = 0.1f;
  EXPECT_FALSE(Enabled(host::kCmdZoomOut, state));  // 0.0 is below 0.03
  state.zoom = 0.2f;
  EXPECT_TRUE(Enabled(host::kCmdZoomOut, state));
}

TEST(CommandRules, PagesAnimationAndLists) {
  CommandState state = ImageShown();
  EXPECT_FALSE(Enabled(host::kCmdVcrNext, state));
  EXPECT_FALSE(Enabled(host::kCmdDeleteCurrentPage, state));
  state.pageCount = 3;
  EXPECT_TRUE(Enabled(host::kCmdVcrNext, state));
  EXPECT_TRUE(Enabled(host::kCmdVcrPlay, state));
  EXPECT_FALSE(Enabled(host::kCmdVcrPause, state));
  state.animationPlaying = true;
  EXPECT_FALSE(Enabled(host::kCmdVcrPlay, state));
  EXPECT_TRUE(Enabled(host::kCmdVcrPause, state));
  EXPECT_FALSE(Enabled(host::kCmdDeleteCurrentPage, state));
  state.pageCount = 1;
  state.pageByPage = true;
  EXPECT_TRUE(Enabled(host::kCmdPageGoto, state));

  EXPECT_FALSE(Enabled(host::kCmdOpenNext, state));
  EXPECT_FALSE(Enabled(host::kCmdSlideshow, state));
  state.folderListNotEmpty = true;
  EXPECT_TRUE(Enabled(host::kCmdOpenNext, state));
  EXPECT_TRUE(Enabled(host::kCmdSlideshow, state));
  state.quickView = true;
  EXPECT_FALSE(Enabled(host::kCmdSlideshow, state));
  EXPECT_FALSE(Enabled(host::kCmdFullscreen, state));
}

TEST(CommandRules, BarsDependOnTheLook) {
  CommandState state;
  EXPECT_TRUE(Enabled(host::kCmdShowMenuBar, state));
  EXPECT_TRUE(Enabled(host::kCmdShowToolBar, state));
  EXPECT_FALSE(Enabled(host::kCmdShowInfoPanel, state));  // only a skin has the button
  state.skinActive = true;
  EXPECT_FALSE(Enabled(host::kCmdShowMenuBar, state));
  EXPECT_FALSE(Enabled(host::kCmdShowStatusBar, state));
  state.skinHasInfoButton = true;
  EXPECT_TRUE(Enabled(host::kCmdShowInfoPanel, state));
  state.skinActive = false;
  state.quickView = true;
  EXPECT_FALSE(Enabled(host::kCmdShowMenuBar, state));
}

TEST(CommandRules, ChecksFollowModeAndFlags) {
  CommandState state;
  state.viewMode = ViewMode::FitWidth;
  EXPECT_TRUE(IsChecked(RulesFor(host::kCmdFitWidth).check, state));
  EXPECT_FALSE(IsChecked(RulesFor(host::kCmdBestFit).check, state));
  EXPECT_TRUE(RulesFor(host::kCmdFitHeight).radio);
  EXPECT_FALSE(RulesFor(host::kCmdKeepVisible).radio);
  state.viewMode = ViewMode::Zoom;  // no fit mode carries the mark
  for (uint32_t fit :
       {host::kCmdBestFit, host::kCmdFitInWindow, host::kCmdFitWidth, host::kCmdFitHeight}) {
    EXPECT_FALSE(IsChecked(RulesFor(fit).check, state));
  }
  state.topmost = true;
  state.showStatusBar = true;
  EXPECT_TRUE(IsChecked(RulesFor(host::kCmdKeepVisible).check, state));
  EXPECT_TRUE(IsChecked(RulesFor(host::kCmdShowStatusBar).check, state));
  EXPECT_FALSE(IsChecked(RulesFor(host::kCmdShowToolBar).check, state));
}
