// The frame window of the standalone host: class "Orbisk", the parent ListLoad gets.
// It owns nothing of the viewer; it hands the viewer what reaches the frame instead
// (menu commands, menu states, notifications from a second instance, closing) and
// keeps the viewer filling its client area.
#pragma once

#include <windows.h>

#include "ui/Window.h"

namespace app {

class StandaloneFrame final : public ui::Window {
 public:
  // Created hidden: ListLoad shows it as the saved placement says.
  bool CreateFrame(HICON icon);
  // The viewer window inside the frame, or null.
  HWND Viewer() const;
  // Set when the frame is destroyed; the host's loop ends then.
  bool Destroyed() const { return destroyed_; }
  bool quitOnDestroy = true;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool destroyed_ = false;
};

}  // namespace app
