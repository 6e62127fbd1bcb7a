#include "viewer/win32/CheckedMessageBox.h"

#include "ui/Window.h"

namespace viewer {
namespace {

constexpr int kCheckId = 2001;

// The hook and the box's state live on the calling thread while the box is up.
struct BoxState {
  HHOOK hook = nullptr;
  HWND box = nullptr;
  HWND check = nullptr;
  WNDPROC original = nullptr;
  bool checked = false;
};
thread_local BoxState* current = nullptr;

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  BoxState* state = current;
  if (!state) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_COMMAND && LOWORD(wparam) != kCheckId)
    state->checked = SendMessageW(state->check, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return CallWindowProcW(state->original, hwnd, message, wparam, lparam);
}

// Adds the check box under the text: the text ends in blank lines that leave room.
void AddCheckBox(BoxState& state, HWND box) {
  state.box = box;
  HWND label = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextLengthW(child) > 0) label = child;
  }
  RECT area{};
  if (label) {
    GetWindowRect(label, &area);
  } else {
    GetClientRect(box, &area);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&area), 2);
  }
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&area), 2);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(label ? label : box, WM_GETFONT, 0, 0));
  HDC dc = GetDC(box);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE text{};
  GetTextExtentPoint32W(dc, kDoNotShowAgain, int(wcslen(kDoNotShowAgain)), &text);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  int height = text.cy + 4;
  state.check = CreateWindowExW(
      0, L"BUTTON", kDoNotShowAgain, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
      area.left, area.bottom - height, text.cx + 24, height, box,
      reinterpret_cast<HMENU>(INT_PTR(kCheckId)), ui::ThisModule(), nullptr);
  if (font) SendMessageW(state.check, WM_SETFONT, WPARAM(font), FALSE);
  state.original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
}

LRESULT CALLBACK HookProc(int code, WPARAM wparam, LPARAM lparam) {
  BoxState* state = current;
  if (state && code == HCBT_ACTIVATE && !state->box) {
    HWND window = reinterpret_cast<HWND>(wparam);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0) AddCheckBox(*state, window);
  }
  return CallNextHookEx(state ? state->hook : nullptr, code, wparam, lparam);
}

}  // namespace

CheckedAnswer CheckedMessageBox(HWND owner, const std::wstring& caption, std::wstring text,
                                UINT buttons) {
  if (text.size() > 4096) text.resize(4096);
  // Room for the check box: three more lines, and a text at least as wide as it.
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE label{}, line{};
  GetTextExtentPoint32W(dc, kDoNotShowAgain, int(wcslen(kDoNotShowAgain)), &label);
  for (size_t start = 0, end; start <= text.size(); start = end + 1) {
    end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str() + start, int(end - start), &size);
    if (size.cx > line.cx) line = size;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  if (line.cx < label.cx + 32) text += L"     ";
  text += L"\n\n\n";

  BoxState state;
  BoxState* outer = current;
  current = &state;
  state.hook = SetWindowsHookExW(WH_CBT, &HookProc, nullptr, GetCurrentThreadId());
  int button = MessageBoxW(owner, text.c_str(), caption.c_str(),
                           buttons | MB_ICONQUESTION | MB_TOPMOST | MB_TASKMODAL);
  if (state.hook) UnhookWindowsHookEx(state.hook);
  current = outer;
  return {button, state.checked};
}

}  // namespace viewer
