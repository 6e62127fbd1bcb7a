#include "viewer/EffectParams.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "formats/PixelType.h"

namespace viewer {

using namespace effect;

const std::array<EffectEntry, 11> kEffects{{
    {EffectDialog::Brightness, "Brightness", "SimpleSliderDlg", 25001},
    {EffectDialog::Contrast, "Contrast", "SimpleSliderDlg", 25001},
    {EffectDialog::Gamma, "Gamma correction", "SimpleSliderDlg", 25001},
    {EffectDialog::ColorBalance, "Color balance", "ColorBalanceDlg", 25003},
    {EffectDialog::AutoAdjustment, "Auto adjustment colors", "AutoAdjustmentColorsDlg", 25006},
    {EffectDialog::Blur, "Blur", "BlurDlg", 25005},
    {EffectDialog::Sharpen, "Sharpen", "SharpenDlg", 2504},
    {EffectDialog::Smoothing, "Smoothing", "SmoothingDlg", 2508},
    {EffectDialog::Grayscale, "Grayscale", "GrayscaleDlg", 25000},
    {EffectDialog::Miscellaneous, "Miscellaneous", "MiscellaneousDlg", 25007},
    {EffectDialog::Custom, "Custom", "CustomDlg", 25002},
}};

namespace {

// The largest sample value, the scale of brightness, contrast and linear balance.
double FullScale(bool sixteenBit) { return sixteenBit ? 65535.0 : 255.0; }

template <size_t N>
bool InList(const std::array<EffectChoice, N>&, int32_t choice) {
  return choice >= 0 && size_t(choice) < N;
}

}  // namespace

// ---- simple sliders ----

SliderRange SimpleSliderRange(SliderEffect which) {
  using namespace simple_slider_ids;
  if (which == SliderEffect::Gamma) return {kSlider, kEdit, 0, 700, 100};
  return {kSlider, kEdit, -100, 100, 0};
}

std::string SliderEndText(SliderEffect which, int32_t value) {
  char text[32];
  if (which == SliderEffect::Gamma) {
    std::snprintf(text, sizeof text, "%g", value / 100.0);
  } else {
    std::snprintf(text, sizeof text, "%d%s", int(value), "%");
  }
  return text;
}

std::string SliderEditText(SliderEffect which, int32_t value) {
  char text[32];
  if (which == SliderEffect::Gamma) {
    std::snprintf(text, sizeof text, "%g", value / 100.0);
  } else {
    std::snprintf(text, sizeof text, "%d", int(value));
  }
  return text;
}

std::optional<double> NumberFromText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double typed = 0.0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), typed);
  if (error != std::errc() || end == text.data() || !std::isfinite(typed)) return std::nullopt;
  return typed;
}

namespace {

int32_t WithinRange(const SliderRange& range, double value) {
  return int32_t(std::lround(std::clamp(value, double(range.min), double(range.max))));
}

}  // namespace

std::optional<int32_t> SliderValueFromEdit(SliderEffect which, std::string_view text) {
  std::optional<double> typed = NumberFromText(text);
  if (!typed) return std::nullopt;
  if (which == SliderEffect::Gamma) *typed *= 100.0;
  return WithinRange(SimpleSliderRange(which), *typed);
}

std::optional<int32_t> SliderValueFromText(const SliderRange& range, std::string_view text) {
  std::optional<double> typed = NumberFromText(text);
  if (!typed) return std::nullopt;
  return WithinRange(range, *typed);
}

bool SixteenBitsPerChannel(uint32_t pixelType) {
  if (!glib::IsRaster(pixelType) || glib::BitsPerSample(pixelType) != 16) return false;
  // One 16-bit sample is a packed colour pixel unless the model is grey.
  return glib::SamplesPerPixel(pixelType) >= 3 || glib::ColourModel(pixelType) == 1;
}

EffectCall SliderCall(SliderEffect which, int32_t value, bool sixteenBit) {
  EffectCall call;
  switch (which) {
    case SliderEffect::Brightness:
      call.effect = kBrightness;
      call.params.AddReal(value * FullScale(sixteenBit) / 100);
      break;
    case SliderEffect::Contrast:
      call.effect = kContrast;
      call.params.AddReal(value * FullScale(sixteenBit) * 0.5 / 100);
      break;
    case SliderEffect::Gamma:
      call.effect = kGamma;
      call.params.AddReal(std::max(value / 100.0, 0.01));
      break;
  }
  return call;
}

// ---- colour balance ----

const std::array<SliderRange, 3> kColorBalanceSliders{{
    {1201, 1204, -100, 100, 0},
    {1202, 1205, -100, 100, 0},
    {1203, 1206, -100, 100, 0},
}};
const std::array<EffectChoice, 2> kColorBalanceModes{{
    {1210, "Linear", kLinearColorBalance},
    {1211, "Non linear", kColorBalance},
}};
const std::array<ToneRangeChoice, 3> kToneRanges{{
    {1209, "Shadows"},
    {1215, "Midtones"},
    {1216, "Highlights"},
}};

EffectCall ColorBalanceCall(const ColorBalanceState& state, bool sixteenBit) {
  EffectCall call;
  if (state.mode == 0) {
    call.effect = kLinearColorBalance;
    for (int32_t value : state.sliders) {
      call.params.AddInteger(int64_t(std::trunc(value * FullScale(sixteenBit) / 100)));
    }
    return call;
  }
  call.effect = kColorBalance;
  for (int32_t value : state.sliders) call.params.AddInteger(value);
  call.params.AddInteger(state.toneRange);
  call.params.AddInteger(state.preserveLuminosity ? 1 : 0);
  return call;
}

// ---- one choice, one integer ----

const std::array<EffectChoice, 3> kAutoAdjustmentChoices{{
    {1201, "Auto contrast", kAutoContrast},
    {1202, "Auto levels", kAutoLevels},
    {1203, "Auto colors", kAutoLevels},
}};
const std::array<EffectChoice, 4> kSmoothingChoices{{
    {1201, "Median", kMedian},
    {1202, "Maximum", kMaximum},
    {1203, "Minimum", kMinimum},
    {1204, "Smart", kSmartSmoothing},
}};
const std::array<EffectChoice, 3> kGrayscaleChoices{{
    {1201, "Normal", kGrayscale},
    {1202, "Average", kGrayscale},
    {1203, "Desaturate", kDesaturate},
}};

namespace {

template <size_t N>
EffectCall ChoiceWithIndex(const std::array<EffectChoice, N>& choices, int32_t choice) {
  if (!InList(choices, choice)) choice = 0;
  EffectCall call;
  call.effect = choices[size_t(choice)].effect;
  call.params.AddInteger(choice);
  return call;
}

}  // namespace

EffectCall SingleChoiceCall(SingleChoiceEffect which, int32_t choice) {
  switch (which) {
    case SingleChoiceEffect::AutoAdjustment:
      return ChoiceWithIndex(kAutoAdjustmentChoices, choice);
    case SingleChoiceEffect::Smoothing:
      return ChoiceWithIndex(kSmoothingChoices, choice);
    case SingleChoiceEffect::Grayscale:
      break;
  }
  return ChoiceWithIndex(kGrayscaleChoices, choice);
}

// ---- blur ----

const std::array<EffectChoice, 5> kBlurChoices{{
    {1201, "Blur", kBlur},
    {1202, "Gaussian", kGaussianBlur},
    {1203, "Moution", kMotionBlur},
    {1204, "Mosaic", kMosaic},
    {1205, "Smart", kSmartBlur},
}};
const SliderRange kBlurRadius{1206, 1207, 1, 250, 5};

void SelectBlurChoice(BlurState& state, int32_t choice) {
  if (!InList(kBlurChoices, choice)) return;
  state.choice = choice;
  switch (kBlurChoices[size_t(choice)].effect) {
    case kBlur:
      state.radiusEnabled = false;
      break;
    case kGaussianBlur:
      state.radiusEnabled = true;
      break;
    case kMotionBlur:  // the slider stays as it was
      state.first = 45, state.second = 12;
      break;
    case kMosaic:
      state.radiusEnabled = true;
      state.first = state.second = 8;
      break;
    case kSmartBlur:
      state.radiusEnabled = false;
      state.first = 7;
      break;
  }
}

void MoveBlurRadius(BlurState& state, int32_t radius) {
  state.radius = std::clamp(radius, kBlurRadius.min, kBlurRadius.max);
  state.first = state.second = state.radius;
}

EffectCall BlurCall(const BlurState& state) {
  EffectCall call;
  call.effect = kBlurChoices[InList(kBlurChoices, state.choice) ? size_t(state.choice) : 0].effect;
  call.params.AddInteger(state.first);
  call.params.AddInteger(state.second);
  return call;
}

// ---- sharpen ----

const std::array<EffectChoice, 3> kSharpenChoices{{
    {1009, "Sharpen", kSharpen},
    {1010, "Unsharpen mask", kUnsharpMask},
    {1011, "Smart sharpen", kSharpen},  // no effect of its own, see SelectSharpenChoice
}};
const SliderRange kSharpenAmount{1002, 1003, 1, 500, 100};
const SliderRange kSharpenRadius{1004, 1007, 1, 250, 5};
const SliderRange kSharpenThreshold{1005, 1008, 0, 255, 3};

void SelectSharpenChoice(SharpenState& state, int32_t choice) {
  if (!InList(kSharpenChoices, choice)) return;
  state.choice = choice;
  if (choice == kSmartSharpenChoice) return;
  state.effect = kSharpenChoices[size_t(choice)].effect;
  state.slidersEnabled = state.effect == kUnsharpMask;
}

EffectCall SharpenCall(const SharpenState& state) {
  EffectCall call;
  call.effect = state.effect;
  call.params.AddInteger(state.radius);
  call.params.AddInteger(state.amount);
  call.params.AddInteger(state.threshold);
  return call;
}

// ---- miscellaneous ----

const std::array<EffectChoice, 5> kMiscellaneousChoices{{
    {1201, "Negative", kNegative},
    {1202, "Sepia", kSepia},
    {1203, "Emboss", kEmboss},
    {1204, "Canvas", kCanvas},
    {1205, "Oil paint", kOilPaint},
}};

void SelectMiscellaneousChoice(MiscellaneousState& state, int32_t choice) {
  if (!InList(kMiscellaneousChoices, choice)) return;
  state.choice = choice;
  switch (kMiscellaneousChoices[size_t(choice)].effect) {
    case kCanvas:
      state.first = 0, state.second = 4;
      break;
    case kOilPaint:
      state.first = 7;
      break;
    default:
      state.first = choice;
      break;
  }
}

EffectCall MiscellaneousCall(const MiscellaneousState& state) {
  const int32_t choice = InList(kMiscellaneousChoices, state.choice) ? state.choice : 0;
  EffectCall call;
  call.effect = kMiscellaneousChoices[size_t(choice)].effect;
  call.params.AddInteger(state.first);
  call.params.AddInteger(state.second);
  return call;
}

// ---- custom ----

namespace {
constexpr size_t kDivisorParam = 26;  // after the size and the 25 coefficients
}

EffectCall CustomCall(const Kernel5x5& kernel) {
  EffectCall call;
  call.effect = kCustom;
  call.params.AddReal(5);
  for (double coefficient : kernel.coefficients) call.params.AddReal(coefficient);
  call.params.AddReal(kernel.divisor);
  call.params.AddReal(kernel.offset);
  return call;
}

glib::DynParamList ParamsToApply(const EffectCall& call) {
  glib::DynParamList params = call.params;
  if (call.effect == kCustom && params.Size() > kDivisorParam) {
    const double divisor = params[kDivisorParam].Number();
    params[kDivisorParam] = glib::DynParams::Par_t::Real(divisor == 0.0 ? 1.0 : 1.0 / divisor);
  }
  return params;
}

// ---- preview zoom ----

const std::array<double, 20> kPreviewZooms{0.1, 0.17, 0.25, 0.33, 0.5, 1,  2,  3,  5,  6,
                                           7,   8,    9,    10,   11,  12, 13, 14, 15, 16};

bool CanPreviewZoomIn(int32_t index) {
  return index >= 0 && index + 1 < int32_t(kPreviewZooms.size());
}
bool CanPreviewZoomOut(int32_t index) { return index > 0 && index < int32_t(kPreviewZooms.size()); }
int32_t PreviewZoomIn(int32_t index) { return CanPreviewZoomIn(index) ? index + 1 : index; }
int32_t PreviewZoomOut(int32_t index) { return CanPreviewZoomOut(index) ? index - 1 : index; }

std::string PreviewZoomText(int32_t index) {
  index = std::clamp<int32_t>(index, 0, int32_t(kPreviewZooms.size()) - 1);
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", int(std::lround(kPreviewZooms[size_t(index)] * 100)));
  return text;
}

}  // namespace viewer
