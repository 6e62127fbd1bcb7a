// "Warning": asked before a changed picture is dropped. The user saves it in place,
// saves it elsewhere, drops the changes or keeps the picture; a tick stops the
// question for good.
#pragma once

#include <string>

#include "ui/Dialog.h"

namespace viewer {

class CloseUpdatedImageDlg final : public ui::Dialog {
 public:
  enum class Choice { kSave, kSaveAs, kSkip, kCancel };

  // `path` empty: a picture without a file ("New Image"), which only "Save as..." saves.
  explicit CloseUpdatedImageDlg(std::wstring path) : path_(std::move(path)) {}
  Choice Run(HWND owner);
  // "Always ignore changes", as it stood when the dialog ended.
  bool AlwaysIgnore() const { return alwaysIgnore_; }

 private:
  bool OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;

  std::wstring path_;
  bool alwaysIgnore_ = false;
};

}  // namespace viewer
