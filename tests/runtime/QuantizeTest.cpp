#include "runtime/Quantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "formats/CoreBitmap.h"
#include "formats/PixelType.h"
#include "runtime/ParallelRows.h"

using namespace glib;

namespace {

struct Picture {
  int32_t width, height;
  std::vector<uint8_t> bgr;  // packed rows
  uint8_t* Pixel(int32_t x, int32_t y) { return &bgr[(size_t(y) * width + x) * 3]; }
};

Picture Smooth(int32_t w, int32_t h) {
  Picture p{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* q = p.Pixel(x, y);
      q[0] = uint8_t(128 + 100 * std::sin(x * 0.05));
      q[1] = uint8_t(y * 255 / (h - 1));
      q[2] = uint8_t((x + y) * 255 / (w + h - 2));
    }
  }
  return p;
}

struct Reduced {
  int count;
  std::vector<uint8_t> indices;
  uint32_t palette[256];
};

Reduced Reduce(const Picture& p, uint32_t colours, bool dither, bool grey) {
  Reduced r{0, std::vector<uint8_t>(size_t(p.width) * p.height), {}};
  Quantize q(colours, dither, grey);
  r.count = q.Execute(p.bgr.data(), p.width, p.height, kPixelRGB24, kStridePacked, r.indices.data(),
                      kStridePacked, r.palette);
  return r;
}

double Psnr(const Picture& p, const Reduced& r) {
  double sum = 0;
  for (size_t i = 0; i < r.indices.size(); ++i) {
    uint32_t c = r.palette[r.indices[i]];
    for (int k = 0; k < 3; ++k) {
      double e = double(p.bgr[i * 3 + size_t(k)]) - double((c >> (8 * k)) & 255);
      sum += e * e;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (sum / double(r.indices.size() * 3)));
}

}  // namespace

TEST(Quantize, FewColoursAreKeptExactly) {
  Picture p{40, 30, std::vector<uint8_t>(40 * 30 * 3)};
  const uint8_t colours[5][3] = {{1, 2, 3}, {250, 0, 9}, {7, 7, 7}, {0, 200, 100}, {33, 44, 55}};
  for (int32_t i = 0; i < 40 * 30; ++i) std::memcpy(&p.bgr[size_t(i) * 3], colours[(i * 7) % 5], 3);
  for (bool dither : {false, true}) {
    Reduced r = Reduce(p, 5, dither, false);
    ASSERT_EQ(r.count, 5);
    EXPECT_EQ(Psnr(p, r), INFINITY);
    EXPECT_EQ(r.palette[5], 0u);  // unused entries are cleared
    EXPECT_EQ(r.palette[0] >> 24, 255u);
  }
}

TEST(Quantize, StaysWithinTheColourCountWithGoodQuality) {
  Picture p = Smooth(257, 211);
  for (auto [colours, minimum] : {std::pair{2u, 12.5}, {16u, 20.0}, {256u, 30.5}}) {
    for (bool dither : {false, true}) {
      Reduced r = Reduce(p, colours, dither, false);
      ASSERT_GT(r.count, 0);
      EXPECT_LE(uint32_t(r.count), colours);
      for (uint8_t index : r.indices) ASSERT_LT(index, r.count);
      // Dithering trades a little of this measure for smoothness.
      EXPECT_GT(Psnr(p, r), dither ? minimum - 3 : minimum) << colours << " " << dither;
    }
  }
}

TEST(Quantize, DitheringKeepsTheMeanOfAreasBetweenPaletteColours) {
  Picture p{64, 64, std::vector<uint8_t>(64 * 64 * 3)};
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      std::memset(p.Pixel(x, y), x < 8 ? 0 : x >= 56 ? 255 : 100, 3);
    }
  }
  for (bool dither : {false, true}) {
    Reduced r = Reduce(p, 2, dither, false);
    ASSERT_EQ(r.count, 2);
    double sum = 0;
    std::set<uint8_t> used;
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 16; x < 48; ++x) {
        uint8_t index = r.indices[size_t(y) * 64 + x];
        sum += r.palette[index] & 255;
        used.insert(index);
      }
    }
    if (dither) {
      EXPECT_NEAR(sum / (64 * 32), 100, 4);  // mixed from the two entries around it
    } else {
      EXPECT_EQ(used.size(), 1u);
    }
  }
}

TEST(Quantize, GreyFlagGivesGreyLevels) {
  Picture p = Smooth(100, 80);
  for (uint32_t colours : {4u, 256u}) {
    Reduced r = Reduce(p, colours, true, true);
    ASSERT_GT(r.count, 1);
    EXPECT_LE(uint32_t(r.count), colours);
    for (int i = 0; i < r.count; ++i) {
      uint32_t c = r.palette[i];
      EXPECT_TRUE((c & 255) == ((c >> 8) & 255) && (c & 255) == ((c >> 16) & 255)) << std::hex << c;
    }
  }
}

TEST(Quantize, ResultsDoNotDependOnTheThreadCount) {
  Picture p = Smooth(1500, 1000);
  SetRuntimeThreads(1);
  Reduced one = Reduce(p, 64, false, false);
  Reduced ditheredOne = Reduce(p, 64, true, false);
  SetRuntimeThreads(4);
  Reduced four = Reduce(p, 64, false, false);
  Reduced ditheredFour = Reduce(p, 64, true, false);
  SetRuntimeThreads(0);
  EXPECT_EQ(one.indices, four.indices);
  EXPECT_EQ(std::memcmp(one.palette, four.palette, sizeof one.palette), 0);
  EXPECT_EQ(ditheredOne.indices, ditheredFour.indices);
}

TEST(Quantize, OtherPixelTypesAreReadThroughTheirColours) {
  // 32-bit pixels with alpha, and YCbCr, reduce like their colours do.
  std::vector<uint8_t> bgra = {10, 20, 30, 0, 10, 20, 30, 255, 200, 100, 50, 9};
  std::vector<uint8_t> indices(3);
  uint32_t palette[256];
  Quantize q(256, false, false);
  ASSERT_EQ(q.Execute(bgra.data(), 3, 1, kPixelRGBA32, kStridePacked, indices.data(), kStridePacked,
                      palette),
            2);
  EXPECT_EQ(indices[0], indices[1]);
  EXPECT_EQ(palette[indices[2]], 0xFF3264C8u);
  std::vector<uint8_t> ycc = {128, 128, 128};
  ASSERT_EQ(q.Execute(ycc.data(), 1, 1, kPixelModel6x8, kStridePacked, indices.data(),
                      kStridePacked, palette),
            1);
  EXPECT_EQ(palette[0], 0xFF808080u);
}

TEST(Quantize, BadRequestsAndCancellationReturnMinusOne) {
  Picture p = Smooth(600, 500);
  std::vector<uint8_t> indices(600 * 500);
  uint32_t palette[256];
  for (uint32_t colours : {0u, 257u}) {
    Quantize q(colours, false, false);
    EXPECT_EQ(q.Execute(p.bgr.data(), 600, 500, kPixelRGB24, kStridePacked, indices.data(),
                        kStridePacked, palette),
              -1);
    EXPECT_EQ(q.LastResult(), BADA);
  }
  Quantize q(16, true, false);
  EXPECT_EQ(q.Execute(nullptr, 600, 500, kPixelRGB24, kStridePacked, indices.data(), kStridePacked,
                      palette),
            -1);
  EXPECT_EQ(q.Execute(p.bgr.data(), 0, 500, kPixelRGB24, kStridePacked, indices.data(),
                      kStridePacked, palette),
            -1);
  EXPECT_EQ(q.Execute(p.bgr.data(), 600, 500, kPixelIndexed8, kStridePacked, indices.data(),
                      kStridePacked, palette),
            -1);
  EXPECT_EQ(q.LastResult(), UNSF);
  auto stop = [](ClbData* data) { return data->step < 0; };
  Quantize cancelled(16, true, false, true, stop);
  EXPECT_EQ(cancelled.Execute(p.bgr.data(), 600, 500, kPixelRGB24, kStridePacked, indices.data(),
                              kStridePacked, palette),
            -1);
  EXPECT_EQ(cancelled.LastResult(), USRA);
}

TEST(QuantizeIndexedBitmap, UsedEntriesCloseUpWhenTheyFit) {
  std::vector<uint8_t> indices = {200, 7, 200, 31, 7, 7};
  uint32_t palette[256] = {};
  palette[7] = 0xFF070707, palette[31] = 0xFF313131, palette[200] = 0xFFC8C8C8;
  std::vector<uint8_t> out(6);
  uint32_t reduced[256];
  QuantizeIndexedBitmap q(4, false, false);
  ASSERT_EQ(
      q.Execute(indices.data(), 3, 2, kStridePacked, palette, out.data(), kStridePacked, reduced),
      3);
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 0, 2, 1, 0, 0}));
  EXPECT_EQ(reduced[0], 0xFF070707u);
  EXPECT_EQ(reduced[2], 0xFFC8C8C8u);
  EXPECT_EQ(reduced[3], 0u);
}

TEST(QuantizeIndexedBitmap, ManyEntriesReduceToNearColours) {
  std::vector<uint8_t> indices(256 * 8);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i);
  uint32_t palette[256];
  for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | i * 0x010101u;
  std::vector<uint8_t> out(indices.size());
  uint32_t reduced[256];
  QuantizeIndexedBitmap q(16, false, false);
  int count =
      q.Execute(indices.data(), 256, 8, kStridePadded, palette, out.data(), kStridePadded, reduced);
  ASSERT_GT(count, 1);
  ASSERT_LE(count, 16);
  for (size_t i = 0; i < indices.size(); ++i) {
    ASSERT_LE(std::abs(int(reduced[out[i]] & 255) - int(indices[i])), 12) << i;
  }
}
