// "Press a key(s) to be used as the HOT key": the four key strokes of one command
// in hot-key edit controls that also take Backspace, Tab, Enter, Esc, Space and
// Delete as keys.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/Dialog.h"
#include "viewer/ShortcutRows.h"

namespace viewer {

class HotKeyDlg final : public ui::Dialog {
 public:
  HotKeyDlg(std::wstring commandName, const std::array<uint16_t, kKeysPerRow>& keys)
      : name_(std::move(commandName)), keys_(keys) {}
  // True on OK; Keys() then holds the four values (0 = empty).
  bool Run(HWND owner);
  const std::array<uint16_t, kKeysPerRow>& Keys() const { return keys_; }

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  static LRESULT CALLBACK KeyProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                  UINT_PTR subclassId, DWORD_PTR data) noexcept;

  std::wstring name_;
  std::array<uint16_t, kKeysPerRow> keys_;
};

}  // namespace viewer
