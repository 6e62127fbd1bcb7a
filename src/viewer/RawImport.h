// The arithmetic of opening headerless pixel data: a proposed size for a file's byte
// count, the dialog's channel order kept a permutation, the colour space text, and
// the load record the dialog's values become.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/ImageLoad.h"

namespace viewer {

struct RawGuess {
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;  // 0 when the guess is a square root, with no layout behind it
  int32_t bitsPerChannel = 0;
  bool exact = false;  // the layout accounts for every byte
};

// A width and height for a file of `size` bytes: a common screen resolution whose
// 8- or 16-bit RGB, grey or RGBA pixels fill the file (or come closest), or a square
// for files outside that range. Nothing for an empty file.
std::optional<RawGuess> GuessRawDimensions(uint64_t size);

// Channel letters by combobox entry: 0 R, 1 G, 2 B, 3 A.
using ChannelOrder = std::array<int, 4>;
inline constexpr char kChannelLetters[] = "RGBA";

// Combobox `changed` now shows `letter`; the one that showed it before gets the
// letter that no combobox shows any more, so the four stay a permutation.
void ChooseChannel(ChannelOrder& order, int changed, int letter);

// "Colorspace: GRAY", "GRAY ALPHA", or the letters of the first three or all four.
std::string ColorSpaceText(int channels, const ChannelOrder& order);

// What the dialog collects.
struct RawSettings {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t headerLength = 0;
  uint32_t lineGap = 0;
  int32_t channels = 3;  // 1 to 4
  bool sixteenBits = false;
  bool littleEndian = true;  // "IBM PC"
  bool interleaved = true;
  bool fillAlpha = false;
  uint64_t fileSize = 0;
  ChannelOrder order{0, 1, 2, 3};
};

// The load record of the settings; the pixel type keeps its colour model and flags
// and takes the bits per channel and the channel count.
void FillRawLoad(const RawSettings& settings, glib::RAWLoad& record);

}  // namespace viewer
