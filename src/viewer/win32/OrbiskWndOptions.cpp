// "Options": the dialog, and on OK its values taken into the window.
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "host/ShortcutRecords.h"
#include "viewer/ShortcutRows.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OptionsDlg.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {

void COrbiskWnd::OptionsDialog() {
  if (loadRunning_ || !display_) return;
  const bool playing = display_->StopAnimation();
  OptionsDlg dialog(settings_, host::BoundEntries(accelTable_));
  const bool accepted = dialog.Run(TopLevelWindow());
  if (accepted) ApplyOptions(dialog.Chosen(), dialog.Rows());
  if (playing) display_->StartAnimation();
}

void COrbiskWnd::ApplyOptions(const host::Settings& chosen,
                              const std::vector<HotKeyListItem>& rows) {
  const bool recurseChanged = chosen.recurseSubDir != settings_.recurseSubDir;
  const bool sortChanged = chosen.sortFileType != settings_.sortFileType;
  const bool scrollBarsChanged = chosen.showScrollBars != settings_.showScrollBars;
  // The view's own state (zoom, mode) stays as the window has it.
  host::Settings next = chosen;
  next.zoomCur = settings_.zoomCur;
  next.view = settings_.view;
  settings_ = next;

  display_->SetBackground(ShownBackground(), 0, -1);
  display_->SetStretchMode(settings_.renderingFast ? glib::kStretchColorOnColor
                                                   : glib::kStretchHalftone);
  if (scrollBarsChanged) {
    display_->SetPanning(true, settings_.showScrollBars);
    display_->RecalcLayout();
  }
  InvalidateRect(display_->hwnd(), nullptr, TRUE);

  std::optional<std::string> shown;
  bool haveList = false;
  {
    std::lock_guard lock(listsMutex_);
    haveList = !folderOfList_.empty();
    shown = folderList_.Current();
    // Re-sorting keeps the shown file current; "Unsorted" is the order of the folder
    // walk, which only walking again gives back.
    if (haveList && sortChanged && !recurseChanged && settings_.sortFileType != 0 && shown)
      folderList_.Sort(PathList::Order(std::clamp(settings_.sortFileType, 0, 3)), *shown);
    if (haveList && (recurseChanged || (sortChanged && settings_.sortFileType == 0)))
      folderOfList_.clear();
  }
  if (haveList && shown && (recurseChanged || (sortChanged && settings_.sortFileType == 0)))
    RebuildFolderList(*shown);

  // The table the rows stand for, plus a cleared entry for each listed command left
  // without keys, so that written back it stays without them.
  std::vector<host::AccelEntry> bound = host::BoundEntries(accelTable_);
  if (std::optional<std::vector<host::AccelEntry>> table = TableFromRows(rows, bound)) {
    for (const HotKeyListItem& row : rows) {
      if (row.keys[0] == 0) table->push_back({host::kFVirtKey, 0, row.cmd});
    }
    InstallAccelerators(*table);
  }
  RefreshToolBar();
  RefreshStatusTexts();
  WriteSettings();
}

}  // namespace viewer
