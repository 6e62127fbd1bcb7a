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

// The typed writes of every stream: the value in the stream's byte order, through
// the class's Write.
template <class T, class V>
void ORBISK_CDECL VStreamWriteValueSlot(VStream* self, V value) noexcept {
  value = StreamByteOrder(value, self->swap);
  static_cast<T*>(self)->Write(&value, sizeof(V), 1);
}

// The table of a stream class: its members in their slots, the typed writes above,
// and the defaults for opening, the file size and flushing, which a class that has
// them sets afterwards.
template <class T>
constexpr VStreamOps VStreamOpsOf() {
  return {
      .Destroy = VStreamDestroySlot<T>,
      .OpenWide = VStreamDefaults::OpenWide,
      .Open = VStreamDefaults::Open,
      .Seek = VStreamSlot<&T::Seek>::Call,
      .Eof = VStreamSlot<&T::Eof>::Call,
      .IsNull = VStreamSlot<&T::IsNull>::Call,
      .Error = VStreamSlot<&T::Error>::Call,
      .Tell = VStreamSlot<&T::Tell>::Call,
      .SetPos = VStreamSlot<&T::SetPos>::Call,
      .Size = VStreamSlot<&T::Size>::Call,
      .FileSize = VStreamDefaults::FileSize,
      .SetSize = VStreamSlot<&T::SetSize>::Call,
      .GetC = VStreamSlot<&T::GetC>::Call,
      .ReadU16 = VStreamSlot<&T::ReadU16>::Call,
      .ReadU32 = VStreamSlot<&T::ReadU32>::Call,
      .ReadU64 = VStreamSlot<&T::ReadU64>::Call,
      .ReadF32 = VStreamSlot<&T::ReadF32>::Call,
      .ReadF64 = VStreamSlot<&T::ReadF64>::Call,
      .Read = VStreamSlot<&T::Read>::Call,
      .Gets = VStreamSlot<&T::Gets>::Call,
      .PutC = VStreamSlot<&T::PutC>::Call,
      .WriteU16 = VStreamWriteValueSlot<T, uint16_t>,
      .WriteU32 = VStreamWriteValueSlot<T, uint32_t>,
      .WriteU64 = VStreamWriteValueSlot<T, uint64_t>,
      .WriteI32 = VStreamWriteValueSlot<T, int32_t>,
      .WriteI64 = VStreamWriteValueSlot<T, int64_t>,
      .Write = VStreamSlot<&T::Write>::Call,
      .Puts = VStreamSlot<&T::Puts>::Call,
      .Printf = VStreamPrintfSlot<T>,
      .Flush = VStreamDefaults::Flush,
      .Close = VStreamSlot<&T::Close>::Call,
  };
}
