// A modal dialog from a DIALOGEX template of this module: `this` travels in the
// creation parameter, one member DialogProc receives the messages.
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

 protected:
  HWND hwnd() const { return hwnd_; }
  std::wstring ItemText(int id) const;
  void SetItemText(int id, const std::wstring& text) const;
  // Return true when handled. OnOk may refuse to close by returning false.
  virtual bool OnInitDialog() { return true; }
  virtual bool OnOk() { return true; }
  virtual bool OnCommand(WORD /*id*/, WORD /*code*/) { return false; }

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept;
  HWND hwnd_ = nullptr;
};

}  // namespace ui
