// The point operations: tone curves and mixes against ImageMagick, the automatic
// corrections and colour balance by what they must do, 16-bit samples against 8-bit
// ones, and every row layout with its alpha and padding left alone.
#include <gtest/gtest.h>

#include <cmath>

#include "CefKit.h"
#include "cef/Effects.h"
#include "cef/Lookup.h"
#include "formats/Retcode.h"

using namespace cef_test;
using glib::RCOK;

namespace {

// ImageMagick's contrast C (percent) is a slope tan(pi (C / 100 + 1) / 4) through
// mid-grey; ours is the sample units cut from each end.
double ContrastAmount(double percent, double max) {
  const double slope = std::tan(3.14159265358979323846 * (percent / 100 + 1) / 4);
  return slope >= 1 ? max * (1 - 1 / slope) / 2 : -max * (1 - slope) / 2;
}

using Case = ReferenceCase;

}  // namespace

TEST(CefPoint, ToneCurvesAndMixesAgreeWithImageMagick) {
  if (!HaveReference()) GTEST_SKIP() << "no /usr/bin/convert";
  const std::vector<ReferenceCase> cases = {
      {"negative", cef::kNegative, {}, "-negate", 0},
      {"gamma 2.2", cef::kGamma, {2.2}, "-gamma 2.2", 1},
      {"gamma 0.4", cef::kGamma, {0.4}, "-gamma 0.4", 1},
      {"brightness +30%", cef::kBrightness, {30 * 2.55}, "-brightness-contrast 30x0", 1},
      {"brightness -45%", cef::kBrightness, {-45 * 2.55}, "-brightness-contrast -45x0", 1},
      {"contrast +40%", cef::kContrast, {ContrastAmount(40, 255)}, "-brightness-contrast 0x40", 1},
      {"contrast -60%",
       cef::kContrast,
       {ContrastAmount(-60, 255)},
       "-brightness-contrast 0x-60",
       1},
      {"sepia",
       cef::kSepia,
       {},
       "-color-matrix '0.393 0.769 0.189 0.349 0.686 0.168 0.272 0.534 0.131'",
       1},
      {"luminance grey", cef::kGreyscale, {0}, "-grayscale Rec601Luma", 1},
      {"average grey", cef::kGreyscale, {1}, "-grayscale Average", 1},
      {"lightness", cef::kDesaturate, {}, "-grayscale Lightness", 1},
  };
  const Image picture = Generated(53, 37, glib::kPixelRGB24);
  ExpectLikeReference(picture, cases);
  // A contrast of half the range or more leaves a threshold at mid-grey.
  Image threshold = picture;
  ASSERT_EQ(Apply(threshold, cef::kContrast, {127.5}), RCOK);
  for (int32_t x = 0; x < picture.width; ++x) {
    EXPECT_EQ(threshold.Get(x, 5, 1), picture.Get(x, 5, 1) >= 128 ? 255u : 0u);
  }
}

TEST(CefPoint, SixteenBitSamplesAgreeWithEightBitOnesScaled) {
  // Parameters in sample units scale with the depth; the rest stay as they are.
  const Case cases[] = {
      {"brightness", cef::kBrightness, {40}, "", 1},
      {"contrast", cef::kContrast, {-50}, "", 1},
      {"gamma", cef::kGamma, {1.7}, "", 1},
      {"linear balance", cef::kLinearBalance, {30, -20, 10}, "", 1},
      {"negative", cef::kNegative, {}, "", 1},
      {"auto contrast", cef::kAutoContrast, {}, "", 1},
      {"auto levels", cef::kAutoLevels, {1}, "", 1},
      {"auto colours", cef::kAutoLevels, {2}, "", 1},
      {"greyscale", cef::kGreyscale, {0}, "", 1},
      {"desaturate", cef::kDesaturate, {}, "", 1},
      {"sepia", cef::kSepia, {}, "", 1},
      // Keeping the luminance rounds the luminance twice at 8 bits.
      {"tone balance", cef::kNonLinearBalance, {60, -30, 20, 1, 1}, "", 2},
      {"canvas", cef::kCanvas, {2, 9}, "", 1},
      {"Gaussian", cef::kGaussianBlur, {2, 6}, "", 1},
      {"median", cef::kMedian, {}, "", 1},
      {"unsharp mask", cef::kUnsharpMask, {4, 80, 2}, "", 1},
      {"custom kernel",
       cef::kCustom,
       {5, 1, 0, 0, 0, 1, 0, 2, 0, 2, 0, 0, 0, -4, 0, 0, 0, 2, 0, 2, 0, 1, 0, 0, 0, 1, 0.125, 20},
       "",
       1},
      {"motion blur", cef::kMotionBlur, {70, 11}, "", 1},
      {"oil paint", cef::kOilPaint, {5, 0}, "", 1},
  };
  const Image narrow = Generated(41, 29, glib::kPixelRGBA32);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> wideParams = c.params;
    if (c.effect == cef::kBrightness || c.effect == cef::kContrast ||
        c.effect == cef::kLinearBalance) {
      for (double& v : wideParams) v *= 257;
    }
    Image eight = narrow, sixteen = Widened(narrow);
    ASSERT_EQ(Apply(eight, c.effect, c.params), RCOK);
    ASSERT_EQ(Apply(sixteen, c.effect, wideParams), RCOK);
    uint32_t worst = 0;
    for (int32_t y = 0; y < narrow.height; ++y) {
      for (int32_t x = 0; x < narrow.width; ++x) {
        for (int k = 0; k < 3; ++k) {
          double scaled = sixteen.Get(x, y, k) / 257.0;
          worst = std::max(worst, uint32_t(std::lround(std::abs(scaled - eight.Get(x, y, k)))));
        }
      }
    }
    EXPECT_LE(worst, c.tolerance);
  }
}

TEST(CefPoint, EveryRowLayoutKeepsAlphaAndPadding) {
  const uint32_t types[] = {glib::kPixelRGB24, glib::kPixelRGBA32, glib::kPixelRGB48,
                            glib::kPixelRGBA64};
  const int32_t strides[] = {glib::kStridePadded, glib::kStridePacked, 0};
  const std::vector<std::pair<uint32_t, std::vector<double>>> effects = {
      {cef::kBrightness, {20}},
      {cef::kGamma, {0.8}},
      {cef::kLinearBalance, {5, 0, -5}},
      {cef::kNegative, {}},
      {cef::kGreyscale, {}},
      {cef::kSepia, {}},
      {cef::kAutoLevels, {2}},
      {cef::kNonLinearBalance, {-40, 20, 90, 2, 1}},
      {cef::kCanvas, {}},
      {cef::kMosaic, {3, 4}},
      {cef::kGaussianBlur, {3, 1}},
      {cef::kMedian, {}},
      {cef::kMaximum, {}},
      {cef::kUnsharpMask, {2, 150, 1}},
      {cef::kOilPaint, {5, 0}},
      {cef::kMotionBlur, {30, 7}},
      {cef::kSmartBlur, {5, 40}},
      {cef::kSmartSmoothing, {}},
      {cef::kEmboss, {}}};
  for (uint32_t type : types) {
    for (int32_t stride : strides) {
      if (stride == 0) stride = int32_t(glib::BitsPerPixel(type) / 8) * 67 + 6;  // explicit
      const Image picture = Generated(67, 23, type, 3, stride);
      for (const auto& [effect, params] : effects) {
        SCOPED_TRACE(testing::Message() << std::hex << type << std::dec << " stride " << stride
                                        << " effect " << effect);
        Image image = picture;
        ASSERT_EQ(Apply(image, effect, params), RCOK);
        EXPECT_TRUE(SameAlphaAndPadding(image, picture));
        EXPECT_NE(MaxDifference(image, picture), 0u);
      }
    }
  }
}

TEST(CefPoint, AutomaticCorrectionsStretchWhatIsThere) {
  // A dull picture: every channel within 60..180, red kept lower than the others.
  Image dull = Blank(64, 48, glib::kPixelRGB24);
  for (int32_t y = 0; y < dull.height; ++y) {
    for (int32_t x = 0; x < dull.width; ++x) {
      dull.Set(x, y, 0, 60 + uint32_t(x * 120 / 63));
      dull.Set(x, y, 1, 60 + uint32_t(y * 120 / 47));
      dull.Set(x, y, 2, 60 + uint32_t((x + y) * 60 / 110));
    }
  }
  auto range = [](const Image& image, int c) {
    uint32_t low = 65535, high = 0;
    for (int32_t y = 0; y < image.height; ++y) {
      for (int32_t x = 0; x < image.width; ++x) {
        low = std::min(low, image.Get(x, y, c)), high = std::max(high, image.Get(x, y, c));
      }
    }
    return std::make_pair(low, high);
  };
  // Auto contrast: one stretch for all, so red stays short of white.
  Image contrast = dull;
  ASSERT_EQ(Apply(contrast, cef::kAutoContrast), RCOK);
  EXPECT_LE(range(contrast, 0).first, 1u);
  EXPECT_GE(range(contrast, 0).second, 254u);
  EXPECT_LT(range(contrast, 2).second, 200u);
  // Auto levels: every channel on its own.
  Image levels = dull;
  ASSERT_EQ(Apply(levels, cef::kAutoLevels), RCOK);
  for (int c = 0; c < 3; ++c) {
    EXPECT_LE(range(levels, c).first, 1u);
    EXPECT_GE(range(levels, c).second, 254u);
  }
  // Auto colours: the channels' medians meet.
  Image colours = dull;
  for (int32_t x = 0; x < 20; ++x) colours.Set(x, 0, 2, 250);  // a white point for red
  ASSERT_EQ(Apply(colours, cef::kAutoLevels, {2}), RCOK);
  auto median = [](const Image& image, int c) {  // the lower one of an even count
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < image.height; ++y) {
      for (int32_t x = 0; x < image.width; ++x) v.push_back(image.Get(x, y, c));
    }
    std::nth_element(v.begin(), v.begin() + long((v.size() - 1) / 2), v.end());
    return double(v[(v.size() - 1) / 2]);
  };
  EXPECT_NEAR(median(colours, 0), median(colours, 2), 1);
  EXPECT_NEAR(median(colours, 1), median(colours, 2), 1);
  // A picture of one level has nothing to stretch.
  for (uint32_t effect : {cef::kAutoContrast, cef::kAutoLevels}) {
    Image flat = Flat(9, 9, glib::kPixelRGB48, 100, 100, 100), before = flat;
    ASSERT_EQ(Apply(flat, effect), RCOK);
    EXPECT_EQ(flat.bytes, before.bytes);
  }
}

TEST(CefPoint, ColourBalanceMovesTheChannelsItNames) {
  const Image grey = Flat(4, 4, glib::kPixelRGB24, 128, 128, 128);
  Image linear = grey;
  ASSERT_EQ(Apply(linear, cef::kLinearBalance, {51, -25, 0}), RCOK);  // red, green, blue
  EXPECT_EQ(linear.Get(1, 1, 2), 179u);
  EXPECT_EQ(linear.Get(1, 1, 1), 103u);
  EXPECT_EQ(linear.Get(1, 1, 0), 128u);

  // Midtones towards red: mid-grey gains red, black and white stay.
  Image steps = Blank(3, 1, glib::kPixelRGB24);
  for (int c = 0; c < 3; ++c) steps.Set(1, 0, c, 128), steps.Set(2, 0, c, 255);
  Image tone = steps;
  ASSERT_EQ(Apply(tone, cef::kNonLinearBalance, {100, 0, 0, 1, 0}), RCOK);
  EXPECT_GT(tone.Get(1, 0, 2), 150u);
  EXPECT_EQ(tone.Get(1, 0, 1), 128u);
  EXPECT_EQ(tone.Get(0, 0, 2), 0u);
  EXPECT_EQ(tone.Get(2, 0, 2), 255u);
  // Shadows move dark greys more than light ones; highlights the other way round.
  Image ramp = Blank(2, 1, glib::kPixelRGB24);
  for (int c = 0; c < 3; ++c) ramp.Set(0, 0, c, 64), ramp.Set(1, 0, c, 192);
  Image shadows = ramp, highlights = ramp;
  ASSERT_EQ(Apply(shadows, cef::kNonLinearBalance, {0, 0, -100, 0, 0}), RCOK);
  ASSERT_EQ(Apply(highlights, cef::kNonLinearBalance, {0, 0, -100, 2, 0}), RCOK);
  EXPECT_GT(64 - int(shadows.Get(0, 0, 0)), 192 - int(shadows.Get(1, 0, 0)));
  EXPECT_LT(64 - int(highlights.Get(0, 0, 0)), 192 - int(highlights.Get(1, 0, 0)));
  // Keeping luminosity: the tint comes without a change of brightness.
  Image kept = Generated(30, 20, glib::kPixelRGB24), plain = kept;
  ASSERT_EQ(Apply(kept, cef::kNonLinearBalance, {80, -40, 0, 1, 1}), RCOK);
  for (int32_t x = 0; x < kept.width; ++x) {
    auto luma = [](const Image& i, int32_t px) {
      return 0.299 * i.Get(px, 7, 2) + 0.587 * i.Get(px, 7, 1) + 0.114 * i.Get(px, 7, 0);
    };
    bool clipped = false;
    for (int c = 0; c < 3; ++c) clipped |= kept.Get(x, 7, c) == 0 || kept.Get(x, 7, c) == 255;
    if (!clipped) {
      EXPECT_NEAR(luma(kept, x), luma(plain, x), 1.5) << x;
    }
  }
}

TEST(CefPoint, WideLookupsAgreeWithPlainOnes) {
  // Rows of every length around the 64-byte blocks, one table or three, with alpha.
  uint8_t tables[3][256];
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 256; ++v) tables[c][v] = uint8_t((v * (7 + 2 * c) + 31 * c) & 255);
  }
  const uint8_t* one[3] = {tables[0], tables[0], tables[0]};
  const uint8_t* three[3] = {tables[0], tables[1], tables[2]};
  for (int channels : {3, 4}) {
    for (const uint8_t* const* lut : {one, three}) {
      for (size_t pixels : {1u, 15u, 16u, 21u, 22u, 63u, 64u, 65u, 129u, 200u}) {
        std::vector<uint8_t> row(pixels * size_t(channels) + 1);
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 151 + 7);
        std::vector<uint8_t> plain = row, wide = row;
        cef::LookUpRowPlain(plain.data(), row.size() - 1, channels, lut);
        for (size_t i = 0; i + 1 < row.size(); ++i) {
          const int c = int(i % size_t(channels));
          ASSERT_EQ(plain[i], c == 3 ? row[i] : lut[c][row[i]]) << i;
        }
        EXPECT_EQ(plain.back(), row.back());  // past the samples
        if (!cef::HasAvx512Lookups()) continue;
        cef::LookUpRowAvx512(wide.data(), row.size() - 1, channels, lut);
        EXPECT_EQ(wide, plain) << channels << " channels, " << pixels << " pixels";
      }
    }
  }
}
