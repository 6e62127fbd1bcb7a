// The navigation window: a thumbnail of the viewer's image in a small top-most popup,
// with a cursor the size of the visible part. Dragging that cursor scrolls the viewer;
// releasing the button closes the window.
#pragma once

#include <windows.h>

#include "ui/Handles.h"
#include "viewer/win32/LiteCtrl.h"

namespace viewer {

class NavigationWindow final : public CLiteCtrl {
 public:
  explicit NavigationWindow(CLiteCtrl& viewer);
  ~NavigationWindow() override;

  // Shows the thumbnail with its top-left at the corner box (screen coordinates),
  // puts the viewport cursor over the visible part and captures the mouse.
  void Open(POINT cornerTopLeft);
  // The frame's outer and inner lines take the first colour, the middle line the second.
  void SetFrameColours(COLORREF first, COLORREF second);

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnMouseMove(Point mouse) override;

 private:
  bool MakeThumbnail(Size thumbnail);
  void MakeViewportCursor(Size cursor);
  void PaintFrame();
  void Close();

  CLiteCtrl& viewer_;
  NavigationRatios ratios_;
  Size thumbnail_;
  Size cursorSize_;
  ui::UniqueCursor viewportCursor_;
  HCURSOR replaced_ = nullptr;
  bool tracking_ = false;
  COLORREF frameFirst_;
  COLORREF frameSecond_;
};

}  // namespace viewer
