// "Go To Page": the page to show, from 1 to the count of pages.
#pragma once

#include <optional>

#include "ui/Dialog.h"

namespace viewer {

class GoToPageDlg final : public ui::Dialog {
 public:
  explicit GoToPageDlg(int32_t pageCount) : count_(pageCount) {}
  // The 1-based page chosen, or nothing on Cancel.
  std::optional<int32_t> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;

  int32_t count_;
  std::optional<int32_t> chosen_;
};

}  // namespace viewer
