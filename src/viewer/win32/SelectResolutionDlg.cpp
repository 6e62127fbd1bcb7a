#include "viewer/win32/SelectResolutionDlg.h"

#include <string>

#include "ResourceIds.h"
#include "ui/Text.h"
#include "viewer/EditMath.h"

namespace viewer {

std::optional<size_t> SelectResolutionDlg::Run(HWND owner) {
  if (RunModal(owner, IDD_SELECT_RESOLUTION) != IDOK) return std::nullopt;
  return selected_;
}

bool SelectResolutionDlg::OnInitDialog() {
  HWND list = GetDlgItem(hwnd(), IDC_RESOLUTION_LIST);
  for (const std::string& text : ResolutionTexts(sizes_))
    SendMessageW(list, LB_ADDSTRING, 0, LPARAM(ui::WideFromUtf8(text).c_str()));
  selected_ = InitialResolutionEntry(selected_, sizes_.size());
  SendMessageW(list, LB_SETCURSEL, selected_, 0);
  return true;
}

bool SelectResolutionDlg::OnOk() {
  LRESULT index = SendDlgItemMessageW(hwnd(), IDC_RESOLUTION_LIST, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR || size_t(index) >= sizes_.size()) return false;
  selected_ = size_t(index);
  return true;
}

bool SelectResolutionDlg::OnCommand(WORD id, WORD code) {
  // A double click picks the line.
  if (id != IDC_RESOLUTION_LIST || code != LBN_DBLCLK) return false;
  if (OnOk()) EndDialog(hwnd(), IDOK);
  return true;
}

}  // namespace viewer
