#include "runtime/TiffDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/MemStream.h"

using namespace glib::Libtiff;

namespace {

// A TIFF-structured block written by hand, in either byte order.
class Block {
 public:
  explicit Block(bool bigEndian) : big_(bigEndian) {
    bytes_ =
        bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42} : std::vector<uint8_t>{'I', 'I', 42, 0};
    U32(0);  // the first directory, set by Directory()
  }

  uint32_t Size() const { return uint32_t(bytes_.size()); }
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void SetU32(uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = uint8_t(v >> (big_ ? 24 - 8 * i : 8 * i));
  }

  // A directory of entries {tag, type, count, value or offset}; returns where its
  // link to the next directory is. `first` makes it the header's directory.
  struct Row {
    uint16_t tag, type;
    uint32_t count, value;
  };
  uint32_t Directory(const std::vector<Row>& rows, bool first = false) {
    if (first) SetU32(4, Size());
    U16(uint16_t(rows.size()));
    for (const Row& r : rows) {
      U16(r.tag);
      U16(r.type);
      U32(r.count);
      if (r.type == kShort && r.count == 1) {
        U16(uint16_t(r.value));
        U16(0);
      } else {
        U32(r.value);
      }
    }
    const uint32_t link = Size();
    U32(0);
    return link;
  }

  std::span<const uint8_t> Span() const { return bytes_; }
  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  void Put(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_.push_back(uint8_t(v >> (big_ ? 8 * (n - 1 - i) : 8 * i)));
  }
  bool big_;
  std::vector<uint8_t> bytes_;
};

constexpr uint16_t kExifPointer = 34665;

// IFD0 with a width, a description, a resolution and a pointer to an EXIF directory
// holding an exposure time and a signed bias; IFD1 after it.
Block Camera(bool bigEndian) {
  Block b(bigEndian);
  const uint32_t text = b.Size();
  for (char c : std::string("Lake\0", 5)) b.Bytes().push_back(uint8_t(c));
  const uint32_t resolution = b.Size();
  b.U32(300);
  b.U32(1);
  const uint32_t exposure = b.Size();
  b.U32(1);
  b.U32(250);
  b.U32(uint32_t(-2));
  b.U32(3);
  const uint32_t exifAt = b.Size();
  b.Directory({{33434, kRational, 1, exposure}, {37380, kSRational, 1, exposure + 8}});
  const uint32_t link0 = b.Directory({{256, kShort, 1, 640},
                                      {270, kAscii, 5, text},
                                      {282, kRational, 1, resolution},
                                      {kExifPointer, kLong, 1, exifAt}},
                                     true);
  b.SetU32(link0, b.Size());
  b.Directory({{256, kLong, 1, 160}});
  return b;
}

}  // namespace

TEST(TiffDirectory, ReadsBothByteOrdersAlike) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    Block block = Camera(big);
    Reader reader;
    ASSERT_TRUE(reader.Open(block.Span()));
    EXPECT_EQ(reader.BigEndian(), big);
    ASSERT_EQ(reader.Directories().size(), 2u);
    const Directory& ifd0 = reader.Directories()[0];
    ASSERT_NE(Reader::Find(ifd0, 256), nullptr);
    EXPECT_EQ(reader.Unsigned(*Reader::Find(ifd0, 256)), 640u);
    std::span<const uint8_t> text = reader.Bytes(*Reader::Find(ifd0, 270));
    EXPECT_EQ(std::string(text.begin(), text.end()), std::string("Lake\0", 5));
    EXPECT_DOUBLE_EQ(reader.Real(*Reader::Find(ifd0, 282)).value_or(0), 300.0);
    EXPECT_EQ(reader.Unsigned(*Reader::Find(reader.Directories()[1], 256)), 160u);

    std::optional<Directory> exif = reader.SubDirectory(*Reader::Find(ifd0, kExifPointer));
    ASSERT_TRUE(exif);
    std::optional<Rational> time = reader.RationalAt(*Reader::Find(*exif, 33434));
    ASSERT_TRUE(time);
    EXPECT_EQ(time->numerator, 1);
    EXPECT_EQ(time->denominator, 250);
    std::optional<Rational> bias = reader.RationalAt(*Reader::Find(*exif, 37380));
    ASSERT_TRUE(bias);
    EXPECT_EQ(bias->numerator, -2);  // signed rationals keep their sign
    EXPECT_EQ(reader.Unsigned(*Reader::Find(ifd0, 256), 1), std::nullopt) << "beyond the count";
  }
}

TEST(TiffDirectory, HostileBlocksEndTheWalkNotTheProgram) {
  Reader reader;
  const uint8_t notTiff[] = {'I', 'I', 43, 0, 8, 0, 0, 0};
  EXPECT_FALSE(reader.Open(notTiff));
  EXPECT_FALSE(reader.Open(std::span<const uint8_t>()));

  // A chain that points back at itself is read once; a sub-directory pointing at a
  // directory already read gives nothing.
  Block loop(false);
  const uint32_t start = loop.Size();
  const uint32_t link = loop.Directory({{kExifPointer, kLong, 1, start}}, true);
  loop.SetU32(link, start);
  ASSERT_TRUE(reader.Open(loop.Span()));
  ASSERT_EQ(reader.Directories().size(), 1u);
  EXPECT_FALSE(reader.SubDirectory(reader.Directories()[0].entries[0]));

  // Values outside the block, huge counts and unknown types are skipped; the rest of
  // the directory stays.
  Block bad(false);
  bad.Directory(
      {{1, kLong, 4, 0xFFFFFFF0u}, {2, kByte, 0x7FFFFFFF, 8}, {3, 99, 1, 0}, {4, kShort, 1, 7}},
      true);
  ASSERT_TRUE(reader.Open(bad.Span()));
  ASSERT_EQ(reader.Directories()[0].entries.size(), 1u);
  EXPECT_EQ(reader.Unsigned(reader.Directories()[0].entries[0]), 7u);

  // A directory claiming more entries than the block holds is not read.
  Block shortBlock(false);
  shortBlock.SetU32(4, shortBlock.Size());
  shortBlock.U16(500);
  ASSERT_TRUE(reader.Open(shortBlock.Span()));
  EXPECT_TRUE(reader.Directories().empty());

  // A long chain stops at the limit.
  Block chain(false);
  uint32_t previous = chain.Directory({{1, kShort, 1, 0}}, true);
  for (int i = 0; i < 100; ++i) {
    chain.SetU32(previous, chain.Size());
    previous = chain.Directory({{1, kShort, 1, uint32_t(i)}});
  }
  ASSERT_TRUE(reader.Open(chain.Span()));
  EXPECT_EQ(reader.Directories().size(), Reader::kMaxDirectories);
}

TEST(TiffDirectory, OpensAStreamFromItsStart) {
  Block block = Camera(true);
  std::vector<uint8_t> bytes(block.Span().begin(), block.Span().end());
  VMemStream stream(bytes.data(), bytes.size());
  stream.SetPos(5);
  Reader reader;
  ASSERT_TRUE(reader.Open(&stream));
  EXPECT_EQ(reader.Directories().size(), 2u);
  bytes.assign(bytes.size(), 0);  // the reader keeps its own copy
  EXPECT_EQ(reader.Unsigned(*Reader::Find(reader.Directories()[0], 256)), 640u);
}
