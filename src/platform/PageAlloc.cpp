#include "platform/PageAlloc.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>

#include <cstddef>
#endif

namespace platform {

#if defined(_WIN32)

// VirtualAlloc returns blocks on 64 KiB boundaries, and a block can be released
// by anyone holding the pointer (plug-ins call VirtualFree themselves).
void* ORBISK_CDECL PageAlloc(uint64_t bytes) noexcept {
  if (bytes == 0 || bytes > kPageAllocLimit) return nullptr;
  return VirtualAlloc(nullptr, SIZE_T(bytes), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void ORBISK_CDECL PageFree(void* block) noexcept {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}

#else

namespace {

// munmap needs the length, callers pass only the pointer: the mapping starts with
// a header that records it. Its size keeps the returned block 64-byte aligned.
constexpr size_t kHeader = 64;
// From this size on a block asks for huge pages where the system gives them on
// request: the rows of a large picture then cost a fault per 2 MiB instead of one per
// 4 KiB, which the decoders' worker threads would otherwise take in turn as they
// write the first rows.
constexpr size_t kHugeFrom = size_t(8) << 20;

}  // namespace

void* ORBISK_CDECL PageAlloc(uint64_t bytes) noexcept {
  if (bytes == 0 || bytes > kPageAllocLimit || bytes > SIZE_MAX - kHeader) return nullptr;
  size_t length = size_t(bytes) + kHeader;
  void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  if (length >= kHugeFrom) madvise(base, length, MADV_HUGEPAGE);  // advice only
#endif
  *static_cast<size_t*>(base) = length;
  return static_cast<char*>(base) + kHeader;
}

void ORBISK_CDECL PageFree(void* block) noexcept {
  if (!block) return;
  void* base = static_cast<char*>(block) - kHeader;
  munmap(base, *static_cast<size_t*>(base));
}

#endif

}  // namespace platform
