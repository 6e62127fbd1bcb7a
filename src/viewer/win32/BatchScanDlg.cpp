#include "viewer/win32/BatchScanDlg.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>

#include "ResourceIds.h"
#include "filters/FilterManager.h"
#include "ui/Text.h"

namespace viewer {

namespace {

constexpr char kOptionsSection[] = "BatchScanning";
constexpr wchar_t kAutoNote[] = L"JPEG for colored images\r\nTIFF for grayscale and bilevel images";

// The description part of a filter text: "|Windows Bitmap|*.bmp" gives "Windows Bitmap".
std::wstring Description(std::string_view filterText) {
  if (!filterText.empty() && filterText.front() == '|') filterText.remove_prefix(1);
  return ui::WideFromNarrow(filterText.substr(0, filterText.find('|')));
}

RECT ChildRect(HWND dialog, int id) {
  RECT rect{};
  HWND child = GetDlgItem(dialog, id);
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

bool BatchScanDlg::Run(HWND owner) { return RunModal(owner, IDD_BATCH_SCAN) == IDOK; }

bool BatchScanDlg::OnInitDialog() {
  if (batch_.folder.empty()) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH, temp)) batch_.folder = ui::NarrowFromWide(temp);
  }
  SetItemText(IDC_BATCH_FOLDER, ui::WideFromNarrow(batch_.folder));
  SetItemText(IDC_BATCH_PATTERN, ui::WideFromNarrow(batch_.pattern));
  SetItemText(IDC_BATCH_START, std::to_wstring(batch_.startIndex));
  CheckDlgButton(hwnd(), IDC_BATCH_MULTIPAGE, batch_.multipage ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd(), IDC_BATCH_SKIP, batch_.skipExisting ? BST_CHECKED : BST_UNCHECKED);
  SetItemText(IDC_BATCH_AUTO_NOTE, kAutoNote);

  formats_.push_back({kScanFormatAuto, L"<Auto detect>"});
  for (const glib::FilterFormatDesc* desc : glib::FilterManager::Global().Formats()) {
    if (desc->SaveImageData) formats_.push_back({desc->Id, Description(desc->FilterText.view())});
  }
  HWND list = GetDlgItem(hwnd(), IDC_BATCH_FORMAT);
  int chosen = 0;
  for (size_t i = 0; i < formats_.size(); ++i) {
    SendMessageW(list, CB_ADDSTRING, 0, LPARAM(formats_[i].description.c_str()));
    if (formats_[i].id == batch_.format) chosen = int(i);
  }
  SendMessageW(list, CB_SETCURSEL, chosen, 0);

  parameters_.LoadOptions(kOptionsSection);
  parameters_.Create(hwnd(), IDC_BATCH_OPTIONS, ChildRect(hwnd(), IDC_BATCH_OPTIONS));
  ShowOptions();
  return true;
}

uint32_t BatchScanDlg::ChosenFormat() const {
  auto index = SendDlgItemMessageW(hwnd(), IDC_BATCH_FORMAT, CB_GETCURSEL, 0, 0);
  if (index < 0 || size_t(index) >= formats_.size()) return kScanFormatAuto;
  return formats_[size_t(index)].id;
}

// The chosen format's options, or the note that says what "<Auto detect>" does.
void BatchScanDlg::ShowOptions() {
  uint32_t format = ChosenFormat();
  bool automatic = format == kScanFormatAuto;
  if (!automatic) parameters_.BuildItems(format, 1);
  if (parameters_.hwnd()) ShowWindow(parameters_.hwnd(), automatic ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(hwnd(), IDC_BATCH_AUTO_NOTE), automatic ? SW_SHOW : SW_HIDE);
}

void BatchScanDlg::BrowseFolder() {
  BROWSEINFOW info{};
  info.hwndOwner = hwnd();
  info.lpszTitle = L"Select output folder";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return;
  wchar_t path[MAX_PATH + 1] = {};
  if (SHGetPathFromIDListW(chosen, path)) SetItemText(IDC_BATCH_FOLDER, path);
  CoTaskMemFree(chosen);
}

bool BatchScanDlg::OnCommand(WORD id, WORD code) {
  if (id == IDC_BATCH_FORMAT && code == CBN_SELCHANGE) {
    ShowOptions();
    return true;
  }
  if (id == IDC_BATCH_BROWSE && code == BN_CLICKED) {
    BrowseFolder();
    return true;
  }
  return false;
}

bool BatchScanDlg::OnOk() {
  BOOL numeric = FALSE;
  int start = int(GetDlgItemInt(hwnd(), IDC_BATCH_START, &numeric, TRUE));
  std::string pattern = ui::NarrowFromWide(ItemText(IDC_BATCH_PATTERN));
  if (!numeric || start < 0) {
    // Not a number: the dialog stays for another try.
    MessageBeep(MB_ICONWARNING);
    SetFocus(GetDlgItem(hwnd(), IDC_BATCH_START));
    return false;
  }
  parameters_.CommitEdit();
  batch_.startIndex = start;
  batch_.folder = ui::NarrowFromWide(ItemText(IDC_BATCH_FOLDER));
  batch_.pattern = pattern;
  batch_.multipage = IsDlgButtonChecked(hwnd(), IDC_BATCH_MULTIPAGE) == BST_CHECKED;
  batch_.skipExisting = IsDlgButtonChecked(hwnd(), IDC_BATCH_SKIP) == BST_CHECKED;
  batch_.format = ChosenFormat();
  if (batch_.format != kScanFormatAuto) {
    // Null for a format without options: it is written with its plain record.
    batch_.save = parameters_.CreateImageSave(0);
    parameters_.SaveOptions(kOptionsSection);
  }
  return true;
}

}  // namespace viewer
