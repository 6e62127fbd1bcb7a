#include "viewer/win32/ChannelDialogs.h"

#include "ResourceIds.h"
#include "ui/Text.h"

namespace viewer {

static_assert(IDC_SWAP_SOURCE_0 == 1040 && IDC_SWAP_DESTINATION_0 == 1036);
static_assert(IDC_DEPTH_DITHERING == depth_ids::kDithering);
static_assert(IDC_DEPTH_GRAYSCALE == depth_ids::kGrayscale);

// ---- "Swap channels" ----

std::optional<SwapColumns> SwapChannelsDlg::Run(HWND owner) {
  if (RunModal(owner, IDD_SWAP_CHANNELS) != IDOK) return std::nullopt;
  return columns_;
}

bool SwapChannelsDlg::OnInitDialog() {
  for (size_t row = 0; row < 4; ++row) {
    const bool used = int32_t(row) < columns_.rows;
    for (uint16_t id : {kSourceListIds[row], kDestinationListIds[row]}) {
      HWND list = GetDlgItem(hwnd(), id);
      // Without alpha there is no "A" to choose and no fourth row.
      for (int32_t entry = 0; used && entry < columns_.rows; ++entry)
        SendMessageW(list, CB_ADDSTRING, 0,
                     LPARAM(ui::WideFromUtf8(kChannelNames[size_t(entry)]).c_str()));
      EnableWindow(list, used);
    }
  }
  ShowColumns();
  return true;
}

void SwapChannelsDlg::ShowColumns() {
  for (int32_t row = 0; row < columns_.rows; ++row) {
    SendDlgItemMessageW(hwnd(), kSourceListIds[size_t(row)], CB_SETCURSEL,
                        WPARAM(columns_.source[size_t(row)]), 0);
    SendDlgItemMessageW(hwnd(), kDestinationListIds[size_t(row)], CB_SETCURSEL,
                        WPARAM(columns_.destination[size_t(row)]), 0);
  }
}

bool SwapChannelsDlg::OnCommand(WORD id, WORD code) {
  if (code != CBN_SELCHANGE) return false;
  for (int32_t row = 0; row < columns_.rows; ++row) {
    const bool source = id == kSourceListIds[size_t(row)];
    if (!source && id != kDestinationListIds[size_t(row)]) continue;
    const int32_t entry = int32_t(SendDlgItemMessageW(hwnd(), id, CB_GETCURSEL, 0, 0));
    ChooseSwapEntry(source ? columns_.source : columns_.destination, columns_.rows, row, entry);
    ShowColumns();
    return true;
  }
  return false;
}

// ---- "Decrease color depth" ----

std::optional<DepthChoiceResult> ColourDepthDlg::Run(HWND owner) {
  if (RunModal(owner, IDD_COLOUR_DEPTH) != IDOK) return std::nullopt;
  return DepthChoiceResult{kDepthChoices[chosen_].pixelType, dithering_, grayscale_};
}

bool ColourDepthDlg::OnInitDialog() {
  for (size_t i = 0; i < kDepthChoices.size(); ++i) {
    HWND button = GetDlgItem(hwnd(), kDepthChoices[i].id);
    EnableWindow(button, start_.disabled != i);
    CheckDlgButton(hwnd(), kDepthChoices[i].id,
                   start_.preselected == i ? BST_CHECKED : BST_UNCHECKED);
  }
  CheckDlgButton(hwnd(), IDC_DEPTH_DITHERING, dithering_ ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd(), IDC_DEPTH_GRAYSCALE, grayscale_ ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

bool ColourDepthDlg::OnOk() {
  chosen_ = start_.preselected;
  for (size_t i = 0; i < kDepthChoices.size(); ++i) {
    if (IsDlgButtonChecked(hwnd(), kDepthChoices[i].id) == BST_CHECKED && start_.disabled != i)
      chosen_ = i;
  }
  dithering_ = IsDlgButtonChecked(hwnd(), IDC_DEPTH_DITHERING) == BST_CHECKED;
  grayscale_ = IsDlgButtonChecked(hwnd(), IDC_DEPTH_GRAYSCALE) == BST_CHECKED;
  return true;
}

}  // namespace viewer
