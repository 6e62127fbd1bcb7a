#include "host/PackBits.h"

#include <gtest/gtest.h>

#include <random>

using namespace host;

namespace {

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& packed, size_t size) {
  std::vector<uint8_t> out(size, 0xEE);
  out.resize(UnpackBits(packed, out));
  return out;
}

}  // namespace

TEST(PackBits, RoundTripsEveryKindOfRun) {
  std::mt19937 random(7);
  std::vector<std::vector<uint8_t>> inputs = {{},
                                              {1},
                                              {1, 1},
                                              {1, 2},
                                              {1, 1, 2, 2, 3, 3},
                                              std::vector<uint8_t>(256, 0),
                                              std::vector<uint8_t>(129, 5),
                                              std::vector<uint8_t>(300, 9)};
  std::vector<uint8_t> noisy(256), literal(200);
  for (auto& b : noisy) b = uint8_t(random() % 3 == 0 ? random() : 0);
  for (size_t i = 0; i < literal.size(); ++i) literal[i] = uint8_t(i);
  inputs.push_back(noisy);
  inputs.push_back(literal);
  for (const auto& input : inputs) {
    std::vector<uint8_t> packed = PackBits(input);
    EXPECT_EQ(Unpack(packed, input.size()), input) << "size " << input.size();
    EXPECT_LE(packed.size(), input.size() + (input.size() + 127) / 128);
  }
  EXPECT_EQ(PackBits(std::vector<uint8_t>(256, 0)), (std::vector<uint8_t>{0x81, 0, 0x81, 0}));
}

TEST(PackBits, UnpacksTheClassicExample) {
  std::vector<uint8_t> packed = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                                 0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
  std::vector<uint8_t> expected = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA,
                                   0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0x22};
  expected.insert(expected.end(), 10, 0xAA);
  EXPECT_EQ(Unpack(packed, 100), expected);
}

TEST(PackBits, UnpackingStopsAtTheEndOfEitherSide) {
  // -128 is skipped; a cut-off literal gives what it holds; a lone repeat count nothing.
  EXPECT_EQ(Unpack({0x80, 0x02, 7, 8}, 10), (std::vector<uint8_t>{7, 8}));
  EXPECT_EQ(Unpack({0x00, 1, 0xFE}, 10), (std::vector<uint8_t>{1}));
  EXPECT_EQ(Unpack({0x81, 3, 0x7F, 1}, 4), (std::vector<uint8_t>{3, 3, 3, 3}));

  std::vector<uint8_t> out(4, 0xEE);
  EXPECT_EQ(UnpackBits(std::vector<uint8_t>{0xFF, 1}, out), 2u);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 0xEE, 0xEE})) << "the rest stays untouched";
}
