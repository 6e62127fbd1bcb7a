#include "viewer/win32/AboutDlg.h"

#include <string>

#include "ResourceIds.h"
#include "ui/Text.h"

namespace viewer {

void AboutDlg::Run(HWND owner) { RunModal(owner, IDD_ABOUT); }

bool AboutDlg::OnInitDialog() {
  std::wstring version = L"Version " + std::to_wstring(about_.version[0]) + L"." +
                         std::to_wstring(about_.version[1]) + L"." +
                         std::to_wstring(about_.version[2]) + L" (build " +
                         std::to_wstring(about_.build) + L")";
  SetItemText(IDC_ABOUT_VERSION, version);
  SetItemText(IDC_ABOUT_SUPPORT, ui::WideFromNarrow(about_.support));
  SetItemText(IDC_ABOUT_MESSAGE, ui::WideFromNarrow(about_.message));
  return true;
}

bool WelcomeDlg::Run(HWND owner) {
  associate_ = false;
  return RunModal(owner, IDD_WELCOME) == IDOK && associate_;
}

bool WelcomeDlg::OnInitDialog() {
  CheckDlgButton(hwnd(), IDC_WELCOME_ASSOCIATE, BST_CHECKED);
  return true;
}

bool WelcomeDlg::OnOk() {
  associate_ = IsDlgButtonChecked(hwnd(), IDC_WELCOME_ASSOCIATE) == BST_CHECKED;
  return true;
}

}  // namespace viewer
