#include "runtime/TiffWriter.h"

#include <gtest/gtest.h>

#include <numbers>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "formats/MemStream.h"

using namespace glib::Libtiff;

namespace {

constexpr uint16_t kExifPointer = 34665, kGpsPointer = 34853;

// The written block as bytes.
std::vector<uint8_t> Bytes(VMemStream& stream) {
  return std::vector<uint8_t>(stream.Data(), stream.Data() + stream.Length());
}

// One field of every type, in IFD0 of a two-directory chain, with an EXIF directory
// holding rationals and a GPS directory below it.
std::vector<uint8_t> Sample(bool bigEndian) {
  VMemStream out;
  Writer w;
  EXPECT_TRUE(w.Open(&out, bigEndian));
  const uint8_t gpsVersion[] = {2, 3, 0, 0};
  EXPECT_TRUE(w.SetField(0, kByte, 4, gpsVersion));
  EXPECT_TRUE(w.SetFieldRational(6, 123.5));
  const uint32_t gps = w.FlushSubIFD();
  EXPECT_NE(gps, 0u);

  EXPECT_TRUE(w.SetFieldRational(33434, 1.0 / 250));
  EXPECT_TRUE(w.SetFieldRational(37380, -2.0 / 3, kSRational));
  EXPECT_TRUE(w.SetFieldRational(33437, 2.8));
  EXPECT_TRUE(w.SetField(kGpsPointer, kLong, 1, &gps));
  const uint32_t exif = w.FlushSubIFD();

  const uint16_t shorts[] = {1, 65535, 3};
  const uint32_t longs[] = {7, 0xFFFFFFF0u};
  const int8_t sbytes[] = {-5, 6};
  const int16_t sshorts[] = {-300};
  const int32_t slongs[] = {-70000, 70000};
  const float floats[] = {1.5f};
  const double doubles[] = {-0.125, 1e300};
  const uint32_t rationals[] = {300, 1, 72, 2};
  const uint8_t undefined[] = {'0', '2', '3', '2', 9};
  // Out of tag order on purpose: the directory comes out sorted.
  EXPECT_TRUE(w.SetField(kExifPointer, kLong, 1, &exif));
  EXPECT_TRUE(w.SetField(270, kAscii, 5, "Lake"));
  EXPECT_TRUE(w.SetField(258, kShort, 3, shorts));
  EXPECT_TRUE(w.SetField(1000, kLong, 2, longs));
  EXPECT_TRUE(w.SetField(1001, kSByte, 2, sbytes));
  EXPECT_TRUE(w.SetField(1002, kSShort, 1, sshorts));
  EXPECT_TRUE(w.SetField(1003, kSLong, 2, slongs));
  EXPECT_TRUE(w.SetField(1004, kFloat, 1, floats));
  EXPECT_TRUE(w.SetField(1005, kDouble, 2, doubles));
  EXPECT_TRUE(w.SetField(282, kRational, 2, rationals));
  EXPECT_TRUE(w.SetField(1006, kUndefined, 5, undefined));
  EXPECT_TRUE(w.SetField(274, kShort, 1, shorts));
  EXPECT_TRUE(w.SetField(274, kShort, 1, shorts + 2));  // replaces the first
  EXPECT_TRUE(w.AppendIFD());
  const uint32_t width = 160;
  EXPECT_TRUE(w.SetField(256, kLong, 1, &width));
  EXPECT_TRUE(w.FlushIFD());
  EXPECT_FALSE(w.Failed());
  return Bytes(out);
}

void ExpectSample(Reader& r) {
  ASSERT_EQ(r.Directories().size(), 2u);
  const Directory& ifd0 = r.Directories()[0];
  ASSERT_EQ(ifd0.entries.size(), 12u);
  for (size_t i = 1; i < ifd0.entries.size(); ++i)
    EXPECT_LT(ifd0.entries[i - 1].tag, ifd0.entries[i].tag);
  auto at = [&](uint16_t tag) {
    const Entry* e = Reader::Find(ifd0, tag);
    EXPECT_NE(e, nullptr) << tag;
    return e ? *e : Entry{};
  };
  std::span<const uint8_t> text = r.Bytes(at(270));
  EXPECT_EQ(std::string(text.begin(), text.end()), std::string("Lake\0", 5));
  EXPECT_EQ(r.Unsigned(at(258), 1), 65535u);
  EXPECT_EQ(r.Unsigned(at(258), 2), 3u);
  EXPECT_EQ(r.Unsigned(at(274)), 3u);
  EXPECT_EQ(r.Unsigned(at(1000), 1), 0xFFFFFFF0u);
  EXPECT_EQ(r.Signed(at(1001)), -5);
  EXPECT_EQ(r.Signed(at(1001), 1), 6);
  EXPECT_EQ(r.Signed(at(1002)), -300);
  EXPECT_EQ(r.Signed(at(1003)), -70000);
  EXPECT_EQ(r.Real(at(1004)), 1.5);
  EXPECT_EQ(r.Real(at(1005)), -0.125);
  EXPECT_EQ(r.Real(at(1005), 1), 1e300);
  EXPECT_EQ(r.Real(at(282), 1), 36.0);
  EXPECT_EQ(r.Unsigned(at(1006), 4), 9u);
  EXPECT_EQ(
      r.Unsigned(Reader::Find(r.Directories()[1], 256) ? *Reader::Find(r.Directories()[1], 256)
                                                       : Entry{}),
      160u);

  std::optional<Directory> exif = r.SubDirectory(at(kExifPointer));
  ASSERT_TRUE(exif);
  std::optional<Rational> time = r.RationalAt(*Reader::Find(*exif, 33434));
  ASSERT_TRUE(time);
  EXPECT_EQ(time->numerator, 1);
  EXPECT_EQ(time->denominator, 250);
  std::optional<Rational> bias = r.RationalAt(*Reader::Find(*exif, 37380));
  ASSERT_TRUE(bias);
  EXPECT_EQ(bias->numerator, -2);
  EXPECT_EQ(bias->denominator, 3);
  EXPECT_EQ(r.RationalAt(*Reader::Find(*exif, 33437))->denominator, 5);
  std::optional<Directory> gps = r.SubDirectory(*Reader::Find(*exif, kGpsPointer));
  ASSERT_TRUE(gps);
  EXPECT_EQ(r.Unsigned(*Reader::Find(*gps, 0), 1), 3u);
  EXPECT_EQ(r.Real(*Reader::Find(*gps, 6)), 123.5);
}

}  // namespace

TEST(TiffWriter, RoundTripsEveryTypeInBothByteOrders) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    std::vector<uint8_t> block = Sample(big);
    EXPECT_EQ(block[0], big ? 'M' : 'I');
    Reader r;
    ASSERT_TRUE(r.Open(block));
    EXPECT_EQ(r.BigEndian(), big);
    ExpectSample(r);
    // Every directory and every value outside one starts on a word boundary.
    for (const Directory& d : r.Directories()) {
      EXPECT_EQ(d.offset % 2, 0u);
      for (const Entry& e : d.entries) {
        if (TypeSize(e.type) * e.count > 4) {
          EXPECT_EQ(e.dataOffset % 2, 0u) << e.tag;
        }
      }
    }
  }
}

TEST(TiffWriter, RationalsAreTheClosestWithThirtyTwoBitTerms) {
  struct Case {
    double value;
    uint16_t type;
    int64_t numerator, denominator;
  };
  const Case cases[] = {
      {300, kRational, 300, 1},
      {0.5, kRational, 1, 2},
      {1.0 / 3, kRational, 1, 3},
      {0, kRational, 0, 1},
      {4294967295.0, kRational, 4294967295, 1},
      {-1.25, kSRational, -5, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    VMemStream out;
    Writer w;
    ASSERT_TRUE(w.Open(&out));
    ASSERT_TRUE(w.SetFieldRational(1, c.value, c.type));
    ASSERT_TRUE(w.FlushIFD());
    std::vector<uint8_t> block = Bytes(out);
    Reader r;
    ASSERT_TRUE(r.Open(block));
    std::optional<Rational> got = r.RationalAt(r.Directories().at(0).entries.at(0));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->numerator, c.numerator);
    EXPECT_EQ(got->denominator, c.denominator);
  }
  // pi comes out within what 32-bit terms allow.
  VMemStream out;
  Writer w;
  ASSERT_TRUE(w.Open(&out));
  ASSERT_TRUE(w.SetFieldRational(1, std::numbers::pi));
  ASSERT_TRUE(w.FlushIFD());
  std::vector<uint8_t> block = Bytes(out);
  Reader r;
  ASSERT_TRUE(r.Open(block));
  EXPECT_NEAR(r.Real(r.Directories()[0].entries[0]).value_or(0), std::numbers::pi, 1e-15);
}

TEST(TiffWriter, RefusalsPoisonTheWriter) {
  for (int which = 0; which < 5; ++which) {
    SCOPED_TRACE(which);
    VMemStream out;
    Writer w;
    ASSERT_TRUE(w.Open(&out));
    const uint32_t one = 1;
    switch (which) {
      case 0:
        EXPECT_FALSE(w.SetField(1, 14, 1, &one)) << "unknown type";
        break;
      case 1:
        EXPECT_FALSE(w.SetFieldRational(1, -1)) << "negative as RATIONAL";
        break;
      case 2:
        EXPECT_FALSE(w.SetFieldRational(1, NAN));
        break;
      case 3:
        EXPECT_FALSE(w.SetFieldRational(1, 3e9, kSRational)) << "beyond SRATIONAL";
        break;
      case 4:
        for (uint32_t tag = 0; tag < Writer::kMaxEntries; ++tag)
          ASSERT_TRUE(w.SetField(uint16_t(tag), kLong, 1, &one));
        EXPECT_FALSE(w.SetField(uint16_t(Writer::kMaxEntries), kLong, 1, &one));
        break;
    }
    EXPECT_TRUE(w.Failed());
    EXPECT_FALSE(w.FlushIFD());
  }
  Writer unopened;
  EXPECT_FALSE(unopened.FlushIFD());
}

TEST(TiffWriter, SegmentReadsABlockInsideAStream) {
  std::vector<uint8_t> block = Sample(true);
  const uint32_t at = 1001;
  std::vector<uint8_t> file(at + block.size() + 5000, 0xEE);
  std::copy(block.begin(), block.end(), file.begin() + at);
  VMemStream stream(file.data(), file.size());
  Segment segment(&stream, at, block.size());
  EXPECT_EQ(segment.Size(), block.size());
  Reader r;
  ASSERT_TRUE(r.Open(segment));
  EXPECT_TRUE(r.Block().empty());
  ExpectSample(r);

  // A value past the segment's end is outside the block even though the stream has
  // bytes there; a segment reaching past the stream ends with it.
  std::vector<uint8_t> cut(file.begin(), file.begin() + at + 40);
  VMemStream shortStream(cut.data(), cut.size());
  Segment clipped(&shortStream, at, block.size());
  EXPECT_EQ(clipped.Size(), 40u);
  Reader partial;
  EXPECT_TRUE(partial.Open(clipped));
  EXPECT_TRUE(partial.Directories().empty());
  Segment beyond(&shortStream, 99999, 10);
  EXPECT_EQ(beyond.Size(), 0u);
  EXPECT_FALSE(partial.Open(beyond));
}

TEST(TiffWriter, SegmentReadsOverlappingValuesOnce) {
  // A directory read later whose value overlaps one read before and reaches one byte
  // further: the parts merge, the new value reads right, and the span handed out
  // before stays valid.
  VMemStream out;
  Writer w;
  ASSERT_TRUE(w.Open(&out));
  std::vector<uint8_t> text(40);
  for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t('a' + i % 26);
  ASSERT_TRUE(w.SetField(1, kUndefined, 40, text.data()));
  ASSERT_TRUE(w.FlushIFD());
  std::vector<uint8_t> block = Bytes(out);
  Reader plain;
  ASSERT_TRUE(plain.Open(block));
  const uint32_t values = plain.Directories()[0].entries[0].dataOffset;
  ASSERT_EQ(values + 40, block.size()) << "the values end the block";
  const uint32_t second = uint32_t(block.size());
  for (int b : {1, 0, 2, 0, int(kUndefined), 0, 41, 0, 0, 0}) block.push_back(uint8_t(b));
  for (int i = 0; i < 4; ++i) block.push_back(uint8_t(values >> 8 * i));
  block.resize(block.size() + 4, 0);
  VMemStream stream(block.data(), block.size());
  Segment segment(&stream, 0, block.size());
  Reader r;
  ASSERT_TRUE(r.Open(segment));
  ASSERT_EQ(r.Directories().size(), 1u);
  std::span<const uint8_t> first = r.Bytes(r.Directories()[0].entries[0]);
  std::optional<Directory> later = r.ReadDirectory(second);
  ASSERT_TRUE(later);
  ASSERT_EQ(later->entries.size(), 1u);
  std::span<const uint8_t> longer = r.Bytes(later->entries[0]);
  ASSERT_EQ(longer.size(), 41u);
  EXPECT_TRUE(std::equal(text.begin(), text.end(), longer.begin()));
  EXPECT_EQ(longer[40], 1) << "the byte after the first value: the next directory's count";
  EXPECT_TRUE(std::equal(first.begin(), first.end(), text.begin()));
}
