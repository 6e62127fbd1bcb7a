#include "viewer/win32/RawDialog.h"

#include <commctrl.h>

#include "ResourceIds.h"
#include "ui/Controls.h"
#include "ui/Text.h"
#include "viewer/win32/LiteCtrl.h"

namespace viewer {
namespace {

constexpr int kOrderIds[4] = {IDC_RAW_ORDER1, IDC_RAW_ORDER2, IDC_RAW_ORDER3, IDC_RAW_ORDER4};
// The preview control's own id inside the dialog.
constexpr UINT kPreviewViewId = 1100;

uint32_t ItemNumber(HWND dialog, int id) {
  BOOL ok = FALSE;
  UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
  return ok ? uint32_t(value) : 0;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

}  // namespace

CRAWDialog::CRAWDialog(std::wstring path) : path_(std::move(path)) {}

CRAWDialog::~CRAWDialog() { UnmapFile(); }

std::optional<RawSettings> CRAWDialog::Run(HWND owner) {
  ui::InitCommonControlsOnce();
  INT_PTR answer = RunModal(owner, IDD_RAW_OPTIONS);
  preview_.reset();
  UnmapFile();
  if (answer != IDOK) return std::nullopt;
  return result_;
}

bool CRAWDialog::MapFile() {
  file_ = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  // The decoder takes a 32-bit size; larger files are refused as too big.
  if (!GetFileSizeEx(file_, &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF)
    return false;
  size_ = uint64_t(size.QuadPart);
  mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping_) return false;
  view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
  return view_ != nullptr;
}

void CRAWDialog::UnmapFile() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  view_ = nullptr;
  mapping_ = nullptr;
  file_ = INVALID_HANDLE_VALUE;
}

bool CRAWDialog::OnInitDialog() {
  if (!MapFile()) {
    MessageBoxA(hwnd(), "Not enought memory for open", "File is too big...", MB_ICONERROR);
    EndDialog(hwnd(), IDCANCEL);
    return true;
  }
  filling_ = true;
  SetItemText(IDC_RAW_FILE, path_);
  SetItemText(IDC_RAW_SIZE, std::to_wstring(size_) + L" byte(s)");
  if (std::optional<RawGuess> guess = GuessRawDimensions(size_)) {
    SetDlgItemInt(hwnd(), IDC_RAW_WIDTH, UINT(guess->width), FALSE);
    SetDlgItemInt(hwnd(), IDC_RAW_HEIGHT, UINT(guess->height), FALSE);
  }
  SetDlgItemInt(hwnd(), IDC_RAW_HEADER, 0, FALSE);
  SetDlgItemInt(hwnd(), IDC_RAW_LINE_GAP, 0, FALSE);
  SendDlgItemMessageW(hwnd(), IDC_RAW_CHANNELS_SPIN, UDM_SETRANGE32, 1, 4);
  SetDlgItemInt(hwnd(), IDC_RAW_CHANNELS, 3, FALSE);
  for (int i = 0; i < 4; ++i) {
    HWND combo = GetDlgItem(hwnd(), kOrderIds[i]);
    for (int letter = 0; letter < 4; ++letter) {
      const wchar_t text[2] = {wchar_t(kChannelLetters[letter]), 0};
      SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(text));
    }
    SendMessageW(combo, CB_SETCURSEL, WPARAM(order_[size_t(i)]), 0);
  }
  CheckRadioButton(hwnd(), IDC_RAW_8BIT, IDC_RAW_16BIT, IDC_RAW_8BIT);
  CheckRadioButton(hwnd(), IDC_RAW_MAC, IDC_RAW_IBM_PC, IDC_RAW_IBM_PC);
  CheckDlgButton(hwnd(), IDC_RAW_INTERLEAVED, BST_CHECKED);
  ShowWindow(GetDlgItem(hwnd(), IDC_RAW_PROGRESS), SW_HIDE);

  // The preview: a display control over the frame, fitting the picture in.
  RECT area;
  HWND frame = GetDlgItem(hwnd(), IDC_RAW_PREVIEW);
  GetWindowRect(frame, &area);
  ShowWindow(frame, SW_HIDE);  // it only marks the place
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
  preview_ = std::make_unique<CLiteCtrl>();
  if (preview_->CreateView(hwnd(), kPreviewViewId)) {
    preview_->SetBackground(GetSysColor(COLOR_BTNFACE), 0, -1);
    preview_->SetViewMode(ViewMode::BestFit);
    preview_->SetAutoSize(false);  // a small picture sits in the middle
    preview_->SetProgress(&CRAWDialog::Progress, reinterpret_cast<uintptr_t>(this));
    SetWindowPos(preview_->hwnd(), nullptr, area.left + 1, area.top + 1, area.right - area.left - 2,
                 area.bottom - area.top - 2, SWP_NOZORDER);
  }
  filling_ = false;
  ChannelCountChanged();
  ShowPreview(false);
  return true;
}

RawSettings CRAWDialog::Collect() const {
  RawSettings s;
  s.width = ItemNumber(hwnd(), IDC_RAW_WIDTH);
  s.height = ItemNumber(hwnd(), IDC_RAW_HEIGHT);
  s.headerLength = ItemNumber(hwnd(), IDC_RAW_HEADER);
  s.lineGap = ItemNumber(hwnd(), IDC_RAW_LINE_GAP);
  s.channels = int32_t(ItemNumber(hwnd(), IDC_RAW_CHANNELS));
  s.sixteenBits = Checked(hwnd(), IDC_RAW_16BIT);
  s.littleEndian = Checked(hwnd(), IDC_RAW_IBM_PC);
  s.interleaved = Checked(hwnd(), IDC_RAW_INTERLEAVED);
  s.fillAlpha = Checked(hwnd(), IDC_RAW_FILL_ALPHA);
  s.fileSize = size_;
  s.order = order_;
  return s;
}

bool CRAWDialog::OnOk() {
  RawSettings settings = Collect();
  if (settings.channels < 1 || settings.channels > 4) {
    MessageBoxW(hwnd(), L"Number of channels must be from 1 to 4.", L"Orbisk", MB_ICONWARNING);
    SetFocus(GetDlgItem(hwnd(), IDC_RAW_CHANNELS));
    return false;
  }
  if (settings.width == 0 || settings.height == 0) {
    MessageBoxW(hwnd(), L"Width and height must be at least 1.", L"Orbisk", MB_ICONWARNING);
    SetFocus(GetDlgItem(hwnd(), settings.width == 0 ? IDC_RAW_WIDTH : IDC_RAW_HEIGHT));
    return false;
  }
  result_ = settings;
  return true;
}

void CRAWDialog::ChannelCountChanged() {
  int32_t channels = int32_t(ItemNumber(hwnd(), IDC_RAW_CHANNELS));
  for (int i = 0; i < 3; ++i) EnableWindow(GetDlgItem(hwnd(), kOrderIds[i]), channels > 2);
  EnableWindow(GetDlgItem(hwnd(), kOrderIds[3]), channels > 3);
  SetItemText(IDC_RAW_COLORSPACE, ui::WideFromUtf8(ColorSpaceText(channels, order_)));
}

void CRAWDialog::NeedRefresh() {
  needsRefresh_ = true;
  UpdateRefreshButton();
}

void CRAWDialog::UpdateRefreshButton() {
  EnableWindow(GetDlgItem(hwnd(), IDC_RAW_REFRESH),
               Checked(hwnd(), IDC_RAW_SHOW_PREVIEW) && needsRefresh_);
}

void CRAWDialog::ShowPreview(bool show) {
  if (preview_ && preview_->hwnd()) ShowWindow(preview_->hwnd(), show ? SW_SHOW : SW_HIDE);
  UpdateRefreshButton();
  if (show) RenderPreview();
}

void CRAWDialog::RenderPreview() {
  if (!preview_ || !view_) return;
  glib::RAWLoad record;
  FillRawLoad(Collect(), record);
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  glib::ERetcode rc = preview_->LoadMemory(view_, uint32_t(size_), glib::kFormatRAW, &record);
  SetCursor(previous);
  // A layout the decoder refuses keeps the last good preview.
  if (rc != glib::RCOK) return;
  InvalidateRect(preview_->hwnd(), nullptr, FALSE);
  UpdateWindow(preview_->hwnd());
  needsRefresh_ = false;
  UpdateRefreshButton();
}

bool ORBISK_CDECL CRAWDialog::Progress(ClbData* data) {
  auto* self = reinterpret_cast<CRAWDialog*>(data->context);
  HWND bar = GetDlgItem(self->hwnd(), IDC_RAW_PROGRESS);
  if (data->step == ClbData::kBegin) {
    SendMessageW(bar, PBM_SETRANGE32, 0, std::max(1, data->stepCount));
    ShowWindow(bar, SW_SHOW);
  } else if (data->step == ClbData::kEnd) {
    ShowWindow(bar, SW_HIDE);
  } else if (data->step > 0) {
    SendMessageW(bar, PBM_SETPOS, WPARAM(data->step), 0);
  }
  return true;
}

bool CRAWDialog::OnCommand(WORD id, WORD code) {
  if (filling_) return false;
  switch (id) {
    case IDC_RAW_CHANNELS:
      if (code != EN_CHANGE) return false;
      ChannelCountChanged();
      NeedRefresh();
      return true;
    case IDC_RAW_WIDTH:
    case IDC_RAW_HEIGHT:
    case IDC_RAW_HEADER:
    case IDC_RAW_LINE_GAP:
      if (code != EN_CHANGE) return false;
      NeedRefresh();
      return true;
    case IDC_RAW_8BIT:
    case IDC_RAW_16BIT:
    case IDC_RAW_MAC:
    case IDC_RAW_IBM_PC:
    case IDC_RAW_INTERLEAVED:
    case IDC_RAW_FILL_ALPHA:
      if (code != BN_CLICKED) return false;
      NeedRefresh();
      return true;
    case IDC_RAW_SHOW_PREVIEW:
      if (code != BN_CLICKED) return false;
      ShowPreview(Checked(hwnd(), IDC_RAW_SHOW_PREVIEW));
      return true;
    case IDC_RAW_REFRESH:
      if (code != BN_CLICKED) return false;
      RenderPreview();
      return true;
    default:
      break;
  }
  for (int i = 0; i < 4; ++i) {
    if (id != kOrderIds[i] || code != CBN_SELCHANGE) continue;
    LRESULT letter = SendDlgItemMessageW(hwnd(), id, CB_GETCURSEL, 0, 0);
    if (letter == CB_ERR) return true;
    ChooseChannel(order_, i, int(letter));
    filling_ = true;
    for (int j = 0; j < 4; ++j)
      SendDlgItemMessageW(hwnd(), kOrderIds[j], CB_SETCURSEL, WPARAM(order_[size_t(j)]), 0);
    filling_ = false;
    ChannelCountChanged();
    NeedRefresh();
    return true;
  }
  return false;
}

}  // namespace viewer
