// "Save" and "Save Image as...": the document written back in the loaded file's own
// format with default parameters, or wherever and however the save dialog says,
// with the loaded file's EXIF and IPTC blocks carried over when the settings ask.
#include <windows.h>

#include <algorithm>

#include "formats/FileInfoRecord.h"
#include "host/SaveOptions.h"
#include "platform/Text.h"
#include "viewer/win32/CloseUpdatedImageDlg.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"
#include "viewer/win32/SaveImageDialog.h"

namespace viewer {
namespace {

constexpr char kCannotSave[] =
    "Sorry, this type of image can't be saved.\nTry saving it to another format with 'Save as' "
    "menu command.";
// EXIF and IPTC blocks larger than this are not carried into a saved file.
constexpr uint32_t kMaxMetadataBlock = 16u << 20;

std::vector<uint8_t> CopyBlock(const uint8_t* block, uint32_t size) {
  if (!block || size == 0 || size > kMaxMetadataBlock) return {};
  return {block, block + size};
}

void ShowCannotSave() {
  MessageBoxA(nullptr, kCannotSave, "Save warning", MB_ICONWARNING | MB_TASKMODAL);
}

}  // namespace

void COrbiskWnd::KeepLoadedFile(const std::string& narrow, const std::u16string& wide,
                                uint32_t format, const glib::FileInfoRecord* info, bool wholeFile) {
  LoadedFile file;
  file.path = wide.empty() ? platform::Utf16FromNarrow(narrow) : wide;
  file.format = format;
  file.wholeFile = wholeFile;
  if (info) {
    file.exif = CopyBlock(info->exif, info->exifSize);
    file.iptc = CopyBlock(info->iptc, info->iptcSize);
  }
  std::lock_guard lock(listsMutex_);
  loadedFile_ = std::move(file);
}

void COrbiskWnd::ForgetLoadedFile() {
  std::lock_guard lock(listsMutex_);
  loadedFile_ = LoadedFile{};
}

void COrbiskWnd::SaveCommand() {
  if (loadRunning_ || !modified_ || !display_) return;
  std::u16string path;
  bool wholeFile = false;
  {
    std::lock_guard lock(listsMutex_);
    path = loadedFile_.path;
    wholeFile = loadedFile_.wholeFile;
  }
  // A document of a part of its file (one page, a reduced size) must not replace it.
  if (path.empty() || !wholeFile) return ShowCannotSave();
  uint32_t format = glib::kFormatNone;
  {
    std::lock_guard lock(listsMutex_);
    format = loadedFile_.format;
  }
  glib::RecordPtr<glib::ImageSave> record =
      host::save::DefaultSaveRecord(format, display_->GetLayerPixelType(glib::kCurrentSlide, 0));
  if (!record) return ShowCannotSave();
  if (!SaveTo(path, std::move(record))) return;
  RefreshToolBar();
}

void COrbiskWnd::SaveAsCommand() {
  if (loadRunning_ || !display_) return;
  bool playing = display_->StopAnimation();
  SaveImageDialog dialog("SaveImage", L"", display_.get(), false);
  bool chosen = dialog.Run(TopLevelWindow());
  if (playing) display_->StartAnimation();
  if (!chosen) return;
  glib::RecordPtr<glib::ImageSave> record = dialog.TakeRecord();
  // The dialog's file types may list formats no record is made for here.
  if (!record) return ShowCannotSave();
  std::u16string path(dialog.Path().begin(), dialog.Path().end());
  if (!SaveTo(path, std::move(record))) return;
  RefreshToolBar();
  userInitiated_ = true;
  if (!LoadFileW(path, true, nullptr, true)) userInitiated_ = false;
}

void COrbiskWnd::ShowSaveError() {
  MessageBoxA(hwnd(), "Error on save image!", "Orbisk", MB_ICONERROR | MB_TOPMOST);
}

bool COrbiskWnd::ConfirmDiscardChanges() {
  if (!settings_.askCloseUpdatedImage || !modified_ || !display_) return true;
  std::u16string path;
  {
    std::lock_guard lock(listsMutex_);
    path = loadedFile_.path;
  }
  bool playing = display_->StopAnimation();
  CloseUpdatedImageDlg question(std::wstring(path.begin(), path.end()));
  CloseUpdatedImageDlg::Choice choice = question.Run(TopLevelWindow());
  settings_.askCloseUpdatedImage = !question.AlwaysIgnore();
  bool drop = false;
  switch (choice) {
    case CloseUpdatedImageDlg::Choice::kSkip:
      modified_ = false;
      drop = true;
      break;
    case CloseUpdatedImageDlg::Choice::kSave:
      // A refused or failed save has told the user why; the picture stays.
      SaveCommand();
      drop = !modified_;
      break;
    case CloseUpdatedImageDlg::Choice::kSaveAs: {
      SaveImageDialog dialog("SaveImage", L"", display_.get(), true);
      if (!dialog.Run(TopLevelWindow())) break;
      if (dialog.SaveResult() != glib::RCOK) {
        ShowSaveError();
        break;
      }
      modified_ = false;
      drop = true;
      break;
    }
    case CloseUpdatedImageDlg::Choice::kCancel:
      break;
  }
  if (playing && !drop) display_->StartAnimation();
  RefreshToolBar();
  return drop;
}

bool COrbiskWnd::SaveTo(const std::u16string& path, glib::RecordPtr<glib::ImageSave> record) {
  if (loadRunning_ || !display_ || display_->GetSlideCount() == 0 || path.empty()) return false;
  std::vector<uint8_t> exif, iptc;
  uint32_t format = glib::kFormatNone;
  {
    std::lock_guard lock(listsMutex_);
    format = loadedFile_.format;
    if (record && glib::CarriesMetadata(*record)) {
      if (settings_.saveExif) exif = loadedFile_.exif;
      if (settings_.saveIptc) iptc = loadedFile_.iptc;
    }
  }
  if (!record)
    record =
        host::save::DefaultSaveRecord(format, display_->GetLayerPixelType(glib::kCurrentSlide, 0));
  if (!record) return false;
  // JPEG XL takes the page's own EXIF; the setting decides whether it goes.
  if (record->recordClass == &glib::JXLSave::kClass)
    static_cast<glib::JXLSave&>(*record).keepExif = settings_.saveExif ? 1 : 0;
  if (glib::CarriesMetadata(*record)) {
    auto& metadata = static_cast<glib::MetadataSave&>(*record);
    if (!exif.empty()) {
      metadata.exif = exif.data();
      metadata.exifSize = uint32_t(exif.size());
    }
    if (!iptc.empty()) {
      metadata.iptc = iptc.data();
      metadata.iptcSize = uint32_t(iptc.size());
    }
  }
  glib::ERetcode rc = glib::IERR;
  try {
    rc = display_->SaveW(path.c_str(), record.get());
  } catch (...) {
    rc = glib::IERR;
  }
  if (rc != glib::RCOK) {
    ShowSaveError();
    return false;
  }
  modified_ = false;
  return true;
}

}  // namespace viewer
