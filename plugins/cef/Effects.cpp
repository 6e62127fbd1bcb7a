// The effect table: each number's parameter list (length, ranges, defaults) and the
// operation it runs. Lists are checked completely before a pixel is touched.
#include "cef/Effects.h"

#include <array>
#include <cmath>
#include <new>

#include "cef/Filters.h"

namespace cef {
namespace {

constexpr uint32_t kMaxParameters = 28;
constexpr int kFixedRadius = 1;  // blur, median, minimum and maximum work on 3 x 3

struct Rule {
  double min, max;
  bool whole;
};

constexpr Rule kUnused{-1e9, 1e9, true};
constexpr Rule kSample{-65535, 65535, false};
constexpr Rule kRadius{1, 500, true};
constexpr Rule kSize{3, 2 * kMaxRankRadius + 1, true};
constexpr Rule kLevel{0, 255, true};
constexpr Rule kSlider{-100, 100, true};
constexpr Rule kBound{-1e6, 1e6, false};

constexpr Rule kOffsetRules[] = {kSample};
constexpr Rule kContrastRules[] = {{-32767.5, 32767.5, false}};
constexpr Rule kGammaRules[] = {{0.01, 10, false}};
constexpr Rule kBalanceRules[] = {
    {-65535, 65535, true}, {-65535, 65535, true}, {-65535, 65535, true}};
constexpr Rule kUnused1[] = {kUnused};
constexpr Rule kUnused2[] = {kUnused, kUnused};
constexpr Rule kUnused3[] = {kUnused, kUnused, kUnused};
constexpr Rule kCellRules[] = {{1, 65535, true}, {1, 65535, true}};
constexpr Rule kGreyRules[] = {{0, 1, true}};
constexpr Rule kGaussianRules[] = {kRadius, kRadius};
constexpr Rule kUnsharpRules[] = {kRadius, {0, 1000, true}, kLevel};
constexpr Rule kCanvasRules[] = {{0, 3, true}, {1, 50, true}};
constexpr Rule kBrushRules[] = {kSize, kUnused};
constexpr Rule kMotionRules[] = {{-360, 360, true}, {1, 1000, true}};
constexpr Rule kAutoRules[] = {{1, 2, true}};
constexpr Rule kSmartRules[] = {kSize, kLevel};
constexpr Rule kToneRules[] = {kSlider, kSlider, kSlider, {0, 2, true}, {0, 1, true}};
constexpr std::array<Rule, 28> CustomRules() {
  std::array<Rule, 28> rules{};
  rules[0] = {5, 5, true};  // the matrix size
  for (size_t i = 1; i < rules.size(); ++i) rules[i] = kBound;
  return rules;
}
constexpr std::array<Rule, 28> kCustomRules = CustomRules();

constexpr double kZeros[] = {0, 0, 0};
constexpr double kCanvasDefaults[] = {0, 4};
constexpr double kBrushDefaults[] = {7, 0};
constexpr double kAutoDefaults[] = {1};
constexpr double kSmartDefaults[] = {7, 5};

using Run = ERetcode (*)(const Picture& picture, const double* v, Progress& progress);

struct EffectEntry {
  uint32_t effect;
  uint32_t count;          // length of a full list
  const Rule* rules;       // one per parameter
  const double* defaults;  // for an empty list; null when a list is required
  Run run;
};

ERetcode RunCustom(const Picture& p, const double* v, Progress& g) {
  Kernel kernel;
  kernel.size = 5;
  for (int i = 0; i < 25; ++i) kernel.coefficients[i] = v[1 + i];
  kernel.multiplier = v[26];
  kernel.offset = v[27] * p.Max() / 255.0;
  return Convolve(p, kernel, g);
}

// clang-format off
constexpr EffectEntry kEffects[] = {
  {kBrightness, 1, kOffsetRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return Brightness(p, v[0], g); }},
  {kContrast, 1, kContrastRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return Contrast(p, v[0], g); }},
  {kAutoContrast, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return AutoContrast(p, g); }},
  {kGamma, 1, kGammaRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return Gamma(p, v[0], g); }},
  {kLinearBalance, 3, kBalanceRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return LinearBalance(p, v, g); }},
  {kNegative, 2, kUnused2, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Negative(p, g); }},
  {kMosaic, 2, kCellRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return Mosaic(p, int(v[0]), int(v[1]), g); }},
  {kGreyscale, 1, kGreyRules, kZeros, [](const Picture& p, const double* v, Progress& g) {
     return Greyscale(p, v[0] == 1, g); }},
  {kBlur, 2, kUnused2, kZeros, [](const Picture& p, const double*, Progress& g) {
     return BoxBlur(p, kFixedRadius, g); }},
  {kGaussianBlur, 2, kGaussianRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return GaussianBlur(p, v[0], v[1], g); }},
  {kSharpen, 3, kUnused3, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Sharpen(p, g); }},
  {kEmboss, 2, kUnused2, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Emboss(p, g); }},
  {kMedian, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Median(p, kFixedRadius, g); }},
  {kMinimum, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Minimum(p, kFixedRadius, g); }},
  {kMaximum, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Maximum(p, kFixedRadius, g); }},
  {kUnsharpMask, 3, kUnsharpRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return UnsharpMask(p, v[0], v[1] / 100, v[2], g); }},
  {kCanvas, 2, kCanvasRules, kCanvasDefaults, [](const Picture& p, const double* v, Progress& g) {
     return Canvas(p, int(v[0]), int(v[1]), g); }},
  {kOilPaint, 2, kBrushRules, kBrushDefaults, [](const Picture& p, const double* v, Progress& g) {
     return OilPaint(p, int(v[0]) / 2, g); }},
  {kDesaturate, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Desaturate(p, g); }},
  {kSepia, 2, kUnused2, kZeros, [](const Picture& p, const double*, Progress& g) {
     return Sepia(p, g); }},
  {kMotionBlur, 2, kMotionRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return MotionBlur(p, v[0], int(v[1]), g); }},
  {kAutoLevels, 1, kAutoRules, kAutoDefaults, [](const Picture& p, const double* v, Progress& g) {
     return AutoLevels(p, v[0] == 2, g); }},
  {kSmartBlur, 2, kSmartRules, kSmartDefaults, [](const Picture& p, const double* v, Progress& g) {
     return SmartBlur(p, int(v[0]) / 2, v[1], g); }},
  {kSmartSmoothing, 1, kUnused1, kZeros, [](const Picture& p, const double*, Progress& g) {
     return SmartSmoothing(p, g); }},
  {kNonLinearBalance, 5, kToneRules, nullptr, [](const Picture& p, const double* v, Progress& g) {
     return NonLinearBalance(p, v, int(v[3]), v[4] == 1, g); }},
  {kCustom, 28, kCustomRules.data(), nullptr, RunCustom},
};
// clang-format on

const EffectEntry* Find(uint32_t effect) {
  for (const EffectEntry& entry : kEffects) {
    if (entry.effect == effect) return &entry;
  }
  return nullptr;
}

// The list's numbers into `v` (the defaults for an empty list); false when it is
// malformed. Nothing past the expected length is read.
bool ReadParameters(const EffectEntry& entry, const glib::DynParams* params, double* v) {
  if (!params || params->count == 0) {
    if (!entry.defaults) return false;
    for (uint32_t i = 0; i < entry.count; ++i) v[i] = entry.defaults[i];
    return true;
  }
  if (params->count != entry.count || !params->items) return false;
  for (uint32_t i = 0; i < entry.count; ++i) {
    const double value = params->items[i].Number();
    const Rule& rule = entry.rules[i];
    if (!(value >= rule.min && value <= rule.max)) return false;  // NaN fails too
    if (rule.whole && value != std::floor(value)) return false;
    v[i] = value;
  }
  return true;
}

}  // namespace

int32_t ParameterCount(uint32_t effect) {
  const EffectEntry* entry = Find(effect);
  return entry ? int32_t(entry->count) : -1;
}

uint32_t ApplyColorEffect(glib::CoreBitmap* bitmap, uint32_t effect, const glib::DynParams* params,
                          ProgressCallback callback, ClbData* record) noexcept {
  try {
    const EffectEntry* entry = Find(effect);
    if (!entry) return glib::UNSF;
    double v[kMaxParameters];
    if (!ReadParameters(*entry, params, v)) return glib::BADA;
    Picture picture;
    if (ERetcode rc = ReadPicture(bitmap, picture); rc != glib::RCOK) return rc;
    Progress progress(callback, record);
    return entry->run(picture, v, progress);
  } catch (const std::bad_alloc&) {
    return glib::OMEM;
  } catch (...) {
    return glib::IERR;
  }
}

}  // namespace cef
