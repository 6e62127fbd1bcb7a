#include "runtime/Scale.h"

#include <gtest/gtest.h>

#include <random>

#include "RuntimeTestSupport.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelBits.h"
#include "runtime/PixelLayout.h"
#include "runtime/ResamplePasses.h"

using namespace glib;
using namespace runtime_test;

namespace {

constexpr EScaleType kFilters[] = {kScaleBilinear, kScaleBicubic, kScaleSpline16, kScaleSpline36,
                                   kScaleSpline64, kScaleSinc256, kScaleSinc1024};

ERetcode ScaleInto(const CoreBitmap& source, EScaleType type, int32_t w, int32_t h, TestBitmap& out,
                   uint32_t flags = 0, const ScaleRect* rect = nullptr) {
  Scale scale(0, nullptr, type, flags);
  return scale.ScaleTo(source, rect, w, h, out.bitmap);
}

}  // namespace

TEST(Scale, NearestRepeatsAndPicksPixelsExactlyForEveryType) {
  for (uint32_t type : AllRasterTypes()) {
    TestBitmap source(type, 9, 5);
    FillRandom(source, type);
    TestBitmap up, down;
    ASSERT_EQ(ScaleInto(source.bitmap, kScaleNearest, 18, 15, up), RCOK) << std::hex << type;
    ASSERT_EQ(ScaleInto(source.bitmap, kScaleNearest, 3, 5, down), RCOK);
    EXPECT_EQ(up.bitmap.pixelType, type);
    EXPECT_EQ(std::memcmp(up.bitmap.palette, source.bitmap.palette, 1024), 0);
    for (int32_t y = 0; y < 15; ++y) {
      for (int32_t x = 0; x < 18; ++x) {
        ASSERT_EQ(RawPixel(up.bitmap, x, y), RawPixel(source.bitmap, x / 2, y / 3))
            << std::hex << type << std::dec << " " << x << "," << y;
      }
    }
    for (int32_t x = 0; x < 3; ++x) {  // centres of thirds: columns 1, 4, 7
      EXPECT_EQ(RawPixel(down.bitmap, x, 2), RawPixel(source.bitmap, 3 * x + 1, 2));
    }
  }
}

TEST(Scale, ConstantPicturesStayConstantForEveryFilterAndType) {
  TestBitmap flat(kPixelRGBA32, 23, 17);
  runtime_test::FillBgra(flat, [](int32_t, int32_t) { return 0xFF5A2DC3u; });
  for (uint32_t type : AllRasterTypes()) {
    uint32_t palette[256];
    for (auto& entry : palette) entry = 0xFF5A2DC3u;
    TestBitmap source;
    ConvertInto(flat.bitmap, type, source, palette);
    uint32_t expected = PixelBgra(source.bitmap, 0, 0);
    for (EScaleType filter : kFilters) {
      for (auto [w, h] : {std::pair{7, 5}, {23, 40}, {61, 3}, {1, 1}}) {
        TestBitmap out;
        ASSERT_EQ(ScaleInto(source.bitmap, filter, w, h, out), RCOK);
        for (int32_t y = 0; y < h; ++y) {
          for (int32_t x = 0; x < w; ++x) {
            ASSERT_EQ(PixelBgra(out.bitmap, x, y), expected)
                << std::hex << type << std::dec << " filter " << filter << " " << w << "x" << h;
          }
        }
      }
    }
  }
}

TEST(Scale, DownscaledGradientsStayMonotonic) {
  TestBitmap ramp(kPixelRGBA32, 1000, 4);
  runtime_test::FillBgra(
      ramp, [](int32_t x, int32_t) { return 0xFF000000u | 0x010101u * uint32_t(x * 255 / 999); });
  for (uint32_t type : AllRasterTypes()) {
    TestBitmap source;
    ConvertInto(ramp.bitmap, type, source);
    // Types of fewer than 8 bits a channel hold the ramp as visible steps, which
    // filters rightly keep (with their ringing): they are not a gradient.
    const PixelLayout& layout = *FindPixelLayout(type);
    if (layout.bitsPerPixel < 8 || (layout.bitsPerPixel == 16 && layout.channels > 1)) continue;
    for (EScaleType filter : kFilters) {
      for (int32_t w : {137, 999}) {
        TestBitmap out;
        ASSERT_EQ(ScaleInto(source.bitmap, filter, w, 2, out), RCOK);
        for (int32_t x = 1; x < w; ++x) {
          ASSERT_GE(PixelBgra(out.bitmap, x, 1) & 255, PixelBgra(out.bitmap, x - 1, 1) & 255)
              << std::hex << type << std::dec << " filter " << filter << " width " << w << " at "
              << x;
        }
      }
    }
  }
}

TEST(Scale, LargeReductionsAverageFineDetailInsteadOfAliasing) {
  TestBitmap checks(kPixelRGB24, 733, 733);
  for (int32_t y = 0; y < 733; ++y) {
    for (int32_t x = 0; x < 733; ++x) std::memset(checks.Row(y) + 3 * x, (x + y) & 1 ? 255 : 0, 3);
  }
  for (EScaleType filter : kFilters) {
    TestBitmap out;
    ASSERT_EQ(ScaleInto(checks.bitmap, filter, 100, 100, out), RCOK);
    for (int32_t y = 0; y < 100; ++y) {
      for (int32_t x = 0; x < 100; ++x) {
        ASSERT_NEAR(int(PixelBgra(out.bitmap, x, y) & 255), 128, 6) << filter;
      }
    }
  }
  TestBitmap sharp;  // the fast flag keeps narrow kernels and aliases
  ASSERT_EQ(ScaleInto(checks.bitmap, kScaleBilinear, 100, 100, sharp, kScaleNoAntialias), RCOK);
  int spread = 0;
  for (int32_t x = 0; x < 100; ++x) {
    spread = std::max(spread, std::abs(int(PixelBgra(sharp.bitmap, x, 50) & 255) - 128));
  }
  EXPECT_GT(spread, 40);
}

TEST(Scale, ABitmapCanBeScaledIntoItself) {
  TestBitmap b(kPixelIndexed4, 6, 4);
  FillRandom(b, 9);
  uint32_t entry = b.bitmap.palette[3];
  uint64_t corner = RawPixel(b.bitmap, 5, 3);
  Scale scale(0, nullptr, kScaleNearest);
  ASSERT_EQ(scale.ScaleTo(b.bitmap, nullptr, 12, 8, b.bitmap), RCOK);
  EXPECT_EQ(b.bitmap.width, 12);
  EXPECT_EQ(RawPixel(b.bitmap, 11, 7), corner);
  EXPECT_EQ(b.bitmap.palette[3], entry);
}

TEST(Scale, SourceRectangleActsAsACroppedPicture) {
  TestBitmap source(kPixelRGBA32, 40, 30);
  FillRandom(source, 7);
  TestBitmap cropped(kPixelRGBA32, 17, 11);
  for (int32_t y = 0; y < 11; ++y) std::memcpy(cropped.Row(y), source.Row(y + 9) + 4 * 5, 17 * 4);
  ScaleRect rect{5, 9, 17, 11};
  for (EScaleType filter : {kScaleNearest, kScaleSpline36}) {
    TestBitmap a, b;
    ASSERT_EQ(ScaleInto(source.bitmap, filter, 29, 8, a, 0, &rect), RCOK);
    ASSERT_EQ(ScaleInto(cropped.bitmap, filter, 29, 8, b), RCOK);
    EXPECT_EQ(a.Bytes(), b.Bytes());
  }
  ScaleRect toEdges{5, 9, 0, -1};  // sizes below 1 reach the edges
  TestBitmap c;
  ASSERT_EQ(ScaleInto(source.bitmap, kScaleBilinear, 35, 21, c, 0, &toEdges), RCOK);
}

TEST(Scale, TransparentColoursDoNotBleedUnlessAlphaIsStraight) {
  TestBitmap source(kPixelRGBA32, 40, 4);
  runtime_test::FillBgra(source, [](int32_t x, int32_t) {
    return x < 20 ? 0x0000FF00u : 0xFF0000FFu;  // clear green beside opaque blue
  });
  TestBitmap weighted, straight;
  ASSERT_EQ(ScaleInto(source.bitmap, kScaleSpline36, 13, 4, weighted), RCOK);
  ASSERT_EQ(ScaleInto(source.bitmap, kScaleSpline36, 13, 4, straight, kScaleStraightAlpha), RCOK);
  int bleed = 0;
  for (int32_t x = 0; x < 13; ++x) {
    uint32_t p = PixelBgra(weighted.bitmap, x, 2);
    if ((p >> 24) > 0) {
      EXPECT_LE((p >> 8) & 255, 1u) << x;
    }
    bleed = std::max(bleed, int((PixelBgra(straight.bitmap, x, 2) >> 8) & 255));
  }
  EXPECT_GT(bleed, 60);
}

TEST(Scale, FiltersTurnIndexedAndPackedTypesIntoTrueColour) {
  Scale bilinear(0, nullptr, kScaleBilinear), nearest(0, nullptr, kScaleNearest);
  CoreBitmap b;
  for (auto [from, to] : {std::pair{kPixelIndexed8, kPixelRGB24},
                          {kPixelBW1, kPixelRGB24},
                          {kPixelRGB565, kPixelRGB24},
                          {kPixelRGBA4444, kPixelRGBA32},
                          {kPixelGray12, kPixelGray16},
                          {kPixelRGB48, kPixelRGB48},
                          {kPixelModel6x8, kPixelModel6x8},
                          {kPixelVector, kPixelNone}}) {
    b.pixelType = from;
    EXPECT_EQ(bilinear.CalcDestPixelType(b), uint32_t(to)) << std::hex << from;
    EXPECT_EQ(nearest.CalcDestPixelType(b), from == kPixelVector ? kPixelNone : from);
  }
  b.pixelType = kPixelIndexed4;
  b.palette[3] = 0x80FFFFFF;  // a translucent entry keeps the transparency
  EXPECT_EQ(bilinear.CalcDestPixelType(b), uint32_t(kPixelRGBA32));
}

TEST(Scale, TheThreeFormsAndAnyThreadCountGiveTheSameRows) {
  TestBitmap source(kPixelRGB24, 700, 500);
  FillRandom(source, 3);
  Scale scale(0, nullptr, kScaleSinc256);
  SetRuntimeThreads(1);
  TestBitmap one;
  ASSERT_EQ(scale.ScaleTo(source.bitmap, nullptr, 333, 444, one.bitmap), RCOK);
  SetRuntimeThreads(4);
  PageRows returned(scale.ScaleTo(source.bitmap, nullptr, 333, 444, kStridePadded));
  ASSERT_TRUE(returned);
  std::vector<uint8_t> caller(RowBytes(one.bitmap) * 444);
  ASSERT_EQ(scale.ScaleTo(source.bitmap, nullptr, 333, 444, caller.data(), kStridePadded), RCOK);
  SetRuntimeThreads(0);
  EXPECT_EQ(one.Bytes(), caller);
  EXPECT_EQ(std::memcmp(returned.get(), caller.data(), caller.size()), 0);
}

TEST(Scale, VectorPassesMatchThePlainLoops) {
  std::mt19937 random(11);
  for (int taps : {1, 2, 5, 130}) {
    std::vector<std::vector<uint8_t>> rows(size_t(taps), std::vector<uint8_t>(77));
    std::vector<const uint8_t*> pointers;
    for (auto& row : rows) {
      for (auto& v : row) v = uint8_t(random());
      pointers.push_back(row.data());
    }
    std::vector<int16_t> weights(static_cast<size_t>(taps));
    for (auto& w : weights) w = int16_t(int(random() % 9000) - 2000);
    std::vector<int32_t> acc(77), acc2(77);
    std::vector<int16_t> a(77), b(77);
    resample::VerticalFixed(pointers.data(), weights.data(), taps, 77, acc.data(), a.data(), true,
                            true);
    resample::VerticalFixedReference(pointers.data(), weights.data(), taps, 77, acc2.data(),
                                     b.data(), true, true);
    ASSERT_EQ(a, b) << taps;
  }
  for (int channels : {1, 3, 4}) {
    resample::Weights w;
    ASSERT_EQ(resample::BuildWeights(kScaleSpline64, 300, 71, true, true, w), RCOK);
    std::vector<int16_t> in((300 + 2) * size_t(channels) + 8);
    for (auto& v : in) v = int16_t(int(random() % 20000) - 2000);
    std::vector<uint8_t> a(71 * size_t(channels)), b(a.size());
    resample::HorizontalFixed(in.data(), channels, w, a.data());
    resample::HorizontalFixedReference(in.data(), channels, w, b.data());
    ASSERT_EQ(a, b) << channels;
  }
}

TEST(Scale, BadRequestsGiveCodesAndLeaveTheDestinationAlone) {
  TestBitmap source(kPixelRGB24, 10, 10);
  Scale scale(0, nullptr, kScaleBicubic);
  TestBitmap dest(kPixelRGB24, 2, 2);
  uint8_t* kept = dest.bitmap.pixels;
  CoreBitmap empty;
  EXPECT_EQ(scale.ScaleTo(empty, nullptr, 5, 5, dest.bitmap), BADA);
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 0, 5, dest.bitmap), BADA);
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 5, -3, dest.bitmap), BADA);
  ScaleRect outside{8, 0, 5, 5};
  EXPECT_EQ(scale.ScaleTo(source.bitmap, &outside, 5, 5, dest.bitmap), BADA);
  ScaleRect negative{-1, 0, 5, 5};
  EXPECT_EQ(scale.ScaleTo(source.bitmap, &negative, 5, 5, dest.bitmap), BADA);
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 0x40000000, 0x40000000, dest.bitmap), OMEM);
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 5, 5, nullptr, kStridePadded), BADA);
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 2000000000, 1, kStridePadded), nullptr);
  EXPECT_EQ(scale.LastResult(), OMEM);
  Scale unknown(0, nullptr, EScaleType(8));
  EXPECT_EQ(unknown.ScaleTo(source.bitmap, nullptr, 5, 5, dest.bitmap), UNSF);
  source.bitmap.pixelType = 0x03010320;
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 5, 5, dest.bitmap), UNSF);
  EXPECT_EQ(dest.bitmap.pixels, kept);
  EXPECT_EQ(dest.bitmap.width, 2);
}

TEST(Scale, CancellingLeavesSourceAndDestinationUnchanged) {
  TestBitmap source(kPixelRGB24, 1200, 900);
  FillRandom(source, 5);
  std::vector<uint8_t> before = source.Bytes();
  int calls = 0;
  auto stop = [](ClbData* data) -> bool {
    ++*reinterpret_cast<int*>(data->context);
    return data->step < 0;  // stop at the first ordinary step
  };
  Scale scale(reinterpret_cast<uintptr_t>(&calls), stop, kScaleSpline36);
  CoreBitmap dest;
  EXPECT_EQ(scale.ScaleTo(source.bitmap, nullptr, 1100, 1000, dest), USRA);
  EXPECT_EQ(dest.pixels, nullptr);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(source.Bytes(), before);
}
