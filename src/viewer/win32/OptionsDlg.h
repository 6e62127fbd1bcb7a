// "Options": a tree of pages on the left, the page chosen on the right. The pages
// edit a copy of the settings and of the shortcut rows; nothing reaches the viewer
// unless the dialog ends with OK.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "host/Accelerator.h"
#include "host/Settings.h"
#include "ui/Dialog.h"
#include "viewer/ShortcutRows.h"

namespace viewer {

// One page: a child dialog. The "View" page's colour button and the "Shortcut"
// page's list are handled here; the other controls are read by the Options dialog.
class OptionsPage final : public ui::Dialog {
 public:
  OptionsPage(UINT templateId, int32_t* backgroundColor, std::vector<HotKeyListItem>* rows)
      : templateId_(templateId), background_(backgroundColor), rows_(rows) {}
  UINT TemplateId() const { return templateId_; }
  // Fills the shortcut list from the rows, keeping its scroll position.
  void ShowRows();

 private:
  bool OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  void ChooseBackground();
  void EditSelectedRow();

  UINT templateId_;
  int32_t* background_;
  std::vector<HotKeyListItem>* rows_;
};

class OptionsDlg final : public ui::Dialog {
 public:
  OptionsDlg(const host::Settings& settings, const std::vector<host::AccelEntry>& table);
  ~OptionsDlg() override;
  // True on OK; Chosen() and Rows() then hold what the pages say.
  bool Run(HWND owner);
  const host::Settings& Chosen() const { return settings_; }
  const std::vector<HotKeyListItem>& Rows() const { return rows_; }

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  void ShowPage(size_t index);
  HWND PageWindow(UINT templateId) const;
  // Refuses a field's text: says why, brings its page to the front and focuses it.
  void Refuse(UINT templateId, int id, const wchar_t* message);

  host::Settings settings_;
  std::vector<HotKeyListItem> rows_;
  std::vector<std::unique_ptr<OptionsPage>> pages_;
  size_t shown_ = 0;
};

}  // namespace viewer
