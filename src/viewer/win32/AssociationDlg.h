// "Associate File Types": the extensions of the format plug-ins, ticked where they
// open with Orbisk.exe; OK registers the ticked ones for the current user and gives
// the others back to their previous programs. Also the two calls without a dialog:
// every type at once (the welcome dialog) and every type given back ("-last_run").
#pragma once

#include <vector>

#include "host/FileTypes.h"
#include "ui/Dialog.h"

namespace viewer {

class AssociationDlg final : public ui::Dialog {
 public:
  // True when the user pressed OK (and the registry took every change).
  bool Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  void TickAll(bool tick);

  std::vector<host::FileType> types_;
  bool failed_ = false;
};

// Every file type of the plug-ins opens with Orbisk.exe; false when one could not be
// registered.
// The extensions the format plug-ins read, sorted, each once.
std::vector<host::FileType> ReadableFileTypes();
bool AssociateAllFileTypes();
// Every file type of the plug-ins that opens with Orbisk.exe goes back to the program
// it had before.
void RestoreAllFileTypes();
// Says that some types could not be registered.
void ShowAssociationFailure(HWND owner);

}  // namespace viewer
