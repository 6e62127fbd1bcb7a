#include "ui/Window.h"

#include "ui/ActivationScope.h"

#include <mutex>
#include <string>
#include <vector>

namespace ui {
namespace {

std::mutex registryLock;
std::vector<std::wstring> registeredClasses;

bool EnsureRegistered(const Window::CreateArgs& args, WNDPROC proc) {
  std::lock_guard lock(registryLock);
  for (const auto& name : registeredClasses) {
    if (name == args.className) return true;
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = args.classStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.hCursor = args.cursor ? args.cursor : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = args.background;
  wc.hIcon = args.icon;
  wc.lpszClassName = args.className;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  registeredClasses.emplace_back(args.className);
  return true;
}

}  // namespace

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

Window::~Window() {
  if (hwnd_) {
    // The object goes first: detach so late messages reach DefWindowProc only.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

HWND Window::Create(const CreateArgs& args) {
  if (!EnsureRegistered(args, &Window::StaticWndProc)) return nullptr;
  return CreateWindowExW(args.exStyle, args.className, args.title, args.style, args.rect.left,
                         args.rect.top, args.rect.right, args.rect.bottom, args.parent,
                         args.menuOrId, ThisModule(), this);
}

void Window::UnregisterClasses() {
  std::lock_guard lock(registryLock);
  for (const auto& name : registeredClasses) UnregisterClassW(name.c_str(), ThisModule());
  registeredClasses.clear();
}

LRESULT Window::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  return Default(message, wparam, lparam);
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept {
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<Window*>(create->lpCreateParams);
    if (self) {
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  ActivationScope scope;
  LRESULT result = 0;
  try {
    result = self->WndProc(message, wparam, lparam);
  } catch (...) {
    // Nothing may leave a window procedure: the host's process would go with it.
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnFinalDestroy();
  }
  return result;
}

bool PaintedControl::CreateIn(HWND parent, const RECT& area, UINT id, const wchar_t* className) {
  CreateArgs args;
  args.className = className;
  args.style = WS_CHILD | WS_VISIBLE;
  args.rect = {area.left, area.top, area.right - area.left, area.bottom - area.top};
  args.parent = parent;
  args.menuOrId = reinterpret_cast<HMENU>(UINT_PTR(id));
  args.classStyle = 0;
  return Create(args) != nullptr;
}

LRESULT PaintedControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    Paint();
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // the paint covers every pixel
  return Default(message, wparam, lparam);
}

}  // namespace ui
