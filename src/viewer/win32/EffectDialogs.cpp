#include "viewer/win32/EffectDialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <utility>

#include "ui/Handles.h"
#include "ui/Text.h"

namespace viewer {
namespace {

// "%g" in every locale: the edits and the kernel files agree on the decimal point.
std::wstring NumberText(double value) {
  char buffer[32];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return error == std::errc() ? std::wstring(buffer, end) : std::wstring();
}

// The filters of the common file dialogs: "|" between the parts, "\0" for Windows.
std::wstring FileFilter(std::string_view bars) {
  std::wstring filter = ui::WideFromUtf8(bars);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  return filter;
}

}  // namespace

// ---- the base ----

bool ColorEffectDataExchangeEx::CreateIn(HWND browser, bool sixteenBit) {
  browser_ = browser;
  sixteenBit_ = sixteenBit;
  if (!Create(browser, TemplateId())) return false;
  CollectParams();
  return true;
}

EffectCall ColorEffectDataExchangeEx::Call() const {
  EffectCall call;
  call.effect = EffectId;
  call.params = params;
  return call;
}

void ColorEffectDataExchangeEx::Take(const EffectCall& call, bool tellBrowser) {
  EffectId = call.effect;
  params = call.params;
  if (tellBrowser && browser_) PostMessageW(browser_, kParamsChangedMessage, 0, 0);
}

bool ColorEffectDataExchangeEx::OnInitDialog() {
  updating_ = true;
  InitControls();
  updating_ = false;
  return false;  // the browser keeps the focus
}

INT_PTR ColorEffectDataExchangeEx::OnMessage(UINT message, WPARAM, LPARAM lparam, bool& handled) {
  handled = false;
  if (message == WM_HSCROLL && lparam) {
    HWND slider = reinterpret_cast<HWND>(lparam);
    if (!updating_) OnSlider(GetDlgCtrlID(slider), int(SendMessageW(slider, TBM_GETPOS, 0, 0)));
    handled = true;
    return TRUE;
  }
  if (message == WM_NOTIFY && lparam) {
    auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header->code == UDN_DELTAPOS) {
      auto* spin = reinterpret_cast<const NMUPDOWN*>(lparam);
      handled = OnSpin(int(header->idFrom), spin->iDelta);
      // The spin keeps no position of its own: the dialog's value is the one.
      SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
  }
  return FALSE;
}

void ColorEffectDataExchangeEx::InitSlider(const SliderRange& range) const {
  HWND slider = GetDlgItem(hwnd(), range.sliderId);
  SendMessageW(slider, TBM_SETRANGEMIN, FALSE, range.min);
  SendMessageW(slider, TBM_SETRANGEMAX, TRUE, range.max);
  SendMessageW(slider, TBM_SETPAGESIZE, 0, std::max(1, (range.max - range.min) / 20));
  // Some trackbars place the thumb only when the position changes: the default that
  // follows is then a change, and the thumb is placed on the new range.
  SendMessageW(slider, TBM_SETPOS, FALSE, range.max);
  SendDlgItemMessageW(hwnd(), range.editId, EM_SETLIMITTEXT, 12, 0);
}

void ColorEffectDataExchangeEx::ShowSlider(const SliderRange& range, int32_t value) {
  SendDlgItemMessageW(hwnd(), range.sliderId, TBM_SETPOS, TRUE, value);
  ShowEdit(range.editId, std::to_wstring(value));
}

void ColorEffectDataExchangeEx::ShowEdit(int id, const std::wstring& text) {
  bool was = std::exchange(updating_, true);
  if (ItemText(id) != text) SetItemText(id, text);
  updating_ = was;
}

std::optional<int32_t> ColorEffectDataExchangeEx::TypedSliderValue(const SliderRange& range) const {
  return SliderValueFromText(range, ui::Utf8FromWide(ItemText(range.editId)));
}

void ColorEffectDataExchangeEx::EnableSlider(const SliderRange& range, bool enabled) const {
  EnableWindow(GetDlgItem(hwnd(), range.sliderId), enabled);
  EnableWindow(GetDlgItem(hwnd(), range.editId), enabled);
}

void ColorEffectDataExchangeEx::ShowChoice(std::span<const EffectChoice> choices,
                                           int32_t index) const {
  for (size_t i = 0; i < choices.size(); ++i)
    CheckDlgButton(hwnd(), choices[i].id, int32_t(i) == index ? BST_CHECKED : BST_UNCHECKED);
}

int32_t ColorEffectDataExchangeEx::ChoiceIndex(std::span<const EffectChoice> choices, WORD id) {
  for (size_t i = 0; i < choices.size(); ++i)
    if (choices[i].id == id) return int32_t(i);
  return -1;
}

// ---- "Brightness", "Contrast", "Gamma correction" ----

void SimpleSliderDlg::InitControls() {
  using namespace simple_slider_ids;
  InitSlider(range_);
  SetItemText(kLeftLabel, ui::WideFromUtf8(SliderEndText(which_, range_.min)));
  SetItemText(kRightLabel, ui::WideFromUtf8(SliderEndText(which_, range_.max)));
  SendDlgItemMessageW(hwnd(), kSpin, UDM_SETRANGE32, range_.min, range_.max);
}

void SimpleSliderDlg::ResetSettings() {
  SetValue(range_.defaultValue);
  SliderToParam();
}

void SimpleSliderDlg::SetValue(int32_t value) {
  value_ = std::clamp(value, range_.min, range_.max);
  bool was = std::exchange(updating_, true);
  SendDlgItemMessageW(hwnd(), range_.sliderId, TBM_SETPOS, TRUE, value_);
  ShowEdit(range_.editId, ui::WideFromUtf8(SliderEditText(which_, value_)));
  updating_ = was;
}

void SimpleSliderDlg::SliderToParam(bool tellBrowser) {
  Take(SliderCall(which_, value_, sixteenBit_), tellBrowser);
}

bool SimpleSliderDlg::OnCommand(WORD id, WORD code) {
  using namespace simple_slider_ids;
  if (id == kSetDefault && code == BN_CLICKED) {
    ResetSettings();
    return true;
  }
  if (id == kEdit && code == EN_CHANGE && !updating_) {
    std::optional<int32_t> typed = SliderValueFromEdit(which_, ui::Utf8FromWide(ItemText(kEdit)));
    if (!typed) return true;  // not a number (yet): the value stays
    value_ = *typed;
    bool was = std::exchange(updating_, true);
    SendDlgItemMessageW(hwnd(), kSlider, TBM_SETPOS, TRUE, value_);
    updating_ = was;
    SliderToParam();
    return true;
  }
  return false;
}

void SimpleSliderDlg::OnSlider(int id, int position) {
  if (id != range_.sliderId) return;
  SetValue(position);
  SliderToParam();
}

bool SimpleSliderDlg::OnSpin(int id, int delta) {
  if (id != simple_slider_ids::kSpin) return false;
  SetValue(value_ + delta);
  SliderToParam();
  return true;
}

// ---- "Color balance" ----

void ColorBalanceDlg::InitControls() {
  for (const SliderRange& range : kColorBalanceSliders) InitSlider(range);
}

void ColorBalanceDlg::ResetSettings() {
  state_ = {};
  ShowState();
  Changed();
}

void ColorBalanceDlg::ShowState() {
  bool was = std::exchange(updating_, true);
  for (size_t i = 0; i < kColorBalanceSliders.size(); ++i)
    ShowSlider(kColorBalanceSliders[i], state_.sliders[i]);
  ShowChoice(kColorBalanceModes, state_.mode);
  for (size_t i = 0; i < kToneRanges.size(); ++i) {
    CheckDlgButton(hwnd(), kToneRanges[i].id,
                   int32_t(i) == state_.toneRange ? BST_CHECKED : BST_UNCHECKED);
    // The tone range and luminosity are what the non-linear balance reads.
    EnableWindow(GetDlgItem(hwnd(), kToneRanges[i].id), state_.mode == 1);
  }
  CheckDlgButton(hwnd(), color_balance_ids::kPreserveLuminosity,
                 state_.preserveLuminosity ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(hwnd(), color_balance_ids::kPreserveLuminosity), state_.mode == 1);
  updating_ = was;
}

bool ColorBalanceDlg::OnCommand(WORD id, WORD code) {
  if (updating_) return false;
  if (code == EN_CHANGE) {
    for (size_t i = 0; i < kColorBalanceSliders.size(); ++i) {
      const SliderRange& range = kColorBalanceSliders[i];
      if (range.editId != id) continue;
      std::optional<int32_t> typed = TypedSliderValue(range);
      if (!typed) return true;
      state_.sliders[i] = *typed;
      bool was = std::exchange(updating_, true);
      SendDlgItemMessageW(hwnd(), range.sliderId, TBM_SETPOS, TRUE, *typed);
      updating_ = was;
      Changed();
      return true;
    }
    return false;
  }
  if (code != BN_CLICKED) return false;
  if (id == color_balance_ids::kSetDefaults) {
    state_.sliders = {};
  } else if (id == color_balance_ids::kPreserveLuminosity) {
    state_.preserveLuminosity = IsDlgButtonChecked(hwnd(), id) == BST_CHECKED;
  } else if (int32_t mode = ChoiceIndex(kColorBalanceModes, id); mode >= 0) {
    state_.mode = mode;
  } else {
    int32_t tone = -1;
    for (size_t i = 0; i < kToneRanges.size(); ++i)
      if (kToneRanges[i].id == id) tone = int32_t(i);
    if (tone < 0) return false;
    state_.toneRange = tone;
  }
  ShowState();
  Changed();
  return true;
}

void ColorBalanceDlg::OnSlider(int id, int position) {
  for (size_t i = 0; i < kColorBalanceSliders.size(); ++i) {
    if (kColorBalanceSliders[i].sliderId != id) continue;
    state_.sliders[i] = position;
    ShowEdit(kColorBalanceSliders[i].editId, std::to_wstring(position));
    Changed();
  }
}

// ---- one choice ----

void SingleChoiceDlg::ResetSettings() {
  choice_ = 0;
  ShowChoice(choices_, choice_);
  Take(SingleChoiceCall(which_, choice_));
}

bool SingleChoiceDlg::OnCommand(WORD id, WORD code) {
  int32_t choice = ChoiceIndex(choices_, id);
  if (code != BN_CLICKED || choice < 0) return false;
  choice_ = choice;
  Take(SingleChoiceCall(which_, choice_));
  return true;
}

// ---- "Blur" ----

void BlurDlg::InitControls() { InitSlider(kBlurRadius); }

void BlurDlg::ResetSettings() {
  state_ = {};
  ShowState();
  Take(BlurCall(state_));
}

void BlurDlg::ShowState() {
  bool was = std::exchange(updating_, true);
  ShowChoice(kBlurChoices, state_.choice);
  ShowSlider(kBlurRadius, state_.radius);
  EnableSlider(kBlurRadius, state_.radiusEnabled);
  updating_ = was;
}

bool BlurDlg::OnCommand(WORD id, WORD code) {
  if (updating_) return false;
  if (id == kBlurRadius.editId && code == EN_CHANGE) {
    if (std::optional<int32_t> typed = TypedSliderValue(kBlurRadius)) {
      MoveBlurRadius(state_, *typed);
      bool was = std::exchange(updating_, true);
      SendDlgItemMessageW(hwnd(), kBlurRadius.sliderId, TBM_SETPOS, TRUE, state_.radius);
      updating_ = was;
      Take(BlurCall(state_));
    }
    return true;
  }
  int32_t choice = ChoiceIndex(kBlurChoices, id);
  if (code != BN_CLICKED || choice < 0) return false;
  SelectBlurChoice(state_, choice);
  ShowState();
  Take(BlurCall(state_));
  return true;
}

void BlurDlg::OnSlider(int id, int position) {
  if (id != kBlurRadius.sliderId) return;
  MoveBlurRadius(state_, position);
  ShowEdit(kBlurRadius.editId, std::to_wstring(state_.radius));
  Take(BlurCall(state_));
}

// ---- "Sharpen" ----

namespace {
const SliderRange* const kSharpenSliders[] = {&kSharpenAmount, &kSharpenRadius, &kSharpenThreshold};
}

void SharpenDlg::InitControls() {
  for (const SliderRange* range : kSharpenSliders) InitSlider(*range);
}

void SharpenDlg::ResetSettings() {
  state_ = {};
  ShowState();
  Take(SharpenCall(state_));
}

int32_t* SharpenDlg::ValueOf(const SliderRange& range) {
  if (&range == &kSharpenAmount) return &state_.amount;
  if (&range == &kSharpenRadius) return &state_.radius;
  return &state_.threshold;
}

void SharpenDlg::ShowState() {
  bool was = std::exchange(updating_, true);
  ShowChoice(kSharpenChoices, state_.choice);
  for (const SliderRange* range : kSharpenSliders) {
    ShowSlider(*range, *ValueOf(*range));
    EnableSlider(*range, state_.slidersEnabled);
  }
  updating_ = was;
}

bool SharpenDlg::OnCommand(WORD id, WORD code) {
  if (updating_) return false;
  if (code == EN_CHANGE) {
    for (const SliderRange* range : kSharpenSliders) {
      if (range->editId != id) continue;
      if (std::optional<int32_t> typed = TypedSliderValue(*range)) {
        *ValueOf(*range) = *typed;
        bool was = std::exchange(updating_, true);
        SendDlgItemMessageW(hwnd(), range->sliderId, TBM_SETPOS, TRUE, *typed);
        updating_ = was;
        Take(SharpenCall(state_));
      }
      return true;
    }
    return false;
  }
  int32_t choice = ChoiceIndex(kSharpenChoices, id);
  if (code != BN_CLICKED || choice < 0) return false;
  const EffectCall before = SharpenCall(state_);
  SelectSharpenChoice(state_, choice);
  ShowState();
  // "Smart sharpen" keeps what was chosen before: nothing to recompute then.
  const EffectCall after = SharpenCall(state_);
  if (after.effect != before.effect) Take(after);
  return true;
}

void SharpenDlg::OnSlider(int id, int position) {
  for (const SliderRange* range : kSharpenSliders) {
    if (range->sliderId != id) continue;
    *ValueOf(*range) = position;
    ShowEdit(range->editId, std::to_wstring(position));
    Take(SharpenCall(state_));
  }
}

// ---- "Miscellaneous" ----

void MiscellaneousDlg::ResetSettings() {
  state_ = {};
  ShowChoice(kMiscellaneousChoices, state_.choice);
  Take(MiscellaneousCall(state_));
}

bool MiscellaneousDlg::OnCommand(WORD id, WORD code) {
  int32_t choice = ChoiceIndex(kMiscellaneousChoices, id);
  if (code != BN_CLICKED || choice < 0) return false;
  SelectMiscellaneousChoice(state_, choice);
  Take(MiscellaneousCall(state_));
  return true;
}

// ---- "Custom" ----

void CustomDlg::ResetSettings() {
  kernel_ = IdentityKernel();
  ShowKernel();
  Take(CustomCall(kernel_));
}

void CustomDlg::ShowKernel() {
  using namespace custom_ids;
  bool was = std::exchange(updating_, true);
  for (size_t i = 0; i < kernel_.coefficients.size(); ++i)
    ShowEdit(int(kFirstCoefficient + i), NumberText(kernel_.coefficients[i]));
  ShowEdit(kDivisor, NumberText(kernel_.divisor));
  ShowEdit(kOffset, NumberText(kernel_.offset));
  updating_ = was;
}

void CustomDlg::ReadEdit(WORD id) {
  using namespace custom_ids;
  // What is not a number (yet: "-", "") counts as 0, as an empty field reads.
  const double value = NumberFromText(ui::Utf8FromWide(ItemText(id))).value_or(0.0);
  if (id >= kFirstCoefficient && id < kFirstCoefficient + kernel_.coefficients.size()) {
    kernel_.coefficients[id - kFirstCoefficient] = value;
  } else if (id == kDivisor) {
    kernel_.divisor = value;
  } else {
    kernel_.offset = value;
  }
  Take(CustomCall(kernel_));
}

bool CustomDlg::OnCommand(WORD id, WORD code) {
  using namespace custom_ids;
  if (code == EN_CHANGE) {
    if (updating_ || id < kFirstCoefficient || id > kOffset) return false;
    ReadEdit(id);
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case kLoad:
      LoadKernel();
      return true;
    case kSave:
      SaveKernel();
      return true;
    case kDivisorFromSum:
      kernel_.divisor = CoefficientSum(kernel_);
      ShowKernel();
      Take(CustomCall(kernel_));
      return true;
  }
  return false;
}

void CustomDlg::LoadKernel() {
  std::wstring filter = FileFilter(kKernelLoadFilter);
  wchar_t path[MAX_PATH * 2] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(hwnd(), GA_ROOT);
  dialog.lpstrTitle = L"Load kernel";
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = DWORD(std::size(path));
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  // The reader looks at no more than the first lines: that much is read.
  ui::UniqueHandleObject file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return;  // a file that cannot be opened is passed over, as one that is no kernel
  }
  std::string bytes(kKernelReadLimit, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) return;
  bytes.resize(read);
  if (ReadKernel(ui::Utf8FromWide(path), bytes, kernel_) != KernelRead::Complete) return;
  ShowKernel();
  Take(CustomCall(kernel_));
}

void CustomDlg::SaveKernel() {
  std::wstring filter = FileFilter(kKernelSaveFilter);
  std::wstring extension = ui::WideFromUtf8(kKernelDefaultExtension);
  wchar_t path[MAX_PATH * 2] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(hwnd(), GA_ROOT);
  dialog.lpstrTitle = L"Save kernel";
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = DWORD(std::size(path));
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameW(&dialog)) return;
  // Text mode: the lines end in CRLF, as Windows text files do.
  FILE* out = _wfopen(path, L"wt");
  bool written = out && std::fputs(KernelFileText(kernel_).c_str(), out) >= 0;
  if (out) written = std::fclose(out) == 0 && written;
  if (!written) {
    std::wstring text = L"Can't write the kernel file\n" + std::wstring(path);
    MessageBoxW(dialog.hwndOwner, text.c_str(), L"Orbisk", MB_OK | MB_ICONERROR);
  }
}

// ---- the list ----

std::vector<std::unique_ptr<ColorEffectDataExchangeEx>> MakeEffectDialogs() {
  std::vector<std::unique_ptr<ColorEffectDataExchangeEx>> dialogs;
  for (const EffectEntry& entry : kEffects) {
    switch (entry.dialog) {
      case EffectDialog::Brightness:
        dialogs.push_back(std::make_unique<SimpleSliderDlg>(entry, SliderEffect::Brightness));
        break;
      case EffectDialog::Contrast:
        dialogs.push_back(std::make_unique<SimpleSliderDlg>(entry, SliderEffect::Contrast));
        break;
      case EffectDialog::Gamma:
        dialogs.push_back(std::make_unique<SimpleSliderDlg>(entry, SliderEffect::Gamma));
        break;
      case EffectDialog::ColorBalance:
        dialogs.push_back(std::make_unique<ColorBalanceDlg>(entry));
        break;
      case EffectDialog::AutoAdjustment:
        dialogs.push_back(std::make_unique<AutoAdjustmentColorsDlg>(entry));
        break;
      case EffectDialog::Blur:
        dialogs.push_back(std::make_unique<BlurDlg>(entry));
        break;
      case EffectDialog::Sharpen:
        dialogs.push_back(std::make_unique<SharpenDlg>(entry));
        break;
      case EffectDialog::Smoothing:
        dialogs.push_back(std::make_unique<SmoothingDlg>(entry));
        break;
      case EffectDialog::Grayscale:
        dialogs.push_back(std::make_unique<GrayscaleDlg>(entry));
        break;
      case EffectDialog::Miscellaneous:
        dialogs.push_back(std::make_unique<MiscellaneousDlg>(entry));
        break;
      case EffectDialog::Custom:
        dialogs.push_back(std::make_unique<CustomDlg>(entry));
        break;
    }
  }
  return dialogs;
}

}  // namespace viewer
