// Helpers for the stream implementations: turning member functions into the C entry
// points of a VStreamOps table, the base behaviour of the optional slots, byte order.
// Only the stream sources include this.
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

#include "formats/Stream.h"

// VStreamSlot<&Class::Member>::Call is a C function taking the stream first and
// forwarding to the member; its signature follows the member's, so a member that does
// not match its slot fails to compile where the table is filled.
template <auto Method>
struct VStreamSlot;

template <class T, class R, class... Args, R (T::*Method)(Args...) noexcept>
struct VStreamSlot<Method> {
  static R ORBISK_CDECL Call(VStream* self, Args... args) noexcept {
    return (static_cast<T*>(self)->*Method)(args...);
  }
};

template <class T>
void ORBISK_CDECL VStreamDestroySlot(VStream* self, uint32_t flags) noexcept {
  T* stream = static_cast<T*>(self);
  stream->~T();
  if (flags & kStreamFreeStorage) ::operator delete(stream);
}

template <class T>
void ORBISK_CDECL VStreamPrintfSlot(VStream* self, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  static_cast<T*>(self)->VPrintf(format, args);
  va_end(args);
}

// What a slot does when the class adds nothing.
struct VStreamDefaults {
  static bool ORBISK_CDECL OpenWide(VStream*, const char16_t*, const char16_t*) noexcept {
    return true;
  }
  static bool ORBISK_CDECL Open(VStream*, const char*, const char*) noexcept { return true; }
  static bool ORBISK_CDECL Error(VStream*) noexcept { return false; }
  static int64_t ORBISK_CDECL FileSize(VStream*) noexcept { return 0; }
  static void ORBISK_CDECL Flush(VStream*) noexcept {}
  static void ORBISK_CDECL Close(VStream*) noexcept {}
};

// Reverses the bytes of a value when the stream's swap flag is set (the 64-bit case
// reverses all eight bytes).
template <class T>
T StreamByteOrder(T value, uint8_t swap) {
  if (swap) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(&value, bytes, sizeof(T));
  }
  return value;
}

// size x count, or false when the product does not fit.
inline bool StreamByteCount(size_t size, size_t count, size_t* total) {
  if (size != 0 && count > SIZE_MAX / size) return false;
  *total = size * count;
  return true;
}
