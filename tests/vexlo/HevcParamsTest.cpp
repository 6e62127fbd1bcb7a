// The SPS size reader and the stream check in front of the HEVC decoder: a real SPS
// from heif-enc, SPS units written bit by bit (sub-layers, 4:4:4, emulation
// prevention), cut-short and malformed units, and the limits a stream must keep.
#include "vexlo/HevcParams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Harness.h"

using namespace vexlo;
using Bytes = std::vector<uint8_t>;

namespace {

// Writes bits, first the most significant, and Exp-Golomb codes.
class BitWriter {
 public:
  void U(int n, uint64_t v) {
    for (int i = n - 1; i >= 0; --i) bits_.push_back((v >> i) & 1);
  }
  void Ue(uint64_t v) {
    int n = 0;
    while ((v + 1) >> (n + 1)) ++n;
    U(n, 0);
    U(n + 1, v + 1);
  }
  // The RBSP with its stop bit, emulation prevention bytes put in.
  Bytes Escaped() const {
    std::vector<bool> bits = bits_;
    bits.push_back(true);
    while (bits.size() % 8) bits.push_back(false);
    Bytes out;
    int zeros = 0;
    for (size_t i = 0; i < bits.size(); i += 8) {
      uint8_t b = 0;
      for (size_t k = 0; k < 8; ++k) b = uint8_t(b << 1 | bits[i + k]);
      if (zeros >= 2 && b <= 3) {
        out.push_back(3);
        zeros = 0;
      }
      out.push_back(b);
      zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
  }

 private:
  std::vector<bool> bits_;
};

struct SpsFields {
  uint64_t width = 64, height = 48;
  int subLayers = 0;  // sps_max_sub_layers_minus1
  uint64_t chroma = 1;
  uint64_t id = 0;
  uint64_t profileWord = 0x01600000;  // Main, compatibility flag 1: no zeros to escape
};

// An SPS NAL unit (header 0x42 0x01) up to its size, then a few codes that follow.
Bytes Sps(const SpsFields& f) {
  BitWriter w;
  w.U(4, 0);
  w.U(3, uint64_t(f.subLayers));
  w.U(1, 1);
  w.U(32, f.profileWord);
  w.U(32, 0);
  w.U(24, 0);
  w.U(8, 90);                                                    // level
  for (int i = 0; i < f.subLayers; ++i) w.U(2, i == 0 ? 3 : 0);  // layer 0: profile, level
  if (f.subLayers > 0) w.U(2 * (8 - f.subLayers), 0);
  if (f.subLayers > 0) {
    w.U(88, 0);
    w.U(8, 60);
  }
  w.Ue(f.id);
  w.Ue(f.chroma);
  if (f.chroma == 3) w.U(1, 0);
  w.Ue(f.width);
  w.Ue(f.height);
  w.U(1, 0);  // no conformance window
  w.Ue(0);
  w.Ue(0);
  Bytes nal = {0x42, 0x01};
  Bytes rbsp = w.Escaped();
  nal.insert(nal.end(), rbsp.begin(), rbsp.end());
  return nal;
}

HevcPictureSize Read(const Bytes& nal, bool* ok = nullptr) {
  HevcPictureSize size;
  bool read = ReadHevcSpsSize(nal, size);
  if (ok) *ok = read;
  return read ? size : HevcPictureSize{};
}

// NAL units with 4-byte lengths, as libheif pushes them.
Bytes Chunk(std::initializer_list<Bytes> nals) {
  Bytes out;
  for (const Bytes& nal : nals) {
    uint32_t n = uint32_t(nal.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), nal.begin(), nal.end());
  }
  return out;
}

// The SPS out of a heif-enc file's hvcC box (its arrays of NAL units).
Bytes SpsOfFile(const std::string& file) {
  size_t box = file.find("hvcC");
  if (box == std::string::npos) return {};
  auto at = [&](size_t i) { return i < file.size() ? uint8_t(file[i]) : uint8_t(0); };
  size_t p = box + 4 + 22, arrays = at(p++);
  for (size_t a = 0; a < arrays; ++a) {
    int type = at(p) & 0x3F;
    size_t count = size_t(at(p + 1)) << 8 | at(p + 2);
    p += 3;
    for (size_t k = 0; k < count; ++k) {
      size_t n = size_t(at(p)) << 8 | at(p + 1);
      if (type == 33) return Bytes(file.begin() + long(p + 2), file.begin() + long(p + 2 + n));
      p += 2 + n;
    }
  }
  return {};
}

TEST(HevcParamsTest, ReadsTheSizeOfRealAndWrittenUnits) {
  if (std::system("command -v heif-enc convert >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "heif-enc missing";
  testing_support::TempDir dir;
  std::string png = dir.File("in.png"), heic = dir.File("in.heic");
  ASSERT_EQ(std::system(("convert -size 80x64 gradient:red-blue '" + png +
                         "' && heif-enc -q 50 -o '" + heic + "' '" + png + "' >/dev/null 2>&1")
                            .c_str()),
            0);
  Bytes real = SpsOfFile(vexlo_test::ReadFile(heic));
  ASSERT_FALSE(real.empty());
  HevcPictureSize size = Read(real);
  EXPECT_EQ(size.width, 80u);
  EXPECT_EQ(size.height, 64u);

  // Sub-layers with their own profile and level, 4:4:4 with its plane flag, and the
  // largest sides.
  SpsFields f;
  f.subLayers = 2;
  f.chroma = 3;
  f.width = 30000;
  f.height = 1u << 20;
  size = Read(Sps(f));
  EXPECT_EQ(size.width, 30000u);
  EXPECT_EQ(size.height, 1u << 20);
}

TEST(HevcParamsTest, EmulationPreventionBytesAreNotData) {
  // An all-zero profile word and id 0 put zero runs into the payload.
  SpsFields f;
  f.profileWord = 0;
  f.width = 256;
  f.height = 4;
  Bytes nal = Sps(f);
  int escapes = 0;
  for (size_t i = 2; i + 1 < nal.size(); ++i)
    escapes += nal[i - 2] == 0 && nal[i - 1] == 0 && nal[i] == 3;
  ASSERT_GT(escapes, 0);
  HevcPictureSize size = Read(nal);
  EXPECT_EQ(size.width, 256u);
  EXPECT_EQ(size.height, 4u);
}

TEST(HevcParamsTest, CutShortAndMalformedUnitsAreRefused) {
  auto reads = [](const Bytes& nal) {
    HevcPictureSize size;
    return ReadHevcSpsSize(nal, size);
  };
  SpsFields f;
  f.width = 4000;
  f.height = 3000;
  Bytes nal = Sps(f);
  ASSERT_TRUE(reads(nal));
  // The height's code ends in the last byte but one (three short codes and the stop
  // bit follow it): every shorter cut loses it.
  for (size_t cut = 0; cut + 2 < nal.size(); ++cut)
    EXPECT_FALSE(reads(Bytes(nal.begin(), nal.begin() + long(cut)))) << cut;
  // Values no stream has: 7 sub-layers, chroma format 4, SPS id 16, an empty or too
  // long side.
  const std::function<void(SpsFields&)> damage[] = {
      [](SpsFields& g) { g.subLayers = 7; }, [](SpsFields& g) { g.chroma = 4; },
      [](SpsFields& g) { g.id = 16; }, [](SpsFields& g) { g.width = 0; },
      [](SpsFields& g) { g.height = (1u << 20) + 1; }};
  for (const auto& change : damage) {
    SpsFields bad = f;
    change(bad);
    EXPECT_FALSE(reads(Sps(bad)));
  }
  // Not an SPS (a PPS header), and a set forbidden bit.
  EXPECT_FALSE(reads(Bytes{0x44, 0x01, nal[2], nal[3]}));
  Bytes forbidden = nal;
  forbidden[0] |= 0x80;
  EXPECT_FALSE(reads(forbidden));
  // A run of zeros where an Exp-Golomb code stands never ends in a value.
  Bytes zeros(64, 0);
  zeros[0] = 0x42;
  zeros[1] = 0x01;
  zeros[2] = 0x01;
  EXPECT_FALSE(reads(zeros));
}

TEST(HevcParamsTest, StreamCheckKeepsTheLimits) {
  const Bytes vps = {0x40, 0x01, 0x0C}, pps = {0x44, 0x01, 0xC1};
  const Bytes slice = {0x26, 0x01, 0xAF}, secondSlice = {0x26, 0x01, 0x2F};
  auto sps = [](uint64_t w, uint64_t h) {
    SpsFields f;
    f.width = w;
    f.height = h;
    return Sps(f);
  };
  auto check = [&](const HevcLimits& limits, std::initializer_list<Bytes> chunks) {
    HevcStreamCheck c(limits);
    uint32_t rc = glib::RCOK;
    for (const Bytes& chunk : chunks) rc = c.Push(chunk);
    return rc;
  };
  const HevcLimits item64{uint64_t(1) << 28, 64 * 64};
  // The headers and the picture in separate pushes, as libheif gives them.
  EXPECT_EQ(check(item64, {Chunk({vps, sps(64, 64), pps}), Chunk({slice, secondSlice})}),
            glib::RCOK);
  // A slightly larger coded picture is fine, the floor allows a 1024 x 1024 tile.
  EXPECT_EQ(check(item64, {Chunk({sps(1024, 1024)})}), glib::RCOK);
  // Far beyond the item: damaged; beyond the cap: too large, declared or not.
  EXPECT_EQ(check(item64, {Chunk({sps(1024, 1025)})}), glib::BADI);
  EXPECT_EQ(check({1u << 22, 0}, {Chunk({sps(2048, 2048)})}), glib::RCOK);
  EXPECT_EQ(check({1u << 22, 0}, {Chunk({sps(2048, 2049)})}), glib::OMEM);
  EXPECT_EQ(check({1u << 22, 4000 * 3000}, {Chunk({sps(30000, 30000)})}), glib::OMEM);
  // A second SPS in the picture data is checked too.
  EXPECT_EQ(check(item64, {Chunk({sps(64, 64)}), Chunk({sps(8192, 8192), slice})}), glib::BADI);
  // One picture per item.
  EXPECT_EQ(check(item64, {Chunk({sps(64, 64), slice, slice})}), glib::BADI);
  // Lengths that do not fit, and a unit too short for its header.
  Bytes chunk = Chunk({vps, pps});
  EXPECT_EQ(check(item64, {Bytes(chunk.begin(), chunk.end() - 1)}), glib::BADI);
  EXPECT_EQ(check(item64, {Bytes{0, 0, 0}}), glib::BADI);
  EXPECT_EQ(check(item64, {Chunk({Bytes{0x40}})}), glib::BADI);
  Bytes cut = sps(64, 64);
  cut.resize(8);
  EXPECT_EQ(check(item64, {Chunk({cut})}), glib::BADI);
  // The first failure sticks.
  EXPECT_EQ(check(item64, {Chunk({sps(30000, 30000)}), Chunk({vps})}), glib::OMEM);
}

}  // namespace
