#include "viewer/win32/OptionsDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "ui/Text.h"
#include "viewer/OptionRules.h"
#include "viewer/win32/HotKeyDlg.h"
#include "viewer/win32/KeyNames.h"

namespace viewer {

namespace {

using host::Settings;

struct PageInfo {
  UINT templateId;
  const wchar_t* title;
};

constexpr PageInfo kPages[] = {
    {IDD_OPT_VIEW, L"View"},
    {IDD_OPT_SLIDESHOW, L"Slide Show"},
    {IDD_OPT_OPERATIONS, L"Operations"},
    {IDD_OPT_READ, L"Read"},
    {IDD_OPT_RAW, L"Photo RAW"},
    {IDD_OPT_SHORTCUT, L"Shortcut"},
};

struct CheckBinding {
  UINT page;
  int id;
  bool Settings::*field;
};

constexpr CheckBinding kChecks[] = {
    {IDD_OPT_VIEW, IDC_OPT_RECURSE, &Settings::recurseSubDir},
    {IDD_OPT_VIEW, IDC_OPT_START_FULLSCREEN, &Settings::startViewInFullscreen},
    {IDD_OPT_VIEW, IDC_OPT_SCROLLBARS, &Settings::showScrollBars},
    {IDD_OPT_SLIDESHOW, IDC_OPT_HIDE_CURSOR, &Settings::hideMouseCursor},
    {IDD_OPT_SLIDESHOW, IDC_OPT_RANDOM_ORDER, &Settings::randomImageOrder},
    {IDD_OPT_SLIDESHOW, IDC_OPT_SLIDE_FULLSCREEN, &Settings::setFullScreenOnSlideShow},
    {IDD_OPT_OPERATIONS, IDC_OPT_ASK_DELETE, &Settings::askDeletingFile},
    {IDD_OPT_OPERATIONS, IDC_OPT_ASK_BOUND, &Settings::askDirectoryBound},
    {IDD_OPT_OPERATIONS, IDC_OPT_RECYCLE, &Settings::sendToRecycleBin},
    {IDD_OPT_OPERATIONS, IDC_OPT_SAVE_EXIF, &Settings::saveExif},
    {IDD_OPT_OPERATIONS, IDC_OPT_SAVE_IPTC, &Settings::saveIptc},
    {IDD_OPT_OPERATIONS, IDC_OPT_ASK_CLOSE_UPDATED, &Settings::askCloseUpdatedImage},
    {IDD_OPT_OPERATIONS, IDC_OPT_AUTO_LOAD_LAST, &Settings::autoLoadLastImage},
    {IDD_OPT_OPERATIONS, IDC_OPT_SINGLE_ESC, &Settings::singleEscToExit},
    {IDD_OPT_OPERATIONS, IDC_OPT_ONE_COPY, &Settings::allowOnly1CopyAtATime},
    {IDD_OPT_OPERATIONS, IDC_OPT_BPS16, &Settings::bps16},
    {IDD_OPT_READ, IDC_OPT_NOTIFY_ERROR, &Settings::notifyAboutError},
    {IDD_OPT_READ, IDC_OPT_RESAMPLE, &Settings::resampleByResolution},
    {IDD_OPT_READ, IDC_OPT_NO_ANIMATION, &Settings::disableImageAnimation},
    {IDD_OPT_READ, IDC_OPT_ASK_PLUGIN, &Settings::askAboutMissingPlugin},
};

// A group of radio buttons; button i stands for values[i]. A group on a yes/no key
// has the button for "yes" first.
struct RadioBinding {
  UINT page;
  std::array<int, 4> ids;
  std::array<int32_t, 4> values;
  int count;
  int32_t Settings::*number;
  bool Settings::*flag;
};

constexpr RadioBinding kRadios[] = {
    {IDD_OPT_VIEW,
     {IDC_OPT_RENDER_FAST, IDC_OPT_RENDER_QUALITY},
     {1, 0},
     2,
     nullptr,
     &Settings::renderingFast},
    {IDD_OPT_VIEW,
     {IDC_OPT_ALPHA_SOLID, IDC_OPT_ALPHA_CHECKED, IDC_OPT_ALPHA_SUPPRESS},
     {0, 1, 2},
     3,
     &Settings::showAlphaChannel,
     nullptr},
    {IDD_OPT_VIEW,
     {IDC_OPT_SORT_NONE, IDC_OPT_SORT_NAME, IDC_OPT_SORT_EXTENSION, IDC_OPT_SORT_NATURAL},
     {0, 1, 2, 3},
     4,
     &Settings::sortFileType,
     nullptr},
    {IDD_OPT_READ,
     {IDC_OPT_RES_MAXIMUM, IDC_OPT_RES_DEFAULT, IDC_OPT_RES_CUSTOM},
     {0, 1, 2},
     3,
     &Settings::imageResolution,
     nullptr},
    {IDD_OPT_READ,
     {IDC_OPT_PROFILE_IGNORE, IDC_OPT_PROFILE_USE, IDC_OPT_PROFILE_NON_RGB},
     {0, 1, 2},
     3,
     &Settings::profileUsing,
     nullptr},
    {IDD_OPT_RAW,
     {IDC_OPT_RAW_FAST, IDC_OPT_RAW_QUALITY},
     {1, 0},
     2,
     nullptr,
     &Settings::fastRawInterpolation},
    {IDD_OPT_RAW,
     {IDC_OPT_WB_CAMERA, IDC_OPT_WB_AUTO},
     {1, 0},
     2,
     &Settings::whiteBalanceType,
     nullptr},
};

int32_t RadioValue(const Settings& settings, const RadioBinding& radio) {
  return radio.number ? settings.*radio.number : int32_t(settings.*radio.flag);
}

constexpr const wchar_t* kColumns[] = {L"Command", L"Key 1", L"Key 2", L"Key 3", L"Key 4"};
constexpr int kColumnWidths[] = {102, 80, 80, 80, 80};

std::wstring KeyText(uint16_t hotKey) {
  return hotKey ? KeyStrokeText(AccelFromHotKey(hotKey, 0)) : std::wstring();
}

}  // namespace

// ---- a page ----

bool OptionsPage::OnInitDialog() {
  if (templateId_ != IDD_OPT_SHORTCUT) return true;
  HWND list = GetDlgItem(hwnd(), IDC_SHORTCUT_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
  for (int i = 0; i < 5; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = kColumnWidths[i];
    column.pszText = const_cast<wchar_t*>(kColumns[i]);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, LPARAM(&column));
  }
  ShowRows();
  return true;
}

void OptionsPage::ShowRows() {
  HWND list = GetDlgItem(hwnd(), IDC_SHORTCUT_LIST);
  if (!list || !rows_) return;
  const int top = ListView_GetTopIndex(list);
  const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t row = 0; row < rows_->size(); ++row) {
    const HotKeyListItem& item = (*rows_)[row];
    std::wstring name = ui::WideFromUtf8(item.name);
    LVITEMW entry{};
    entry.mask = LVIF_TEXT;
    entry.iItem = int(row);
    entry.pszText = name.data();
    SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&entry));
    for (size_t key = 0; key < kKeysPerRow; ++key) {
      std::wstring text = KeyText(item.keys[key]);
      LVITEMW cell{};
      cell.iSubItem = int(key + 1);
      cell.pszText = text.data();
      SendMessageW(list, LVM_SETITEMTEXTW, row, LPARAM(&cell));
    }
  }
  if (selected >= 0)
    ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  // Back to the rows that were at the top before.
  if (top > 0) {
    RECT first{};
    ListView_GetItemRect(list, 0, &first, LVIR_BOUNDS);
    ListView_Scroll(list, 0, top * (first.bottom - first.top));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool OptionsPage::OnCommand(WORD id, WORD code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_OPT_BACKGROUND:
      ChooseBackground();
      return true;
    case IDC_SHORTCUT_EDIT:
      EditSelectedRow();
      return true;
    case IDC_SHORTCUT_DEFAULT:
      if (rows_) {
        *rows_ = RowsFromTable(std::vector<host::AccelEntry>(host::kDefaultAccelerators.begin(),
                                                             host::kDefaultAccelerators.end()));
        ShowRows();
      }
      return true;
  }
  return false;
}

INT_PTR OptionsPage::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
  handled = false;
  if (message == WM_DRAWITEM && wparam == IDC_OPT_BACKGROUND && background_) {
    // The colour button shows the colour itself inside its frame.
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    RECT rect = draw->rcItem;
    DrawFrameControl(draw->hDC, &rect, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((draw->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    InflateRect(&rect, -4, -4);
    HBRUSH brush = CreateSolidBrush(COLORREF(uint32_t(*background_) & 0xFFFFFF));
    FillRect(draw->hDC, &rect, brush);
    DeleteObject(brush);
    FrameRect(draw->hDC, &rect, HBRUSH(GetStockObject(BLACK_BRUSH)));
    if (draw->itemState & ODS_FOCUS) {
      InflateRect(&rect, 2, 2);
      DrawFocusRect(draw->hDC, &rect);
    }
    handled = true;
    return TRUE;
  }
  if (message == WM_NOTIFY && wparam == IDC_SHORTCUT_LIST) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->code == NM_DBLCLK || header->code == NM_RETURN) {
      EditSelectedRow();
      handled = true;
    }
  }
  return FALSE;
}

void OptionsPage::ChooseBackground() {
  static COLORREF custom[16] = {};
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = GetAncestor(hwnd(), GA_ROOT);
  choose.rgbResult = COLORREF(uint32_t(*background_) & 0xFFFFFF);
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&choose)) return;
  // Stored with an opaque top byte.
  *background_ = int32_t(0xFF000000u | (choose.rgbResult & 0xFFFFFF));
  InvalidateRect(GetDlgItem(hwnd(), IDC_OPT_BACKGROUND), nullptr, TRUE);
}

void OptionsPage::EditSelectedRow() {
  HWND list = GetDlgItem(hwnd(), IDC_SHORTCUT_LIST);
  const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (!rows_ || selected < 0 || size_t(selected) >= rows_->size()) return;
  HotKeyListItem& row = (*rows_)[size_t(selected)];
  HotKeyDlg dialog(ui::WideFromUtf8(row.name), row.keys);
  if (!dialog.Run(GetAncestor(hwnd(), GA_ROOT))) return;
  row.keys = dialog.Keys();
  TakeKeysFor(*rows_, size_t(selected));
  ShowRows();
}

// ---- the dialog ----

OptionsDlg::OptionsDlg(const host::Settings& settings, const std::vector<host::AccelEntry>& table)
    : settings_(settings), rows_(RowsFromTable(table)) {}

OptionsDlg::~OptionsDlg() = default;

bool OptionsDlg::Run(HWND owner) { return RunModal(owner, IDD_OPTIONS) == IDOK; }

HWND OptionsDlg::PageWindow(UINT templateId) const {
  for (const auto& page : pages_)
    if (page->TemplateId() == templateId) return page->hwnd();
  return nullptr;
}

bool OptionsDlg::OnInitDialog() {
  RECT frame{};
  HWND frameWindow = GetDlgItem(hwnd(), IDC_OPT_FRAME);
  GetWindowRect(frameWindow, &frame);
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&frame), 2);
  HWND tree = GetDlgItem(hwnd(), IDC_OPT_TREE);
  for (size_t i = 0; i < std::size(kPages); ++i) {
    pages_.push_back(
        std::make_unique<OptionsPage>(kPages[i].templateId, &settings_.backgroundColor, &rows_));
    HWND page = pages_.back()->Create(hwnd(), kPages[i].templateId);
    if (page) {
      SetWindowPos(page, frameWindow, frame.left, frame.top, frame.right - frame.left,
                   frame.bottom - frame.top, SWP_NOACTIVATE);
    }
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(kPages[i].title);
    insert.item.lParam = LPARAM(i);
    SendMessageW(tree, TVM_INSERTITEMW, 0, LPARAM(&insert));
  }
  for (const CheckBinding& check : kChecks) {
    CheckDlgButton(PageWindow(check.page), check.id,
                   settings_.*check.field ? BST_CHECKED : BST_UNCHECKED);
  }
  for (const RadioBinding& radio : kRadios) {
    const int32_t value = RadioValue(settings_, radio);
    for (int i = 0; i < radio.count; ++i) {
      CheckDlgButton(PageWindow(radio.page), radio.ids[size_t(i)],
                     radio.values[size_t(i)] == value ? BST_CHECKED : BST_UNCHECKED);
    }
  }
  SetDlgItemTextW(PageWindow(IDD_OPT_VIEW), IDC_OPT_ZOOM_STEP,
                  ui::WideFromUtf8(ZoomStepPercentText(settings_.zoomStep)).c_str());
  SendDlgItemMessageW(PageWindow(IDD_OPT_VIEW), IDC_OPT_ZOOM_STEP, EM_SETLIMITTEXT, 16, 0);
  SetDlgItemInt(PageWindow(IDD_OPT_SLIDESHOW), IDC_OPT_TIMEOUT,
                UINT(SlideshowSecondsShown(settings_.timeoutSlideshow)), FALSE);
  SendDlgItemMessageW(PageWindow(IDD_OPT_SLIDESHOW), IDC_OPT_TIMEOUT, EM_SETLIMITTEXT, 7, 0);
  HTREEITEM first = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(first));
  ShowPage(0);
  return true;
}

void OptionsDlg::ShowPage(size_t index) {
  if (index >= pages_.size()) return;
  shown_ = index;
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->hwnd()) ShowWindow(pages_[i]->hwnd(), i == index ? SW_SHOW : SW_HIDE);
  }
}

INT_PTR OptionsDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
  handled = false;
  if (message == WM_NOTIFY && wparam == IDC_OPT_TREE) {
    const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
    if (change->hdr.code == TVN_SELCHANGEDW) {
      ShowPage(size_t(change->itemNew.lParam));
      handled = true;
    }
  }
  return FALSE;
}

void OptionsDlg::Refuse(UINT templateId, int id, const wchar_t* message) {
  for (size_t i = 0; i < std::size(kPages); ++i) {
    if (kPages[i].templateId != templateId) continue;
    HWND tree = GetDlgItem(hwnd(), IDC_OPT_TREE);
    HTREEITEM item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (size_t n = 0; n < i && item; ++n)
      item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)));
    if (item) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(item));
    ShowPage(i);
  }
  MessageBoxW(hwnd(), message, L"Options", MB_OK | MB_ICONWARNING);
  HWND field = GetDlgItem(PageWindow(templateId), id);
  SendMessageW(field, EM_SETSEL, 0, -1);
  SetFocus(field);
}

bool OptionsDlg::OnOk() {
  wchar_t text[64] = {};
  GetDlgItemTextW(PageWindow(IDD_OPT_VIEW), IDC_OPT_ZOOM_STEP, text, int(std::size(text)));
  std::optional<double> step = ZoomStepFromPercentText(ui::Utf8FromWide(text));
  if (!step) {
    Refuse(IDD_OPT_VIEW, IDC_OPT_ZOOM_STEP, L"The zoom step must be between 0.05 and 1000 %.");
    return false;
  }
  GetDlgItemTextW(PageWindow(IDD_OPT_SLIDESHOW), IDC_OPT_TIMEOUT, text, int(std::size(text)));
  std::optional<int32_t> timeout = SlideshowTimeoutFromSecondsText(ui::Utf8FromWide(text));
  if (!timeout) {
    Refuse(IDD_OPT_SLIDESHOW, IDC_OPT_TIMEOUT,
           L"The slide-show timeout must be a whole number of seconds, at least 1.");
    return false;
  }
  settings_.zoomStep = *step;
  settings_.timeoutSlideshow = *timeout;
  for (const CheckBinding& check : kChecks)
    settings_.*check.field = IsDlgButtonChecked(PageWindow(check.page), check.id) == BST_CHECKED;
  for (const RadioBinding& radio : kRadios) {
    for (int i = 0; i < radio.count; ++i) {
      if (IsDlgButtonChecked(PageWindow(radio.page), radio.ids[size_t(i)]) != BST_CHECKED) continue;
      if (radio.number)
        settings_.*radio.number = radio.values[size_t(i)];
      else
        settings_.*radio.flag = radio.values[size_t(i)] != 0;
    }
  }
  return true;
}

}  // namespace viewer
