#include "platform/PageAlloc.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

using namespace platform;

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

TEST(PageAlloc, RefusesZeroAndSizesBeyond32Bits) {
  EXPECT_EQ(PageAlloc(0), nullptr);
  EXPECT_EQ(PageAlloc(0x100000000ull), nullptr);
  EXPECT_EQ(PageAlloc(~0ull), nullptr);
  PageFree(nullptr);
}

TEST(PageAlloc, BlocksAreZeroedAlignedAndReleasedWhole) {
  for (uint64_t size : {1ull, 4096ull, 3 * 65536ull + 100}) {
    auto* block = static_cast<unsigned char*>(PageAlloc(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u) << size;
    EXPECT_EQ(block[0] | block[size / 2] | block[size - 1], 0) << size;
    block[size - 1] = 0x5A;
    PageFree(block);
    EXPECT_FALSE(IsMapped(block)) << size;
    EXPECT_FALSE(IsMapped(block + size - 1)) << size;
  }
}

#if defined(_WIN32)
TEST(PageAlloc, PlugInsMayReleaseBlocksWithVirtualFree) {
  void* block = PageAlloc(100);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
}
#endif
