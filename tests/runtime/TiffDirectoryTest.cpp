#include "runtime/TiffDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/MemStream.h"
#include "support/TiffBuilder.h"

using namespace glib::Libtiff;
using testing_support::TiffBuilder;

namespace {

constexpr uint16_t kExifPointer = 34665;

// IFD0 with a width, a description, a resolution and a pointer to an EXIF directory
// holding an exposure time and a signed bias; IFD1 after it.
std::vector<uint8_t> Camera(bool bigEndian) {
  TiffBuilder b(bigEndian);
  const uint32_t exif =
      b.Directory({b.Rational(33434, 1, 250), b.Rationals(37380, {{-2, 3}}, kSRational)});
  const uint32_t ifd0 = b.Directory({b.Short(256, 640), b.Ascii(270, "Lake"),
                                     b.Rational(282, 300, 1), b.Long(kExifPointer, exif)},
                                    true);
  b.Link(ifd0, b.Directory({b.Long(256, 160)}));
  return b.Block();
}

}  // namespace

TEST(TiffDirectory, ReadsBothByteOrdersAlike) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const std::vector<uint8_t> block = Camera(big);
    Reader reader;
    ASSERT_TRUE(reader.Open(block));
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
  TiffBuilder loop(false);
  const uint32_t start = loop.Size();
  loop.Link(start, loop.Directory({loop.Long(kExifPointer, start)}, true));
  ASSERT_TRUE(reader.Open(loop.Block()));
  ASSERT_EQ(reader.Directories().size(), 1u);
  EXPECT_FALSE(reader.SubDirectory(reader.Directories()[0].entries[0]));

  // Values outside the block, huge counts and unknown types are skipped; the rest of
  // the directory stays.
  TiffBuilder bad(false);
  bad.Directory({bad.Raw(1, kLong, 4, 0xFFFFFFF0u), bad.Raw(2, kByte, 0x7FFFFFFF, 8),
                 bad.Raw(3, 99, 1, 0), bad.Short(4, 7)},
                true);
  ASSERT_TRUE(reader.Open(bad.Block()));
  ASSERT_EQ(reader.Directories()[0].entries.size(), 1u);
  EXPECT_EQ(reader.Unsigned(reader.Directories()[0].entries[0]), 7u);

  // A directory claiming more entries than the block holds is not read.
  const uint8_t shortBlock[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 0xF4, 0x01};  // 500 entries
  ASSERT_TRUE(reader.Open(shortBlock));
  EXPECT_TRUE(reader.Directories().empty());

  // A long chain stops at the limit.
  TiffBuilder chain(false);
  uint32_t previous = chain.Directory({chain.Short(1, 0)}, true);
  for (int i = 0; i < 100; ++i) {
    const uint32_t next = chain.Directory({chain.Short(1, uint32_t(i))});
    chain.Link(previous, next);
    previous = next;
  }
  ASSERT_TRUE(reader.Open(chain.Block()));
  EXPECT_EQ(reader.Directories().size(), Reader::kMaxDirectories);
}

TEST(TiffDirectory, OpensAStreamFromItsStart) {
  std::vector<uint8_t> bytes = Camera(true);
  VMemStream stream(bytes.data(), bytes.size());
  stream.SetPos(5);
  Reader reader;
  ASSERT_TRUE(reader.Open(&stream));
  EXPECT_EQ(reader.Directories().size(), 2u);
  bytes.assign(bytes.size(), 0);  // the reader keeps its own copy
  EXPECT_EQ(reader.Unsigned(*Reader::Find(reader.Directories()[0], 256)), 640u);
}
