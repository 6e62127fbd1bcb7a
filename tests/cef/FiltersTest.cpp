// The neighbourhood filters: against ImageMagick where it has the same operation,
// otherwise by what must hold (flat stays flat, lines along a blur stay, edges survive
// the edge-keeping filters), and the same result whatever the thread count.
#include <gtest/gtest.h>

#include "CefKit.h"
#include "cef/Effects.h"
#include "cef/Filters.h"
#include "cef/Progress.h"
#include "cef/Separable.h"
#include "formats/Retcode.h"

using namespace cef_test;
using glib::RCOK;

namespace {

// A library operation on a picture, quietly.
template <typename F>
uint32_t RunOperation(Image& image, F operation) {
  glib::CoreBitmap bitmap = image.Bitmap();
  cef::Picture picture;
  EXPECT_EQ(cef::ReadPicture(&bitmap, picture), RCOK);
  cef::Progress quiet(nullptr, nullptr);
  return operation(picture, quiet);
}

std::vector<double> CustomKernel(const std::vector<double>& coefficients, double multiplier,
                                 double offset) {
  std::vector<double> params = {5};
  params.insert(params.end(), coefficients.begin(), coefficients.end());
  params.push_back(multiplier);
  params.push_back(offset);
  return params;
}

const std::vector<double> kIdentity = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

TEST(CefFilters, AgreeWithImageMagick) {
  if (!HaveReference()) GTEST_SKIP() << "no /usr/bin/convert";
  const std::vector<double> skewed = {1, 0, 0, 0, 2, 0, 3, 0, 0, 0, -1, 0, 4,
                                      0, 0, 0, 0, 0, 5, 0, 2, 0, 0, 0,  -3};
  std::string kernel = "'5x5:";
  for (size_t i = 0; i < skewed.size(); ++i)
    kernel += (i ? "," : " ") + std::to_string(int(skewed[i]));
  kernel += "'";
  const std::vector<ReferenceCase> cases = {
      {"3 x 3 box", cef::kBlur, {}, "-define convolve:scale=! -morphology Convolve Square:1", 1},
      {"Gaussian 2 (kernel)", cef::kGaussianBlur, {2, 2}, "-gaussian-blur 0x2", 1},
      {"Gaussian 5 (recursive)", cef::kGaussianBlur, {5, 5}, "-gaussian-blur 0x5", 2},
      {"median 3 x 3", cef::kMedian, {}, "-statistic Median 3x3", 0},
      {"minimum 3 x 3", cef::kMinimum, {}, "-statistic Minimum 3x3", 0},
      {"maximum 3 x 3", cef::kMaximum, {}, "-statistic Maximum 3x3", 0},
      // ImageMagick's unsharp mask blurs with its kernel sampled between pixels, a shade
      // wider than a Gaussian taken at the pixels; above sigma 3 the recursive Gaussian
      // keeps within about 1 % of the exact one. The mask's gain magnifies both.
      {"unsharp mask 2", cef::kUnsharpMask, {2, 150, 0}, "-unsharp 0x2+1.5+0", 3},
      {"unsharp mask 6", cef::kUnsharpMask, {6, 150, 0}, "-unsharp 0x6+1.5+0", 4},
      {"sharpen", cef::kSharpen, {}, "-morphology Correlate '3x3: 0,-1,0,-1,5,-1,0,-1,0'", 0},
      {"emboss",
       cef::kEmboss,
       {},
       "-define convolve:bias=50% "
       "-morphology Correlate '3x3: -1,-1,0,-1,0,1,0,1,1'",
       1},
      {"custom 5 x 5", cef::kCustom, CustomKernel(skewed, 1.0 / 8, 10),
       "-define convolve:scale=0.125 -define convolve:bias=3.92157% -morphology Correlate " +
           kernel,
       1},
  };
  const Image picture = Generated(61, 43, glib::kPixelRGB24, 5);
  ExpectLikeReference(picture, cases);
  // Large ranks take the same answers; 16-bit samples too.
  for (int radius : {3, 12}) {
    for (const Image& source : {picture, Widened(picture)}) {
      SCOPED_TRACE(testing::Message() << "median radius " << radius << " wide " << source.Wide());
      Image ours = source, theirs;
      ASSERT_EQ(RunOperation(ours, [&](auto& p, auto& g) { return cef::Median(p, radius, g); }),
                RCOK);
      std::string side = std::to_string(2 * radius + 1);
      ASSERT_TRUE(Reference(source, "-statistic Median " + side + "x" + side, theirs));
      EXPECT_EQ(MaxDifference(ours, theirs), 0u);
      Image low = source, lowest;
      ASSERT_EQ(RunOperation(low, [&](auto& p, auto& g) { return cef::Minimum(p, radius, g); }),
                RCOK);
      ASSERT_TRUE(Reference(source, "-statistic Minimum " + side + "x" + side, lowest));
      EXPECT_EQ(MaxDifference(low, lowest), 0u);
    }
  }
}

TEST(CefFilters, FlatPicturesStayFlat) {
  const std::vector<std::pair<uint32_t, std::vector<double>>> effects = {
      {cef::kBlur, {}},
      {cef::kGaussianBlur, {1, 1}},
      {cef::kGaussianBlur, {9, 4}},
      {cef::kGaussianBlur, {250, 250}},
      {cef::kMedian, {}},
      {cef::kMinimum, {}},
      {cef::kMaximum, {}},
      {cef::kUnsharpMask, {5, 500, 0}},
      {cef::kOilPaint, {9, 0}},
      {cef::kMotionBlur, {45, 12}},
      {cef::kMotionBlur, {-100, 300}},
      {cef::kSmartBlur, {7, 5}},
      {cef::kSmartSmoothing, {}},
      {cef::kMosaic, {5, 3}},
      {cef::kSharpen, {}},
      {cef::kCustom, CustomKernel(kIdentity, 1, 0)}};
  for (uint32_t type : {glib::kPixelRGB24, glib::kPixelRGBA64}) {
    const Image flat = Flat(37, 13, type, 12, 140, 251);
    for (const auto& [effect, params] : effects) {
      SCOPED_TRACE(testing::Message() << "effect " << effect << " type " << std::hex << type);
      Image image = flat;
      ASSERT_EQ(Apply(image, effect, params), RCOK);
      EXPECT_EQ(image.bytes, flat.bytes);
    }
  }
  // The lone-centre kernel leaves any picture as it was.
  const Image picture = Generated(19, 11, glib::kPixelRGB48);
  Image same = picture;
  ASSERT_EQ(Apply(same, cef::kCustom, CustomKernel(kIdentity, 1, 0)), RCOK);
  EXPECT_EQ(same.bytes, picture.bytes);
}

TEST(CefFilters, TheAvx2BuildOfTheBlursAgreesWithThePlainOne) {
  if (!cef::HasAvx2Fma()) GTEST_SKIP() << "no AVX2 and FMA here";
  // Sizes that fill neither a group of rows nor a vector of samples.
  const struct {
    uint32_t effect;
    std::vector<double> params;
  } blurs[] = {
      {cef::kGaussianBlur, {2, 2}},    {cef::kGaussianBlur, {5, 3}},
      {cef::kGaussianBlur, {14, 14}},  {cef::kBlur, {}},
      {cef::kUnsharpMask, {4, 80, 2}},
  };
  for (uint32_t type : {glib::kPixelRGB24, glib::kPixelRGBA32, glib::kPixelRGB48}) {
    const Image picture = Generated(45, 29, type, 3);
    for (const auto& blur : blurs) {
      SCOPED_TRACE(testing::Message() << "effect " << blur.effect << " type " << std::hex << type);
      Image plain = picture, fast = picture;
      cef::UsePlainBuildOnly(true);
      ASSERT_EQ(Apply(plain, blur.effect, blur.params), RCOK);
      cef::UsePlainBuildOnly(false);
      ASSERT_EQ(Apply(fast, blur.effect, blur.params), RCOK);
      // Fused multiply-adds round once where the plain build rounds twice.
      EXPECT_LE(MaxDifference(plain, fast), type == glib::kPixelRGB48 ? 2u : 1u);
      EXPECT_NE(plain.bytes, picture.bytes);
    }
  }
}

TEST(CefFilters, BlursRunTheWayTheyAreTold) {
  // Each direction of a Gaussian on its own: stripes along it stay.
  Image rows = Blank(40, 40, glib::kPixelRGB24), columns = rows;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      for (int c = 0; c < 3; ++c)
        rows.Set(x, y, c, y % 2 ? 200 : 20), columns.Set(x, y, c, x % 2 ? 200 : 20);
    }
  }
  for (double sigma : {2.0, 7.0, 30.0}) {
    Image across = rows, down = columns;
    ASSERT_EQ(
        RunOperation(across, [&](auto& p, auto& g) { return cef::GaussianBlur(p, sigma, 0, g); }),
        RCOK);
    ASSERT_EQ(
        RunOperation(down, [&](auto& p, auto& g) { return cef::GaussianBlur(p, 0, sigma, g); }),
        RCOK);
    EXPECT_EQ(across.bytes, rows.bytes);
    EXPECT_EQ(down.bytes, columns.bytes);
  }
  Image washed = rows;
  ASSERT_EQ(RunOperation(washed, [&](auto& p, auto& g) { return cef::GaussianBlur(p, 0, 2, g); }),
            RCOK);
  EXPECT_LE(MaxDifference(washed, Flat(40, 40, glib::kPixelRGB24, 110, 110, 110), 8), 1u);
  // The motion blur likewise, at its angle.
  Image diagonal = rows;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      for (int c = 0; c < 3; ++c)
        diagonal.Set(x, y, c, (x + y) % 4 < 2 ? 200 : 20);  // up to the right
    }
  }
  Image along = rows, across = columns;
  ASSERT_EQ(Apply(along, cef::kMotionBlur, {0, 9}), RCOK);
  ASSERT_EQ(Apply(across, cef::kMotionBlur, {180, 9}), RCOK);
  EXPECT_EQ(along.bytes, rows.bytes);
  EXPECT_LE(MaxDifference(across, Flat(40, 40, glib::kPixelRGB24, 110, 110, 110), 6), 10u);
  Image up = columns;
  ASSERT_EQ(Apply(up, cef::kMotionBlur, {90, 15}), RCOK);
  EXPECT_EQ(up.bytes, columns.bytes);
  Image slanted = diagonal;
  ASSERT_EQ(Apply(slanted, cef::kMotionBlur, {45, 8}), RCOK);  // anticlockwise: up and right
  EXPECT_EQ(MaxDifference(slanted, diagonal, 6), 0u);
  Image crossed = diagonal;
  ASSERT_EQ(Apply(crossed, cef::kMotionBlur, {-45, 8}), RCOK);
  EXPECT_GT(MaxDifference(crossed, diagonal, 6), 50u);
}

TEST(CefFilters, EdgeKeepingFiltersKeepEdges) {
  // Two noisy halves: the smart filters smooth within each half and keep the step.
  Image step = Generated(40, 30, glib::kPixelRGB24, 9);
  for (int32_t y = 0; y < step.height; ++y) {
    for (int32_t x = 0; x < step.width; ++x) {
      for (int c = 0; c < 3; ++c) step.Set(x, y, c, (x < 20 ? 40 : 200) + step.Get(x, y, c) % 9);
    }
  }
  for (const auto& [effect, params] : std::vector<std::pair<uint32_t, std::vector<double>>>{
           {cef::kSmartBlur, {7, 20}}, {cef::kSmartSmoothing, {}}, {cef::kOilPaint, {5, 0}}}) {
    SCOPED_TRACE(testing::Message() << "effect " << effect);
    Image image = step;
    ASSERT_EQ(Apply(image, effect, params), RCOK);
    for (int32_t y = 0; y < step.height; ++y) {
      EXPECT_LT(image.Get(19, y, 1), 60u);
      EXPECT_GT(image.Get(20, y, 1), 190u);
    }
    EXPECT_NE(image.bytes, step.bytes);
  }
  // Mosaic cells take their means; a partial cell at the edge its own.
  Image ramp = Blank(5, 2, glib::kPixelRGB24);
  for (int32_t x = 0; x < 5; ++x)
    ramp.Set(x, 0, 1, uint32_t(10 * x)), ramp.Set(x, 1, 1, uint32_t(10 * x + 2));
  ASSERT_EQ(Apply(ramp, cef::kMosaic, {2, 2}), RCOK);
  EXPECT_EQ(ramp.Get(0, 0, 1), 6u);  // (0 + 10 + 2 + 12) / 4
  EXPECT_EQ(ramp.Get(3, 1, 1), 26u);
  EXPECT_EQ(ramp.Get(4, 0, 1), 41u);
}

TEST(CefFilters, ResultsDoNotDependOnTheThreadCount) {
  const Image picture = Generated(1024, 768, glib::kPixelRGB24, 11);  // big enough for threads
  const std::vector<std::pair<uint32_t, std::vector<double>>> effects = {
      {cef::kGaussianBlur, {4, 4}}, {cef::kMedian, {}},      {cef::kMaximum, {}},
      {cef::kMotionBlur, {30, 20}}, {cef::kAutoLevels, {2}}, {cef::kSmartSmoothing, {}}};
  for (const auto& [effect, params] : effects) {
    SCOPED_TRACE(testing::Message() << "effect " << effect);
    Image one = picture, several = picture;
    cef::SetThreadLimit(1);
    ASSERT_EQ(Apply(one, effect, params), RCOK);
    cef::SetThreadLimit(5);
    ASSERT_EQ(Apply(several, effect, params), RCOK);
    cef::SetThreadLimit(0);
    EXPECT_EQ(one.bytes, several.bytes);
  }
}
