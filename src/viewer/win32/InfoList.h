// InfoList: the information panel's list. An owner-drawn list box with variable row
// heights inside a small container window: the groups of the information model as
// collapsible headers, their items in two columns with a divider the user can drag,
// and a context menu that copies a row or everything, or saves the list to a file.
//
// Each row carries (group index << 16) | item index as its data, 65535 as the item
// index marking a header; its text is what the row shows ("name\tvalue" or the
// title), so the list reads the same to accessibility tools and tests.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "info/InfoExport.h"
#include "info/PictureInfo.h"
#include "runtime/win32/Font.h"
#include "ui/Window.h"

namespace viewer {

class InfoList : public ui::Window {
 public:
  // Context menu commands.
  static constexpr UINT kCopyItem = 2000;
  static constexpr UINT kCopyAll = 2001;
  static constexpr UINT kSaveToFile = 2002;

  // The eight colours, COLORREF.
  struct Colors {
    COLORREF header = 0xDCDCDC;  // group headers and the divider
    COLORREF margin = 0xF0F0F0;
    COLORREF nameEven = 0xF8F8F8, nameOdd = 0xF3F3F3;
    COLORREF valueEven = 0xFFFFFF, valueOdd = 0xFAFAFA;
    COLORREF text = 0x000000;
    COLORREF background = 0xF0F0F0;  // outside the rows
  };

  // One byte per group icon, non-zero when collapsed; it outlives the list (the
  // viewer keeps it in its settings).
  using CollapsedFlags = std::array<uint8_t, 256>;

  InfoList();
  ~InfoList() override;

  bool Create(HWND parent, UINT id, CollapsedFlags* collapsed);
  void Show(bool show);
  void SetColors(const Colors& colors);

  // Rebuilds the rows from the model, with redrawing suspended.
  void Refresh(const glib::FlmPictureInfo& model);

  const std::vector<info::InfoCatalog>& Catalogs() const { return catalogs_.Catalogs(); }
  HWND ListBox() const { return list_; }
  int Divider() const { return divider_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self) noexcept;
  LRESULT OnListMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void Fill();
  int InsertRow(int at, uint32_t group, uint32_t item);
  void Toggle(uint32_t group);
  void SizeColumns();
  void Draw(const DRAWITEMSTRUCT& draw);
  void ShowMenu(LPARAM where);
  void CopyText(const std::string& utf8);
  void SaveToFile();
  bool NearDivider(int x) const;

  HWND list_ = nullptr;
  CollapsedFlags* collapsed_ = nullptr;
  info::InfoCatalogs catalogs_;
  std::unique_ptr<glib::Font> groupFont_;
  std::unique_ptr<glib::Font> itemFont_;
  Colors colors_;
  HBRUSH backgroundBrush_ = nullptr;
  int divider_ = 100;
  int percent_ = -1;  // divider as a percentage of the width; -1 automatic
  int menuRow_ = -1;
  bool dragging_ = false;
};

// The viewer's information model: every build ends in the list.
class InfoPanelModel : public glib::FlmPictureInfo {
 public:
  explicit InfoPanelModel(InfoList& list) : list_(list) {}
  // Shows rows added after a build.
  void Publish() { Refresh(); }
  // No rows, in the list too.
  void Empty() {
    Clear();
    Refresh();
  }

 protected:
  void Refresh() override { list_.Refresh(*this); }

 private:
  InfoList& list_;
};

}  // namespace viewer
