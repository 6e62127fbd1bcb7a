// The About box, from the [About] values, and the welcome dialog of the first run.
#pragma once

#include "host/Settings.h"
#include "ui/Dialog.h"

namespace viewer {

class AboutDlg final : public ui::Dialog {
 public:
  explicit AboutDlg(const host::AboutInfo& about) : about_(about) {}
  void Run(HWND owner);

 private:
  bool OnInitDialog() override;
  const host::AboutInfo& about_;
};

// "Welcome to Orbisk !": true on OK with "Open image files with Orbisk" ticked.
class WelcomeDlg final : public ui::Dialog {
 public:
  bool Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool associate_ = false;
};

}  // namespace viewer
