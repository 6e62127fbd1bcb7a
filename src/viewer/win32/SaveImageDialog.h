// The save dialog: the system's common save dialog with the writable formats as its
// file types and, beside the file list, the option list of the chosen format
// (SaveImageParametersControl), a progress bar and a step text. It remembers its
// placement, folder, format and options in the registry (SaveDialogKey(section)).
//
// On confirmation it either hands back the record of the chosen format (TakeRecord)
// or, with saveNow, writes the Film itself and keeps the result (SaveResult).
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filters/FilterManager.h"
#include "formats/ClbData.h"
#include "formats/ImageSave.h"
#include "formats/Retcode.h"
#include "viewer/win32/SaveImageParametersControl.h"

namespace glib {
class Film;
}

namespace viewer {

class SaveImageDialog {
 public:
  // One writable format of the file-type list: entry n is filter index n + 1.
  struct ListItem {
    uint32_t format;
    std::string extension;   // "." and the format's first extension
    std::string filterText;  // the format's filter text
  };
  struct Options {
    std::string section;      // "Settings" when empty
    std::wstring initialDir;  // empty: the folder remembered last
    std::wstring defaultExt;
    std::wstring fileName;
    DWORD flags = 0;  // added to the dialog's own
    // Used as it stands unless empty or beginning with "+"; "+" and entries add
    // those entries after the image formats. Bars separate the parts.
    std::string filter;
    glib::FilterManager::Predicate predicate;
    glib::Film* film = nullptr;  // null: an empty Film of the dialog's own
    bool saveNow = false;
  };

  explicit SaveImageDialog(Options options);
  SaveImageDialog(std::string section, std::wstring initialDir, glib::Film* film, bool saveNow);
  ~SaveImageDialog();
  SaveImageDialog(const SaveImageDialog&) = delete;
  SaveImageDialog& operator=(const SaveImageDialog&) = delete;

  // Shows the dialog; true when the user chose a file. With saveNow the file has been
  // written by then, or SaveResult says why not. "Where are filters ?" and false
  // when no plug-in writes any format.
  bool Run(HWND parent);
  const std::wstring& Path() const { return path_; }
  // The chosen format's record (null for a format without options record, or after
  // saveNow, which uses its own).
  glib::RecordPtr<glib::ImageSave> TakeRecord() { return std::move(record_); }
  glib::ERetcode SaveResult() const { return saveResult_; }
  // The chosen format; kFormatNone when the chosen file type is not a format.
  uint32_t Format() const { return format_; }
  const std::vector<ListItem>& Items() const { return items_; }

 private:
  static UINT_PTR CALLBACK HookProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  static bool ORBISK_CDECL ProgressEntry(ClbData* data) noexcept;
  UINT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  bool BuildFilter(std::wstring& filter);
  void BuildItems();
  void OnInitDone();
  void OnTypeChange(DWORD filterIndex);
  bool OnFileOk();
  void Layout();
  void SaveSettings();
  void RestorePlacement();
  glib::ERetcode SaveFilmNow();
  bool OnProgress(ClbData* data);
  int32_t PageCount() const;

  Options options_;
  std::unique_ptr<glib::Film> ownFilm_;
  glib::Film* film_ = nullptr;
  std::vector<ListItem> items_;
  uint32_t format_ = 0x0C4A5047;  // JPEG
  std::wstring path_;
  glib::RecordPtr<glib::ImageSave> record_;
  glib::ERetcode saveResult_ = glib::RCOK;
  SaveImageParametersControl parameters_;
  OPENFILENAMEW* ofn_ = nullptr;
  HWND page_ = nullptr;  // our part inside the dialog
  ProgressCallback savedCallback_ = nullptr;
  uintptr_t savedContext_ = 0;
};

}  // namespace viewer
