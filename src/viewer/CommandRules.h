// Which commands are available and checked, decided from a snapshot of the viewer's
// state. The menu (on WM_INITMENUPOPUP) and the tool bar apply the same answers.
#pragma once

#include <cstdint>

#include "host/Commands.h"
#include "viewer/DisplayMath.h"

namespace viewer {

struct CommandState {
  bool imageShown = false;
  bool modified = false;
  int32_t bitsPerPixel = 0;  // of the shown image
  int32_t pageCount = 0;     // slides of the document
  bool pageByPage = false;
  bool animationPlaying = false;
  bool folderListNotEmpty = false;
  bool historyNotEmpty = false;
  bool historyHasNext = false;
  bool historyHasPrev = false;
  bool clipboardHasImage = false;
  bool clipboardHasAny = false;
  bool quickView = false;
  bool skinActive = false;
  bool skinHasInfoButton = false;
  bool topmost = false;
  bool showInfo = false;
  bool showMenuBar = false;
  bool showToolBar = false;
  bool showStatusBar = false;
  ViewMode viewMode = ViewMode::BestFit;
  float zoom = 1.0f;
  float zoomStep = 0.1f;
};

bool IsEnabled(host::EnableRule rule, const CommandState& state);
bool IsChecked(host::CheckRule rule, const CommandState& state);

// The rules of a command identifier: commands outside the table (Exit, Esc, the
// recent items, ...) are always enabled and never checked.
struct CommandRules {
  host::EnableRule enable = host::EnableRule::kAlways;
  host::CheckRule check = host::CheckRule::kNone;
  bool radio = false;  // the fit modes carry the radio mark
};
CommandRules RulesFor(uint32_t command);

}  // namespace viewer
