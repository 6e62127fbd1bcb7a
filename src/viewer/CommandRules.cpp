#include "viewer/CommandRules.h"

namespace viewer {

using host::CheckRule;
using host::EnableRule;

bool IsEnabled(EnableRule rule, const CommandState& s) {
  bool severalPages = s.pageCount > 1;
  switch (rule) {
    case EnableRule::kAlways:
      return true;
    case EnableRule::kImageShown:
      return s.imageShown;
    case EnableRule::kImageModified:
      return s.imageShown && s.modified;
    case EnableRule::kFolderListNotEmpty:
      return s.folderListNotEmpty;
    case EnableRule::kHistoryHasNext:
      return s.historyHasNext;
    case EnableRule::kHistoryHasPrev:
      return s.historyHasPrev;
    case EnableRule::kImageAndHistory:
      return s.imageShown && s.historyNotEmpty;
    case EnableRule::kClipboardHasImage:
      return s.clipboardHasImage;
    case EnableRule::kClipboardHasAny:
      return s.clipboardHasAny;
    case EnableRule::kImageAtLeast24Bits:
      return s.imageShown && s.bitsPerPixel >= 24;
    case EnableRule::kSeveralPagesNoAnimation:
      return severalPages && !s.animationPlaying;
    case EnableRule::kPaging:
      return s.pageByPage || severalPages;
    case EnableRule::kCanPlay:
      return severalPages && !s.pageByPage && !s.animationPlaying;
    case EnableRule::kCanPause:
      return severalPages && !s.pageByPage && s.animationPlaying;
    case EnableRule::kCanZoomIn:
      return s.imageShown && CanZoomIn(s.zoom, s.zoomStep);
    case EnableRule::kCanZoomOut:
      return s.imageShown && CanZoomOut(s.zoom, s.zoomStep);
    case EnableRule::kNotQuickView:
      return !s.quickView;
    case EnableRule::kSlideShow:
      return !s.quickView && s.folderListNotEmpty;
    case EnableRule::kSkinInfoButton:
      return s.skinActive && s.skinHasInfoButton;
    case EnableRule::kMenuBarToggle:
      return !s.skinActive && !s.quickView;
    case EnableRule::kClassicLook:
      return !s.skinActive;
  }
  return true;
}

bool IsChecked(CheckRule rule, const CommandState& s) {
  switch (rule) {
    case CheckRule::kNone:
      return false;
    case CheckRule::kFitInWindow:
      return s.viewMode == ViewMode::FitInWindow;
    case CheckRule::kFitWidth:
      return s.viewMode == ViewMode::FitWidth;
    case CheckRule::kFitHeight:
      return s.viewMode == ViewMode::FitHeight;
    case CheckRule::kBestFit:
      return s.viewMode == ViewMode::BestFit;
    case CheckRule::kTopmost:
      return s.topmost;
    case CheckRule::kShowInfo:
      return s.showInfo;
    case CheckRule::kShowMenuBar:
      return s.showMenuBar;
    case CheckRule::kShowToolBar:
      return s.showToolBar;
    case CheckRule::kShowStatusBar:
      return s.showStatusBar;
  }
  return false;
}

CommandRules RulesFor(uint32_t command) {
  const host::NamedCommand* named = host::FindShortcutCommand(command);
  if (!named) return {};
  bool radio = named->check >= CheckRule::kFitInWindow && named->check <= CheckRule::kBestFit;
  return {named->enable, named->check, radio};
}

}  // namespace viewer
