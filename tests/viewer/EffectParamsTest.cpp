#include "viewer/EffectParams.h"

#include <gtest/gtest.h>

#include <vector>

using namespace viewer;

namespace {

std::vector<double> Numbers(const glib::DynParamList& params) {
  std::vector<double> numbers;
  for (size_t i = 0; i < params.Size(); ++i) numbers.push_back(params[i].Number());
  return numbers;
}

void ExpectIntegers(const EffectCall& call, uint32_t effect, std::vector<double> expected) {
  EXPECT_EQ(call.effect, effect);
  EXPECT_EQ(Numbers(call.params), expected);
  for (size_t i = 0; i < call.params.Size(); ++i) EXPECT_EQ(call.params[i].isReal, 0) << i;
}

}  // namespace

TEST(EffectParams, TheListInItsOrder) {
  std::vector<std::string_view> names;
  for (const EffectEntry& entry : kEffects) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string_view>{"Brightness", "Contrast", "Gamma correction",
                                                  "Color balance", "Auto adjustment colors", "Blur",
                                                  "Sharpen", "Smoothing", "Grayscale",
                                                  "Miscellaneous", "Custom"}));
  EXPECT_EQ(kEffects[6].templateId, 2504);
  EXPECT_EQ(kEffects[7].templateId, 2508);
  EXPECT_EQ(kBlurChoices[2].text, "Moution");
}

TEST(EffectParams, SliderDialogsScaleTheirValueAsOneReal) {
  const EffectCall bright = SliderCall(SliderEffect::Brightness, 50, false);
  EXPECT_EQ(bright.effect, effect::kBrightness);
  ASSERT_EQ(bright.params.Size(), 1u);
  EXPECT_EQ(bright.params[0].isReal, 1);
  EXPECT_EQ(bright.params[0].real, 127.5);
  EXPECT_EQ(SliderCall(SliderEffect::Brightness, 50, true).params[0].real, 32767.5);
  EXPECT_EQ(SliderCall(SliderEffect::Contrast, -50, false).params[0].real, -63.75);
  EXPECT_EQ(SliderCall(SliderEffect::Gamma, 0, false).params[0].real, 0.01);
  EXPECT_EQ(SliderCall(SliderEffect::Gamma, 150, true).params[0].real, 1.5);

  EXPECT_EQ(SliderEndText(SliderEffect::Brightness, -100), "-100%");
  EXPECT_EQ(SliderEndText(SliderEffect::Gamma, 700), "7");
  EXPECT_EQ(SliderEditText(SliderEffect::Gamma, 125), "1.25");
  EXPECT_EQ(SimpleSliderRange(SliderEffect::Gamma).defaultValue, 100);
  EXPECT_EQ(SliderValueFromEdit(SliderEffect::Gamma, " 2.5"), 250);
  EXPECT_EQ(SliderValueFromEdit(SliderEffect::Contrast, "+900"), 100);
  EXPECT_EQ(SliderValueFromEdit(SliderEffect::Brightness, "x"), std::nullopt);
}

TEST(EffectParams, ColorBalanceLinearTruncatesTowardsZero) {
  ColorBalanceState state;
  state.sliders = {50, -50, 33};
  ExpectIntegers(ColorBalanceCall(state, false), 4, {127, -127, 84});
  ExpectIntegers(ColorBalanceCall(state, true), 4, {32767, -32767, 21626});
  state.mode = 1;
  state.toneRange = 2;
  state.preserveLuminosity = true;
  ExpectIntegers(ColorBalanceCall(state, true), 32, {50, -50, 33, 2, 1});
}

TEST(EffectParams, SingleChoiceDialogsPassTheChoiceIndex) {
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::AutoAdjustment, 0), 2, {0});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::AutoAdjustment, 2), 27, {2});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::Smoothing, 2), 14, {2});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::Smoothing, 3), 30, {3});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::Grayscale, 1), 7, {1});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::Grayscale, 2), 19, {2});
  ExpectIntegers(SingleChoiceCall(SingleChoiceEffect::Grayscale, 7), 7, {0});
}

TEST(EffectParams, BlurChoicesAndTheRadiusSlider) {
  BlurState blur;
  ExpectIntegers(BlurCall(blur), 8, {5, 5});
  EXPECT_FALSE(blur.radiusEnabled);
  SelectBlurChoice(blur, 2);  // Moution leaves the slider disabled as it was
  ExpectIntegers(BlurCall(blur), 24, {45, 12});
  EXPECT_FALSE(blur.radiusEnabled);
  MoveBlurRadius(blur, 20);
  ExpectIntegers(BlurCall(blur), 24, {20, 20});

  SelectBlurChoice(blur, 3);
  ExpectIntegers(BlurCall(blur), 6, {8, 8});
  EXPECT_TRUE(blur.radiusEnabled);
  SelectBlurChoice(blur, 2);
  EXPECT_TRUE(blur.radiusEnabled);
  SelectBlurChoice(blur, 4);
  ExpectIntegers(BlurCall(blur), 29, {7, 12});
  EXPECT_FALSE(blur.radiusEnabled);
  SelectBlurChoice(blur, 1);
  ExpectIntegers(BlurCall(blur), 9, {7, 12});
  EXPECT_TRUE(blur.radiusEnabled);
  SelectBlurChoice(blur, 5);  // not in the list
  EXPECT_EQ(blur.choice, 1);
}

TEST(EffectParams, SmartSharpenKeepsTheEffectBefore) {
  SharpenState sharpen;
  ExpectIntegers(SharpenCall(sharpen), 10, {5, 100, 3});
  EXPECT_FALSE(sharpen.slidersEnabled);
  SelectSharpenChoice(sharpen, 1);
  sharpen.radius = 7;
  ExpectIntegers(SharpenCall(sharpen), 16, {7, 100, 3});
  SelectSharpenChoice(sharpen, kSmartSharpenChoice);
  ExpectIntegers(SharpenCall(sharpen), 16, {7, 100, 3});
  EXPECT_TRUE(sharpen.slidersEnabled);
  SelectSharpenChoice(sharpen, 0);
  EXPECT_EQ(SharpenCall(sharpen).effect, 10u);
  EXPECT_FALSE(sharpen.slidersEnabled);
}

TEST(EffectParams, MiscellaneousChoicesSetTheirIntegers) {
  MiscellaneousState misc;
  ExpectIntegers(MiscellaneousCall(misc), 5, {0, 0});
  SelectMiscellaneousChoice(misc, 1);
  ExpectIntegers(MiscellaneousCall(misc), 20, {1, 0});
  SelectMiscellaneousChoice(misc, 3);
  ExpectIntegers(MiscellaneousCall(misc), 17, {0, 4});
  SelectMiscellaneousChoice(misc, 2);
  ExpectIntegers(MiscellaneousCall(misc), 11, {2, 4});
  SelectMiscellaneousChoice(misc, 4);
  ExpectIntegers(MiscellaneousCall(misc), 18, {7, 4});
}

TEST(EffectParams, CustomKernelPassesTheReciprocalDivisorAndKeepsTheEntered) {
  Kernel5x5 kernel = IdentityKernel();
  EffectCall call = CustomCall(kernel);
  EXPECT_EQ(call.effect, 33u);
  std::vector<double> expected(28, 0.0);
  expected[0] = 5, expected[13] = 1, expected[26] = 1;
  EXPECT_EQ(Numbers(call.params), expected);
  EXPECT_EQ(call.params[27].isReal, 1);

  kernel.divisor = 0;
  EXPECT_EQ(ParamsToApply(CustomCall(kernel))[26].real, 1.0);
  kernel.divisor = 9;
  call = CustomCall(kernel);
  EXPECT_EQ(ParamsToApply(call)[26].real, 1.0 / 9);
  EXPECT_EQ(ParamsToApply(call)[26].real, 1.0 / 9);
  EXPECT_EQ(call.params[26].real, 9.0);

  // Only the custom effect has a divisor.
  const EffectCall blur = BlurCall(BlurState{});
  EXPECT_EQ(Numbers(ParamsToApply(blur)), Numbers(blur.params));
}

TEST(EffectParams, PreviewZoomStepsAndStopsAtTheEnds) {
  EXPECT_EQ(PreviewZoomText(kInitialPreviewZoom), "100%");
  EXPECT_EQ(PreviewZoomText(1), "17%");
  EXPECT_EQ(PreviewZoomText(19), "1600%");
  EXPECT_FALSE(CanPreviewZoomOut(0));
  EXPECT_TRUE(CanPreviewZoomIn(0));
  EXPECT_EQ(PreviewZoomOut(0), 0);
  EXPECT_FALSE(CanPreviewZoomIn(19));
  EXPECT_EQ(PreviewZoomIn(19), 19);
  EXPECT_EQ(PreviewZoomIn(PreviewZoomOut(6)), 6);
}
