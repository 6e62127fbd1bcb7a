// A property list: two columns, label and value, one row per property, drawn by us
// on a report list view. While a value is edited its cell holds a control of the
// row's kind: a drop-down list of choices, a number with up and down arrows, or a
// plain edit. The keys are those of a property grid: Up and Down move between rows;
// Enter, F2 or typing starts editing; Enter commits, Esc cancels, Tab commits and
// goes on to the next row (Shift+Tab the previous one).
//
// The editor knows nothing about what the rows mean: the owner gives labels, texts
// and choices, and hears about every committed value through onChange, where it
// checks the value and sets the cell's text (it may also rebuild rows there).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace ui {

class PropertyEditor final : public Window {
 public:
  enum class Kind : uint8_t { kCombobox = 0, kSpin = 1, kEdit = 2 };
  struct Row {
    Kind kind = Kind::kEdit;
    std::wstring label;
    std::wstring value;                 // what the value cell shows
    std::vector<std::wstring> choices;  // kCombobox
    int64_t minimum = 0;                // kSpin
    int64_t maximum = 0;
  };
  struct Change {
    int row = -1;
    std::wstring text;  // as typed, or the chosen choice's label
    int choice = -1;    // kCombobox: the index of the chosen choice
  };

  PropertyEditor() = default;
  ~PropertyEditor() override;

  // A child of `parent` with control id `id` covering `rect` (parent coordinates).
  bool Create(HWND parent, UINT id, const RECT& rect);
  void Move(const RECT& rect);

  // Replaces every row (an edit in progress is cancelled).
  void SetRows(std::vector<Row> rows);
  // Replaces one row in place; out of range does nothing.
  void SetRow(int index, Row row);
  void SetValueText(int index, const std::wstring& text);
  int RowCount() const { return int(rows_.size()); }
  const Row* RowAt(int index) const;

  // Starts editing a row; a typed character replaces the text (edits) or picks the
  // first choice beginning with it. False for a row that is not there.
  bool BeginEdit(int index, wchar_t typed = 0);
  // Ends the edit in progress: commit reports the value through onChange.
  void EndEdit(bool commit);
  bool Editing() const { return editor_ != nullptr; }
  // The list view (its rows and cells hold the labels and value texts).
  HWND List() const { return list_; }

  std::function<void(const Change& change)> onChange;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self) noexcept;
  static LRESULT CALLBACK EditorProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR self) noexcept;
  LRESULT OnListMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnEditorMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void FillList();
  void DrawRow(const DRAWITEMSTRUCT& item);
  int SelectedRow() const;
  void SelectRow(int index);
  RECT ValueCellRect(int index) const;
  HWND CreateEditorFor(const Row& row, const RECT& cell, wchar_t typed);
  // Commits and moves the edit to the row `step` rows on.
  void TabTo(int step);

  HWND list_ = nullptr;
  HWND editor_ = nullptr;  // the edit or combo box while editing
  HWND spin_ = nullptr;    // the up-down control of a spin edit
  int editRow_ = -1;
  bool ending_ = false;
  std::vector<Row> rows_;
};

}  // namespace ui
