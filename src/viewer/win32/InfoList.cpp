#include "viewer/win32/InfoList.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "platform/FileFacts.h"
#include "platform/Text.h"
#include "ui/Handles.h"
#include "ui/Text.h"

namespace viewer {
namespace {

constexpr UINT kListId = 1;
constexpr int kMargin = 14;       // left of the names; the expand box sits in it
constexpr int kDividerWidth = 3;  // the bar between names and values
constexpr int kGrip = 2;          // the divider can be taken this close
constexpr int kTextPad = 2;

uint32_t PackRow(uint32_t group, uint32_t item) { return (group << 16) | (item & 0xFFFF); }
uint32_t GroupOf(LRESULT data) { return uint32_t(data) >> 16; }
uint32_t ItemOf(LRESULT data) { return uint32_t(data) & 0xFFFF; }

std::u16string U16(std::string_view utf8) { return platform::Utf16FromUtf8(utf8); }

void FillArea(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left) return;
  RECT area = {left, top, right, bottom};
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

void DrawLine(HDC dc, int x, int y, const std::u16string& text, int right) {
  RECT area = {x, 0, right, 0};
  area.top = y;
  area.bottom = y + 0x7FFF;
  DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.c_str()), int(text.size()), &area,
            DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_TOP | DT_NOCLIP);
}

}  // namespace

InfoList::InfoList() = default;

InfoList::~InfoList() {
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

bool InfoList::Create(HWND parent, UINT id, CollapsedFlags* collapsed) {
  collapsed_ = collapsed;
  CreateArgs args;
  args.className = L"OrbiskInfoList";
  args.style = WS_CHILD | WS_CLIPCHILDREN;
  args.parent = parent;
  args.menuOrId = reinterpret_cast<HMENU>(UINT_PTR(id));
  args.rect = {0, 0, 0, 0};
  if (!ui::Window::Create(args)) return false;
  list_ = CreateWindowExW(0, L"LISTBOX", nullptr,
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWVARIABLE |
                              LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(UINT_PTR(kListId)),
                          ui::ThisModule(), nullptr);
  if (!list_) return false;
  SetWindowSubclass(list_, &InfoList::ListProc, 1, DWORD_PTR(this));
  itemFont_ = std::make_unique<glib::Font>(nullptr);
  groupFont_ = std::make_unique<glib::Font>(itemFont_->GetHFONT(), FW_BOLD);
  SendMessageW(list_, WM_SETFONT, WPARAM(itemFont_->GetHFONT()), FALSE);
  SetColors(colors_);
  return true;
}

void InfoList::Show(bool show) {
  if (hwnd()) ShowWindow(hwnd(), show ? SW_SHOWNA : SW_HIDE);
}

void InfoList::SetColors(const Colors& colors) {
  colors_ = colors;
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
  backgroundBrush_ = CreateSolidBrush(colors_.background);
  if (list_) InvalidateRect(list_, nullptr, TRUE);
}

void InfoList::Refresh(const glib::FlmPictureInfo& model) {
  catalogs_.Build(model);
  for (info::InfoCatalog& catalog : catalogs_.Catalogs())
    catalog.collapsed = collapsed_ && (*collapsed_)[uint8_t(catalog.icon)] != 0;
  Fill();
}

void InfoList::Fill() {
  if (!list_) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  const auto& catalogs = catalogs_.Catalogs();
  for (uint32_t g = 0; g < catalogs.size(); ++g) {
    InsertRow(-1, g, info::kHeaderItem);
    if (catalogs[g].collapsed) continue;
    for (uint32_t i = 0; i < catalogs[g].items.size(); ++i) InsertRow(-1, g, i);
  }
  SizeColumns();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

int InfoList::InsertRow(int at, uint32_t group, uint32_t item) {
  const info::InfoCatalog& catalog = catalogs_.Catalogs()[group];
  bool header = item == info::kHeaderItem;
  std::wstring text =
      header ? ui::WideFromUtf8(catalog.title)
             : ui::WideFromUtf8(catalog.items[item].name + "\t" + catalog.items[item].value);
  LRESULT index = SendMessageW(list_, LB_INSERTSTRING, WPARAM(at), LPARAM(text.c_str()));
  if (index < 0) return -1;
  SendMessageW(list_, LB_SETITEMDATA, WPARAM(index), LPARAM(PackRow(group, item)));
  int height = header ? groupFont_->TextHeight() + 4 : itemFont_->TextHeight() + 2;
  SendMessageW(list_, LB_SETITEMHEIGHT, WPARAM(index), MAKELPARAM(height, 0));
  return int(index);
}

void InfoList::Toggle(uint32_t group) {
  auto& catalogs = catalogs_.Catalogs();
  if (group >= catalogs.size()) return;
  info::InfoCatalog& catalog = catalogs[group];
  catalog.collapsed = !catalog.collapsed;
  if (collapsed_) (*collapsed_)[uint8_t(catalog.icon)] = catalog.collapsed ? 1 : 0;
  int count = int(SendMessageW(list_, LB_GETCOUNT, 0, 0));
  int header = -1;
  for (int row = 0; row < count; ++row) {
    LRESULT data = SendMessageW(list_, LB_GETITEMDATA, row, 0);
    if (GroupOf(data) == group && ItemOf(data) == info::kHeaderItem) {
      header = row;
      break;
    }
  }
  if (header < 0) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  if (catalog.collapsed) {
    while (header + 1 < int(SendMessageW(list_, LB_GETCOUNT, 0, 0))) {
      LRESULT data = SendMessageW(list_, LB_GETITEMDATA, header + 1, 0);
      if (GroupOf(data) != group || ItemOf(data) == info::kHeaderItem) break;
      SendMessageW(list_, LB_DELETESTRING, header + 1, 0);
    }
  } else {
    for (uint32_t i = 0; i < catalog.items.size(); ++i) InsertRow(header + 1 + int(i), group, i);
  }
  SizeColumns();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void InfoList::SizeColumns() {
  RECT client{};
  GetClientRect(list_, &client);
  int width = client.right;
  int widestName = 0, widestValue = 0;
  bool measured = false;
  for (const info::InfoCatalog& catalog : catalogs_.Catalogs()) {
    widestName = std::max<int>(widestName, groupFont_->GetTextSize(U16(catalog.title)).cx);
    measured = true;
    if (catalog.collapsed) continue;
    for (const info::InfoItem& item : catalog.items) {
      widestName = std::max<int>(widestName, itemFont_->GetTextSize(U16(item.name)).cx);
      widestValue = std::max<int>(widestValue, itemFont_->GetTextSize(U16(item.value)).cx);
    }
  }
  int divider = percent_ >= 0 ? width * percent_ / 100
                              : (measured ? std::min(widestName + 16, width / 2) : width / 2);
  if (divider >= kMargin && divider <= width) divider_ = divider;
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, WPARAM(divider_ + widestValue + 17), 0);
}

void InfoList::Draw(const DRAWITEMSTRUCT& draw) {
  if (draw.itemID == UINT(-1)) return;
  const auto& catalogs = catalogs_.Catalogs();
  uint32_t group = GroupOf(LRESULT(draw.itemData)), item = ItemOf(LRESULT(draw.itemData));
  if (group >= catalogs.size()) return;
  const info::InfoCatalog& catalog = catalogs[group];
  HDC dc = draw.hDC;
  RECT row = draw.rcItem;
  RECT client{};
  GetClientRect(list_, &client);
  int right = std::max<int>(row.right, client.right);
  int left = row.left;
  int divider = left + divider_;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colors_.text);
  if (item == info::kHeaderItem) {
    FillArea(dc, left, row.top, right, row.bottom, colors_.header);
    // The expand/collapse box: a minus, with a plus bar when collapsed.
    int size = 9, x = left + 2, y = row.top + (row.bottom - row.top - size) / 2;
    FillArea(dc, x, y, x + size, y + size, 0x808080);
    FillArea(dc, x + 1, y + 1, x + size - 1, y + size - 1, 0xFFFFFF);
    FillArea(dc, x + 2, y + 4, x + size - 2, y + 5, 0x000000);
    if (catalog.collapsed) FillArea(dc, x + 4, y + 2, x + 5, y + size - 2, 0x000000);
    SetBkMode(dc, TRANSPARENT);
    ui::SelectScope font(dc, groupFont_->GetHFONT());
    std::u16string title =
        groupFont_->GetShortVisibleString(U16(catalog.title), divider_ - 2 - kMargin);
    DrawLine(dc, left + kMargin, row.top + 2, title, right);
    return;
  }
  if (item >= catalog.items.size()) return;
  bool odd = item % 2 != 0;
  FillArea(dc, left, row.top, left + kMargin, row.bottom, colors_.margin);
  FillArea(dc, left + kMargin, row.top, divider, row.bottom,
           odd ? colors_.nameOdd : colors_.nameEven);
  FillArea(dc, divider, row.top, divider + kDividerWidth, row.bottom, colors_.header);
  FillArea(dc, divider + kDividerWidth, row.top, right, row.bottom,
           odd ? colors_.valueOdd : colors_.valueEven);
  SetBkMode(dc, TRANSPARENT);
  ui::SelectScope font(dc, itemFont_->GetHFONT());
  const info::InfoItem& entry = catalog.items[item];
  std::u16string name =
      itemFont_->GetShortVisibleString(U16(entry.name), divider_ - kMargin - 2 * kTextPad);
  DrawLine(dc, left + kMargin + kTextPad, row.top + 1, name, divider);
  DrawLine(dc, divider + kDividerWidth + kTextPad, row.top + 1, U16(entry.value), right);
}

bool InfoList::NearDivider(int x) const {
  int offset = GetScrollPos(list_, SB_HORZ);
  return std::abs(x + offset - divider_) <= kGrip;
}

void InfoList::ShowMenu(LPARAM where) {
  POINT screen = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  menuRow_ = -1;
  if (where == -1) {
    menuRow_ = int(SendMessageW(list_, LB_GETCURSEL, 0, 0));
    RECT area{};
    GetWindowRect(list_, &area);
    screen = {area.left + 8, area.top + 8};
  } else {
    POINT inside = screen;
    ScreenToClient(list_, &inside);
    LRESULT hit = SendMessageW(list_, LB_ITEMFROMPOINT, 0, MAKELPARAM(inside.x, inside.y));
    if (HIWORD(hit) == 0) menuRow_ = LOWORD(hit);
  }
  ui::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  AppendMenuW(menu.get(), MF_STRING, kCopyItem, L"Copy Item to Clipboard");
  AppendMenuW(menu.get(), MF_STRING, kCopyAll, L"Copy all Info to Clipboard");
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu.get(), MF_STRING, kSaveToFile, L"Save Info to File...");
  TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
}

void InfoList::CopyText(const std::string& utf8) {
  if (utf8.empty()) return;
  std::string narrow = platform::NarrowFromUtf8(utf8);
  std::u16string wide = platform::Utf16FromUtf8(utf8);
  // Both blocks are made before the clipboard is touched: a failure leaves it as it was.
  ui::UniqueGlobal text(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, narrow.size() + 1));
  ui::UniqueGlobal unicode(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (wide.size() + 1) * 2));
  if (!text || !unicode) return;
  {
    ui::GlobalLockScope lockText(text.get()), lockUnicode(unicode.get());
    if (!lockText.data() || !lockUnicode.data()) return;
    std::memcpy(lockText.data(), narrow.c_str(), narrow.size() + 1);
    std::memcpy(lockUnicode.data(), wide.c_str(), (wide.size() + 1) * 2);
  }
  ui::ClipboardScope clipboard(hwnd());
  if (!clipboard.ok()) return;
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, text.get())) text.release();
  if (SetClipboardData(CF_UNICODETEXT, unicode.get())) unicode.release();
}

void InfoList::SaveToFile() {
  static const wchar_t kFilter[] =
      L"All files (*.*)\0*.*\0Text files (*.txt)\0*.txt\0WEB Page, HTML (*.htm;*.html)\0*.htm\0";
  wchar_t path[MAX_PATH * 4] = L"";
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(hwnd(), GA_ROOT);
  dialog.lpstrTitle = L"Save Info to File";
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = DWORD(std::size(path));
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&dialog)) return;
  std::u16string chosen(reinterpret_cast<const char16_t*>(path));
  info::SaveInfo(chosen, catalogs_.Catalogs(), &platform::NarrowFromUtf8);
}

LRESULT InfoList::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: {
      int width = LOWORD(lparam), height = HIWORD(lparam);
      MoveWindow(list_, 0, 0, width, height, TRUE);
      if (divider_ < kMargin || divider_ > width || percent_ >= 0) SizeColumns();
      return 0;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      measure->itemHeight = UINT(itemFont_ ? itemFont_->TextHeight() + 2 : 16);
      return TRUE;
    }
    case WM_DRAWITEM:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_CTLCOLORLISTBOX:
      return LRESULT(backgroundBrush_);
    case WM_CONTEXTMENU:
      ShowMenu(lparam);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == kListId && HIWORD(wparam) == LBN_SELCHANGE) {
        LRESULT row = SendMessageW(list_, LB_GETCURSEL, 0, 0);
        if (row >= 0) {
          LRESULT data = SendMessageW(list_, LB_GETITEMDATA, row, 0);
          if (ItemOf(data) == info::kHeaderItem) {
            // No selection stays behind, so a second click toggles again.
            SendMessageW(list_, LB_SETCURSEL, WPARAM(-1), 0);
            Toggle(GroupOf(data));
          }
        }
        return 0;
      }
      switch (LOWORD(wparam)) {
        case kCopyItem: {
          LRESULT data = menuRow_ >= 0 ? SendMessageW(list_, LB_GETITEMDATA, menuRow_, 0) : LB_ERR;
          if (data != LB_ERR)
            CopyText(info::RowText(catalogs_.Catalogs(), GroupOf(data), ItemOf(data)));
          return 0;
        }
        case kCopyAll:
          CopyText(info::TextForm(catalogs_.Catalogs()));
          return 0;
        case kSaveToFile:
          SaveToFile();
          return 0;
      }
      break;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd(), &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, backgroundBrush_);
      return TRUE;
    }
  }
  return Default(message, wparam, lparam);
}

LRESULT CALLBACK InfoList::ListProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR self) noexcept {
  try {
    return reinterpret_cast<InfoList*>(self)->OnListMessage(message, wparam, lparam);
  } catch (...) {
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }
}

LRESULT InfoList::OnListMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETCURSOR: {
      POINT point{};
      GetCursorPos(&point);
      ScreenToClient(list_, &point);
      if (LOWORD(lparam) == HTCLIENT && (dragging_ || NearDivider(point.x))) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32644)));  // the west-east arrows
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (NearDivider(GET_X_LPARAM(lparam))) {
        dragging_ = true;
        SetCapture(list_);
        RECT area{};
        GetWindowRect(list_, &area);
        InflateRect(&area, -3, -3);
        ClipCursor(&area);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (dragging_) {
        RECT client{};
        GetClientRect(list_, &client);
        int x = std::clamp<int>(GET_X_LPARAM(lparam), 3, std::max<int>(3, client.right - 3));
        divider_ = std::max(kMargin, x + GetScrollPos(list_, SB_HORZ));
        // The dragged divider keeps its share of the width from now on.
        if (client.right > 0) percent_ = divider_ * 100 / client.right;
        InvalidateRect(list_, nullptr, FALSE);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (dragging_) {
        ReleaseCapture();
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        ClipCursor(nullptr);
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list_, &InfoList::ListProc, 1);
      break;
  }
  return DefSubclassProc(list_, message, wparam, lparam);
}

}  // namespace viewer
