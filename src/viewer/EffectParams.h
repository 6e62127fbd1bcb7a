// The colour effects as the filter browser offers them: the list of effects with their
// settings dialogs, each dialog's controls, and what a dialog's control state asks of
// the colour-effect module (the effect number and its parameter list). The Win32
// dialogs keep one of the state records below, change it through these functions when
// a control changes, and hand EffectCall on; nothing here needs a window.
//
// Every dialog starts with its first choice selected and its sliders at their
// defaults, and returns there whenever its effect is selected again: a
// default-constructed state record (or the slider's default value, or
// IdentityKernel()) is that state.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/DynParams.h"
#include "viewer/KernelFile.h"

namespace viewer {

// The effect numbers of the colour-effect module.
namespace effect {
constexpr uint32_t kBrightness = 0;
constexpr uint32_t kContrast = 1;
constexpr uint32_t kAutoContrast = 2;
constexpr uint32_t kGamma = 3;
constexpr uint32_t kLinearColorBalance = 4;
constexpr uint32_t kNegative = 5;
constexpr uint32_t kMosaic = 6;
constexpr uint32_t kGrayscale = 7;
constexpr uint32_t kBlur = 8;
constexpr uint32_t kGaussianBlur = 9;
constexpr uint32_t kSharpen = 10;
constexpr uint32_t kEmboss = 11;
constexpr uint32_t kMedian = 13;
constexpr uint32_t kMinimum = 14;
constexpr uint32_t kMaximum = 15;
constexpr uint32_t kUnsharpMask = 16;
constexpr uint32_t kCanvas = 17;
constexpr uint32_t kOilPaint = 18;
constexpr uint32_t kDesaturate = 19;
constexpr uint32_t kSepia = 20;
constexpr uint32_t kMotionBlur = 24;
constexpr uint32_t kAutoLevels = 27;  // also "Auto colors"
constexpr uint32_t kSmartBlur = 29;
constexpr uint32_t kSmartSmoothing = 30;
constexpr uint32_t kColorBalance = 32;
constexpr uint32_t kCustom = 33;
}  // namespace effect

// What a settings dialog hands to the filter browser.
struct EffectCall {
  uint32_t effect = 0;
  glib::DynParamList params;
};

// The list of the filter browser, in its order.
enum class EffectDialog {
  Brightness,
  Contrast,
  Gamma,
  ColorBalance,
  AutoAdjustment,
  Blur,
  Sharpen,
  Smoothing,
  Grayscale,
  Miscellaneous,
  Custom,
};

struct EffectEntry {
  EffectDialog dialog;
  std::string_view name;       // the list entry, and the title when it is the only one
  std::string_view className;  // the settings dialog class
  uint16_t templateId;
};
extern const std::array<EffectEntry, 11> kEffects;

// A radio choice of a settings dialog and the effect it selects.
struct EffectChoice {
  uint16_t id;
  std::string_view text;
  uint32_t effect;
};

// A slider with its edit; the range applies to the edit's spin as well.
struct SliderRange {
  uint16_t sliderId;
  uint16_t editId;
  int32_t min;
  int32_t max;
  int32_t defaultValue;
};

// Message posted to the filter browser after any change of a settings control.
constexpr uint32_t kParamsChangedMessage = 1124;
// Buttons of the filter browser's bottom bar.
constexpr uint16_t kApplyButtonId = 1000;

// ---- "Brightness", "Contrast", "Gamma correction" (SimpleSliderDlg) ----

namespace simple_slider_ids {
constexpr uint16_t kSlider = 1201;
constexpr uint16_t kEdit = 1202;
constexpr uint16_t kLeftLabel = 1203;
constexpr uint16_t kRightLabel = 1204;
constexpr uint16_t kSetDefault = 1205;
constexpr uint16_t kSpin = 1206;
}  // namespace simple_slider_ids

enum class SliderEffect { Brightness, Contrast, Gamma };
SliderRange SimpleSliderRange(SliderEffect which);
// Texts of the labels at the slider's ends ("-100%", "100%"; gamma "0", "7") and of
// the edit for a slider value (brightness "%d", gamma "%g" of value / 100).
std::string SliderEndText(SliderEffect which, int32_t value);
std::string SliderEditText(SliderEffect which, int32_t value);
// The slider value for what was typed into the edit, kept within the range; nothing
// for text that is not a number.
std::optional<int32_t> SliderValueFromEdit(SliderEffect which, std::string_view text);
// Brightness: value * 255 / 100 (65535 for 16 bits per channel); contrast: half of
// that; gamma: value / 100, at least 0.01. One real each.
EffectCall SliderCall(SliderEffect which, int32_t value, bool sixteenBit);

// Whether the amounts of a picture of this pixel type scale to 65535: 16 bits in each
// channel (48- and 64-bit RGB, 16-bit grey), not 16-bit packed pixels.
bool SixteenBitsPerChannel(uint32_t pixelType);
// The whole number typed into the edit of a slider, kept within the slider's range;
// nothing for text that is not a number.
std::optional<int32_t> SliderValueFromText(const SliderRange& range, std::string_view text);
// A number typed into an edit ("+" and leading blanks allowed); nothing for text that
// is not one.
std::optional<double> NumberFromText(std::string_view text);

// ---- "Color balance" (ColorBalanceDlg) ----

namespace color_balance_ids {
constexpr uint16_t kSetDefaults = 1207;  // all three sliders back to 0
constexpr uint16_t kPreserveLuminosity = 1208;
}  // namespace color_balance_ids
// Sliders 1201 to 1203 with the edits 1204 to 1206.
extern const std::array<SliderRange, 3> kColorBalanceSliders;
extern const std::array<EffectChoice, 2> kColorBalanceModes;  // "Linear", "Non linear"
struct ToneRangeChoice {
  uint16_t id;
  std::string_view text;
};
extern const std::array<ToneRangeChoice, 3> kToneRanges;  // "Shadows", "Midtones", "Highlights"

struct ColorBalanceState {
  std::array<int32_t, 3> sliders{};
  int32_t mode = 0;                 // index in kColorBalanceModes
  int32_t toneRange = 0;            // 0 shadows, 1 midtones, 2 highlights
  bool preserveLuminosity = false;  // starts unchecked
};
// Linear: 4 with the three sliders * 255 / 100 (65535 for 16 bits) truncated towards
// zero; non linear: 32 with the sliders as they stand, the tone range and the box.
EffectCall ColorBalanceCall(const ColorBalanceState& state, bool sixteenBit);

// ---- the dialogs of one choice and one integer ----

// "Auto contrast", "Auto levels", "Auto colors" (AutoAdjustmentColorsDlg)
extern const std::array<EffectChoice, 3> kAutoAdjustmentChoices;
// "Median", "Maximum", "Minimum", "Smart" (SmoothingDlg)
extern const std::array<EffectChoice, 4> kSmoothingChoices;
// "Normal", "Average", "Desaturate" (GrayscaleDlg)
extern const std::array<EffectChoice, 3> kGrayscaleChoices;
enum class SingleChoiceEffect { AutoAdjustment, Smoothing, Grayscale };
// The choice's effect with one integer, the choice index; an index outside the list
// is taken as the first choice.
EffectCall SingleChoiceCall(SingleChoiceEffect which, int32_t choice);

// ---- "Blur" (BlurDlg) ----

// "Blur", "Gaussian", "Moution", "Mosaic", "Smart"
extern const std::array<EffectChoice, 5> kBlurChoices;
extern const SliderRange kBlurRadius;  // "Radius:", 1 to 250 "pixels", 5

// The two integers change with the last action: a choice sets some of them, the slider
// sets both to the radius.
struct BlurState {
  int32_t choice = 0;
  int32_t radius = 5;
  bool radiusEnabled = false;
  int64_t first = 5;
  int64_t second = 5;
};
// Choices outside the list are ignored, here and in the other Select functions.
void SelectBlurChoice(BlurState& state, int32_t choice);
void MoveBlurRadius(BlurState& state, int32_t radius);
EffectCall BlurCall(const BlurState& state);

// ---- "Sharpen" (SharpenDlg) ----

// "Sharpen", "Unsharpen mask", "Smart sharpen"
extern const std::array<EffectChoice, 3> kSharpenChoices;
constexpr int32_t kSmartSharpenChoice = 2;
extern const SliderRange kSharpenAmount;     // 1 to 500 "%", 100
extern const SliderRange kSharpenRadius;     // 1 to 250 "pixels", 5
extern const SliderRange kSharpenThreshold;  // 0 to 255, 3

// "Smart sharpen" has no effect of its own: choosing it keeps the effect and the
// sliders of the choice before. The parameter list always holds (radius, amount,
// threshold); plain sharpening ignores it.
struct SharpenState {
  int32_t choice = 0;
  uint32_t effect = effect::kSharpen;
  bool slidersEnabled = false;
  int32_t amount = 100;
  int32_t radius = 5;
  int32_t threshold = 3;
};
void SelectSharpenChoice(SharpenState& state, int32_t choice);
EffectCall SharpenCall(const SharpenState& state);

// ---- "Miscellaneous" (MiscellaneousDlg) ----

// "Negative", "Sepia", "Emboss", "Canvas", "Oil paint"
extern const std::array<EffectChoice, 5> kMiscellaneousChoices;

// Two integers: a choice sets the first to its index, "Canvas" sets (0, 4) and
// "Oil paint" sets the first to 7; the rest stays.
struct MiscellaneousState {
  int32_t choice = 0;
  int64_t first = 0;
  int64_t second = 0;
};
void SelectMiscellaneousChoice(MiscellaneousState& state, int32_t choice);
EffectCall MiscellaneousCall(const MiscellaneousState& state);

// ---- "Custom" (CustomDlg) ----

namespace custom_ids {
constexpr uint16_t kFirstCoefficient = 1000;  // 25 edits, row by row
constexpr uint16_t kDivisor = 1025;
constexpr uint16_t kOffset = 1026;
constexpr uint16_t kLoad = 1027;
constexpr uint16_t kSave = 1028;
constexpr uint16_t kDivisorFromSum = 1029;
}  // namespace custom_ids

// 33 with 28 reals: 5, the coefficients row by row, the divisor as entered, the offset.
EffectCall CustomCall(const Kernel5x5& kernel);

// What the colour-effect module is given for a call: a copy of the dialog's list, for
// the custom kernel with 1 / divisor in place of the divisor (1 when the divisor is 0).
// The dialog's own list keeps the divisor as entered.
glib::DynParamList ParamsToApply(const EffectCall& call);

// ---- the preview's zoom ----

extern const std::array<double, 20> kPreviewZooms;
constexpr int32_t kInitialPreviewZoom = 5;  // 1 (100%)
bool CanPreviewZoomIn(int32_t index);
bool CanPreviewZoomOut(int32_t index);
// One step, staying at the ends.
int32_t PreviewZoomIn(int32_t index);
int32_t PreviewZoomOut(int32_t index);
// "%d%%" of the factor in percent ("17%", "1600%").
std::string PreviewZoomText(int32_t index);

}  // namespace viewer
