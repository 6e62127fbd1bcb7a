#include "viewer/WindowRules.h"

namespace viewer {

InstanceMode DecideInstanceMode(std::u16string_view parentClass, bool parentIsChild) {
  if (parentClass == kViewerClassName) return InstanceMode::Standalone;
  return parentIsChild ? InstanceMode::QuickView : InstanceMode::ListerWindow;
}

StartupArgument SplitStartupName(std::string_view name) {
  if (!name.empty() && name.front() == '-') return {{}, std::string(name)};
  return {std::string(name), {}};
}

EscAction DecideEsc(const EscState& s) {
  EscAction action;
  action.abortLoad = s.loadRunning;
  if (s.slideShow) {
    action.stopSlideShow = true;
    action.leaveFullScreen = s.fullScreen;
  } else if (s.fullScreen) {
    action.leaveFullScreen = true;
  } else if (s.standalone) {
    action.close = s.singleEscToExit;
  } else {
    action.close = !s.quickView;
  }
  return action;
}

Rect FullScreenWindowRect(const Rect& window, const Rect& area, Size screen, int32_t extraBottom) {
  int64_t leftEdge = int64_t(area.left) - window.left;
  int64_t topEdge = int64_t(area.top) - window.top;
  int64_t rightEdge = int64_t(window.right) - area.right;
  int64_t bottomEdge = int64_t(window.bottom) - area.bottom;
  int64_t width = int64_t(screen.width) + leftEdge + rightEdge;
  int64_t height = int64_t(screen.height) + topEdge + bottomEdge + extraBottom;
  int32_t left = ClampCoord(-leftEdge);
  int32_t top = ClampCoord(-topEdge);
  return {left, top, ClampCoord(left + width), ClampCoord(top + height)};
}

bool HideListerNow(uint32_t messageCount) { return messageCount % 3u == 0; }

}  // namespace viewer
