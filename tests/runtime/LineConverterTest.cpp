#include "runtime/LineConverter.h"

#include <gtest/gtest.h>

#include "RuntimeTestSupport.h"

using namespace glib;
using namespace runtime_test;

namespace {

// Largest colour error a round trip through `type` may add to an 8-bit colour.
int Tolerance(uint32_t type) {
  switch (type) {
    case kPixelRGB565:
    case kPixelRGB5551:
    case kPixelRGBA5551:
      return 4;
    case kPixelRGBA4444:
      return 8;
    case kPixelModel5x8:
    case kPixelModel6x8:
      return 2;
    default:
      return 0;
  }
}

bool IsGreyOrIndexed(uint32_t type) {
  return type == kPixelGray8 || type == kPixelGray12 || type == kPixelGray16 || type == kPixelBW1 ||
         IsIndexed(type);
}

}  // namespace

TEST(LineConverter, ColoursSurviveEveryTypeWithinItsPrecision) {
  TestBitmap colours(kPixelRGBA32, 37, 3);
  runtime_test::FillBgra(colours, [](int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t((x * 7) & 255) | uint32_t((y * 90 + x * 3) & 255) << 8 |
           uint32_t((255 - x * 5) & 255) << 16;
  });
  TestBitmap greys(kPixelRGBA32, 37, 3);
  runtime_test::FillBgra(greys, [](int32_t x, int32_t y) {
    return 0xFF000000u | 0x010101u * uint32_t((x * 7 + y) & 255);
  });
  for (uint32_t type : AllRasterTypes()) {
    const CoreBitmap& source = IsGreyOrIndexed(type) ? greys.bitmap : colours.bitmap;
    TestBitmap converted;
    ConvertInto(source, type, converted);
    ASSERT_NE(converted.bitmap.pixels, nullptr);
    int tolerance = Tolerance(type);
    if (type == kPixelGray12) tolerance = 1;
    if (type == kPixelIndexed4) tolerance = 255;  // 16 entries of a 256-level ramp
    if (type == kPixelIndexed1 || type == kPixelBW1) tolerance = 255;
    for (int32_t y = 0; y < source.height; ++y) {
      for (int32_t x = 0; x < source.width; ++x) {
        uint32_t expected = PixelBgra(source, x, y);
        uint32_t got = PixelBgra(converted.bitmap, x, y);
        ASSERT_LE(ColourDistance(expected, got), tolerance)
            << std::hex << type << " at " << std::dec << x << "," << y;
        if (type != kPixelRGBA5551 && type != kPixelRGBA4444) {
          ASSERT_EQ(got >> 24, 255u) << std::hex << type;  // opaque in, opaque out
        }
      }
    }
  }
}

TEST(LineConverter, PackedAndWideLayoutsPutEachChannelInItsBits) {
  TestBitmap red(kPixelRGBA32, 1, 1);
  runtime_test::FillBgra(red, [](int32_t, int32_t) { return 0x80FF0000u; });
  LineConverter c;
  uint8_t out[8] = {};
  ASSERT_EQ(c.Set(red.bitmap, kPixelRGB565), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0] | out[1] << 8, 0xF800);
  ASSERT_EQ(c.Set(red.bitmap, kPixelRGBA5551), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0] | out[1] << 8, 0xFC00);  // alpha 128 sets the top bit
  ASSERT_EQ(c.Set(red.bitmap, kPixelRGBA4444), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0] | out[1] << 8, 0x8F00);
  ASSERT_EQ(c.Set(red.bitmap, kPixelRGBA64), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[4] | out[5] << 8, 0xFFFF);  // red is the third sample
  EXPECT_EQ(out[6] | out[7] << 8, 0x8080);
  ASSERT_EQ(c.Set(red.bitmap, kPixelRGB24), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0xFF0000);
  // Greys are Y with neutral chroma, both ways.
  TestBitmap grey(kPixelModel6x8, 1, 1);
  std::memset(grey.bitmap.pixels, 128, 3);
  EXPECT_EQ(PixelBgra(grey.bitmap, 0, 0), 0xFF808080u);
  runtime_test::FillBgra(red, [](int32_t, int32_t) { return 0xFF404040u; });
  ASSERT_EQ(c.Set(red.bitmap, kPixelModel6x8), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0x808040);
}

TEST(LineConverter, SubBytePixelsFromAnyColumn) {
  TestBitmap bits(kPixelIndexed1, 19, 1);
  bits.Row(0)[0] = 0b10110000;
  bits.Row(0)[1] = 0b00000001;
  bits.bitmap.palette[0] = 0xFF000000;
  bits.bitmap.palette[1] = 0xFFFFFFFF;
  LineConverter c;
  ASSERT_EQ(c.Set(bits.bitmap, kPixelIndexed8), RCOK);
  uint8_t out[19];
  ASSERT_TRUE(c.GetPixels(0, 2, 14, out));
  const uint8_t expected[14] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 14), std::vector<uint8_t>(expected, expected + 14));
  // Back to four bits: two to a byte, the first in the high nibble.
  TestBitmap eight(kPixelIndexed8, 3, 1);
  eight.Row(0)[0] = 1, eight.Row(0)[1] = 15, eight.Row(0)[2] = 7;
  ASSERT_EQ(c.Set(eight.bitmap, kPixelIndexed4), RCOK);
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0], 0x1F);
  EXPECT_EQ(out[1] >> 4, 7);
}

TEST(LineConverter, IndicesBeyondTheTargetTakeTheNearestEntry) {
  TestBitmap eight(kPixelIndexed8, 2, 1);
  for (int i = 0; i < 256; ++i) eight.bitmap.palette[i] = 0xFF000000u | uint32_t(i) * 0x010101u;
  eight.bitmap.palette[200] = 0xFF0F0F0F;  // closest to entry 15 of the first sixteen
  eight.Row(0)[0] = 200, eight.Row(0)[1] = 3;
  LineConverter c;
  ASSERT_EQ(c.Set(eight.bitmap, kPixelIndexed4), RCOK);
  uint8_t out[1];
  ASSERT_TRUE(c.GetScanline(0, out));
  EXPECT_EQ(out[0], 0xF3);
}

TEST(LineConverter, PalettesWithoutAlphaCountAsOpaque) {
  TestBitmap eight(kPixelIndexed8, 1, 1);
  eight.bitmap.palette[0] = 0x00123456;  // the Windows colour-table habit
  EXPECT_EQ(PixelBgra(eight.bitmap, 0, 0), 0xFF123456u);
  eight.bitmap.palette[1] = 0x80000000;  // a real alpha channel is kept
  EXPECT_EQ(PixelBgra(eight.bitmap, 0, 0), 0x00123456u);
}

TEST(LineConverter, RefusesBadBitmapsAndRows) {
  LineConverter c;
  CoreBitmap empty;
  EXPECT_EQ(c.Set(empty, kPixelRGB24), BADA);
  TestBitmap b(kPixelRGB24, 4, 4);
  EXPECT_EQ(c.Set(b.bitmap, 0x12345678), UNSF);
  EXPECT_EQ(c.Set(b.bitmap, kPixelVector), UNSF);
  uint8_t out[64];
  EXPECT_FALSE(c.GetScanline(0, out));  // not set
  b.bitmap.pixelType = 0x03010320;
  EXPECT_EQ(c.Set(b.bitmap, kPixelRGB24), UNSF);
  b.bitmap.pixelType = kPixelRGB24;
  b.bitmap.stride = 5;  // shorter than a row
  EXPECT_EQ(c.Set(b.bitmap, kPixelRGB24), BADA);
  b.bitmap.stride = kStridePadded;
  ASSERT_EQ(c.Set(b.bitmap, kPixelRGBA32), RCOK);
  EXPECT_EQ(c.TargetRowBytes(), 16u);
  EXPECT_FALSE(c.GetScanline(-1, out));
  EXPECT_FALSE(c.GetScanline(4, out));
  EXPECT_FALSE(c.GetPixels(0, 3, 2, out));
  EXPECT_FALSE(c.GetScanline(0, nullptr));
  EXPECT_TRUE(c.GetScanline(3, out));
}
