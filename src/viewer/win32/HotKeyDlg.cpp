#include "viewer/win32/HotKeyDlg.h"

#include <commctrl.h>

#include "ResourceIds.h"

namespace viewer {

namespace {

constexpr int kKeyIds[kKeysPerRow] = {IDC_HOTKEY_1, IDC_HOTKEY_2, IDC_HOTKEY_3, IDC_HOTKEY_4};
constexpr UINT_PTR kSubclassId = 1;

int SlotOf(WORD id) {
  for (int i = 0; i < int(kKeysPerRow); ++i)
    if (kKeyIds[i] == id) return i;
  return -1;
}

uint16_t PressedModifiers() {
  uint16_t modifiers = 0;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= kHotKeyShift;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= kHotKeyControl;
  if (GetKeyState(VK_MENU) < 0) modifiers |= kHotKeyAlt;
  return modifiers;
}

}  // namespace

bool HotKeyDlg::Run(HWND owner) { return RunModal(owner, IDD_HOTKEY) == IDOK; }

bool HotKeyDlg::OnInitDialog() {
  std::wstring text = L"Command: " + name_;
  SetItemText(IDC_HOTKEY_COMMAND, text);
  for (size_t i = 0; i < kKeysPerRow; ++i) {
    HWND control = GetDlgItem(hwnd(), kKeyIds[i]);
    // No key or modifier combination is refused or replaced by the control.
    SendMessageW(control, HKM_SETRULES, 0, 0);
    SendMessageW(control, HKM_SETHOTKEY, keys_[i], 0);
    SetWindowSubclass(control, &HotKeyDlg::KeyProc, kSubclassId, DWORD_PTR(this));
  }
  return true;
}

// The keys the control would treat as navigation or as "clear" are taken as keys:
// Backspace, Tab, Enter, Esc and Space plain, Delete marked extended.
LRESULT CALLBACK HotKeyDlg::KeyProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR /*subclassId*/, DWORD_PTR /*data*/) noexcept {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      uint16_t flags = 0;
      switch (wparam) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_SPACE:
          break;
        case VK_DELETE:
          flags = kHotKeyExtended;
          break;
        default:
          return DefSubclassProc(control, message, wparam, lparam);
      }
      const uint16_t value = uint16_t(((PressedModifiers() | flags) << 8) | (wparam & 0xFF));
      SendMessageW(control, HKM_SETHOTKEY, value, 0);
      SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), EN_CHANGE),
                   LPARAM(control));
      return 0;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, &HotKeyDlg::KeyProc, kSubclassId);
      break;
  }
  return DefSubclassProc(control, message, wparam, lparam);
}

bool HotKeyDlg::OnCommand(WORD id, WORD code) {
  const int slot = SlotOf(id);
  if (slot < 0 || code != EN_CHANGE) return false;
  std::array<uint16_t, kKeysPerRow> shown{};
  for (size_t i = 0; i < kKeysPerRow; ++i)
    shown[i] = uint16_t(SendDlgItemMessageW(hwnd(), kKeyIds[i], HKM_GETHOTKEY, 0, 0));
  const std::array<uint16_t, kKeysPerRow> before = shown;
  ClearRepeatsOf(shown, size_t(slot));
  for (size_t i = 0; i < kKeysPerRow; ++i)
    if (shown[i] != before[i]) SendDlgItemMessageW(hwnd(), kKeyIds[i], HKM_SETHOTKEY, 0, 0);
  return true;
}

bool HotKeyDlg::OnOk() {
  for (size_t i = 0; i < kKeysPerRow; ++i) {
    const LRESULT value = SendDlgItemMessageW(hwnd(), kKeyIds[i], HKM_GETHOTKEY, 0, 0);
    // A modifier alone is no key stroke.
    keys_[i] = (value & 0xFF) ? uint16_t(value) : 0;
  }
  return true;
}

}  // namespace viewer
