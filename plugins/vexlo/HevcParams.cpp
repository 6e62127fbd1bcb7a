// The SPS reader and the stream check of HevcParams.h.
#include "vexlo/HevcParams.h"

#include <algorithm>
#include <array>

namespace vexlo {
namespace {

using glib::BADI;
using glib::OMEM;
using glib::RCOK;

constexpr int kSpsType = 33;
// The size comes within the first hundred bytes of an SPS (a profile, tier and level
// record for each of up to seven sub-layers, then a few short codes); the rest of
// the unit is not read.
constexpr size_t kSpsPrefix = 256;
// Sides the decoder rejects anyway; anything longer is damage.
constexpr uint64_t kMaxSpsSide = uint64_t(1) << 20;

// The payload of a NAL unit without its emulation prevention bytes (a 3 after two
// zeros), at most kSpsPrefix bytes of it.
struct Payload {
  std::array<uint8_t, kSpsPrefix> bytes;
  size_t size = 0;
};

Payload Unescape(std::span<const uint8_t> in) {
  Payload out;
  int zeros = 0;
  for (uint8_t b : in) {
    if (out.size == out.bytes.size()) break;
    if (zeros >= 2 && b == 3) {
      zeros = 0;
      continue;
    }
    out.bytes[out.size++] = b;
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

// Bits, first the most significant; reading past the end fails for good.
class BitReader {
 public:
  explicit BitReader(const Payload& payload) : payload_(payload) {}

  bool Failed() const { return failed_; }
  uint64_t Bits(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (pos_ >= payload_.size * 8) {
        failed_ = true;
        return 0;
      }
      v = v << 1 | ((payload_.bytes[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
      ++pos_;
    }
    return v;
  }
  void Skip(int n) { Bits(n); }
  // An unsigned Exp-Golomb code; more than 31 leading zeros is no value a stream has.
  uint64_t Ue() {
    int zeros = 0;
    while (!failed_ && Bits(1) == 0) {
      if (++zeros > 31) failed_ = true;
    }
    return failed_ ? 0 : (uint64_t(1) << zeros) - 1 + Bits(zeros);
  }

 private:
  const Payload& payload_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// profile_tier_level(1, maxSubLayersMinus1): the general record (88 bits of profile,
// 8 of level), then what each sub-layer says it carries.
void SkipProfileTierLevel(BitReader& in, int maxSubLayersMinus1) {
  in.Skip(88 + 8);
  bool profile[8] = {}, level[8] = {};
  for (int i = 0; i < maxSubLayersMinus1; ++i) {
    profile[i] = in.Bits(1) != 0;
    level[i] = in.Bits(1) != 0;
  }
  if (maxSubLayersMinus1 > 0) in.Skip(2 * (8 - maxSubLayersMinus1));
  for (int i = 0; i < maxSubLayersMinus1; ++i) {
    if (profile[i]) in.Skip(88);
    if (level[i]) in.Skip(8);
  }
}

bool IsPictureStart(int type, std::span<const uint8_t> nal) {
  // Slice segments (trailing, leading and random-access pictures) carry
  // first_slice_segment_in_pic_flag as the first bit after the header.
  bool slice = type <= 9 || (type >= 16 && type <= 21);
  return slice && nal.size() > 2 && (nal[2] & 0x80) != 0;
}

}  // namespace

bool ReadHevcSpsSize(std::span<const uint8_t> nal, HevcPictureSize& size) {
  if (nal.size() < 3 || (nal[0] & 0x80) != 0 || ((nal[0] >> 1) & 0x3F) != kSpsType) return false;
  Payload payload = Unescape(nal.subspan(2));
  BitReader in(payload);
  in.Skip(4);  // sps_video_parameter_set_id
  int maxSubLayersMinus1 = int(in.Bits(3));
  if (maxSubLayersMinus1 > 6) return false;
  in.Skip(1);  // sps_temporal_id_nesting_flag
  SkipProfileTierLevel(in, maxSubLayersMinus1);
  uint64_t id = in.Ue();
  uint64_t chroma = in.Ue();
  if (id > 15 || chroma > 3) return false;
  if (chroma == 3) in.Skip(1);  // separate_colour_plane_flag
  uint64_t width = in.Ue(), height = in.Ue();
  if (in.Failed() || width == 0 || height == 0 || width > kMaxSpsSide || height > kMaxSpsSide)
    return false;
  size = {width, height};
  return true;
}

uint64_t HevcLimits::Allowed() const {
  if (declaredPixels == 0) return maxPixels;
  // Four times the declared pixels, and never less than a 1024 x 1024 tile.
  constexpr uint64_t kFloor = uint64_t(1) << 20;
  uint64_t relative = declaredPixels > (UINT64_MAX / 4) ? UINT64_MAX : declaredPixels * 4;
  return std::min(maxPixels, std::max(relative, kFloor));
}

bool NextHevcNal(std::span<const uint8_t>& rest, std::span<const uint8_t>& nal) {
  if (rest.size() < 4) return false;
  uint64_t length =
      uint64_t(rest[0]) << 24 | uint64_t(rest[1]) << 16 | uint64_t(rest[2]) << 8 | rest[3];
  if (length < 2 || length > rest.size() - 4) return false;
  nal = rest.subspan(4, size_t(length));
  rest = rest.subspan(4 + size_t(length));
  return true;
}

uint32_t HevcStreamCheck::Push(std::span<const uint8_t> chunk) {
  std::span<const uint8_t> nal;
  while (result_ == RCOK && !chunk.empty()) {
    if (!NextHevcNal(chunk, nal)) return result_ = BADI;
    result_ = CheckNal(nal);
  }
  return result_;
}

uint32_t HevcStreamCheck::CheckNal(std::span<const uint8_t> nal) {
  int type = (nal[0] >> 1) & 0x3F;
  if (IsPictureStart(type, nal) && ++pictures_ > 1) return BADI;
  if (type != kSpsType) return RCOK;
  HevcPictureSize size;
  if (!ReadHevcSpsSize(nal, size)) return BADI;
  // Over the cap: more than the reader ever decodes. Within it but far beyond the
  // container's size: the stream does not belong to the image.
  if (size.width > limits_.maxPixels / size.height) return OMEM;
  if (size.width > limits_.Allowed() / size.height) return BADI;
  return RCOK;
}

}  // namespace vexlo
