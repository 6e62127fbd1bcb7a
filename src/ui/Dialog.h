// A dialog from a DIALOGEX template of this module, modal or as a modeless child of
// another window: `this` travels in the creation parameter, one member DialogProc
// receives the messages.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class Dialog {
 public:
  Dialog() = default;
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog; the button that ended it (IDOK, IDCANCEL), or -1 when the
  // template could not be made into a dialog.
  INT_PTR RunModal(HWND owner, UINT templateId);
  // Creates the dialog as a modeless window (a child when the template says WS_CHILD);
  // null when the template could not be made into a dialog. The window is destroyed
  // with its parent or by Destroy; the object must outlive it.
  HWND Create(HWND parent, UINT templateId);
  void Destroy();
  HWND hwnd() const { return hwnd_; }

 protected:
  std::wstring ItemText(int id) const;
  void SetItemText(int id, const std::wstring& text) const;
  // Return true when handled. OnOk may refuse to close by returning false.
  virtual bool OnInitDialog() { return true; }
  virtual bool OnOk() { return true; }
  virtual bool OnCommand(WORD /*id*/, WORD /*code*/) { return false; }
  // Any other message (WM_HSCROLL, WM_NOTIFY, WM_DRAWITEM, user messages, ...): set
  // `handled` and return the dialog procedure's result for it.
  virtual INT_PTR OnMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/, bool& handled) {
    handled = false;
    return FALSE;
  }

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept;
  HWND hwnd_ = nullptr;
  // Whether OK and Cancel end the dialog (modal) or are left to OnCommand.
  bool modal_ = true;
};

}  // namespace ui
