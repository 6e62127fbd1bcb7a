#include "viewer/win32/CloseUpdatedImageDlg.h"

#include "ResourceIds.h"

namespace viewer {

CloseUpdatedImageDlg::Choice CloseUpdatedImageDlg::Run(HWND owner) {
  alwaysIgnore_ = false;
  switch (RunModal(owner, IDD_CLOSE_UPDATED)) {
    case IDOK:
      return Choice::kSave;
    case IDC_CLOSE_SAVE_AS:
      return Choice::kSaveAs;
    case IDC_CLOSE_SKIP:
      return Choice::kSkip;
    default:
      // Cancel, the close box, or no dialog at all: the picture stays.
      return Choice::kCancel;
  }
}

bool CloseUpdatedImageDlg::OnInitDialog() {
  if (path_.empty()) {
    SetItemText(IDC_CLOSE_NAME, L"New Image");
    EnableWindow(GetDlgItem(hwnd(), IDOK), FALSE);
    // Enter then means "Save as...".
    SendMessageW(hwnd(), DM_SETDEFID, IDC_CLOSE_SAVE_AS, 0);
    SetFocus(GetDlgItem(hwnd(), IDC_CLOSE_SAVE_AS));
    return false;
  }
  SetItemText(IDC_CLOSE_NAME, L"'" + path_ + L"'");
  return true;
}

bool CloseUpdatedImageDlg::OnCommand(WORD id, WORD code) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_CLOSE_ALWAYS_IGNORE) {
    alwaysIgnore_ = IsDlgButtonChecked(hwnd(), id) == BST_CHECKED;
    return true;
  }
  if (id == IDC_CLOSE_SAVE_AS || id == IDC_CLOSE_SKIP) {
    EndDialog(hwnd(), id);
    return true;
  }
  return false;
}

}  // namespace viewer
