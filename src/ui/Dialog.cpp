#include "ui/Dialog.h"

#include "ui/ActivationScope.h"
#include "ui/Window.h"

namespace ui {

INT_PTR Dialog::RunModal(HWND owner, UINT templateId) {
  ActivationScope scope;
  return DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId), owner, &Dialog::StaticProc,
                         reinterpret_cast<LPARAM>(this));
}

HWND Dialog::Create(HWND parent, UINT templateId) {
  modal_ = false;
  return CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(templateId), parent, &Dialog::StaticProc,
                            reinterpret_cast<LPARAM>(this));
}

void Dialog::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
}

std::wstring Dialog::ItemText(int id) const {
  HWND item = GetDlgItem(hwnd_, id);
  std::wstring text(size_t(std::max(0, GetWindowTextLengthW(item))), L'\0');
  if (!text.empty()) GetWindowTextW(item, text.data(), int(text.size() + 1));
  return text;
}

void Dialog::SetItemText(int id, const std::wstring& text) const {
  SetDlgItemTextW(hwnd_, id, text.c_str());
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<Dialog*>(lparam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
      self->hwnd_ = hwnd;
      return self->OnInitDialog() ? TRUE : FALSE;
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
      self->hwnd_ = nullptr;
      return FALSE;
    }
    if (message != WM_COMMAND) {
      bool handled = false;
      INT_PTR result = self->OnMessage(message, wparam, lparam, handled);
      return handled ? result : FALSE;
    }
    WORD id = LOWORD(wparam), code = HIWORD(wparam);
    if (!self->modal_) return self->OnCommand(id, code) ? TRUE : FALSE;
    if (id == IDOK) {
      if (self->OnOk()) EndDialog(hwnd, IDOK);
      return TRUE;
    }
    if (id == IDCANCEL) {
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    }
    return self->OnCommand(id, code) ? TRUE : FALSE;
  } catch (...) {
    // Nothing leaves a dialog procedure; the message counts as not handled.
    return FALSE;
  }
}

}  // namespace ui
