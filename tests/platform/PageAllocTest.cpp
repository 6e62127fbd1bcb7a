#include "platform/PageAlloc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

using namespace platform;

TEST(PageAlloc, RefusesZeroAndSizesBeyond32Bits) {
  EXPECT_EQ(PageAlloc(0), nullptr);
  EXPECT_EQ(PageAlloc(0x100000000ull), nullptr);
  EXPECT_EQ(PageAlloc(~0ull), nullptr);
  PageFree(nullptr);
}

TEST(PageAlloc, BlocksAreZeroedAlignedWritableAndDistinct) {
  std::vector<void*> blocks;
  for (uint64_t size : {1ull, 63ull, 4096ull, 4097ull, 1ull << 20}) {
    auto* block = static_cast<unsigned char*>(PageAlloc(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u) << size;
    std::vector<unsigned char> zeros(size, 0);
    EXPECT_EQ(std::memcmp(block, zeros.data(), size), 0) << size;
    block[0] = 0xA5;
    block[size - 1] = 0x5A;
    blocks.push_back(block);
  }
  for (size_t i = 1; i < blocks.size(); ++i) EXPECT_NE(blocks[i], blocks[i - 1]);
  for (void* block : blocks) PageFree(block);
}

namespace {

bool IsMapped(const void* address) {
#if defined(_WIN32)
  MEMORY_BASIC_INFORMATION info{};
  return VirtualQuery(address, &info, sizeof(info)) != 0 && info.State != MEM_FREE;
#else
  auto page = reinterpret_cast<uintptr_t>(address) & ~uintptr_t(4095);
  unsigned char resident;
  return mincore(reinterpret_cast<void*>(page), 1, &resident) == 0;
#endif
}

}  // namespace

TEST(PageAlloc, FreeReturnsTheWholeBlock) {
  constexpr uint64_t kSize = 3 * 65536 + 100;
  auto* block = static_cast<char*>(PageAlloc(kSize));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(IsMapped(block));
  EXPECT_TRUE(IsMapped(block + kSize - 1));
  PageFree(block);
  EXPECT_FALSE(IsMapped(block));
  EXPECT_FALSE(IsMapped(block + kSize - 1));
}

TEST(PageAlloc, FunctionsFitThePlugInSignatures) {
  PageAllocFunc alloc = &PageAlloc;
  PageFreeFunc release = &PageFree;
  void* block = alloc(100);
  ASSERT_NE(block, nullptr);
  release(block);
}

#if defined(_WIN32)
TEST(PageAlloc, PlugInsMayReleaseBlocksWithVirtualFree) {
  void* block = PageAlloc(100);
  ASSERT_NE(block, nullptr);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(block, &info, sizeof(info)), 0u);
  EXPECT_EQ(info.AllocationBase, block);
  EXPECT_EQ(info.State, DWORD(MEM_COMMIT));
  EXPECT_EQ(info.Protect, DWORD(PAGE_READWRITE));
  EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
}
#endif
