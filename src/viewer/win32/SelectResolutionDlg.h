// "Select Image Resolution": one of the sizes a multi-resolution file keeps.
#pragma once

#include <optional>
#include <vector>

#include "ui/Dialog.h"
#include "viewer/Geometry.h"

namespace viewer {

class SelectResolutionDlg final : public ui::Dialog {
 public:
  SelectResolutionDlg(std::vector<Size> sizes, size_t selected = 0)
      : sizes_(std::move(sizes)), selected_(selected) {}
  // The index chosen, or nothing on Cancel.
  std::optional<size_t> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;

  std::vector<Size> sizes_;
  size_t selected_;
};

}  // namespace viewer
