// Common controls created from small argument structs. A control's window belongs to
// its parent and goes with it; the objects here own what the window does not (image
// lists, text buffers). Events reach the owner through callback members.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <span>
#include <string>

#include "ui/Handles.h"

namespace ui {

// Loads the common control classes the program uses; cheap after the first call.
void InitCommonControlsOnce();

struct ToolButtonArgs {
  UINT command = 0;
  int image = 0;
  bool separatorBefore = false;
};

struct ToolBarArgs {
  HWND parent = nullptr;
  UINT id = 0;
  HINSTANCE module = nullptr;
  UINT bitmapId = 0;  // a strip of square pictures, one per button
  int imageSize = 16;
  COLORREF maskColour = RGB(255, 0, 255);
  std::span<const ToolButtonArgs> buttons;
};

class ToolBar {
 public:
  ToolBar() = default;
  ToolBar(const ToolBar&) = delete;
  ToolBar& operator=(const ToolBar&) = delete;

  bool Create(const ToolBarArgs& args);
  HWND hwnd() const { return window_; }
  void SetEnabled(UINT command, bool enabled);
  void SetChecked(UINT command, bool checked);
  bool IsEnabled(UINT command) const;
  // Height of the bar as laid out; 0 without a bar.
  int Height() const;
  void Show(bool show);
  // Shown within its parent, whether or not the parent is visible yet.
  bool Visible() const { return window_ && (GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE); }
  // Moves the bar to the top of its parent at the given width.
  void Place(int width);

  // The owner forwards its WM_NOTIFY here; true when the notification was the bar's.
  bool HandleNotify(const NMHDR* header, LRESULT& result);
  // Asked for a button's tooltip.
  std::function<std::wstring(UINT command)> onToolTip;

 private:
  HWND window_ = nullptr;
  UniqueImageList images_;
  std::wstring tip_;
};

struct StatusBarArgs {
  HWND parent = nullptr;
  UINT id = 0;
  std::span<const int> paneWidths;  // pixels; the last pane takes the rest
};

class StatusBar {
 public:
  bool Create(const StatusBarArgs& args);
  HWND hwnd() const { return window_; }
  void SetText(int pane, const std::wstring& text);
  std::wstring Text(int pane) const;
  int Height() const;
  void Show(bool show);
  // Shown within its parent, whether or not the parent is visible yet.
  bool Visible() const { return window_ && (GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE); }
  // Moves the bar to the bottom of its parent.
  void Place(int width, int parentHeight);

 private:
  HWND window_ = nullptr;
};

struct ListColumnArgs {
  const wchar_t* title = L"";
  int width = 80;
};

struct ListViewArgs {
  HWND parent = nullptr;
  UINT id = 0;
  std::span<const ListColumnArgs> columns;
  DWORD extendedStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP;
};

// The text of a cell of any list-view window; empty when there is none.
std::wstring ListViewCellText(HWND list, int row, int column);

class ListView {
 public:
  bool Create(const ListViewArgs& args);
  HWND hwnd() const { return window_; }
  // Removes every row and group.
  void Clear();
  int RowCount() const;
  // Rows are shown under group headers.
  void AddGroup(int id, const std::wstring& header);
  void AddRow(int group, const std::wstring& name, const std::wstring& value);
  std::wstring CellText(int row, int column) const;
  void Show(bool show);

 private:
  HWND window_ = nullptr;
};

}  // namespace ui
