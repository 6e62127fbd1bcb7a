// The settings dialogs of the filter browser, one per entry of its list. Each is a
// modeless child of the browser built from its own template; it keeps the state
// record of EffectParams.h, shows it in its controls, and after any change of a
// control takes the effect number and parameter list that state asks for and posts
// kParamsChangedMessage to the browser, which rebuilds its preview.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "formats/DynParams.h"
#include "ui/Dialog.h"
#include "viewer/EffectParams.h"
#include "viewer/KernelFile.h"

namespace viewer {

// What the colour-effect module is asked to do: the effect and its parameter list
// (none when the list is empty).
struct ColorEffectDataExchange {
  uint32_t EffectId = 0;
  glib::DynParamList params;
};

class ColorEffectDataExchangeEx : public ui::Dialog, public ColorEffectDataExchange {
 public:
  explicit ColorEffectDataExchangeEx(const EffectEntry& entry) : entry_(entry) {}

  UINT TemplateId() const { return entry_.templateId; }
  std::string_view Name() const { return entry_.name; }
  // Creates the window, hidden, as a child of the browser; `sixteenBit` says whether
  // the document's current slide has 16 bits per channel. Then CollectParams.
  bool CreateIn(HWND browser, bool sixteenBit);
  // The effect and the parameters as the dialog keeps them (the Custom divisor as
  // entered; ParamsToApply makes the list the module gets).
  EffectCall Call() const;

  // The dialog's parameters into the list; once, at creation.
  virtual void CollectParams() = 0;
  // The dialog's defaults, shown; whenever its effect is selected.
  virtual void ResetSettings() = 0;

 protected:
  // A new effect and parameter list; the browser hears of it.
  void Take(const EffectCall& call, bool tellBrowser = true);
  bool OnInitDialog() override;
  virtual void InitControls() {}
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  // A slider (trackbar) moved to `position`.
  virtual void OnSlider(int /*id*/, int /*position*/) {}
  // A spin button asked for a step of `delta`; true when taken.
  virtual bool OnSpin(int /*id*/, int /*delta*/) { return false; }

  // ---- controls ----
  void InitSlider(const SliderRange& range) const;
  // Slider and edit show `value`; the edit's change this causes is not a user's.
  void ShowSlider(const SliderRange& range, int32_t value);
  void ShowEdit(int id, const std::wstring& text);
  // The value typed into a slider's edit, within its range; nothing for no number.
  std::optional<int32_t> TypedSliderValue(const SliderRange& range) const;
  void EnableSlider(const SliderRange& range, bool enabled) const;
  void ShowChoice(std::span<const EffectChoice> choices, int32_t index) const;
  // The index of a radio button's id in the list, or -1.
  static int32_t ChoiceIndex(std::span<const EffectChoice> choices, WORD id);
  // While the program itself sets controls, their notifications are not changes.
  bool updating_ = false;
  bool sixteenBit_ = false;

 private:
  const EffectEntry& entry_;
  HWND browser_ = nullptr;
};

// "Brightness", "Contrast", "Gamma correction": one slider with its edit and spin.
class SimpleSliderDlg final : public ColorEffectDataExchangeEx {
 public:
  SimpleSliderDlg(const EffectEntry& entry, SliderEffect which)
      : ColorEffectDataExchangeEx(entry), which_(which), range_(SimpleSliderRange(which)) {}
  void CollectParams() override { SliderToParam(false); }
  void ResetSettings() override;
  // The slider's value into the parameter list.
  void SliderToParam(bool tellBrowser = true);

 private:
  void InitControls() override;
  bool OnCommand(WORD id, WORD code) override;
  void OnSlider(int id, int position) override;
  bool OnSpin(int id, int delta) override;
  void SetValue(int32_t value);

  SliderEffect which_;
  SliderRange range_;
  int32_t value_ = 0;
};

// "Color balance": three sliders, linear or non-linear, tone range, luminosity.
class ColorBalanceDlg final : public ColorEffectDataExchangeEx {
 public:
  using ColorEffectDataExchangeEx::ColorEffectDataExchangeEx;
  void CollectParams() override { Take(ColorBalanceCall(state_, sixteenBit_), false); }
  void ResetSettings() override;

 private:
  void InitControls() override;
  bool OnCommand(WORD id, WORD code) override;
  void OnSlider(int id, int position) override;
  void ShowState();
  void Changed() { Take(ColorBalanceCall(state_, sixteenBit_)); }

  ColorBalanceState state_;
};

// One choice of a few, each an effect with its index as the one integer.
class SingleChoiceDlg : public ColorEffectDataExchangeEx {
 public:
  SingleChoiceDlg(const EffectEntry& entry, SingleChoiceEffect which,
                  std::span<const EffectChoice> choices)
      : ColorEffectDataExchangeEx(entry), which_(which), choices_(choices) {}
  void CollectParams() override { Take(SingleChoiceCall(which_, choice_), false); }
  void ResetSettings() override;

 private:
  bool OnCommand(WORD id, WORD code) override;

  SingleChoiceEffect which_;
  std::span<const EffectChoice> choices_;
  int32_t choice_ = 0;
};

class AutoAdjustmentColorsDlg final : public SingleChoiceDlg {
 public:
  explicit AutoAdjustmentColorsDlg(const EffectEntry& entry)
      : SingleChoiceDlg(entry, SingleChoiceEffect::AutoAdjustment, kAutoAdjustmentChoices) {}
};
class SmoothingDlg final : public SingleChoiceDlg {
 public:
  explicit SmoothingDlg(const EffectEntry& entry)
      : SingleChoiceDlg(entry, SingleChoiceEffect::Smoothing, kSmoothingChoices) {}
};
class GrayscaleDlg final : public SingleChoiceDlg {
 public:
  explicit GrayscaleDlg(const EffectEntry& entry)
      : SingleChoiceDlg(entry, SingleChoiceEffect::Grayscale, kGrayscaleChoices) {}
};

// "Blur": five kinds and the radius.
class BlurDlg final : public ColorEffectDataExchangeEx {
 public:
  using ColorEffectDataExchangeEx::ColorEffectDataExchangeEx;
  void CollectParams() override { Take(BlurCall(state_), false); }
  void ResetSettings() override;

 private:
  void InitControls() override;
  bool OnCommand(WORD id, WORD code) override;
  void OnSlider(int id, int position) override;
  void ShowState();

  BlurState state_;
};

// "Sharpen": plain or unsharp mask with amount, radius and threshold.
class SharpenDlg final : public ColorEffectDataExchangeEx {
 public:
  using ColorEffectDataExchangeEx::ColorEffectDataExchangeEx;
  void CollectParams() override { Take(SharpenCall(state_), false); }
  void ResetSettings() override;

 private:
  void InitControls() override;
  bool OnCommand(WORD id, WORD code) override;
  void OnSlider(int id, int position) override;
  void ShowState();
  int32_t* ValueOf(const SliderRange& range);

  SharpenState state_;
};

// "Miscellaneous": negative, sepia, emboss, canvas, oil paint.
class MiscellaneousDlg final : public ColorEffectDataExchangeEx {
 public:
  using ColorEffectDataExchangeEx::ColorEffectDataExchangeEx;
  void CollectParams() override { Take(MiscellaneousCall(state_), false); }
  void ResetSettings() override;

 private:
  bool OnCommand(WORD id, WORD code) override;

  MiscellaneousState state_;
};

// "Custom": a 5 x 5 kernel with divisor and offset, loaded from and saved to files.
class CustomDlg final : public ColorEffectDataExchangeEx {
 public:
  using ColorEffectDataExchangeEx::ColorEffectDataExchangeEx;
  void CollectParams() override { Take(CustomCall(kernel_), false); }
  void ResetSettings() override;

 private:
  bool OnCommand(WORD id, WORD code) override;
  void ShowKernel();
  void ReadEdit(WORD id);
  void LoadKernel();
  void SaveKernel();

  Kernel5x5 kernel_ = IdentityKernel();
};

// The eleven settings dialogs in the order of the browser's list.
std::vector<std::unique_ptr<ColorEffectDataExchangeEx>> MakeEffectDialogs();

}  // namespace viewer
