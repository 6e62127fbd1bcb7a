#include "app/StandaloneFrame.h"

namespace app {
namespace {

// The viewer's private messages and the word it puts in the WM_CLOSE it sends.
constexpr UINT kViewerStartup = WM_USER + 100;
constexpr UINT kViewerNotify = WM_USER + 101;
constexpr LPARAM kCloseFromViewer = 1965;

}  // namespace

bool StandaloneFrame::CreateFrame(HICON icon) {
  ui::Window::CreateArgs args;
  args.className = L"Orbisk";
  args.title = L"Orbisk";
  args.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  args.classStyle = CS_DBLCLKS;
  args.icon = icon;
  return Create(args) != nullptr;
}

HWND StandaloneFrame::Viewer() const {
  return hwnd() ? FindWindowExW(hwnd(), nullptr, L"Orbisk", nullptr) : nullptr;
}

LRESULT StandaloneFrame::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND viewer = Viewer();
  switch (message) {
    case WM_COMMAND:
    case WM_INITMENUPOPUP:
    case kViewerStartup:
    case kViewerNotify:
      // The menu is the viewer's; a second instance finds the frame first.
      if (viewer) return SendMessageW(viewer, message, wparam, lparam);
      break;
    case WM_SIZE:
      if (viewer) MoveWindow(viewer, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (viewer) SetFocus(viewer);
      return 0;
    case WM_ERASEBKGND:
      if (viewer) return 1;
      break;
    case WM_CLOSE:
      // The viewer decides: it may be loading, and it writes its settings first.
      if (viewer && lparam != kCloseFromViewer) {
        PostMessageW(viewer, WM_CLOSE, 0, 0);
        return 0;
      }
      DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      destroyed_ = true;
      if (quitOnDestroy) PostQuitMessage(0);
      return 0;
  }
  return Default(message, wparam, lparam);
}

}  // namespace app
