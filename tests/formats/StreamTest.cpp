#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "formats/MemStream.h"
#include "formats/StdioFileStream.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + 3);
  return bytes;
}

std::vector<uint8_t> Contents(const VMemStream& mem) {
  return std::vector<uint8_t>(mem.Data(), mem.Data() + mem.Length());
}

template <class To, class From>
To Bits(From value) {
  To bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

// Floats have no write slots of their own: they go out as their bit patterns.
void WriteEveryType(VStream& s) {
  s.WriteU16(0xA1B2);
  s.WriteU32(0x89ABCDEF);
  s.WriteU64(0x0102030405060708);
  s.WriteI32(-2);
  s.WriteI64(-3);
  s.WriteU32(Bits<uint32_t>(1.5f));
  s.WriteU64(Bits<uint64_t>(-0.1));
}

void ExpectEveryType(VStream& s) {
  EXPECT_EQ(s.ReadU16(), 0xA1B2);
  EXPECT_EQ(s.ReadU32(), 0x89ABCDEFu);
  EXPECT_EQ(s.ReadU64(), 0x0102030405060708u);
  EXPECT_EQ(s.ReadU32(), uint32_t(-2));
  EXPECT_EQ(s.ReadU64(), uint64_t(-3));
  EXPECT_EQ(s.ReadF32(), 1.5f);
  EXPECT_EQ(s.ReadF64(), -0.1);
  EXPECT_FALSE(s.Eof());
}

}  // namespace

TEST(MemStream, SeekStaysWithinTheDataAndFailuresKeepThePosition) {
  uint8_t data[10] = {};
  VMemStream mem(data, sizeof(data));
  VStream& s = mem;
  EXPECT_TRUE(s.Seek(10, kStreamBegin));
  EXPECT_TRUE(s.Seek(-3, kStreamEnd));
  EXPECT_TRUE(s.Seek(2, kStreamCurrent));
  EXPECT_EQ(s.Tell(), 9);
  std::pair<int64_t, int> refused[] = {{11, kStreamBegin},
                                       {2, kStreamCurrent},
                                       {-10, kStreamCurrent},
                                       {-11, kStreamEnd},
                                       {0, 3},
                                       {INT64_MIN, kStreamEnd},
                                       {INT64_MAX, kStreamCurrent}};
  for (auto [offset, origin] : refused) EXPECT_FALSE(s.Seek(offset, origin)) << offset;
  EXPECT_EQ(s.Tell(), 9);
}

TEST(MemStream, ReadsNeverPassTheEndAndRaiseTheEndFlag) {
  auto data = Pattern(10);
  VMemStream mem(data.data(), data.size());
  VStream& s = mem;

  ASSERT_TRUE(s.Seek(8, kStreamBegin));
  EXPECT_EQ(s.ReadU32(), 0u);
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.Tell(), 8);
  EXPECT_EQ(s.ReadU16(), data[8] | data[9] << 8);  // two bytes are still there
  ASSERT_TRUE(s.Seek(0, kStreamBegin));
  EXPECT_FALSE(s.Eof());

  uint32_t items[3];
  EXPECT_EQ(s.Read(items, 4, 3), 2u);
  EXPECT_EQ(s.Tell(), 10);
  EXPECT_TRUE(s.Eof());

  uint8_t bytes[10];
  ASSERT_TRUE(s.Seek(0, kStreamBegin));
  EXPECT_EQ(s.Read(bytes, 1, 10), 10u);
  EXPECT_FALSE(s.Eof());  // reaching the end exactly is not reading past it
  EXPECT_EQ(s.Read(bytes, SIZE_MAX / 2 + 1, 2) + s.Read(nullptr, 1, 4), 0u);
  EXPECT_EQ(s.Tell(), 10);
}

TEST(Stream, TypedValuesReadBackInBothByteOrders) {
  TempDir dir;
  for (uint8_t swap : {0, 1}) {
    SCOPED_TRACE(swap);
    VMemStream mem;
    mem.swap = swap;
    WriteEveryType(mem);
    ASSERT_TRUE(mem.Seek(0, kStreamBegin));
    ExpectEveryType(mem);

    VStdioFileStream file;
    ASSERT_TRUE(file.Open(dir.File("typed.bin").c_str(), "w+b"));
    file.swap = swap;
    WriteEveryType(file);
    ASSERT_TRUE(file.Seek(0, kStreamBegin));
    ExpectEveryType(file);
    EXPECT_EQ(file.Size(), mem.Size());
  }
}

TEST(Stream, SwapStoresValuesBigEndian) {
  VMemStream mem;
  mem.swap = 1;
  mem.WriteU32(0x11223344);
  mem.WriteU64(0x0102030405060708);
  mem.WriteU16(0xA1B2);
  mem.WriteU64(Bits<uint64_t>(1.0));
  mem.swap = 0;
  mem.WriteU32(0x11223344);
  std::vector<uint8_t> expected = {0x11, 0x22, 0x33, 0x44, 1, 2, 3, 4, 5, 6,    7,    8,    0xA1,
                                   0xB2, 0x3F, 0xF0, 0,    0, 0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(Contents(mem), expected);
}

TEST(MemStream, OwnedStreamGrowsByTheStepOrByWhatRemains) {
  VMemStream mem;
  EXPECT_EQ(mem.Capacity(), 65535u);
  auto first = Pattern(70000);
  EXPECT_EQ(mem.Write(first.data(), 1, first.size()), 70000u);
  EXPECT_EQ(mem.Capacity(), 131070u);
  EXPECT_EQ(Contents(mem), first);

  auto second = Pattern(200000);
  EXPECT_EQ(mem.Write(second.data(), 4, 50000), 50000u);
  EXPECT_EQ(mem.Capacity(), 270000u);  // 61070 fit, 138930 is more than the step
  EXPECT_EQ(mem.Length(), 270000u);
  EXPECT_EQ(std::memcmp(mem.Data() + 70000, second.data(), second.size()), 0);

  EXPECT_EQ(mem.Write(second.data(), SIZE_MAX / 2 + 1, 2), 0u);
  EXPECT_EQ(mem.Length(), 270000u);
}

TEST(MemStream, BorrowedBlockIsWrittenInPlaceAndNeverGrows) {
  uint8_t block[8] = {0, 0, 0, 0, 0, 0, 0xEE, 0xEE};  // the last two are not lent
  VMemStream mem(block, 6);
  VStream& s = mem;
  ASSERT_TRUE(s.Seek(2, kStreamBegin));
  EXPECT_EQ(s.Write("abcdef", 1, 6), 4u);
  EXPECT_EQ(s.PutC('x'), EOF);
  ASSERT_TRUE(s.Seek(0, kStreamBegin));
  EXPECT_EQ(s.PutC('z'), 'z');
  EXPECT_EQ(s.Write("0123456", 4, 2), 1u);  // five bytes fit: one whole item
  EXPECT_EQ(std::memcmp(block, "z01234\xEE\xEE", 8), 0);
  EXPECT_EQ(mem.Length(), 6u);

  EXPECT_FALSE(s.SetSize(3) || s.SetSize(100));
  EXPECT_EQ(mem.Detach(), nullptr);
  s.Close();
  EXPECT_TRUE(mem.Data() == block && mem.Length() == 6);
}

TEST(MemStream, SetSizeShrinksKeepsOrGrowsTheBlock) {
  VMemStream mem;
  auto bytes = Pattern(100);
  mem.Write(bytes.data(), 1, bytes.size());

  EXPECT_TRUE(mem.SetSize(100));
  EXPECT_EQ(mem.Capacity(), 65535u);
  EXPECT_TRUE(mem.SetSize(40));
  EXPECT_EQ(mem.Length(), mem.Capacity());
  EXPECT_EQ(mem.Position(), 0u);  // it lay beyond the new end
  ASSERT_TRUE(mem.Seek(10, kStreamBegin));
  EXPECT_TRUE(mem.SetSize(20));
  EXPECT_EQ(mem.Position(), 10u);

  EXPECT_TRUE(mem.SetSize(100000));
  EXPECT_EQ(mem.Length(), 100000u);
  EXPECT_EQ(std::memcmp(mem.Data(), bytes.data(), 20), 0);
  ASSERT_TRUE(mem.Seek(-8, kStreamEnd));
  EXPECT_EQ(mem.ReadU64(), 0u);
  EXPECT_FALSE(mem.Eof());

  EXPECT_FALSE(mem.SetSize(0) || mem.SetSize(-1) || mem.SetSize(INT64_MAX));
  EXPECT_EQ(mem.Length(), 100000u);
}

TEST(MemStream, CloseAndDetachLeaveAnEmptyUsableStream) {
  VMemStream mem;
  mem.Puts("hello");
  mem.GetC();
  EXPECT_TRUE(mem.Eof());
  mem.Close();
  EXPECT_EQ(mem.Data(), nullptr);
  EXPECT_EQ(mem.Length() + mem.Position() + mem.Capacity(), 0u);
  EXPECT_FALSE(mem.Eof());

  mem.Puts("again");
  ASSERT_EQ(mem.Length(), 5u);
  void* block = mem.Detach();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "again", 5), 0);
  EXPECT_EQ(mem.Length(), 0u);
  std::free(block);
}

TEST(MemStream, GetsTakesALinePairAsOneLineEnd) {
  char text[] = "ab\r\ncd";
  VMemStream mem(text, 6);
  VStream& s = mem;
  char line[16];
  ASSERT_NE(s.Gets(line, sizeof(line)), nullptr);
  EXPECT_STREQ(line, "ab\r");
  ASSERT_NE(s.Gets(line, sizeof(line)), nullptr);
  EXPECT_STREQ(line, "cd");
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.Gets(line, sizeof(line)), nullptr);

  char lines[] = "abcd\n\nx\n";
  VMemStream more(lines, std::strlen(lines));
  ASSERT_NE(more.Gets(line, 3), nullptr);
  EXPECT_STREQ(line, "ab");
  ASSERT_NE(more.Gets(line, sizeof(line)), nullptr);
  EXPECT_STREQ(line, "cd\n");  // the second LF went with the first
  ASSERT_NE(more.Gets(line, sizeof(line)), nullptr);
  EXPECT_STREQ(line, "x\n");
}

TEST(MemStream, PrintfWritesWhatFitsInItsBuffer) {
  VMemStream mem;
  VStream& s = mem;
  s.Printf("%d-%s-%.1f|", 42, "x", 2.5);
  s.Printf("%s", "");
  std::string longText(2000, 'y');
  s.Printf("%s", longText.c_str());
  EXPECT_EQ(mem.Length(), 9u + 1023u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(mem.Data()), 9), "42-x-2.5|");
}

TEST(StdioFileStream, SizeKeepsThePositionAndSetSizeTruncates) {
  TempDir dir;
  std::string path = dir.File("sized.bin");
  VStdioFileStream file;
  ASSERT_TRUE(file.Open(path.c_str(), "w+b"));
  EXPECT_FALSE(file.IsNull());
  auto bytes = Pattern(100);
  EXPECT_EQ(file.Write(bytes.data(), 10, 10), 10u);
  file.Flush();
  EXPECT_EQ(file.FileSize(), 100);
  ASSERT_TRUE(file.Seek(30, kStreamBegin));
  EXPECT_EQ(file.Size(), 100);
  EXPECT_EQ(file.Tell(), 30);
  EXPECT_EQ(file.GetC(), bytes[30]);

  EXPECT_TRUE(file.SetSize(40));
  EXPECT_EQ(file.Size(), 40);
  ASSERT_TRUE(file.Seek(38, kStreamBegin));
  EXPECT_EQ(file.ReadU32(), 0u);  // only two bytes left
  EXPECT_TRUE(file.Eof());
  EXPECT_FALSE(file.Seek(0, 5));
  file.Close();
  EXPECT_EQ(fs::file_size(path), 40u);
}

TEST(StdioFileStream, ClosedStreamRefusesEverything) {
  TempDir dir;
  VStdioFileStream file;
  VStream& s = file;
  EXPECT_FALSE(s.Open(dir.File("missing.bin").c_str(), "rb") || s.Open(u"", u"rb"));
  EXPECT_TRUE(s.IsNull() && s.Eof());
  EXPECT_FALSE(s.Seek(0, kStreamBegin) || s.SetSize(0));
  EXPECT_EQ(s.Tell(), -1);
  char buf[4];
  EXPECT_EQ(s.ReadU32() + s.Read(buf, 1, 4) + s.Write(buf, 1, 4), 0u);
  EXPECT_EQ(s.Gets(buf, 4), nullptr);
  s.Printf("%d", 1);
}

TEST(StdioFileStream, OpensUtf16PathsWithNonAsciiNames) {
  TempDir dir;
  fs::path path = dir.Path() / u8"Bild \u00e4\u00f6\u00fc \u20ac \u65e5\u672c.bin";
  std::u16string wide = path.u16string();
  VStdioFileStream file;
  VStream& s = file;
  ASSERT_TRUE(s.Open(wide.c_str(), u"wb"));
  s.WriteU32(0xCAFE);
  s.Close();
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 4u);

  ASSERT_TRUE(s.Open(wide.c_str(), u"rb"));
  EXPECT_EQ(s.ReadU32(), 0xCAFEu);
}

// A plug-in sees nothing but the table (the VStream& calls above go through it too):
// every slot must be filled, the defaults answer, and Destroy frees.
TEST(Stream, TheOperationTableIsCompleteAndMatchesTheMembers) {
  VMemStream mem;
  VStdioFileStream file;
  for (const VStreamOps* ops : {mem.ops, file.ops}) {
    auto slots = reinterpret_cast<void* const*>(ops);
    for (int i = 0; i < 31; ++i) EXPECT_NE(slots[i], nullptr) << "slot " << i;
  }

  auto* heap = new VMemStream;
  const VStreamOps* ops = heap->ops;
  EXPECT_TRUE(ops->OpenWide(heap, u"x", u"rb") && ops->Open(heap, "x", "rb"));
  ops->Printf(heap, "%d|%s", 12, "ab");
  EXPECT_EQ(ops->Size(heap), 5);
  EXPECT_EQ(ops->GetC(heap), 0);
  EXPECT_TRUE(ops->Eof(heap));
  EXPECT_EQ(ops->FileSize(heap), 0);
  ops->Destroy(heap, kStreamFreeStorage);

  // Destroying a file stream closes the file, so what was written reaches the disk.
  TempDir dir;
  std::string path = dir.File("destroyed.bin");
  VStreamPtr owned(new VStdioFileStream);
  ASSERT_TRUE(owned->Open(path.c_str(), "wb"));
  owned->ops->WriteU64(owned.get(), 1);
  owned->ops->Printf(owned.get(), "%d|%s", 12, "ab");
  owned.reset();
  EXPECT_EQ(fs::file_size(path), 8u + 5u);
}
