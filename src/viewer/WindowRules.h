// Decisions of the viewer window that do not need a window to be made: the instance
// mode, the start-up argument, what Esc does, the full-screen rectangle and when a
// hidden Lister window is hidden again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "viewer/Geometry.h"

namespace viewer {

inline constexpr std::u16string_view kViewerClassName = u"Orbisk";

enum class InstanceMode { Standalone, QuickView, ListerWindow };

// Standalone only for a parent of class "Orbisk", exactly, letter case included.
InstanceMode DecideInstanceMode(std::u16string_view parentClass, bool parentIsChild);

// Bits of ListLoad's flags, read in standalone mode only.
constexpr uint32_t kFlagWideName = 1;
constexpr uint32_t kFlagHandOff = 2;

// A start-up name that begins with "-" is an option, not a file.
struct StartupArgument {
  std::string file;
  std::string option;
};
StartupArgument SplitStartupName(std::string_view name);
inline constexpr std::string_view kOptionLogFile = "-logfile";
inline constexpr std::string_view kOptionLastRun = "-last_run";

struct EscState {
  bool loadRunning = false;
  bool slideShow = false;
  bool fullScreen = false;
  bool standalone = false;
  bool quickView = false;
  bool singleEscToExit = false;
};
struct EscAction {
  bool abortLoad = false;
  bool stopSlideShow = false;
  bool leaveFullScreen = false;
  bool close = false;
};
// Esc unwinds one state at a time: slide show (and with it full screen), full screen,
// then the window; a running load is asked to stop in any case.
EscAction DecideEsc(const EscState& state);

// The window rectangle that makes the display area cover the screen: the window's
// frame, bars and menu go beyond the screen's edges. extraBottom is added to the
// height (the host window needs it).
Rect FullScreenWindowRect(const Rect& window, const Rect& displayArea, Size screen,
                          int32_t extraBottom);

// A skinned viewer keeps its Lister window hidden: every third message hides it again.
bool HideListerNow(uint32_t messageCount);

// The wheel of the viewer: away from the user shows the previous image. The Lister
// window reports the other way round (Lister subclass, notification 2).
inline bool WheelShowsNext(int16_t delta) { return delta < 0; }
inline bool ListerWheelShowsNext(int16_t delta) { return delta >= 1; }

}  // namespace viewer
