#include "viewer/win32/ListerWiring.h"

#include <mutex>

#include "ResourceIds.h"
#include "ui/ActivationScope.h"
#include "ui/Window.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

bool IsHandBackKey(WPARAM key) { return key == VK_ESCAPE || (key >= '1' && key <= '7'); }

void DiscardPendingKeys() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
}

LRESULT ListerMessage(COrbiskWnd& viewer, HWND lister, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND view = viewer.hwnd();
  switch (message) {
    case WM_KEYDOWN:
      if (IsHandBackKey(wparam)) {
        // The Lister takes the key itself: Esc closes it, a digit changes its mode.
        viewer.RestoreParentProcedure();
        if (wparam != VK_ESCAPE) {
          viewer.NoteHandBack();
          DiscardPendingKeys();
        }
        PostMessageW(lister, WM_KEYDOWN, wparam, lparam);
        return 0;
      } else {
        MSG msg{lister, message, wparam, lparam, 0, {}};
        if (HACCEL keys = ListerAccelerators(); keys && TranslateAcceleratorW(view, keys, &msg)) {
          return 0;
        }
      }
      break;
    case WM_COMMAND:
      // What we tell the Lister of its options comes from the window it knows as ours.
      if (lparam && HIWORD(wparam) == kListerFitCommand) {
        return viewer.CallParentProcedure(message, wparam, lparam);
      }
      // Menu 230 now belongs to the Lister; its commands are the viewer's.
      PostMessageW(view, WM_COMMAND, wparam, lparam);
      return 0;
    case WM_INITMENUPOPUP:
      return SendMessageW(view, WM_INITMENUPOPUP, wparam, lparam);
    case WM_MOUSEWHEEL: {
      LRESULT result = DefWindowProcW(lister, message, wparam, lparam);
      bool next = ListerWheelShowsNext(int16_t(HIWORD(wparam)));
      PostMessageW(view, UWM_NOTIFY, kNotifyListerWheel, next ? 1 : 0);
      return result;
    }
    case WM_DESTROY:
      viewer.RestoreParentProcedure();
      PostMessageW(lister, WM_DESTROY, wparam, lparam);
      return 0;
    case WM_SIZE: {
      LRESULT result = DefWindowProcW(lister, message, wparam, lparam);
      if (!viewer.SkinActive()) {
        RECT client{};
        GetClientRect(lister, &client);
        MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
        UpdateWindow(view);
      }
      return result;
    }
    case WM_PAINT: {
      // The viewer covers the client area.
      PAINTSTRUCT paint;
      BeginPaint(lister, &paint);
      EndPaint(lister, &paint);
      return 0;
    }
  }
  return DefWindowProcW(lister, message, wparam, lparam);
}

struct MainWindowSearch {
  DWORD process = 0;
  HWND found = nullptr;
};

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<MainWindowSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[257] = {};
  if (process == search->process && GetClassNameW(window, name, 257) &&
      std::wstring_view(name) == L"TTOTAL_CMD") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

LRESULT CALLBACK ListerSubclassProc(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept {
  ui::ActivationScope scope;
  try {
    auto* viewer = reinterpret_cast<COrbiskWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!viewer || !viewer->hwnd() || !IsWindow(viewer->hwnd())) {
      return DefWindowProcW(window, message, wparam, lparam);
    }
    if (viewer->SkinActive() && IsWindowVisible(window) && HideListerNow(viewer->NextHideCount())) {
      ShowWindow(window, SW_HIDE);
    }
    return ListerMessage(*viewer, window, message, wparam, lparam);
  } catch (...) {
    return 0;
  }
}

HWND FindFileManagerMainWindow(HWND parent) {
  MainWindowSearch search;
  GetWindowThreadProcessId(parent, &search.process);
  EnumWindows(&MatchMainWindow, LPARAM(&search));
  return search.found;
}

HACCEL ListerAccelerators() {
  static std::once_flag once;
  static HACCEL table = nullptr;
  std::call_once(once, [] {
    table = LoadAcceleratorsW(ui::ThisModule(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  });
  return table;
}

HMENU LoadMainMenu() { return LoadMenuW(ui::ThisModule(), MAKEINTRESOURCEW(IDR_MAIN_MENU)); }

}  // namespace viewer
