// The base of every window the program creates: `this` is attached at WM_NCCREATE
// from lpCreateParams, kept in GWLP_USERDATA, and one member WndProc receives every
// message. State lives in the object, never in globals: a file manager may open
// several viewers in one process.
#pragma once

#include <windows.h>

namespace ui {

// The module (DLL or EXE) that holds this code; window classes are registered with it.
HINSTANCE ThisModule();

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Registers the class once per module (with this module's instance) and creates the
  // window; null on failure.
  struct CreateArgs {
    const wchar_t* className = nullptr;
    const wchar_t* title = L"";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    RECT rect = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                 CW_USEDEFAULT};  // left, top, width, height
    HWND parent = nullptr;
    HMENU menuOrId = nullptr;
    UINT classStyle = CS_DBLCLKS;
    HCURSOR cursor = nullptr;  // null: the arrow
    HBRUSH background = nullptr;
    HICON icon = nullptr;
  };
  HWND Create(const CreateArgs& args);

  // Unregisters every class this module registered; the library's unload calls it.
  static void UnregisterClasses();

 protected:
  // One dispatch point per window; ends in DefWindowProc for what it does not handle.
  // It runs inside the library's activation context, and an exception that leaves it
  // ends there: the message then counts as handled (0).
  virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
  // Called after WM_NCDESTROY; the handle is already gone.
  virtual void OnFinalDestroy() noexcept {}

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wparam,
                                        LPARAM lparam) noexcept;
  HWND hwnd_ = nullptr;
};

// A child control that paints its whole client area itself, put in the place a
// dialog template keeps for it (a placeholder control's rectangle).
class PaintedControl : public Window {
 public:
  bool CreateIn(HWND parent, const RECT& area, UINT id, const wchar_t* className);

 protected:
  // WM_PAINT goes to Paint and the background is never erased; the rest goes on
  // to DefWindowProc. Controls that take input handle it first and pass on the rest.
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  virtual void Paint() = 0;
};

}  // namespace ui
