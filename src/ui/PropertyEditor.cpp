#include "ui/PropertyEditor.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cwctype>

#include "ui/Controls.h"
#include "ui/Handles.h"

namespace ui {
namespace {

constexpr wchar_t kClassName[] = L"OrbiskPropertyEditor";
constexpr UINT kListId = 1;
constexpr UINT kEditorId = 2;
constexpr UINT kSpinId = 3;
constexpr UINT_PTR kSubclassId = 0x50524F50;  // "PROP"
// The label column takes this share of the width.
constexpr int kLabelPercent = 55;
constexpr int kCellPadding = 4;
// A drop-down list shows this many choices before it scrolls.
constexpr int kVisibleChoices = 12;
// Typed values and choices longer than this are cut (a password of 32 is the longest
// a format takes).
constexpr int kMaxEditText = 1024;

int ClampToInt(int64_t value) { return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

bool ShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

}  // namespace

PropertyEditor::~PropertyEditor() {
  // The owner may be gone already: nothing is reported while the windows go.
  onChange = nullptr;
  if (list_) RemoveWindowSubclass(list_, &PropertyEditor::ListProc, kSubclassId);
  if (editor_) RemoveWindowSubclass(editor_, &PropertyEditor::EditorProc, kSubclassId);
}

bool PropertyEditor::Create(HWND parent, UINT id, const RECT& rect) {
  InitCommonControlsOnce();
  CreateArgs args;
  args.className = kClassName;
  args.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
  args.exStyle = WS_EX_CONTROLPARENT;
  args.rect = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  args.parent = parent;
  args.menuOrId = reinterpret_cast<HMENU>(UINT_PTR(id));
  args.background = GetSysColorBrush(COLOR_WINDOW);
  if (!Window::Create(args)) return false;
  list_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT |
                          LVS_OWNERDRAWFIXED | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                      0, 0, rect.right - rect.left, rect.bottom - rect.top, hwnd(),
                      reinterpret_cast<HMENU>(UINT_PTR(kListId)), ThisModule(), nullptr);
  if (!list_) return false;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
  if (font) SendMessageW(list_, WM_SETFONT, WPARAM(font), FALSE);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  int width = rect.right - rect.left - GetSystemMetrics(SM_CXVSCROLL) - 4;
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"Property");
  column.cx = width * kLabelPercent / 100;
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, LPARAM(&column));
  column.pszText = const_cast<wchar_t*>(L"Value");
  column.cx = width - width * kLabelPercent / 100;
  SendMessageW(list_, LVM_INSERTCOLUMNW, 1, LPARAM(&column));
  SetWindowSubclass(list_, &PropertyEditor::ListProc, kSubclassId, DWORD_PTR(this));
  return true;
}

void PropertyEditor::Move(const RECT& rect) {
  EndEdit(true);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  MoveWindow(hwnd(), rect.left, rect.top, width, height, TRUE);
  MoveWindow(list_, 0, 0, width, height, TRUE);
  int inner = width - GetSystemMetrics(SM_CXVSCROLL) - 4;
  SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, inner * kLabelPercent / 100);
  SendMessageW(list_, LVM_SETCOLUMNWIDTH, 1, inner - inner * kLabelPercent / 100);
}

void PropertyEditor::SetRows(std::vector<Row> rows) {
  EndEdit(false);
  rows_ = std::move(rows);
  FillList();
}

void PropertyEditor::SetRow(int index, Row row) {
  if (index < 0 || index >= RowCount()) return;
  if (editRow_ == index) EndEdit(false);
  rows_[size_t(index)] = std::move(row);
  LVITEMW cell{};
  cell.iSubItem = 0;
  cell.pszText = const_cast<wchar_t*>(rows_[size_t(index)].label.c_str());
  SendMessageW(list_, LVM_SETITEMTEXTW, WPARAM(index), LPARAM(&cell));
  SetValueText(index, rows_[size_t(index)].value);
}

void PropertyEditor::SetValueText(int index, const std::wstring& text) {
  if (index < 0 || index >= RowCount()) return;
  rows_[size_t(index)].value = text;
  LVITEMW cell{};
  cell.iSubItem = 1;
  cell.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list_, LVM_SETITEMTEXTW, WPARAM(index), LPARAM(&cell));
}

const PropertyEditor::Row* PropertyEditor::RowAt(int index) const {
  return index >= 0 && index < RowCount() ? &rows_[size_t(index)] : nullptr;
}

void PropertyEditor::FillList() {
  if (!list_) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < RowCount(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(rows_[size_t(i)].label.c_str());
    SendMessageW(list_, LVM_INSERTITEMW, 0, LPARAM(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(rows_[size_t(i)].value.c_str());
    SendMessageW(list_, LVM_SETITEMTEXTW, WPARAM(i), LPARAM(&item));
  }
  if (RowCount() > 0) SelectRow(0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

int PropertyEditor::SelectedRow() const {
  return int(SendMessageW(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void PropertyEditor::SelectRow(int index) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list_, LVM_SETITEMSTATE, WPARAM(index), LPARAM(&state));
  SendMessageW(list_, LVM_ENSUREVISIBLE, WPARAM(index), FALSE);
}

RECT PropertyEditor::ValueCellRect(int index) const {
  RECT cell{};
  cell.top = 1;
  cell.left = LVIR_BOUNDS;
  SendMessageW(list_, LVM_GETSUBITEMRECT, WPARAM(index), LPARAM(&cell));
  // List coordinates to ours: the list fills this window, less its edge.
  MapWindowPoints(list_, hwnd(), reinterpret_cast<POINT*>(&cell), 2);
  return cell;
}

bool PropertyEditor::BeginEdit(int index, wchar_t typed) {
  if (index < 0 || index >= RowCount() || !list_) return false;
  EndEdit(true);
  // The owner may have rebuilt the rows on that commit.
  if (index >= RowCount()) return false;
  SelectRow(index);
  RECT cell = ValueCellRect(index);
  editor_ = CreateEditorFor(rows_[size_t(index)], cell, typed);
  if (!editor_) return false;
  editRow_ = index;
  SetWindowSubclass(editor_, &PropertyEditor::EditorProc, kSubclassId, DWORD_PTR(this));
  SetFocus(editor_);
  return true;
}

HWND PropertyEditor::CreateEditorFor(const Row& row, const RECT& cell, wchar_t typed) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0));
  int width = cell.right - cell.left, height = cell.bottom - cell.top;
  HMENU editorId = reinterpret_cast<HMENU>(UINT_PTR(kEditorId));
  HWND editor = nullptr;
  if (row.kind == Kind::kCombobox) {
    editor = CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST,
                             cell.left, cell.top - 2, width, height * (kVisibleChoices + 1), hwnd(),
                             editorId, ThisModule(), nullptr);
    if (!editor) return nullptr;
    SendMessageW(editor, WM_SETFONT, WPARAM(font), FALSE);
    int current = -1;
    for (size_t i = 0; i < row.choices.size(); ++i) {
      SendMessageW(editor, CB_ADDSTRING, 0, LPARAM(row.choices[i].c_str()));
      if (row.choices[i] == row.value) current = int(i);
    }
    if (typed) {
      wchar_t prefix[2] = {typed, 0};
      int found = int(SendMessageW(editor, CB_FINDSTRING, WPARAM(-1), LPARAM(prefix)));
      if (found != CB_ERR) current = found;
    }
    SendMessageW(editor, CB_SETCURSEL, WPARAM(current), 0);
  } else {
    std::wstring text = typed ? std::wstring(1, typed) : row.value;
    editor =
        CreateWindowExW(0, WC_EDITW, text.c_str(), WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, cell.left,
                        cell.top, width, height, hwnd(), editorId, ThisModule(), nullptr);
    if (!editor) return nullptr;
    SendMessageW(editor, WM_SETFONT, WPARAM(font), FALSE);
    SendMessageW(editor, EM_SETLIMITTEXT, kMaxEditText, 0);
    SendMessageW(editor, EM_SETMARGINS, EC_LEFTMARGIN, kCellPadding - 2);
    if (typed) {
      SendMessageW(editor, EM_SETSEL, text.size(), text.size());
    } else {
      SendMessageW(editor, EM_SETSEL, 0, -1);
    }
    if (row.kind == Kind::kSpin) {
      spin_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                              WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                  UDS_NOTHOUSANDS | UDS_SETBUDDYINT,
                              0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(UINT_PTR(kSpinId)),
                              ThisModule(), nullptr);
      if (spin_) {
        SendMessageW(spin_, UDM_SETBUDDY, WPARAM(editor), 0);
        SendMessageW(spin_, UDM_SETRANGE32, WPARAM(ClampToInt(row.minimum)),
                     LPARAM(ClampToInt(row.maximum)));
        // Setting the buddy rewrites its text with the control's position.
        SetWindowTextW(editor, text.c_str());
        SendMessageW(editor, EM_SETSEL, typed ? text.size() : 0, typed ? text.size() : -1);
      }
    }
  }
  SetWindowPos(editor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  if (spin_) SetWindowPos(spin_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return editor;
}

void PropertyEditor::EndEdit(bool commit) {
  if (!editor_ || ending_) return;
  ending_ = true;
  Change change;
  change.row = editRow_;
  const Row& row = rows_[size_t(editRow_)];
  if (row.kind == Kind::kCombobox) {
    change.choice = int(SendMessageW(editor_, CB_GETCURSEL, 0, 0));
    if (change.choice >= 0 && size_t(change.choice) < row.choices.size()) {
      change.text = row.choices[size_t(change.choice)];
    } else {
      commit = false;  // nothing chosen: the value stays
    }
  } else {
    wchar_t buffer[kMaxEditText + 1] = {};
    GetWindowTextW(editor_, buffer, kMaxEditText + 1);
    change.text = buffer;
  }
  HWND editor = editor_;
  HWND spin = spin_;
  editor_ = spin_ = nullptr;
  editRow_ = -1;
  // Keys end edits with the focus in the editor: it goes back to the list.
  if (GetFocus() == editor) SetFocus(list_);
  RemoveWindowSubclass(editor, &PropertyEditor::EditorProc, kSubclassId);
  if (spin) DestroyWindow(spin);
  DestroyWindow(editor);
  ending_ = false;
  if (commit) {
    SetValueText(change.row, change.text);
    if (onChange) onChange(change);
  }
}

void PropertyEditor::TabTo(int step) {
  int from = editRow_;
  EndEdit(true);
  int next = from + step;
  if (next >= 0 && next < RowCount()) BeginEdit(next);
}

void PropertyEditor::DrawRow(const DRAWITEMSTRUCT& item) {
  int index = int(item.itemID);
  if (index < 0 || index >= RowCount()) return;
  HDC dc = item.hDC;
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  bool focused = GetFocus() == list_;
  RECT label{}, value{};
  label.top = value.top = 1;
  label.left = LVIR_LABEL;
  value.left = LVIR_BOUNDS;
  SendMessageW(list_, LVM_GETSUBITEMRECT, WPARAM(index), LPARAM(&value));
  label = item.rcItem;
  label.right = value.left;
  value.right = item.rcItem.right;
  // The label is highlighted, the value stays on the window colour as in a grid.
  int labelBack = selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW;
  int labelText = selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
  FillRect(dc, &label, GetSysColorBrush(labelBack));
  FillRect(dc, &value, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  const Row& row = rows_[size_t(index)];
  RECT text = label;
  text.left += kCellPadding;
  SetTextColor(dc, GetSysColor(labelText));
  DrawTextW(dc, row.label.c_str(), int(row.label.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  text = value;
  text.left += kCellPadding;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextW(dc, row.value.c_str(), int(row.value.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  // Grid lines: under the row and between the columns.
  UniquePen pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE)));
  SelectScope keep(dc, pen.get());
  MoveToEx(dc, item.rcItem.left, item.rcItem.bottom - 1, nullptr);
  LineTo(dc, item.rcItem.right, item.rcItem.bottom - 1);
  MoveToEx(dc, value.left - 1, item.rcItem.top, nullptr);
  LineTo(dc, value.left - 1, item.rcItem.bottom);
}

LRESULT PropertyEditor::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlType != ODT_LISTVIEW) break;
      DrawRow(*item);
      return TRUE;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom != list_) break;
      if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
        auto* click = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
        // A click on a value cell edits it at once; on a label it selects the row.
        LVHITTESTINFO hit{};
        hit.pt = click->ptAction;
        SendMessageW(list_, LVM_SUBITEMHITTEST, 0, LPARAM(&hit));
        if (hit.iItem >= 0 && (hit.iSubItem == 1 || header->code == NM_DBLCLK))
          BeginEdit(hit.iItem);
      }
      return 0;
    }
    case WM_SETFOCUS:
      if (list_) SetFocus(list_);
      return 0;
    default:
      break;
  }
  return Window::WndProc(message, wparam, lparam);
}

LRESULT CALLBACK PropertyEditor::ListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR, DWORD_PTR self) noexcept {
  try {
    return reinterpret_cast<PropertyEditor*>(self)->OnListMessage(window, message, wparam, lparam);
  } catch (...) {
    return 0;
  }
}

LRESULT CALLBACK PropertyEditor::EditorProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR, DWORD_PTR self) noexcept {
  try {
    return reinterpret_cast<PropertyEditor*>(self)->OnEditorMessage(window, message, wparam,
                                                                    lparam);
  } catch (...) {
    return 0;
  }
}

LRESULT PropertyEditor::OnListMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code =
          DefSubclassProc(window, message, wparam, lparam) | DLGC_WANTARROWS | DLGC_WANTCHARS;
      // Enter starts an edit instead of pressing the dialog's default button.
      auto* msg = reinterpret_cast<const MSG*>(lparam);
      if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      if (wparam == VK_RETURN || wparam == VK_F2) {
        BeginEdit(SelectedRow());
        return 0;
      }
      break;
    case WM_CHAR:
      if (wparam >= L' ' && iswprint(wchar_t(wparam))) {
        BeginEdit(SelectedRow(), wchar_t(wparam));
        return 0;
      }
      if (wparam == L'\r') return 0;  // no beep for the Enter that started an edit
      break;
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
      // The editor does not follow the rows: a scroll ends the edit.
      EndEdit(true);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT PropertyEditor::OnEditorMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  bool dropped = window == editor_ && SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0) != 0 &&
                 rows_[size_t(editRow_)].kind == Kind::kCombobox;
  switch (message) {
    case WM_GETDLGCODE:
      return DefSubclassProc(window, message, wparam, lparam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (dropped) break;  // the open list closes first
      if (wparam == VK_RETURN) {
        EndEdit(true);
        return 0;
      }
      if (wparam == VK_ESCAPE) {
        EndEdit(false);
        return 0;
      }
      if (wparam == VK_TAB) {
        TabTo(ShiftDown() ? -1 : 1);
        return 0;
      }
      break;
    case WM_CHAR:
      // Already acted on as keys; the edit would beep at them.
      if (wparam == L'\r' || wparam == L'\t' || wparam == 27) return 0;
      break;
    case WM_KILLFOCUS: {
      HWND to = reinterpret_cast<HWND>(wparam);
      // The up-down arrows and a combo box's own parts keep the edit going.
      if (to && (to == spin_ || IsChild(window, to))) break;
      LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      EndEdit(true);
      return result;
    }
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace ui
