// AVIF image sequences: the track reader on hand-made sample tables, the fixed-point
// colour conversion against the float one, and files made by avifenc decoded frame by
// frame against avifdec.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Harness.h"
#include "formats/Retcode.h"
#include "support/HeifBuilder.h"
#include "vexlo/IsoTracks.h"
#include "vexlo/Yuv.h"

using namespace vexlo_test;

namespace {

using testing_support::Box;
using testing_support::FirstBoxBody;
using testing_support::Full;
using testing_support::GridFile;
using testing_support::GridShape;
using testing_support::U32;

// ---------------------------------------------------------------------------
// The fixed-point conversion of 8-bit pictures, against the float reference: every
// matrix kind, both ranges, every chroma layout, with alpha and without, at an odd width
// (the last chroma sample serves one pixel) and at the extremes of the sample range.

TEST(Yuv, FixedPointRowsAreWithinALevelOfTheReference) {
  constexpr int kWidth = 37, kHeight = 5;
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return uint8_t(seed >> 16);
  };
  std::vector<uint8_t> planes[4];
  for (auto& plane : planes) {
    plane.resize(kWidth * kHeight);
    for (uint8_t& v : plane) v = next();
    plane[0] = 0, plane[1] = 255;  // the extremes, which must clamp
  }
  struct Layout {
    int shiftX, shiftY;
    bool mono;
  };
  const Layout layouts[] = {{0, 0, false}, {1, 0, false}, {1, 1, false}, {0, 0, true}};
  const int matrices[] = {1, 5, 9, 12};  // BT.709, BT.601, BT.2020, chromaticity-derived
  for (int matrix : matrices)
    for (bool full : {true, false})
      for (const Layout& layout : layouts)
        for (int alpha = 0; alpha < 3; ++alpha) {  // none; 4 samples without, with alpha
          SCOPED_TRACE(testing::Message()
                       << "matrix " << matrix << " full " << full << " layout " << layout.shiftX
                       << layout.shiftY << layout.mono << " alpha " << alpha);
          vexlo::YuvPicture p;
          p.width = kWidth, p.height = kHeight;
          p.shiftX = layout.shiftX, p.shiftY = layout.shiftY, p.mono = layout.mono;
          for (int c = 0; c < 3; ++c) p.planes[c] = planes[c].data(), p.strides[c] = kWidth;
          if (alpha == 2) p.alpha = planes[3].data(), p.alphaStride = kWidth;
          vexlo::YuvMatrix m = vexlo::MatrixFor(matrix, 1, full);
          ASSERT_TRUE(vexlo::FixedConverts(p, m));
          vexlo::YuvFixed fixed = vexlo::FixedFor(m);
          size_t n = alpha ? 4 : 3;
          for (int y = 0; y < kHeight; ++y) {
            std::vector<uint8_t> want(kWidth * n), got(kWidth * n);
            vexlo::YuvRowToBgr(p, m, y, want.data(), n, false);
            vexlo::YuvRowToBgr8(p, fixed, y, got.data(), n);
            for (size_t i = 0; i < want.size(); ++i)
              ASSERT_LE(std::abs(int(want[i]) - int(got[i])), 1) << "row " << y << " at " << i;
          }
        }
  // What the fixed-point path does not take: deeper samples, the identity matrix,
  // studio-range alpha.
  vexlo::YuvPicture p;
  vexlo::YuvMatrix m = vexlo::MatrixFor(1, 1, true);
  p.bits = 10;
  EXPECT_FALSE(vexlo::FixedConverts(p, m));
  p.bits = 8;
  EXPECT_FALSE(vexlo::FixedConverts(p, vexlo::MatrixFor(0, 1, true)));
  p.alpha = planes[3].data();
  p.alphaFullRange = false;
  EXPECT_FALSE(vexlo::FixedConverts(p, m));
}

// ---------------------------------------------------------------------------
// The track reader.

// A file with one picture track: its sample sizes (0 entries: all `fixed` bytes), its
// chunk offsets and sample-to-chunk runs (first chunk, samples per chunk), the
// durations as runs (count, delta); `co64` writes 64-bit chunk offsets.
struct TrackSpec {
  std::vector<uint32_t> sizes;
  uint32_t fixed = 0, count = 0;
  std::vector<uint64_t> chunks;
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  std::vector<std::pair<uint32_t, uint32_t>> times;
  bool co64 = false;
  const char* handler = "pict";
  // The sample entry: its type, size and boxes.
  const char* codec = "av01";
  uint16_t width = 64, height = 48;
  std::string entryBoxes = Box("av1C", std::string("\x81\x00\x0c\x00", 4)) +
                           Box("colr", "nclx" + std::string("\0\x01\0\x0d\0\x01\x80", 7));
  std::string brand = "avis";
};

// The file with `mdat` as its media data (chunk offsets count from the file's start).
std::string MakeFile(const TrackSpec& t, const std::string& mdat) {
  std::string stsz = U32(t.fixed) + U32(t.fixed ? t.count : uint32_t(t.sizes.size()));
  for (uint32_t s : t.sizes) stsz += U32(s);
  std::string chunks = U32(uint32_t(t.chunks.size()));
  for (uint64_t c : t.chunks) chunks += (t.co64 ? U32(uint32_t(c >> 32)) : "") + U32(uint32_t(c));
  std::string stsc = U32(uint32_t(t.runs.size()));
  for (auto [first, n] : t.runs) stsc += U32(first) + U32(n) + U32(1);
  std::string stts = U32(uint32_t(t.times.size()));
  for (auto [n, delta] : t.times) stts += U32(n) + U32(delta);
  // A visual sample entry: 24 bytes, the size, 50 bytes, then its boxes.
  std::string entry = std::string(24, '\0') + U32(uint32_t(t.width) << 16 | t.height) +
                      std::string(50, '\0') + t.entryBoxes;
  std::string stbl = Box("stsd", Full(U32(1) + Box(t.codec, entry))) + Box("stsz", Full(stsz)) +
                     Box("stsc", Full(stsc)) + Box(t.co64 ? "co64" : "stco", Full(chunks)) +
                     Box("stts", Full(stts));
  std::string mdia = Box("mdhd", Full(U32(0) + U32(0) + U32(1000) + U32(0))) +
                     Box("hdlr", Full(U32(0) + t.handler + std::string(12, '\0'))) +
                     Box("minf", Box("stbl", stbl));
  std::string trak =
      Box("tkhd", Full(U32(0) + U32(0) + U32(7) + std::string(80, '\0'))) + Box("mdia", mdia);
  std::string head = Box("ftyp", t.brand + U32(0) + t.brand) + Box("moov", Box("trak", trak));
  return head + Box("mdat", mdat);
}
std::string MakeFile(const TrackSpec& t, size_t mdatBytes) {
  return MakeFile(t, std::string(mdatBytes, '\0'));
}

std::vector<vexlo::ImageTrack> Read(const std::string& file, bool* whole = nullptr,
                                    size_t maxSamples = 100) {
  std::vector<vexlo::ImageTrack> tracks;
  bool ok = vexlo::ReadImageTracks({reinterpret_cast<const uint8_t*>(file.data()), file.size()},
                                   tracks, maxSamples);
  if (whole) *whole = ok;
  return tracks;
}

std::vector<uint64_t> Offsets(const vexlo::ImageTrack& track) {
  std::vector<uint64_t> out;
  for (const auto& s : track.samples) out.push_back(s.offset);
  return out;
}

// Chunks hold runs of samples one after another; the runs change at their first chunk.
TEST(IsoTracks, SamplesLieWhereTheChunkTablesSay) {
  TrackSpec t;
  t.sizes = {10, 20, 30, 40, 50, 60};
  t.chunks = {1000, 2000, 3000, 4000};
  t.runs = {{1, 2}, {3, 1}};  // chunks 1, 2: two samples; 3 and 4: one
  t.times = {{2, 100}, {4, 250}};
  std::string file = MakeFile(t, 5000);
  bool whole = false;
  auto tracks = Read(file, &whole);
  EXPECT_TRUE(whole);
  ASSERT_EQ(tracks.size(), 1u);
  const vexlo::ImageTrack& track = tracks[0];
  EXPECT_EQ(track.id, 7u);
  EXPECT_EQ(track.codec, vexlo::FourCc("av01"));
  EXPECT_EQ(track.width, 64u);
  EXPECT_EQ(track.height, 48u);
  EXPECT_EQ(track.timescale, 1000u);
  EXPECT_TRUE(track.hasNclx);
  EXPECT_EQ(track.matrix, 1);
  EXPECT_TRUE(track.fullRange);
  EXPECT_EQ(track.config.size(), 4u);
  EXPECT_EQ(Offsets(track), (std::vector<uint64_t>{1000, 1010, 2000, 2030, 3000, 4000}));
  EXPECT_EQ(track.samples[1].duration, 100u);
  EXPECT_EQ(track.samples[2].duration, 250u);
  EXPECT_EQ(track.samples[5].size, 60u);
  EXPECT_FALSE(track.cut);
  EXPECT_EQ(vexlo::PictureTrack(tracks, vexlo::FourCc("av01")), &tracks[0]);
  EXPECT_EQ(vexlo::PictureTrack(tracks, vexlo::FourCc("hvc1")), nullptr);

  // One fixed size, 64-bit offsets past 4 GiB are refused as outside the file.
  t.sizes.clear();
  t.fixed = 8;
  t.count = 3;
  t.chunks = {3000};
  t.runs = {{1, 3}};
  t.co64 = true;
  tracks = Read(MakeFile(t, 5000));
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Offsets(tracks[0]), (std::vector<uint64_t>{3000, 3008, 3016}));
  t.chunks = {(uint64_t(1) << 32) + 3000};
  tracks = Read(MakeFile(t, 5000));
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_TRUE(tracks[0].samples.empty());
  EXPECT_TRUE(tracks[0].cut);
}

// Tables that contradict the file or themselves: the samples that lie inside the file
// are kept, the damage is reported, nothing is read past a box.
TEST(IsoTracks, DamagedTablesAreBounded) {
  TrackSpec good;
  good.sizes = {10, 20, 30};
  good.chunks = {100};
  good.runs = {{1, 3}};
  std::string base = MakeFile(good, 200);

  // A sample past the end of the file ends the list there.
  TrackSpec past = good;
  past.sizes = {10, 20, 100000};
  auto tracks = Read(MakeFile(past, 200));
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].samples.size(), 2u);
  EXPECT_TRUE(tracks[0].cut);

  // More samples than kept: the first ones, marked as cut.
  tracks = Read(base, nullptr, 2);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].samples.size(), 2u);
  EXPECT_TRUE(tracks[0].cut);

  // Runs that do not start at chunk 1 or go backwards, and counts larger than their
  // box: the track is refused.
  std::vector<TrackSpec> bad(2, good);
  bad[0].runs = {{2, 3}};
  bad[1].chunks = {100, 150};
  bad[1].runs = {{2, 1}, {1, 2}};
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    bool whole = true;
    EXPECT_TRUE(Read(MakeFile(bad[i], 200), &whole).empty());
    EXPECT_FALSE(whole);
  }
  std::string huge = base;
  size_t stsz = huge.find("stsz");
  huge.replace(stsz + 12, 4, U32(0x40000000));  // a billion sizes in 12 bytes
  EXPECT_TRUE(Read(huge).empty());

  // Every truncation of the file reads without fault.
  for (size_t n = 0; n < base.size(); ++n) Read(base.substr(0, n));
}

// A file of one image item (id 1, of `type`) associated with the properties of `ipco`
// by the 1-based `indices`, its data in `extents` extents of 8 bytes in 'mdat'.
std::string ItemFile(const char* type, const std::string& ipco, const std::string& indices,
                     int extents = 1) {
  auto u16 = [](uint32_t v) { return std::string{char(v >> 8), char(v)}; };
  std::string infe = Box("infe", std::string("\x02\0\0\0", 4) + u16(1) + u16(0) + type + '\0');
  std::string iinf = Box("iinf", Full(u16(1) + infe));
  std::string iprp =
      Box("iprp",
          Box("ipco", ipco) + Box("ipma", Full(U32(1) + u16(1) + char(indices.size()) + indices)));
  // Version 0 locations with 4-byte offsets and lengths; the offsets are patched in
  // once the size of everything before 'mdat' is known.
  std::string head = Box("ftyp", "avif" + U32(0) + "avif");
  auto meta = [&](uint32_t at) {
    std::string iloc = std::string("\x44\0", 2) + u16(1) + u16(1) + u16(0) + u16(extents);
    for (int e = 0; e < extents; ++e) iloc += U32(at + 8 * e) + U32(8);
    return Box("meta", Full(Box("hdlr", Full(U32(0) + "pict" + std::string(12, '\0'))) + iinf +
                            Box("iloc", Full(iloc)) + iprp));
  };
  uint32_t at = uint32_t(head.size() + meta(0).size() + 8);
  return head + meta(at) + Box("mdat", std::string(8 * extents, '\x12'));
}

// The still items our own decoder takes: one coded picture in one extent whose
// properties change nothing; anything else is left to the general reader.
TEST(IsoTracks, StillItemsAreOnlyPlainCodedPictures) {
  std::string av1C = Box("av1C", std::string("\x81\x00\x0c\x00", 4));
  std::string ispe = Box("ispe", Full(U32(640) + U32(480)));
  std::string irot = Box("irot", std::string(1, '\x01'));
  auto read = [](const std::string& file, vexlo::ImageTrack& still) {
    vexlo::ImageTrack alpha;
    bool hasAlpha = true;
    vexlo::MetaItems items({reinterpret_cast<const uint8_t*>(file.data()), file.size()});
    bool ok = items.Still(1, still, alpha, hasAlpha);
    EXPECT_FALSE(ok && hasAlpha);
    return ok;
  };
  vexlo::ImageTrack still;
  std::string plain = ItemFile("av01", av1C + ispe, "\x01\x82");  // the av1C essential
  ASSERT_TRUE(read(plain, still));
  EXPECT_EQ(still.codec, vexlo::FourCc("av01"));
  EXPECT_EQ(still.width, 640u);
  EXPECT_EQ(still.height, 480u);
  ASSERT_EQ(still.samples.size(), 1u);
  EXPECT_EQ(still.samples[0].offset, plain.size() - 8);
  EXPECT_EQ(still.samples[0].size, 8u);

  // Turns and mirrorings are the decoder's to apply, in their order; a crop is not.
  std::string imir = Box("imir", std::string(1, '\x01'));
  ASSERT_TRUE(read(ItemFile("av01", av1C + ispe + irot + imir, "\x01\x02\x83\x84"), still));
  ASSERT_EQ(still.transforms.size(), 2u);
  EXPECT_EQ(still.transforms[0].kind, vexlo::StillTransform::kTurn);
  EXPECT_EQ(still.transforms[0].value, 1);
  EXPECT_EQ(still.transforms[1].kind, vexlo::StillTransform::kMirror);
  EXPECT_EQ(still.transforms[1].value, 1);
  std::string clap = Box("clap", std::string(32, '\x01'));
  EXPECT_FALSE(read(ItemFile("av01", av1C + ispe + clap, "\x01\x02\x83"), still));  // cropped
  EXPECT_FALSE(read(ItemFile("av01", av1C + ispe, "\x01\x02\x03"), still));         // past ipco
  EXPECT_FALSE(read(ItemFile("av01", av1C + ispe, "\x01\x02", 2), still));          // two extents
  EXPECT_FALSE(read(ItemFile("grid", av1C + ispe, "\x01\x02"), still));
  EXPECT_FALSE(read(ItemFile("av01", ispe, "\x01"), still));  // no configuration
  // Every truncation reads without fault.
  for (size_t n = 0; n < plain.size(); ++n) read(plain.substr(0, n), still);
}

// ---------------------------------------------------------------------------
// Files made by avifenc against avifdec.

class SequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RunQuietly("command -v avifenc avifdec"))
      GTEST_SKIP() << "avifenc and avifdec are missing";
  }
  // Three frames of `width` x 17, moving, with alpha when asked.
  std::vector<std::string> Frames(bool alpha, bool wide, int width = 33) {
    std::vector<std::string> paths;
    for (uint32_t i = 0; i < 3; ++i) {
      glib::PNGSave params;
      params.pixelType = wide ? (alpha ? glib::kPixelRGBA64 : glib::kPixelRGB48)
                              : (alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24);
      paths.push_back(vexlo.Dir().File("f" + std::to_string(i) + ".png"));
      EXPECT_EQ(vexlo.Save(paths.back(), {Pattern(width, 17, alpha, 3 + i)}, params), glib::RCOK);
    }
    return paths;
  }
  std::string Encode(const std::string& options, const std::vector<std::string>& frames,
                     const std::string& name) {
    std::string out = vexlo.Dir().File(name), command = "avifenc -s 10 " + options;
    for (const std::string& f : frames) command += " '" + f + "'";
    command += " '" + out + "'";
    EXPECT_TRUE(RunQuietly(command)) << command;
    return out;
  }
  // avifdec's frame at 16 bits (libavif's exact conversion, which its 8-bit output
  // replaces by a faster one that rounds differently).
  Picture Reference(const std::string& file, int index) {
    std::string png = file + "." + std::to_string(index) + ".png";
    std::string command = "avifdec -u nearest -d 16 --index " + std::to_string(index) + " '" +
                          file + "' '" + png + "'";
    EXPECT_TRUE(RunQuietly(command)) << command;
    glib::ImageLoad keep;
    keep.pageCount = 0xFFFFFFFF;
    Loaded loaded = vexlo.Load(png, &keep);
    return loaded.pages.empty() ? Picture{} : loaded.pages[0];
  }
  // Largest difference between our samples (8-bit, or the top `bits` of 16-bit ones)
  // and the reference's 16-bit samples at that depth.
  static int Difference(const Picture& ours, const Picture& reference, int bits) {
    size_t n = reference.wide.size();
    if (n == 0 || n != (bits == 8 ? ours.bgra.size() : ours.wide.size())) return 65535;
    int most = 0;
    double scale = double((1 << bits) - 1) / 65535.0;
    for (size_t k = 0; k < n; ++k) {
      int want = int(reference.wide[k] * scale + 0.5);
      int got = bits == 8 ? ours.bgra[k] : int(ours.wide[k] * scale + 0.5);
      most = std::max(most, std::abs(want - got));
    }
    return most;
  }

  Vexlo vexlo;
};

// Every frame is a page that decodes like avifdec's frame (inter frames included: only
// the first is a key frame), with its own delay; the page range picks one, alpha comes
// from the alpha track, and the information record counts the frames.
TEST_F(SequenceTest, FramesArePagesLikeTheReferenceDecoder) {
  struct Case {
    const char* name;
    const char* options;
    bool alpha;
  };
  const Case cases[] = {
      {"yuv444.avif", "-y 444 --min 10 --max 20", false},
      {"yuv420-alpha.avif", "-y 420 --min 20 --max 30", true},
      {"limited.avif", "-y 422 -r limited --min 10 --max 20", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> frames = Frames(c.alpha, false);
    // 10 ticks a second: 100, 300 and 200 ms.
    std::string file = Encode(std::string(c.options) + " --timescale 10 --duration 1 '" +
                                  frames[0] + "' --duration 3 '" + frames[1] + "' --duration 2",
                              {frames[2]}, c.name);
    Loaded all = vexlo.Load(file);
    ASSERT_EQ(all.rc, glib::RCOK);
    ASSERT_EQ(all.pages.size(), 3u);
    const uint32_t delays[] = {100, 300, 200};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(all.pages[i].delay, delays[i]);
      EXPECT_LE(Difference(all.pages[i], Reference(file, i), 8), 1);
    }
    EXPECT_NE(all.pages[0], all.pages[2]);

    glib::ImageLoad last;
    last.firstPage = 2;
    last.pageCount = 1;
    Loaded picked = vexlo.Load(file, &last);
    ASSERT_EQ(picked.pages.size(), 1u);
    EXPECT_EQ(picked.pages[0], all.pages[2]);

    auto info = vexlo.Info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pageCount, 3u);
    EXPECT_EQ(info->width, 33);
    EXPECT_EQ(info->height, 17);
    // avifenc gives every sequence an alpha track, opaque or not.
    EXPECT_EQ(info->bitsPerPixel, 32u);
  }
}

// A lossless sequence (RGB coded as such, 4:4:4, the identity matrix) gives back its
// first frame exactly, and every frame exactly as avifdec decodes it (its later frames
// differ from their sources there too).
TEST_F(SequenceTest, LosslessFramesDecodeExactly) {
  std::string file = Encode("-l", Frames(true, false), "lossless.avif");
  Loaded all = vexlo.Load(file);
  ASSERT_EQ(all.rc, glib::RCOK);
  ASSERT_EQ(all.pages.size(), 3u);
  EXPECT_EQ(MaxDifference(all.pages[0], Pattern(33, 17, true, 3)), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Difference(all.pages[i], Reference(file, i), 8), 0) << i;
}

// 10-bit frames keep their depth as 16-bit samples.
TEST_F(SequenceTest, TenBitFramesStaySixteenBit) {
  std::string file = Encode("-d 10 -y 444 --min 5 --max 10", Frames(false, true), "ten.avif");
  glib::ImageLoad keep;
  keep.pageCount = 0xFFFFFFFF;
  Loaded wide = vexlo.Load(file, &keep);
  ASSERT_EQ(wide.rc, glib::RCOK);
  ASSERT_EQ(wide.pages.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(wide.pages[i].pixelType, glib::kPixelRGBA64);
    EXPECT_LE(Difference(wide.pages[i], Reference(file, i), 10), 1);
  }
}

// A HEIF image sequence: the HEVC pictures of three heif-enc stills in one picture
// track, each frame a key frame. Every frame decodes as heif-convert decodes its still,
// within the level libheif's conversion rounds to (it keeps 8 fraction bits).
TEST_F(SequenceTest, HevcFramesArePagesLikeTheReferenceDecoder) {
  if (!RunQuietly("command -v heif-enc heif-convert")) GTEST_SKIP() << "heif-enc is missing";
  TrackSpec t;
  t.codec = "hvc1";
  t.brand = "msf1";
  t.width = t.height = 64;  // a whole coding block: heif-enc writes no grid
  t.runs = {{1, 1}};
  t.times = {{3, 250}};
  std::string mdat, hvcC;
  std::vector<Picture> references;
  for (uint32_t i = 0; i < 3; ++i) {
    glib::PNGSave params;
    params.pixelType = glib::kPixelRGB24;
    std::string png = vexlo.Dir().File("h" + std::to_string(i) + ".png");
    std::string heic = png + ".heic", back = heic + ".png";
    ASSERT_EQ(vexlo.Save(png, {Pattern(64, 64, false, 3 + i)}, params), glib::RCOK);
    ASSERT_TRUE(RunQuietly("heif-enc -q 70 -o '" + heic + "' '" + png + "'"));
    ASSERT_TRUE(RunQuietly("heif-convert '" + heic + "' '" + back + "'"));
    references.push_back(vexlo.Load(back).pages.at(0));
    std::string bytes = ReadFile(heic), data = FirstBoxBody(bytes, "mdat");
    ASSERT_EQ(bytes.find("grid"), std::string::npos);
    ASSERT_FALSE(data.empty());
    hvcC = FirstBoxBody(bytes, "hvcC");
    t.sizes.push_back(uint32_t(data.size()));
    mdat += data;
  }
  t.entryBoxes = Box("hvcC", hvcC);
  t.chunks.assign(3, 0);
  uint64_t offset = MakeFile(t, mdat).size() - mdat.size();
  for (size_t i = 0; i < 3; ++i) {
    t.chunks[i] = offset;
    offset += t.sizes[i];
  }
  std::string file = vexlo.Write("frames.heic", MakeFile(t, mdat));
  Loaded all = vexlo.Load(file);
  ASSERT_EQ(all.rc, glib::RCOK);
  ASSERT_EQ(all.pages.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(all.pages[i].delay, 250u);
    EXPECT_LE(MaxDifference(all.pages[i], references[i]), 1);
  }
  auto info = vexlo.Info(file);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageCount, 3u);
  EXPECT_EQ(info->width, 64);
  EXPECT_EQ(info->bitsPerPixel, 24u);
}

vexlo::StillGrid ReadGrid(const std::string& file, bool& ok) {
  vexlo::StillGrid grid;
  ok = vexlo::MetaItems({reinterpret_cast<const uint8_t*>(file.data()), file.size()}).Grid(1, grid);
  return grid;
}

// Grids our own decoder takes: tiles that are plain pictures, alike, just covering the
// picture; anything else is left to the general reader.
TEST(IsoTracks, GridsAreTakenOnlyWhenEveryTileIsAPlainPicture) {
  GridShape g;
  g.codec = "av01";
  g.config = Box("av1C", std::string("\x81\x00\x0c\x00", 4));
  g.data = {"first", "second", "third", "fourth", "fifth", "sixth"};
  g.columns = 3, g.rows = 2, g.width = 150, g.height = 100;
  std::string file = GridFile(g);
  bool ok = false;
  vexlo::StillGrid grid = ReadGrid(file, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(grid.columns, 3u);
  EXPECT_EQ(grid.rows, 2u);
  EXPECT_EQ(grid.width, 150u);
  EXPECT_EQ(grid.height, 100u);
  ASSERT_EQ(grid.tiles.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(grid.tiles[i].samples.size(), 1u);
    EXPECT_EQ(file.substr(size_t(grid.tiles[i].samples[0].offset), grid.tiles[i].samples[0].size),
              g.data[i]);
    EXPECT_EQ(grid.tiles[i].width, 64u);
  }
  struct Refused {
    const char* what;
    GridShape shape;
  };
  std::vector<Refused> refused;
  auto with = [&](const char* what, auto change) {
    Refused r{what, g};
    change(r.shape);
    refused.push_back(r);
  };
  with("cropped", [](GridShape& s) { s.gridBoxes = Box("clap", std::string(32, '\x01')); });
  with("a tile short", [](GridShape& s) { s.references = 5; });
  with("wider than the tiles", [](GridShape& s) { s.width = 193; });
  with("a column too many", [](GridShape& s) { s.width = 128; });
  with("a row too many", [](GridShape& s) { s.height = 64; });
  with("no configuration", [](GridShape& s) { s.config = Box("pasp", Full(U32(1))); });
  with("a tile of another size", [](GridShape& s) { s.lastTile = 60; });
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.what);
    ReadGrid(GridFile(r.shape), ok);
    EXPECT_FALSE(ok);
  }
  // As many tiles as a grid may have, and one row more.
  for (uint32_t rows : {32u, 33u}) {
    GridShape many = g;
    many.columns = 32, many.rows = rows, many.width = 32 * 64, many.height = rows * 64;
    many.data.assign(32 * rows, "tile");
    ReadGrid(GridFile(many), ok);
    EXPECT_EQ(ok, 32 * rows <= vexlo::kMaxGridTiles) << rows;
  }
  // A turned grid keeps its turn for the decoder.
  g.gridBoxes = Box("irot", std::string(1, '\x03'));
  grid = ReadGrid(GridFile(g), ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(grid.transforms.size(), 1u);
  EXPECT_EQ(grid.transforms[0].value, 3);
  // Every truncation reads without fault.
  for (size_t n = 0; n < file.size(); ++n) ReadGrid(file.substr(0, n), ok);
}

// A phone's kind of HEIC: a grid of HEVC tiles (four heif-enc pictures of 64 x 64 put
// together into 120 x 100), and avifenc's grid of six AV1 tiles, decoded by our own
// decoder with the tiles on several threads, as heif-convert decodes them.
TEST_F(SequenceTest, GridTilesDecodeIntoTheirPlaces) {
  if (!RunQuietly("command -v heif-enc heif-convert")) GTEST_SKIP() << "heif-enc is missing";
  GridShape g;
  g.columns = g.rows = 2, g.width = 120, g.height = 100;
  for (uint32_t i = 0; i < 4; ++i) {
    glib::PNGSave params;
    params.pixelType = glib::kPixelRGB24;
    std::string png = vexlo.Dir().File("t" + std::to_string(i) + ".png");
    ASSERT_EQ(vexlo.Save(png, {Pattern(64, 64, false, 3 + i)}, params), glib::RCOK);
    ASSERT_TRUE(RunQuietly("heif-enc -q 70 -o '" + png + ".heic' '" + png + "'"));
    std::string bytes = ReadFile(png + ".heic");
    g.data.push_back(FirstBoxBody(bytes, "mdat"));
    g.config = Box("hvcC", FirstBoxBody(bytes, "hvcC"));
  }
  std::string heic = vexlo.Write("grid.heic", GridFile(g));
  glib::PNGSave params;
  params.pixelType = glib::kPixelRGB24;
  std::string big = vexlo.Dir().File("big.png");
  ASSERT_EQ(vexlo.Save(big, {Pattern(192, 128, false, 5)}, params), glib::RCOK);
  std::string avif = Encode("-g 3x2", {big}, "grid.avif");
  for (const std::string& file : {heic, avif}) {
    SCOPED_TRACE(file);
    bool ok = false;
    vexlo::StillGrid grid = ReadGrid(ReadFile(file), ok);
    ASSERT_TRUE(ok);  // our decoder's, not the general reader's
    ASSERT_TRUE(RunQuietly("heif-convert '" + file + "' '" + file + ".png'"));
    Loaded ours = vexlo.Load(file);
    ASSERT_EQ(ours.rc, glib::RCOK);
    ASSERT_EQ(ours.pages.size(), 1u);
    EXPECT_EQ(ours.pages[0].width, int(grid.width));
    EXPECT_EQ(ours.pages[0].height, int(grid.height));
    EXPECT_LE(MaxDifference(ours.pages[0], vexlo.Load(file + ".png").pages.at(0)), 1);
  }
  // A damaged tile fails the grid without a page, and the general reader answers.
  std::string bytes = ReadFile(heic);
  size_t last = bytes.rfind(g.data[3]);
  for (size_t k = 0; k < g.data[3].size(); ++k) bytes[last + k] = char(0xFF);
  EXPECT_NE(vexlo.LoadBytes(bytes).rc, glib::RCOK);
}

// A still with alpha is ours as well: its alpha image found through the reference from
// the alpha to its picture, premultiplication through the one the other way.
TEST_F(SequenceTest, StillAlphaIsFoundThroughItsReferences) {
  for (const char* options : {"", "-p"}) {
    SCOPED_TRACE(options);
    std::string file = Encode(options, {Frames(true, false)[0]}, "alpha.avif");
    std::string bytes = ReadFile(file);
    vexlo::ImageTrack colour, alpha;
    bool hasAlpha = false;
    vexlo::MetaItems items({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(items.Still(1, colour, alpha, hasAlpha));
    ASSERT_TRUE(hasAlpha);
    EXPECT_TRUE(alpha.alpha);
    EXPECT_NE(alpha.id, 1u);
    EXPECT_EQ(alpha.auxFor, std::vector<uint32_t>{1});
    EXPECT_EQ(colour.premultiplied, *options != '\0');
    EXPECT_FALSE(items.Still(alpha.id, colour, alpha, hasAlpha) && hasAlpha);
  }
}

// A file cut inside its frames keeps the frames before the cut; a cut before the first
// one is a damaged file, never a fault.
TEST_F(SequenceTest, CutFilesKeepTheFramesBeforeTheCut) {
  std::string file = Encode("-y 444", Frames(false, false, 64), "cut.avif");
  std::string bytes = ReadFile(file);
  Loaded whole = vexlo.Load(file);
  ASSERT_EQ(whole.pages.size(), 3u);
  std::vector<vexlo::ImageTrack> tracks = Read(bytes);
  const vexlo::ImageTrack* track = vexlo::PictureTrack(tracks, vexlo::FourCc("av01"));
  ASSERT_TRUE(track);
  ASSERT_EQ(track->samples.size(), 3u);
  // Cut in the middle of the third frame (the samples lie in order in this file).
  const vexlo::TrackSample& third = track->samples[2];
  ASSERT_GT(third.offset, track->samples[1].offset);
  Loaded cut = vexlo.LoadBytes(std::string_view(bytes).substr(0, third.offset + third.size / 2));
  EXPECT_EQ(cut.rc, glib::RCOK);
  ASSERT_EQ(cut.pages.size(), 2u);
  EXPECT_EQ(cut.pages[1], whole.pages[1]);
  // A damaged first frame.
  std::string broken = bytes;
  const vexlo::TrackSample& first = track->samples[0];
  for (uint32_t k = 0; k < first.size; ++k) broken[first.offset + k] = char(0xFF);
  EXPECT_NE(vexlo.LoadBytes(broken).rc, glib::RCOK);
}

}  // namespace
