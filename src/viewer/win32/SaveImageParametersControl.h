// The save dialog's option list: the property editor showing the options of one
// output format (host::save's table), keeping every format's values, reading and
// writing them in the registry, and making the save record of the chosen format.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/ImageSave.h"
#include "host/SaveOptions.h"
#include "ui/PropertyEditor.h"

namespace viewer {

// "software\Quintel\Dorvane\<the host program's name without extension>\<section>",
// the key under HKEY_CURRENT_USER where the save dialog keeps its values.
std::string SaveDialogKey(const std::string& section);

class SaveImageParametersControl {
 public:
  bool Create(HWND parent, UINT id, const RECT& rect) { return editor_.Create(parent, id, rect); }
  void Move(const RECT& rect) { editor_.Move(rect); }
  HWND hwnd() const { return editor_.hwnd(); }

  // The rows of `format` for a document of `pageCount` pages; no rows for a format
  // without options (or kFormatNone).
  void BuildItems(uint32_t format, int32_t pageCount);
  uint32_t Format() const { return format_; }

  // Every option from / to the dialog's key of `section` (SaveDialogKey).
  void LoadOptions(const std::string& section);
  bool SaveOptions(const std::string& section) const;

  // The record of the current format filled from its options; null for a format
  // without one.
  glib::RecordPtr<glib::ImageSave> CreateImageSave(int32_t currentPage) const;

  host::save::Values& Values() { return values_; }
  const host::save::Values& Values() const { return values_; }
  // Ends an edit in progress, keeping what was typed.
  void CommitEdit() { editor_.EndEdit(true); }

 private:
  void OnChange(const ui::PropertyEditor::Change& change);
  ui::PropertyEditor::Row EditorRow(const host::save::Row& row) const;

  ui::PropertyEditor editor_;
  host::save::Values values_;
  std::vector<host::save::Row> rows_;
  uint32_t format_ = 0xFFFFFFFF;
  int32_t pageCount_ = 0;
};

}  // namespace viewer
