// The effect table at the module's edge: what it accepts, what it refuses (always
// with the pixels as they were), its defaults, and the progress steps with their stop
// requests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CefKit.h"
#include "cef/Effects.h"
#include "formats/DynParams.h"
#include "formats/Retcode.h"

using namespace cef_test;
using glib::BADA;
using glib::RCOK;
using glib::UNSF;
using glib::USRA;

namespace {

using Par = glib::DynParams::Par_t;

uint32_t ApplyList(Image& image, uint32_t effect, const std::vector<Par>& items,
                   uint32_t count = UINT32_MAX) {
  glib::DynParams params;
  params.items = items.empty() ? nullptr : items.data();
  params.count = count == UINT32_MAX ? uint32_t(items.size()) : count;
  glib::CoreBitmap bitmap = image.Bitmap();
  return cef::ApplyColorEffect(&bitmap, effect, &params, nullptr, nullptr);
}

// Every step heard, and from which ordinary step on to ask for a stop (0: never).
struct Recorder {
  std::vector<int32_t> steps;
  int32_t stopFrom = 0;
  static bool ORBISK_CDECL Callback(ClbData* data) {
    auto* self = reinterpret_cast<Recorder*>(data->context);
    self->steps.push_back(data->step);
    return self->stopFrom == 0 || data->step < self->stopFrom;
  }
};

}  // namespace

TEST(CefParameters, MalformedListsAreRefusedBeforeAPixelChanges) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    uint32_t effect;
    std::vector<Par> items;
  };
  auto ints = [](std::initializer_list<int64_t> values) {
    std::vector<Par> items;
    for (int64_t v : values) items.push_back(Par::Integer(v));
    return items;
  };
  auto reals = [](std::initializer_list<double> values) {
    std::vector<Par> items;
    for (double v : values) items.push_back(Par::Real(v));
    return items;
  };
  std::vector<Par> custom = reals({5});
  for (int i = 0; i < 27; ++i) custom.push_back(Par::Real(i == 12 ? 1 : 0));
  std::vector<Par> customSize3 = custom, customNan = custom, customShort = custom;
  customSize3[0] = Par::Real(3);
  customNan[26] = Par::Real(nan);
  customShort.pop_back();
  const Case cases[] = {
      {cef::kBrightness, {}},               // the list is required
      {cef::kBrightness, reals({10, 10})},  // too long
      {cef::kBrightness, reals({nan})},
      {cef::kBrightness, reals({65536})},  // beyond a 16-bit sample
      {cef::kContrast, reals({-32768})},
      {cef::kGamma, reals({0.001})},
      {cef::kGamma, reals({inf})},
      {cef::kLinearBalance, ints({1, 2})},
      {cef::kLinearBalance, ints({70000, 0, 0})},
      {cef::kMosaic, ints({0, 8})},
      {cef::kGreyscale, ints({2})},
      {cef::kGaussianBlur, ints({0, 5})},
      {cef::kGaussianBlur, ints({5, 501})},
      {cef::kGaussianBlur, reals({2.5, 2.5})},  // integers must be whole
      {cef::kGaussianBlur, ints({5})},
      {cef::kUnsharpMask, ints({5, 100, 256})},
      {cef::kUnsharpMask, ints({-5, 100, 3})},
      {cef::kCanvas, ints({4, 4})},
      {cef::kOilPaint, ints({1, 0})},
      {cef::kMotionBlur, ints({45, 0})},
      {cef::kMotionBlur, ints({720, 12})},
      {cef::kAutoLevels, ints({0})},
      {cef::kSmartBlur, ints({7, 300})},
      {cef::kNonLinearBalance, ints({0, 0, 101, 1, 0})},
      {cef::kNonLinearBalance, ints({0, 0, 0, 3, 0})},
      {cef::kNonLinearBalance, ints({0, 0, 0, 1})},
      {cef::kNegative, ints({0})},
      {cef::kNegative, reals({0, nan})},  // unused values are checked too
      {cef::kMedian, ints({int64_t(1) << 40})},
      {cef::kCustom, customSize3},
      {cef::kCustom, customNan},
      {cef::kCustom, customShort},
  };
  const Image picture = Generated(16, 9, glib::kPixelRGB24);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "effect " << c.effect << " with " << c.items.size());
    Image image = picture;
    EXPECT_EQ(ApplyList(image, c.effect, c.items), BADA);
    EXPECT_EQ(image.bytes, picture.bytes);
  }
  // A count that promises more than there is is never read past the effect's length.
  Image image = picture;
  std::vector<Par> one = {Par::Real(10)};
  EXPECT_EQ(ApplyList(image, cef::kBrightness, one, 1u << 30), BADA);
  EXPECT_EQ(ApplyList(image, cef::kBrightness, {}, 1), BADA);  // items missing
  // Amounts beyond the picture's own range saturate.
  Image white = picture, grey = picture;
  EXPECT_EQ(ApplyList(white, cef::kBrightness, reals({65535})), RCOK);
  EXPECT_EQ(MaxDifference(white, Flat(16, 9, glib::kPixelRGB24, 255, 255, 255)), 0u);
  EXPECT_EQ(ApplyList(grey, cef::kContrast, reals({-32767.5})), RCOK);
  EXPECT_EQ(MaxDifference(grey, Flat(16, 9, glib::kPixelRGB24, 128, 128, 128)), 0u);
  // Integers may come as reals and the other way round.
  Image kinds = picture;
  EXPECT_EQ(ApplyList(kinds, cef::kGaussianBlur, reals({2, 3})), RCOK);
  EXPECT_EQ(ApplyList(kinds, cef::kGamma, ints({2})), RCOK);
}

TEST(CefParameters, UnknownNumbersBitmapsAndPixelTypesGetACode) {
  Image picture = Generated(8, 8, glib::kPixelRGB24);
  for (uint32_t effect : {12u, 21u, 22u, 23u, 25u, 26u, 28u, 31u, 34u, 0xFFFFFFFFu}) {
    EXPECT_EQ(Apply(picture, effect), UNSF) << effect;
  }
  EXPECT_EQ(cef::ApplyColorEffect(nullptr, cef::kNegative, nullptr, nullptr, nullptr), BADA);
  auto with = [&](auto change) {
    glib::CoreBitmap b = picture.Bitmap();
    change(b);
    return cef::ApplyColorEffect(&b, cef::kNegative, nullptr, nullptr, nullptr);
  };
  EXPECT_EQ(with([](glib::CoreBitmap& b) { b.pixels = nullptr; }), BADA);
  EXPECT_EQ(with([](glib::CoreBitmap& b) { b.width = 0; }), BADA);
  EXPECT_EQ(with([](glib::CoreBitmap& b) { b.height = -3; }), BADA);
  EXPECT_EQ(with([](glib::CoreBitmap& b) { b.stride = 23; }), BADA);  // shorter than 8 pixels
  EXPECT_EQ(with([](glib::CoreBitmap& b) { b.width = 0x7FFFFFFF; }), BADA);
  for (uint32_t type : {glib::kPixelIndexed8, glib::kPixelGray16, glib::kPixelRGB565,
                        glib::kPixelBW1, glib::kPixelVector, glib::kPixelNone}) {
    Image before = picture;
    EXPECT_EQ(with([type](glib::CoreBitmap& b) { b.pixelType = type; }), UNSF) << std::hex << type;
    EXPECT_EQ(picture.bytes, before.bytes);
  }
  Image odd = Generated(4, 2, glib::kPixelRGB48, 1, 25);  // 16-bit rows must stay aligned
  EXPECT_EQ(Apply(odd, cef::kNegative), BADA);
}

TEST(CefParameters, EmptyListsTakeTheDefaults) {
  for (uint32_t effect :
       {cef::kAutoContrast, cef::kNegative, cef::kGreyscale, cef::kBlur, cef::kSharpen,
        cef::kEmboss, cef::kMedian, cef::kMinimum, cef::kMaximum, cef::kCanvas, cef::kOilPaint,
        cef::kDesaturate, cef::kSepia, cef::kAutoLevels, cef::kSmartBlur, cef::kSmartSmoothing}) {
    Image image = Generated(12, 10, glib::kPixelRGBA32);
    EXPECT_EQ(Apply(image, effect), RCOK) << effect;
    EXPECT_EQ(cef::ParameterCount(effect) >= 1, true);
  }
  for (uint32_t effect : {cef::kBrightness, cef::kContrast, cef::kGamma, cef::kLinearBalance,
                          cef::kMosaic, cef::kGaussianBlur, cef::kUnsharpMask, cef::kMotionBlur,
                          cef::kNonLinearBalance, cef::kCustom}) {
    Image image = Generated(12, 10, glib::kPixelRGBA32);
    EXPECT_EQ(Apply(image, effect), BADA) << effect;
  }
  // The one-step corrections' defaults are what their dialog choices give.
  Image levels = Generated(12, 10, glib::kPixelRGB24), chosen = levels;
  ASSERT_EQ(Apply(levels, cef::kAutoLevels), RCOK);
  ASSERT_EQ(Apply(chosen, cef::kAutoLevels, {1}), RCOK);
  EXPECT_EQ(levels.bytes, chosen.bytes);
}

TEST(CefParameters, ProgressRunsFromBeginToEndAndAStopLeavesThePicture) {
  const Image picture = Generated(300, 200, glib::kPixelRGB24);
  std::vector<double> sharpening = {5};
  for (int i = 0; i < 25; ++i) sharpening.push_back(i == 12 ? 9 : i % 6 == 0 ? -2 : 0);
  sharpening.insert(sharpening.end(), {1, 0});
  const std::vector<std::pair<uint32_t, std::vector<double>>> effects = {
      {cef::kGaussianBlur, {6, 6}},
      {cef::kBlur, {}},
      {cef::kMedian, {}},
      {cef::kMinimum, {}},
      {cef::kUnsharpMask, {4, 100, 0}},
      {cef::kMotionBlur, {10, 9}},
      {cef::kCustom, sharpening},
      {cef::kMosaic, {4, 4}},
      {cef::kOilPaint, {}},
      {cef::kSmartBlur, {}},
      {cef::kSmartSmoothing, {}},
      {cef::kAutoLevels, {2}},
      {cef::kBrightness, {9}},
      {cef::kSepia, {}},
      {cef::kCanvas, {}}};
  for (const auto& [effect, params] : effects) {
    SCOPED_TRACE(testing::Message() << "effect " << effect);
    Recorder recorder;
    ClbData record;
    record.context = reinterpret_cast<uintptr_t>(&recorder);
    Image image = picture;
    ASSERT_EQ(Apply(image, effect, params, &Recorder::Callback, &record), RCOK);
    ASSERT_GE(recorder.steps.size(), 3u);
    EXPECT_EQ(recorder.steps.front(), ClbData::kBegin);
    EXPECT_EQ(recorder.steps.back(), ClbData::kEnd);
    EXPECT_EQ(record.stepCount, 100);
    for (size_t i = 2; i + 1 < recorder.steps.size(); ++i) {
      EXPECT_GT(recorder.steps[i], recorder.steps[i - 1]);
    }
    // A stop at the first or the last ordinary step (threads make the steps between
    // vary): USRA, the end step, and the picture as it was.
    for (int32_t stopFrom : {1, recorder.steps[recorder.steps.size() - 2]}) {
      Recorder stopper;
      stopper.stopFrom = stopFrom;
      record.context = reinterpret_cast<uintptr_t>(&stopper);
      Image stopped = picture;
      EXPECT_EQ(Apply(stopped, effect, params, &Recorder::Callback, &record), USRA);
      EXPECT_EQ(stopped.bytes, picture.bytes);
      EXPECT_EQ(stopper.steps.back(), ClbData::kEnd);
    }
  }
  // Without a record the callback is never called (it would read a null record).
  Image quiet = picture;
  ASSERT_EQ(Apply(quiet, cef::kMedian, {}, &Recorder::Callback, nullptr), RCOK);
}
