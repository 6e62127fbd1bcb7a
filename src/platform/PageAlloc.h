// Committed, zero-filled memory straight from the operating system, outside the
// ordinary heap. Pixel rows live here so that they can be handed to plug-ins (which
// may use another C runtime) and moved between records; the same two functions are
// given to plug-ins as their page allocator and release.
#pragma once

#include <cstdint>

#include "platform/Abi.h"

namespace platform {

// Null for 0 bytes, for sizes that do not fit in 32 bits, and when memory is short.
// The block is at least 64-byte aligned.
void* ORBISK_CDECL PageAlloc(uint64_t bytes) noexcept;

// Releases a block from PageAlloc; null is ignored.
void ORBISK_CDECL PageFree(void* block) noexcept;

using PageAllocFunc = void*(ORBISK_CDECL*)(uint64_t bytes);
using PageFreeFunc = void(ORBISK_CDECL*)(void* block);

constexpr uint64_t kPageAllocLimit = 0xFFFFFFFFu;

}  // namespace platform
