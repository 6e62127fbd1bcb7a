// Byte streams with typed, byte-order-aware reads and writes and 64-bit positions.
//
// Streams are handed to format plug-ins that may come from another compiler, so the
// operations are reached through an explicit table of C functions (VStreamOps) rather
// than a C++ vtable; the slot order below is part of the plug-in interface. The inline
// members of VStream call through that table, so `stream->ReadU32()` works the same on
// a stream created by any module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "platform/Abi.h"

struct VStream;

// Seek origins, the same values as SEEK_SET, SEEK_CUR and SEEK_END.
enum VStreamOrigin : int { kStreamBegin = 0, kStreamCurrent = 1, kStreamEnd = 2 };

// Destroy flag: also free the object's storage, with the allocator of the module that
// created it (the object must then come from that module's `new`).
constexpr uint32_t kStreamFreeStorage = 1;

// One slot per operation, in the fixed order of the plug-in interface.
struct VStreamOps {
  void(ORBISK_CDECL* Destroy)(VStream* self, uint32_t flags);                               // 0
  bool(ORBISK_CDECL* OpenWide)(VStream* self, const char16_t* path, const char16_t* mode);  // 1
  bool(ORBISK_CDECL* Open)(VStream* self, const char* path, const char* mode);              // 2
  bool(ORBISK_CDECL* Seek)(VStream* self, int64_t offset, int origin);                      // 3
  bool(ORBISK_CDECL* Eof)(VStream* self);                                                   // 4
  bool(ORBISK_CDECL* IsNull)(VStream* self);                                                // 5
  bool(ORBISK_CDECL* Error)(VStream* self);                                                 // 6
  int64_t(ORBISK_CDECL* Tell)(VStream* self);                                               // 7
  bool(ORBISK_CDECL* SetPos)(VStream* self, int64_t pos);                                   // 8
  int64_t(ORBISK_CDECL* Size)(VStream* self);                                               // 9
  int64_t(ORBISK_CDECL* FileSize)(VStream* self);                                           // 10
  bool(ORBISK_CDECL* SetSize)(VStream* self, int64_t size);                                 // 11
  int(ORBISK_CDECL* GetC)(VStream* self);                                                   // 12
  uint16_t(ORBISK_CDECL* ReadU16)(VStream* self);                                           // 13
  uint32_t(ORBISK_CDECL* ReadU32)(VStream* self);                                           // 14
  uint64_t(ORBISK_CDECL* ReadU64)(VStream* self);                                           // 15
  float(ORBISK_CDECL* ReadF32)(VStream* self);                                              // 16
  double(ORBISK_CDECL* ReadF64)(VStream* self);                                             // 17
  size_t(ORBISK_CDECL* Read)(VStream* self, void* buf, size_t size, size_t count);          // 18
  char*(ORBISK_CDECL* Gets)(VStream* self, char* buf, int n);                               // 19
  int(ORBISK_CDECL* PutC)(VStream* self, int ch);                                           // 20
  void(ORBISK_CDECL* WriteU16)(VStream* self, uint16_t value);                              // 21
  void(ORBISK_CDECL* WriteU32)(VStream* self, uint32_t value);                              // 22
  void(ORBISK_CDECL* WriteU64)(VStream* self, uint64_t value);                              // 23
  void(ORBISK_CDECL* WriteI32)(VStream* self, int32_t value);                               // 24
  void(ORBISK_CDECL* WriteI64)(VStream* self, int64_t value);                               // 25
  size_t(ORBISK_CDECL* Write)(VStream* self, const void* buf, size_t size, size_t count);   // 26
  void(ORBISK_CDECL* Puts)(VStream* self, const char* text);                                // 27
  void(ORBISK_CDECL* Printf)(VStream* self, const char* format, ...);                       // 28
  void(ORBISK_CDECL* Flush)(VStream* self);                                                 // 29
  void(ORBISK_CDECL* Close)(VStream* self);                                                 // 30
};

static_assert(sizeof(VStreamOps) == 31 * sizeof(void*), "one pointer per slot, no padding");
static_assert(offsetof(VStreamOps, Close) == 30 * sizeof(void*));
ORBISK_LAYOUT_SIZE(VStreamOps, 124);

struct VStream {
  const VStreamOps* ops;
  uint8_t swap;  // 1: 16/32/64-bit values and floats are big-endian in the data

  VStream(const VStream&) = delete;
  VStream& operator=(const VStream&) = delete;

  // Runs slot 0. With kStreamFreeStorage the object is gone afterwards.
  void Destroy(uint32_t flags) { ops->Destroy(this, flags); }

  bool Open(const char16_t* path, const char16_t* mode) { return ops->OpenWide(this, path, mode); }
  bool Open(const char* path, const char* mode) { return ops->Open(this, path, mode); }
  bool Seek(int64_t offset, int origin) { return ops->Seek(this, offset, origin); }
  bool Eof() { return ops->Eof(this); }
  bool IsNull() { return ops->IsNull(this); }
  bool Error() { return ops->Error(this); }
  int64_t Tell() { return ops->Tell(this); }
  bool SetPos(int64_t pos) { return ops->SetPos(this, pos); }
  int64_t Size() { return ops->Size(this); }
  int64_t FileSize() { return ops->FileSize(this); }
  bool SetSize(int64_t size) { return ops->SetSize(this, size); }
  int GetC() { return ops->GetC(this); }
  uint16_t ReadU16() { return ops->ReadU16(this); }
  uint32_t ReadU32() { return ops->ReadU32(this); }
  uint64_t ReadU64() { return ops->ReadU64(this); }
  float ReadF32() { return ops->ReadF32(this); }
  double ReadF64() { return ops->ReadF64(this); }
  size_t Read(void* buf, size_t size, size_t count) { return ops->Read(this, buf, size, count); }
  char* Gets(char* buf, int n) { return ops->Gets(this, buf, n); }
  int PutC(int ch) { return ops->PutC(this, ch); }
  void WriteU16(uint16_t value) { ops->WriteU16(this, value); }
  void WriteU32(uint32_t value) { ops->WriteU32(this, value); }
  void WriteU64(uint64_t value) { ops->WriteU64(this, value); }
  void WriteI32(int32_t value) { ops->WriteI32(this, value); }
  void WriteI64(int64_t value) { ops->WriteI64(this, value); }
  size_t Write(const void* buf, size_t size, size_t count) {
    return ops->Write(this, buf, size, count);
  }
  void Puts(const char* text) { ops->Puts(this, text); }
  void Flush() { ops->Flush(this); }
  void Close() { ops->Close(this); }

  // The arguments go to the table's variadic slot unchanged, so only what C varargs
  // can carry is accepted.
  template <class... Args>
  void Printf(const char* format, Args... args) {
    static_assert((std::is_scalar_v<Args> && ...), "printf arguments must be scalars");
    ops->Printf(this, format, args...);
  }

 protected:
  explicit VStream(const VStreamOps* table) : ops(table), swap(0) {}
  // Not virtual: a stream seen only as VStream goes through Destroy (or VStreamPtr).
  ~VStream() = default;
};

static_assert(std::is_standard_layout_v<VStream>);
ORBISK_LAYOUT_OFFSET(VStream, ops, 0);
ORBISK_LAYOUT_OFFSET(VStream, swap, 4);

// Owns a heap stream of any module.
struct VStreamDeleter {
  void operator()(VStream* stream) const { stream->Destroy(kStreamFreeStorage); }
};
using VStreamPtr = std::unique_ptr<VStream, VStreamDeleter>;
