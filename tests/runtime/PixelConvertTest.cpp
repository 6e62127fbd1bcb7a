#include "runtime/PixelConvert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RuntimeTestSupport.h"
#include "formats/PixelType.h"
#include "platform/PageAlloc.h"
#include "runtime/BitmapRows.h"
#include "runtime/PixelBits.h"

using namespace glib;

namespace {

using Picture = runtime_test::TestBitmap;

ERetcode Convert(CoreBitmap& b, uint32_t target, bool padded = true, bool swap = false) {
  return ConvertPixelType(b, target, padded, 96, 96, RenderColours{}, swap);
}

void SetBgr(Picture& p, int32_t x, int32_t y, uint32_t bgr) {
  std::memcpy(p.Row(y) + 3 * x, &bgr, 3);
}

struct Steps {
  std::vector<std::string> texts;
  int32_t stopAt = 0;
};

bool ORBISK_CDECL Record(ClbData* data) {
  auto* s = reinterpret_cast<Steps*>(data->context);
  if (data->text && (s->texts.empty() || s->texts.back() != data->text))
    s->texts.push_back(data->text);
  return s->stopAt == 0 || data->step < s->stopAt;
}

}  // namespace

TEST(PixelConvert, OneBitOfWidthTenBecomesFourBitRowsOfFiveBytes) {
  Picture p(kPixelBW1, 10, 2);
  p.Row(0)[0] = 0b10110010, p.Row(0)[1] = 0b11000000;
  p.bitmap.palette[0] = 0xFF000000, p.bitmap.palette[1] = 0xFFFFFFFF;
  ASSERT_EQ(Convert(p.bitmap, kPixelIndexed4), RCOK);
  EXPECT_EQ(p.bitmap.pixelType, uint32_t(kPixelIndexed4));
  EXPECT_EQ(RowBytes(p.bitmap), 8u);  // 5 bytes of data, padded
  EXPECT_EQ(std::vector<uint8_t>(p.Row(0), p.Row(0) + 5),
            (std::vector<uint8_t>{0x10, 0x11, 0x00, 0x10, 0x11}));
  EXPECT_EQ(p.bitmap.palette[1], 0xFFFFFFFFu);
}

TEST(PixelConvert, TwoColoursPackEightToAByteDarkerFirst) {
  Picture p(kPixelRGB24, 10, 1);
  for (int32_t x = 0; x < 10; ++x) SetBgr(p, x, 0, x % 3 == 0 ? 0x000000 : 0xF0F0F0);
  ASSERT_EQ(Convert(p.bitmap, kPixelBW1, false), RCOK);
  EXPECT_EQ(p.bitmap.pixelType, uint32_t(kPixelBW1));
  EXPECT_EQ(p.bitmap.stride, kStridePacked);
  EXPECT_EQ(p.bitmap.paletteSize, 2u);
  EXPECT_EQ(p.bitmap.palette[0], 0xFF000000u);
  EXPECT_EQ(p.bitmap.palette[1], 0xFFF0F0F0u);
  // 0110 1101 10.. : the partial last byte is filled from the top, the rest 0.
  EXPECT_EQ(p.Row(0)[0], 0b01101101);
  EXPECT_EQ(p.Row(0)[1], 0b10000000);
}

TEST(PixelConvert, FourBitIndicesPackWithAnOddLastOneHigh) {
  Picture p(kPixelRGB24, 5, 1);
  const uint32_t colours[5] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FF00, 0x0000FF};
  for (int32_t x = 0; x < 5; ++x) SetBgr(p, x, 0, colours[x]);
  ASSERT_EQ(Convert(p.bitmap, kPixelIndexed4, false), RCOK);
  EXPECT_EQ(p.bitmap.paletteSize, 3u);
  EXPECT_EQ(p.Row(0)[0], 0x01);  // first colour seen is entry 0
  EXPECT_EQ(p.Row(0)[1], 0x21);
  EXPECT_EQ(p.Row(0)[2], 0x00);
  EXPECT_EQ(p.bitmap.palette[2], 0xFFFF0000u);
}

TEST(PixelConvert, GreyPathUsesTheStoredBytesAndNeverTheQuantiser) {
  Picture p(kPixelRGBA32, 3, 1);
  const uint32_t pixels[3] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000};  // first, second, third byte
  std::memcpy(p.Row(0), pixels, sizeof pixels);
  p.bitmap.convertFlag2 = 1;
  ASSERT_EQ(Convert(p.bitmap, kPixelIndexed8), RCOK);
  EXPECT_EQ(p.bitmap.paletteSize, 256u);  // a quantiser would have kept 3 colours
  EXPECT_EQ(p.Row(0)[0], 76);             // 77 x 255 / 256
  EXPECT_EQ(p.Row(0)[1], 149);
  EXPECT_EQ(p.Row(0)[2], 28);
  for (uint32_t k = 0; k < 256; ++k) ASSERT_EQ(p.bitmap.palette[k], 0xFF000000u | k * 0x010101u);
  Picture wide(kPixelRGB48, 1, 1);  // 16-bit samples: the same weights over 65536
  const uint16_t samples[3] = {65535, 0, 0};
  std::memcpy(wide.Row(0), samples, 6);
  wide.bitmap.convertFlag2 = 1;
  ASSERT_EQ(Convert(wide.bitmap, kPixelIndexed8), RCOK);
  EXPECT_EQ(wide.Row(0)[0], 76);
}

TEST(PixelConvert, PaletteOrderFlagSwapsFirstAndThirdBytes) {
  Picture p(kPixelRGB24, 4, 1);
  for (int32_t x = 0; x < 4; ++x) SetBgr(p, x, 0, 0x112233u * uint32_t(x + 1));
  Picture q(kPixelRGB24, 4, 1);
  std::memcpy(q.Row(0), p.Row(0), 12);
  ASSERT_EQ(Convert(p.bitmap, kPixelIndexed8, true, false), RCOK);
  ASSERT_EQ(Convert(q.bitmap, kPixelIndexed8, true, true), RCOK);
  for (int i = 0; i < 256; ++i) {
    uint32_t c = p.bitmap.palette[i];
    ASSERT_EQ(q.bitmap.palette[i], (c & 0xFF00FF00u) | (c & 0xFF) << 16 | ((c >> 16) & 0xFF));
  }
  EXPECT_EQ(q.bitmap.palette[0], 0xFF332211u);
  Picture four(kPixelRGB24, 2, 1);
  SetBgr(four, 0, 0, 0x0000FF), SetBgr(four, 1, 0, 0x00FF00);
  four.bitmap.palette[20] = 0x12345678;  // beyond 16 entries nothing moves
  ASSERT_EQ(Convert(four.bitmap, kPixelIndexed4, true, true), RCOK);
  EXPECT_EQ(four.bitmap.palette[0], 0xFFFF0000u);
}

TEST(PixelConvert, SameTypeChangesNothing) {
  for (uint32_t type : {kPixelRGB24, kPixelRGBA32, kPixelIndexed4, kPixelRGB48}) {
    Picture p(type, 7, 3);
    for (uint64_t i = 0; i < RowBytes(p.bitmap) * 3; ++i) p.bitmap.pixels[i] = uint8_t(i * 31);
    uint8_t* rows = p.bitmap.pixels;
    std::vector<uint8_t> before = p.Bytes();
    EXPECT_EQ(Convert(p.bitmap, type, false), RCOK);
    EXPECT_EQ(p.bitmap.pixels, rows);
    EXPECT_EQ(p.Bytes(), before);
  }
  CoreBitmap empty;  // neither rows nor picture
  EXPECT_EQ(Convert(empty, kPixelRGB24), RCOK);
}

TEST(PixelConvert, EightBitTargetsFollowTheWantedCountAndRowRule) {
  Picture ramp(kPixelIndexed8, 256, 2);
  for (int i = 0; i < 256; ++i) {
    ramp.Row(0)[i] = ramp.Row(1)[i] = uint8_t(i);
    ramp.bitmap.palette[i] = 0xFF000000u | uint32_t(i) * 0x010101u;
  }
  ASSERT_EQ(Convert(ramp.bitmap, kPixelIndexed8, false), RCOK);  // only the rule changes
  EXPECT_EQ(ramp.bitmap.stride, kStridePacked);
  EXPECT_EQ(ramp.Row(1)[200], 200);
  ramp.bitmap.paletteSize = 8;  // fewer wanted: reduced
  ASSERT_EQ(Convert(ramp.bitmap, kPixelIndexed8, false), RCOK);
  EXPECT_LE(ramp.bitmap.paletteSize, 8u);
  Picture bits(kPixelIndexed4, 3, 1);
  bits.Row(0)[0] = 0x5A, bits.Row(0)[1] = 0xF0;
  ASSERT_EQ(Convert(bits.bitmap, kPixelIndexed8), RCOK);
  EXPECT_EQ(std::vector<uint8_t>(bits.Row(0), bits.Row(0) + 3), (std::vector<uint8_t>{5, 10, 15}));
  Picture photo(kPixelRGB24, 40, 40);
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 40; ++x) SetBgr(photo, x, y, uint32_t(x * 6) | uint32_t(y * 6) << 8);
  }
  photo.bitmap.paletteSize = 16;
  ASSERT_EQ(Convert(photo.bitmap, kPixelIndexed8), RCOK);
  EXPECT_LE(photo.bitmap.paletteSize, 16u);
  // Grey levels become palette entries of their own.
  Picture grey(0x01010108, 3, 1);
  grey.Row(0)[0] = 10, grey.Row(0)[1] = 200, grey.Row(0)[2] = 10;
  grey.bitmap.convertFlag1 = 1;  // dithering asked for
  ASSERT_EQ(Convert(grey.bitmap, kPixelIndexed8), RCOK);
  ASSERT_EQ(grey.bitmap.pixelType, uint32_t(kPixelIndexed8));
  EXPECT_EQ(grey.bitmap.paletteSize, 2u);
  EXPECT_EQ(grey.bitmap.palette[grey.Row(0)[1]] & 0xFFFFFF, 200u * 0x010101u);
  EXPECT_EQ(grey.Row(0)[0], grey.Row(0)[2]);
  Picture deep(kPixelGray16, 4, 4);
  ASSERT_EQ(Convert(deep.bitmap, kPixelIndexed4), RCOK);
  EXPECT_EQ(deep.bitmap.pixelType, uint32_t(kPixelIndexed4));
}

TEST(PixelConvert, TrueColourTargetsExpandThroughThePalette) {
  Picture p(kPixelIndexed8, 2, 1);
  p.Row(0)[0] = 3, p.Row(0)[1] = 4;
  p.bitmap.palette[3] = 0x80112233, p.bitmap.palette[4] = 0xFF445566;
  ASSERT_EQ(Convert(p.bitmap, kPixelRGBA32), RCOK);
  uint32_t out[2];
  std::memcpy(out, p.Row(0), 8);
  EXPECT_EQ(out[0], 0x80112233u);
  EXPECT_EQ(out[1], 0xFF445566u);
  ASSERT_EQ(Convert(p.bitmap, kPixelRGBA64), RCOK);
  uint16_t wide[4];
  std::memcpy(wide, p.Row(0), 8);
  EXPECT_EQ(wide[0], 0x3333);
  EXPECT_EQ(wide[3], 0x8080);
  ASSERT_EQ(Convert(p.bitmap, kPixelRGB24), RCOK);
  EXPECT_EQ(p.Row(0)[2], 0x11);
}

TEST(PixelConvert, CancellingLeavesTheBitmapUnchanged) {
  for (uint32_t target : {kPixelRGBA32, kPixelIndexed8, kPixelIndexed4}) {
    Picture p(kPixelRGB24, 700, 600);
    for (uint64_t i = 0; i < RowBytes(p.bitmap) * 600; ++i) p.bitmap.pixels[i] = uint8_t(i * 7 / 5);
    std::vector<uint8_t> before = p.Bytes();
    uint8_t* rows = p.bitmap.pixels;
    Steps steps;
    steps.stopAt = 2;
    p.bitmap.progress = Record;
    p.bitmap.progressContext = reinterpret_cast<uintptr_t>(&steps);
    EXPECT_EQ(Convert(p.bitmap, target), USRA) << std::hex << target;  // a quiet end
    EXPECT_EQ(p.bitmap.pixels, rows);
    EXPECT_EQ(p.bitmap.pixelType, uint32_t(kPixelRGB24));
    EXPECT_EQ(p.Bytes(), before);
  }
}

TEST(PixelConvert, ReductionsNameTheirProgress) {
  Picture p(kPixelRGB24, 400, 400);
  for (int32_t y = 0; y < 400; ++y) {
    for (int32_t x = 0; x < 400; ++x) SetBgr(p, x, y, uint32_t(x) ^ uint32_t(y) << 9);
  }
  Steps steps;
  p.bitmap.progress = Record;
  p.bitmap.progressContext = reinterpret_cast<uintptr_t>(&steps);
  EXPECT_EQ(ReduceToIndexed(p.bitmap, 300, "save"), 256);  // the maximum is cut to 256
  EXPECT_EQ(steps.texts, std::vector<std::string>{"save; Quantize..."});
  EXPECT_EQ(p.bitmap.pixelType, uint32_t(kPixelIndexed8));
  steps.texts.clear();
  ASSERT_EQ(Convert(p.bitmap, kPixelRGBA32), RCOK);
  EXPECT_EQ(steps.texts, std::vector<std::string>{"prepare..."});
  EXPECT_EQ(ReduceToIndexed(p.bitmap, 0, nullptr), -1);
}

TEST(PixelConvert, BadTargetsSizesAndSourcesGiveClearCodes) {
  Picture p(kPixelRGB24, 4, 4);
  EXPECT_EQ(Convert(p.bitmap, kPixelRGB565), UNSF);
  EXPECT_EQ(Convert(p.bitmap, kPixelNone), UNSF);
  // Rows beyond 32 bits are refused before anything is read.
  Picture huge(kPixelBW1, 1, 1);
  huge.bitmap.width = 60000, huge.bitmap.height = 60000;
  uint8_t* kept = huge.bitmap.pixels;
  EXPECT_EQ(Convert(huge.bitmap, kPixelRGBA32), OMEM);
  EXPECT_EQ(huge.bitmap.pixels, kept);
  huge.bitmap.width = huge.bitmap.height = 1;
}

namespace {

struct FlatRenderer : VectorRenderer {
  int calls = 0;
  ERetcode Render(const CoreBitmap& picture, float dpiX, float, const RenderColours& colours,
                  CoreBitmap& out) override {
    ++calls;
    int32_t w = int32_t(picture.width * dpiX / 96);
    AdoptRows(out, AllocateRows(w, picture.height, kPixelRGBA32, kStridePadded), w, picture.height,
              kPixelRGBA32, kStridePadded);
    for (int32_t i = 0; i < w * picture.height; ++i) {
      std::memcpy(out.pixels + 4 * i, &colours.background, 4);
    }
    return RCOK;
  }
};

struct CountedPicture : OwnedObject {
  static inline int destroyed = 0;
  static void ORBISK_CDECL Destroy(OwnedObject*, uint32_t) { ++destroyed; }
  static constexpr OwnedObjectOps kOps{Destroy, nullptr};
  CountedPicture() { ops = &kOps; }
};

}  // namespace

TEST(PixelConvert, VectorPicturesNeedARenderer) {
  CountedPicture object;
  CoreBitmap vector;
  vector.pixelType = kPixelVector;
  vector.picture = &object;
  vector.ownsPixels = 1;
  vector.width = 5, vector.height = 3;
  EXPECT_EQ(Convert(vector, kPixelRGBA32), UNSF);  // none registered
  EXPECT_EQ(vector.picture, &object);
  FlatRenderer renderer;
  SetVectorRenderer(&renderer);
  RenderColours colours{0xFF204060, 0};
  EXPECT_EQ(ConvertPixelType(vector, kPixelIndexed8, true, 192, 96, colours, false), RCOK);
  SetVectorRenderer(nullptr);
  EXPECT_EQ(renderer.calls, 1);
  EXPECT_EQ(CountedPicture::destroyed, 1);
  EXPECT_EQ(vector.picture, nullptr);
  EXPECT_EQ(vector.pixelType, uint32_t(kPixelIndexed8));
  EXPECT_EQ(vector.width, 10);
  EXPECT_EQ(vector.paletteSize, 1u);
  EXPECT_EQ(vector.palette[0], 0xFF204060u);
  ReleaseRows(vector);
}
