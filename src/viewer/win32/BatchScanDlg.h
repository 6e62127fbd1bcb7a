// "Batch scanning": the output folder, file name pattern, start index, the multipage
// and skip-existing choices, and the output format with its options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Dialog.h"
#include "viewer/ScanBatch.h"
#include "viewer/win32/SaveImageParametersControl.h"

namespace viewer {

class BatchScanDlg final : public ui::Dialog {
 public:
  explicit BatchScanDlg(ScanBatch& batch) : batch_(batch) {}
  // True when the dialog ended with "Start scan"; the batch record then holds what
  // was chosen.
  bool Run(HWND owner);

 private:
  struct Format {
    uint32_t id;
    std::wstring description;
  };

  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  uint32_t ChosenFormat() const;
  void ShowOptions();
  void BrowseFolder();

  ScanBatch& batch_;
  std::vector<Format> formats_;
  SaveImageParametersControl parameters_;
};

}  // namespace viewer
