#include "viewer/RawImport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace viewer {
namespace {

struct Resolution {
  int32_t width, height;
};
constexpr Resolution kResolutions[] = {{320, 200},   {320, 240},   {512, 384},   {640, 480},
                                       {800, 600},   {1024, 768},  {1152, 864},  {1280, 768},
                                       {1280, 960},  {1280, 1024}, {1360, 1020}, {1600, 900},
                                       {1600, 1024}, {1600, 1200}, {1792, 1344}, {2000, 1312},
                                       {2048, 1536}, {2272, 1704}, {2560, 1920}, {3008, 1960}};

constexpr uint64_t kSmallest = 320 * 200;
constexpr uint64_t kLargest = uint64_t(3008) * 1960 * 8;

}  // namespace

std::optional<RawGuess> GuessRawDimensions(uint64_t size) {
  if (size == 0) return std::nullopt;
  RawGuess guess;
  if (size < kSmallest || size > kLargest) {
    auto side = int32_t(std::min<uint64_t>(uint64_t(std::sqrt(double(size))),
                                           uint64_t(std::numeric_limits<int32_t>::max())));
    // The square root of a large double may round up past the exact integer root.
    while (side > 1 && uint64_t(side) * uint64_t(side) > size) --side;
    guess.width = guess.height = side;
    return guess;
  }
  uint64_t best = std::numeric_limits<uint64_t>::max();
  for (int32_t channels : {3, 1, 4})
    for (int32_t bits : {8, 16})
      for (const Resolution& r : kResolutions) {
        uint64_t bytes = uint64_t(r.width) * uint64_t(r.height) * uint64_t(channels * bits / 8);
        uint64_t difference = bytes > size ? bytes - size : size - bytes;
        if (difference >= best) continue;  // the earliest wins a tie
        best = difference;
        guess = {r.width, r.height, channels, bits, difference == 0};
        if (guess.exact) return guess;
      }
  return guess;
}

void ChooseChannel(ChannelOrder& order, int changed, int letter) {
  if (changed < 0 || changed >= 4 || letter < 0 || letter >= 4) return;
  order[size_t(changed)] = letter;
  for (int other = 0; other < 4; ++other) {
    if (other == changed || order[size_t(other)] != letter) continue;
    // The letter nobody shows now.
    for (int missing = 0; missing < 4; ++missing) {
      bool shown = false;
      for (int index = 0; index < 4; ++index) shown = shown || order[size_t(index)] == missing;
      if (!shown) {
        order[size_t(other)] = missing;
        break;
      }
    }
  }
}

std::string ColorSpaceText(int channels, const ChannelOrder& order) {
  std::string text = "Colorspace: ";
  if (channels <= 1) return text + "GRAY";
  if (channels == 2) return text + "GRAY ALPHA";
  for (int i = 0; i < std::min(channels, 4); ++i) text += kChannelLetters[order[size_t(i)] & 3];
  return text;
}

void FillRawLoad(const RawSettings& settings, glib::RAWLoad& record) {
  record.width = settings.width;
  record.height = settings.height;
  record.headerLength = settings.headerLength;
  record.lineGap = settings.lineGap;
  const uint32_t channels = uint32_t(std::clamp(settings.channels, 1, 4));
  record.pixelType =
      (record.pixelType & 0xFFFF0000u) | (channels << 8) | (settings.sixteenBits ? 16u : 8u);
  record.littleEndian = settings.littleEndian ? 1 : 0;
  record.interleaved = settings.interleaved ? 1 : 0;
  record.fillAlpha = settings.fillAlpha ? 1 : 0;
  record.fileSize = uint32_t(std::min<uint64_t>(settings.fileSize, UINT32_MAX));
  for (size_t i = 0; i < 4; ++i) record.channelOrder[i] = kChannelLetters[settings.order[i] & 3];
}

}  // namespace viewer
