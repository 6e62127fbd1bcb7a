#include "viewer/win32/GoToPageDlg.h"

#include "ResourceIds.h"
#include "ui/Text.h"
#include "viewer/ViewerTexts.h"

namespace viewer {

std::optional<int32_t> GoToPageDlg::Run(HWND owner) {
  chosen_.reset();
  if (RunModal(owner, IDD_GOTO_PAGE) != IDOK) return std::nullopt;
  return chosen_;
}

bool GoToPageDlg::OnInitDialog() {
  SetItemText(IDC_GOTO_COUNT, ui::WideFromUtf8(PageCountText(count_)));
  SendDlgItemMessageW(hwnd(), IDC_GOTO_PAGE, EM_SETLIMITTEXT, 9, 0);
  return true;
}

bool GoToPageDlg::OnOk() {
  std::wstring text = ItemText(IDC_GOTO_PAGE);
  chosen_ = PageNumberFrom(ui::Utf8FromWide(text), count_);
  if (!chosen_) {
    // Not a page of this file: the dialog stays for another try.
    MessageBeep(MB_ICONWARNING);
    SendDlgItemMessageW(hwnd(), IDC_GOTO_PAGE, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(hwnd(), IDC_GOTO_PAGE));
    return false;
  }
  return true;
}

}  // namespace viewer
