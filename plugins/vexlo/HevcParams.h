// The picture size an HEVC stream announces, read from its sequence parameter sets
// before the decoder sees them. A HEIC item declares its size in the container, but
// the HEVC decoder allocates its picture and its per-block tables for the size of the
// coded stream: a few hundred bytes can claim 30000 x 30000. The check here walks the
// NAL units as libheif hands them to a decoder (each with a 4-byte length in front),
// reads every SPS and refuses a stream whose picture exceeds the reader's caps.
#pragma once

#include <cstdint>
#include <span>

#include "formats/Retcode.h"

namespace vexlo {

// The luma size of an SPS (pic_width/height_in_luma_samples, before cropping).
struct HevcPictureSize {
  uint64_t width = 0;
  uint64_t height = 0;
};

// Reads the size out of one SPS NAL unit (its two-byte header included, emulation
// prevention bytes still in). False when the unit is not an SPS, is cut short before
// the size, or holds values no stream may have.
bool ReadHevcSpsSize(std::span<const uint8_t> nal, HevcPictureSize& size);

// Takes the next NAL unit (a 4-byte big-endian length, then at least the two-byte
// header) off the front of `rest`; false when what is left is no whole unit.
bool NextHevcNal(std::span<const uint8_t>& rest, std::span<const uint8_t>& nal);

// The largest picture a stream may announce: the reader's pixel cap, and far less
// when the container declares a small image.
struct HevcLimits {
  uint64_t maxPixels = 0;
  // The pixels the container declares for the image (0: not known). A coded picture
  // may be larger (padding to whole coding blocks, tiles of a grid), so the bound
  // is a multiple of it with a floor; a stream far beyond it is damaged.
  uint64_t declaredPixels = 0;
  uint64_t Allowed() const;
};

// Follows the data pushed into one decoder. Every chunk must be whole NAL units with
// 4-byte big-endian lengths; each SPS must pass the limits, and the stream may hold
// one coded picture (a HEIF image item is one picture), so the decoder never needs
// more than one picture buffer. The first failure sticks.
class HevcStreamCheck {
 public:
  explicit HevcStreamCheck(const HevcLimits& limits) : limits_(limits) {}

  // RCOK; OMEM for a picture over the pixel cap; BADI for a malformed stream or one
  // whose picture is far beyond the declared size.
  uint32_t Push(std::span<const uint8_t> chunk);
  uint32_t Result() const { return result_; }

 private:
  uint32_t CheckNal(std::span<const uint8_t> nal);

  HevcLimits limits_;
  uint32_t result_ = glib::RCOK;
  int pictures_ = 0;
};

}  // namespace vexlo
