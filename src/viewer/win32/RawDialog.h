// "Select RAW file options" (`CRAWDialog`): the user describes how a file of
// headerless pixels is laid out, with a live preview of the result. The file is
// mapped read-only for the dialog's lifetime, so the preview decodes from memory.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "formats/ClbData.h"
#include "ui/Dialog.h"
#include "viewer/RawImport.h"

namespace viewer {

class CLiteCtrl;

class CRAWDialog final : public ui::Dialog {
 public:
  explicit CRAWDialog(std::wstring path);
  ~CRAWDialog() override;

  // The settings on OK; nothing on Cancel or when the file cannot be mapped (the
  // user has been told).
  std::optional<RawSettings> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;

  bool MapFile();
  void UnmapFile();
  RawSettings Collect() const;
  void ChannelCountChanged();
  void NeedRefresh();
  void UpdateRefreshButton();
  void ShowPreview(bool show);
  void RenderPreview();
  static bool ORBISK_CDECL Progress(ClbData* data);

  std::wstring path_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  const void* view_ = nullptr;
  uint64_t size_ = 0;
  ChannelOrder order_{0, 1, 2, 3};
  bool needsRefresh_ = true;
  bool filling_ = false;  // controls are being set by the dialog itself
  std::unique_ptr<CLiteCtrl> preview_;
  RawSettings result_;
};

}  // namespace viewer
