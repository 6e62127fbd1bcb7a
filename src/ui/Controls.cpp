#include "ui/Controls.h"

#include <commctrl.h>

#include <mutex>
#include <vector>

#include "ui/Window.h"

namespace ui {

void InitCommonControlsOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                               ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
  });
}

bool ToolBar::Create(const ToolBarArgs& args) {
  InitCommonControlsOnce();
  window_ = CreateWindowExW(
      0, TOOLBARCLASSNAMEW, L"",
      WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
      0, 0, 0, 0, args.parent, HMENU(UINT_PTR(args.id)), ThisModule(), nullptr);
  if (!window_) return false;
  SendMessageW(window_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  images_.reset(ImageList_LoadImageW(args.module, MAKEINTRESOURCEW(args.bitmapId), args.imageSize,
                                     0, args.maskColour, IMAGE_BITMAP, LR_CREATEDIBSECTION));
  if (images_) SendMessageW(window_, TB_SETIMAGELIST, 0, LPARAM(images_.get()));
  std::vector<TBBUTTON> buttons;
  for (const ToolButtonArgs& b : args.buttons) {
    if (b.separatorBefore) {
      TBBUTTON separator{};
      separator.iBitmap = 6;
      separator.fsStyle = BTNS_SEP;
      buttons.push_back(separator);
    }
    TBBUTTON button{};
    button.iBitmap = b.image;
    button.idCommand = int(b.command);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    buttons.push_back(button);
  }
  SendMessageW(window_, TB_ADDBUTTONSW, buttons.size(), LPARAM(buttons.data()));
  SendMessageW(window_, TB_AUTOSIZE, 0, 0);
  return true;
}

void ToolBar::SetEnabled(UINT command, bool enabled) {
  if (window_ && IsEnabled(command) != enabled) {
    SendMessageW(window_, TB_ENABLEBUTTON, command, MAKELPARAM(enabled, 0));
  }
}

void ToolBar::SetChecked(UINT command, bool checked) {
  if (window_) SendMessageW(window_, TB_CHECKBUTTON, command, MAKELPARAM(checked, 0));
}

bool ToolBar::IsEnabled(UINT command) const {
  return window_ && SendMessageW(window_, TB_ISBUTTONENABLED, command, 0) != 0;
}

int ToolBar::Height() const {
  if (!Visible()) return 0;
  DWORD size = DWORD(SendMessageW(window_, TB_GETBUTTONSIZE, 0, 0));
  return HIWORD(size) + 4;
}

void ToolBar::Show(bool show) {
  if (window_) ShowWindow(window_, show ? SW_SHOWNA : SW_HIDE);
}

void ToolBar::Place(int width) {
  if (Visible()) MoveWindow(window_, 0, 0, width, Height(), TRUE);
}

bool ToolBar::HandleNotify(const NMHDR* header, LRESULT& result) {
  if (!window_ || header->code != TTN_GETDISPINFOW) return false;
  // The tooltip window is the bar's; its id is the button's command.
  if (header->hwndFrom != HWND(SendMessageW(window_, TB_GETTOOLTIPS, 0, 0))) return false;
  auto* info = reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header));
  tip_ = onToolTip ? onToolTip(UINT(header->idFrom)) : std::wstring();
  info->lpszText = tip_.data();
  info->hinst = nullptr;
  result = 0;
  return true;
}

bool StatusBar::Create(const StatusBarArgs& args) {
  InitCommonControlsOnce();
  window_ =
      CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, 0,
                      0, 0, args.parent, HMENU(UINT_PTR(args.id)), ThisModule(), nullptr);
  if (!window_) return false;
  std::vector<int> edges;
  int x = 0;
  for (size_t i = 0; i < args.paneWidths.size(); ++i) {
    x += args.paneWidths[i];
    edges.push_back(i + 1 == args.paneWidths.size() ? -1 : x);
  }
  SendMessageW(window_, SB_SETPARTS, edges.size(), LPARAM(edges.data()));
  return true;
}

void StatusBar::SetText(int pane, const std::wstring& text) {
  if (window_ && Text(pane) != text) {
    SendMessageW(window_, SB_SETTEXTW, WPARAM(pane), LPARAM(text.c_str()));
  }
}

std::wstring StatusBar::Text(int pane) const {
  if (!window_) return {};
  LRESULT length = SendMessageW(window_, SB_GETTEXTLENGTHW, WPARAM(pane), 0);
  std::wstring text(size_t(LOWORD(length)) + 1, L'\0');
  SendMessageW(window_, SB_GETTEXTW, WPARAM(pane), LPARAM(text.data()));
  text.resize(LOWORD(length));
  return text;
}

int StatusBar::Height() const {
  if (!Visible()) return 0;
  RECT rect{};
  GetWindowRect(window_, &rect);
  return rect.bottom - rect.top > 0 ? rect.bottom - rect.top : 22;
}

void StatusBar::Show(bool show) {
  if (window_) ShowWindow(window_, show ? SW_SHOWNA : SW_HIDE);
}

void StatusBar::Place(int width, int parentHeight) {
  if (!Visible()) return;
  // The bar's own height follows its font; ask for it before placing.
  RECT rect{};
  GetWindowRect(window_, &rect);
  int height = rect.bottom - rect.top;
  if (height <= 0) height = 22;
  MoveWindow(window_, 0, parentHeight - height, width, height, TRUE);
}

bool ListView::Create(const ListViewArgs& args) {
  InitCommonControlsOnce();
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0, 0, 0,
                            0, args.parent, HMENU(UINT_PTR(args.id)), ThisModule(), nullptr);
  if (!window_) return false;
  SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, args.extendedStyle, args.extendedStyle);
  int index = 0;
  for (const ListColumnArgs& c : args.columns) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(c.title);
    column.cx = c.width;
    SendMessageW(window_, LVM_INSERTCOLUMNW, WPARAM(index++), LPARAM(&column));
  }
  return true;
}

void ListView::Clear() {
  if (!window_) return;
  SendMessageW(window_, LVM_DELETEALLITEMS, 0, 0);
  SendMessageW(window_, LVM_REMOVEALLGROUPS, 0, 0);
}

void ListView::AddGroup(int id, const std::wstring& header) {
  if (!window_) return;
  SendMessageW(window_, LVM_ENABLEGROUPVIEW, TRUE, 0);
  LVGROUP group{};
  group.cbSize = sizeof group;
  group.mask = LVGF_HEADER | LVGF_GROUPID;
  group.pszHeader = const_cast<wchar_t*>(header.c_str());
  group.iGroupId = id;
  SendMessageW(window_, LVM_INSERTGROUP, WPARAM(-1), LPARAM(&group));
}

void ListView::AddRow(int group, const std::wstring& name, const std::wstring& value) {
  if (!window_) return;
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_GROUPID;
  item.iItem = RowCount();
  item.iGroupId = group;
  item.pszText = const_cast<wchar_t*>(name.c_str());
  int row = int(SendMessageW(window_, LVM_INSERTITEMW, 0, LPARAM(&item)));
  if (row < 0) return;
  LVITEMW cell{};
  cell.iSubItem = 1;
  cell.pszText = const_cast<wchar_t*>(value.c_str());
  SendMessageW(window_, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&cell));
}

std::wstring ListViewCellText(HWND list, int row, int column) {
  if (!list) return {};
  wchar_t buffer[1024] = {};
  LVITEMW cell{};
  cell.iSubItem = column;
  cell.pszText = buffer;
  cell.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&cell));
  return buffer;
}

std::wstring ListView::CellText(int row, int column) const {
  return ListViewCellText(window_, row, column);
}

void ListView::Show(bool show) {
  if (window_) ShowWindow(window_, show ? SW_SHOWNA : SW_HIDE);
}

int ListView::RowCount() const {
  return window_ ? int(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

}  // namespace ui
