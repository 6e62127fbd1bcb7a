#include "runtime/Rotate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "RuntimeTestSupport.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelBits.h"

using namespace glib;
using namespace runtime_test;

namespace {

constexpr uint64_t kWhite = 0xFFFFFFFFFFFFFFFFull;

// Where target pixel (x, y) of a clockwise quarter turn comes from.
std::pair<int32_t, int32_t> QuarterSource(int quarter, int32_t x, int32_t y, int32_t w, int32_t h) {
  switch (quarter & 3) {
    case 1:
      return {y, h - 1 - x};
    case 2:
      return {w - 1 - x, h - 1 - y};
    case 3:
      return {w - 1 - y, x};
    default:
      return {x, y};
  }
}

void ExpectQuarterTurn(const CoreBitmap& source, const CoreBitmap& turned, int quarter) {
  ASSERT_EQ(turned.width, quarter & 1 ? source.height : source.width);
  ASSERT_EQ(turned.height, quarter & 1 ? source.width : source.height);
  ASSERT_EQ(turned.pixelType, source.pixelType);
  for (int32_t y = 0; y < turned.height; ++y) {
    for (int32_t x = 0; x < turned.width; ++x) {
      auto [sx, sy] = QuarterSource(quarter, x, y, source.width, source.height);
      ASSERT_EQ(RawPixel(turned, x, y), RawPixel(source, sx, sy))
          << std::hex << source.pixelType << std::dec << " quarter " << quarter << " at " << x
          << "," << y;
    }
  }
}

// A smooth picture: interpolation errors stay small.
void FillSmooth(TestBitmap& b) {
  runtime_test::FillBgra(b, [](int32_t x, int32_t y) {
    auto wave = [](double v) { return uint32_t(127.5 + 100 * std::sin(v)); };
    return 0xFF000000u | wave(x * 0.07) | wave(y * 0.05 + 1) << 8 | wave((x + y) * 0.04) << 16;
  });
}

}  // namespace

TEST(Rotate, QuarterTurnsMovePixelsExactlyForEveryType) {
  for (uint32_t type : AllRasterTypes()) {
    TestBitmap source(type, 13, 7);
    FillRandom(source, type);
    for (int quarter : {0, 1, 2, 3}) {
      for (bool interpolate : {false, true}) {
        TestBitmap turned;
        Rotate rotate(interpolate);
        ASSERT_EQ(rotate.Execute(source.bitmap, turned.bitmap, 90.0 * quarter, kWhite), RCOK);
        ExpectQuarterTurn(source.bitmap, turned.bitmap, quarter);
      }
    }
    TestBitmap full, back;
    ASSERT_EQ(Rotate(true).Execute(source.bitmap, full.bitmap, 360.0, kWhite), RCOK);
    ExpectQuarterTurn(source.bitmap, full.bitmap, 0);
    ASSERT_EQ(Rotate(false).Execute(source.bitmap, back.bitmap, -90.0, kWhite), RCOK);
    ExpectQuarterTurn(source.bitmap, back.bitmap, 3);
  }
}

TEST(Rotate, LargeQuarterTurnsTakeTheVectorPathsExactly) {
  // Sizes off the block grid, and one large enough for uncached stores.
  for (auto [type, w, h] : {std::tuple{kPixelRGB24, 301, 67},
                            {kPixelRGBA32, 299, 70},
                            {kPixelRGB24, 1607, 1801},
                            {kPixelRGBA32, 1203, 1777}}) {
    TestBitmap source(type, w, h, kStridePacked);
    FillRandom(source, uint32_t(w));
    for (int quarter : {1, 3}) {
      TestBitmap turned;
      ASSERT_EQ(Rotate(false).Execute(source.bitmap, turned.bitmap, 90.0 * quarter, kWhite), RCOK);
      ExpectQuarterTurn(source.bitmap, turned.bitmap, quarter);
    }
  }
}

TEST(Rotate, TurningThereAndBackRestoresTheMiddleWithinInterpolationError) {
  TestBitmap smooth(kPixelRGBA32, 64, 48);
  FillSmooth(smooth);
  for (uint32_t type : AllRasterTypes()) {
    TestBitmap source;
    ConvertInto(smooth.bitmap, type, source);
    TestBitmap there, back;
    ASSERT_EQ(Rotate(true).Execute(source.bitmap, there.bitmap, 30.0, kWhite), RCOK);
    ASSERT_EQ(Rotate(true).Execute(there.bitmap, back.bitmap, 330.0, kWhite), RCOK);
    // The picture sits centred in the twice-enlarged result.
    int32_t dx = (back.bitmap.width - 64) / 2, dy = (back.bitmap.height - 48) / 2;
    int worst = 0;
    for (int32_t y = 12; y < 36; ++y) {
      for (int32_t x = 16; x < 48; ++x) {
        worst = std::max(worst, ColourDistance(PixelBgra(source.bitmap, x, y),
                                               PixelBgra(back.bitmap, x + dx, y + dy)));
      }
    }
    bool coarse = IsIndexed(type) || type == kPixelBW1 || type == kPixelRGBA4444;
    EXPECT_LE(worst, coarse ? 16 : 8) << std::hex << type;
  }
}

TEST(Rotate, AnyAngleEnlargesAndFillsTheCornersWithTheBackground) {
  int32_t w, h;
  Rotate::ResultSize(6000, 4000, 30.0, w, h);
  EXPECT_EQ(w, 7197);
  EXPECT_EQ(h, 6465);
  Rotate::ResultSize(100, 100, 45.0, w, h);
  EXPECT_EQ(w, 142);
  Rotate::ResultSize(640, 480, -270.0, w, h);
  EXPECT_EQ(w, 480);

  TestBitmap flat(kPixelRGB24, 50, 30);
  std::memset(flat.bitmap.pixels, 0x40, RowBytes(flat.bitmap) * 30);
  const uint64_t red = 0xFFFF00000000FFFFull;  // alpha and red, 16 bits each
  for (bool interpolate : {false, true}) {
    TestBitmap out;
    ASSERT_EQ(Rotate(interpolate).Execute(flat.bitmap, out.bitmap, 17.0, red), RCOK);
    EXPECT_EQ(PixelBgra(out.bitmap, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelBgra(out.bitmap, out.bitmap.width - 1, out.bitmap.height - 1), 0xFFFF0000u);
    EXPECT_EQ(PixelBgra(out.bitmap, out.bitmap.width / 2, out.bitmap.height / 2), 0xFF404040u);
  }
}

TEST(Rotate, WithoutInterpolationIndicesStayAndTheBackgroundTakesTheNearestEntry) {
  TestBitmap source(kPixelIndexed8, 20, 20);
  std::memset(source.bitmap.pixels, 7, RowBytes(source.bitmap) * 20);
  for (int i = 0; i < 256; ++i) source.bitmap.palette[i] = 0xFF000000u | uint32_t(i);
  source.bitmap.palette[9] = 0xFFFFFFFF;
  TestBitmap plain, smooth;
  ASSERT_EQ(Rotate(false).Execute(source.bitmap, plain.bitmap, 10.0, kWhite), RCOK);
  EXPECT_EQ(plain.bitmap.pixelType, uint32_t(kPixelIndexed8));
  EXPECT_EQ(RawPixel(plain.bitmap, 0, 0), 9u);
  EXPECT_EQ(RawPixel(plain.bitmap, 11, 11), 7u);
  ASSERT_EQ(Rotate(true).Execute(source.bitmap, smooth.bitmap, 10.0, kWhite), RCOK);
  EXPECT_EQ(smooth.bitmap.pixelType, uint32_t(kPixelRGB24));
}

TEST(Rotate, ResultsDoNotDependOnTheThreadCount) {
  TestBitmap source(kPixelRGBA32, 900, 700);
  FillRandom(source, 1);
  SetRuntimeThreads(1);
  TestBitmap one, four;
  ASSERT_EQ(Rotate(true).Execute(source.bitmap, one.bitmap, 33.3, kWhite), RCOK);
  SetRuntimeThreads(4);
  ASSERT_EQ(Rotate(true).Execute(source.bitmap, four.bitmap, 33.3, kWhite), RCOK);
  SetRuntimeThreads(0);
  EXPECT_EQ(one.Bytes(), four.Bytes());
}

TEST(Rotate, RowsOfTheRightShapeAreReused) {
  TestBitmap source(kPixelRGB24, 40, 30);
  FillRandom(source, 2);
  TestBitmap dest(kPixelRGB24, 30, 40);
  uint8_t* rows = dest.bitmap.pixels;
  ASSERT_EQ(Rotate(false).Execute(source.bitmap, dest.bitmap, 90.0, kWhite), RCOK);
  EXPECT_EQ(dest.bitmap.pixels, rows);
  ExpectQuarterTurn(source.bitmap, dest.bitmap, 1);
}

TEST(Rotate, BadRequestsAndCancellationLeaveBothBitmapsAlone) {
  TestBitmap source(kPixelRGB24, 900, 800);
  FillRandom(source, 4);
  std::vector<uint8_t> before = source.Bytes();
  CoreBitmap dest;
  CoreBitmap empty;
  EXPECT_EQ(Rotate(true).Execute(empty, dest, 30.0, kWhite), BADA);
  EXPECT_EQ(Rotate(true).Execute(source.bitmap, dest, std::nan(""), kWhite), BADA);
  EXPECT_EQ(Rotate(true).Execute(source.bitmap, dest, INFINITY, kWhite), BADA);
  EXPECT_EQ(Rotate(true).Execute(source.bitmap, source.bitmap, 30.0, kWhite), BADA);
  TestBitmap odd(kPixelRGB24, 4, 4);
  odd.bitmap.pixelType = 0x07010408;
  EXPECT_EQ(Rotate(true).Execute(odd.bitmap, dest, 30.0, kWhite), UNSF);
  TestBitmap wide(kPixelRGBA32, 65535, 1);
  EXPECT_EQ(Rotate(true).Execute(wide.bitmap, dest, 45.0, kWhite), OMEM);
  for (double angle : {90.0, 30.0}) {
    auto stop = [](ClbData* data) { return data->step < 0; };
    Rotate rotate(true, stop, 0, "turning");
    EXPECT_EQ(rotate.Execute(source.bitmap, dest, angle, kWhite), USRA);
  }
  EXPECT_EQ(dest.pixels, nullptr);
  EXPECT_EQ(source.Bytes(), before);
}
