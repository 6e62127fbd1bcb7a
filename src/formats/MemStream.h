// A stream over a memory block: borrowed from the caller (fixed length, written in
// place, never grown or freed) or owned and growing in steps.
#pragma once

#include <cstdarg>

#include "formats/Stream.h"

class VMemStream final : public VStream {
 public:
  using AllocateFn = void*(ORBISK_CDECL*)(size_t size);
  using ReleaseFn = void(ORBISK_CDECL*)(void* block);
  using ReallocateFn = void*(ORBISK_CDECL*)(void* block, size_t size);

  static constexpr uint64_t kInitialCapacity = 65535;
  static constexpr uint64_t kGrowthStep = 65535;
  // No block we keep in memory comes near this; refusing earlier keeps nonsense sizes
  // (from a plug-in or a damaged file) away from the allocator.
  static constexpr uint64_t kMaxCapacity =
      sizeof(void*) == 4 ? uint64_t(0x7FFFFFFF) : uint64_t(1) << 40;

  // Owned: an initial block of kInitialCapacity bytes from malloc; when that fails the
  // error flag is set and every write is refused.
  VMemStream() noexcept;
  // Borrowed: the caller keeps the block alive for the stream's lifetime.
  VMemStream(void* data, size_t size) noexcept;
  ~VMemStream() { Close(); }

  uint8_t* Data() const { return data_; }
  uint64_t Length() const { return length_; }
  uint64_t Position() const { return position_; }
  uint64_t Capacity() const { return capacity_; }

  // Hands an owned block over (null for a borrowed stream); the caller frees it with
  // free(). Read Length() first: the stream is left empty, as after Close.
  void* Detach() noexcept;

  // The operations of the table (see VStream).
  bool Seek(int64_t offset, int origin) noexcept;
  bool Eof() noexcept { return eof_ != 0; }
  bool IsNull() noexcept { return length_ == 0; }
  bool Error() noexcept { return error_ != 0; }
  int64_t Tell() noexcept { return int64_t(position_); }
  bool SetPos(int64_t pos) noexcept { return Seek(pos, kStreamBegin); }
  int64_t Size() noexcept { return int64_t(length_); }
  // Owned blocks only: the block becomes exactly `size` bytes (new bytes read as zeros);
  // 0 and sizes beyond kMaxCapacity are refused.
  bool SetSize(int64_t size) noexcept;
  int GetC() noexcept;
  uint16_t ReadU16() noexcept;
  uint32_t ReadU32() noexcept;
  uint64_t ReadU64() noexcept;
  float ReadF32() noexcept;
  double ReadF64() noexcept;
  size_t Read(void* buf, size_t size, size_t count) noexcept;
  // A line ends at LF or CR; an LF or CR right after it belongs to the same line end.
  char* Gets(char* buf, int n) noexcept;
  int PutC(int ch) noexcept;
  size_t Write(const void* buf, size_t size, size_t count) noexcept;
  void Puts(const char* text) noexcept;
  void Printf(const char* format, ...) noexcept;
  void VPrintf(const char* format, va_list args) noexcept;
  void Close() noexcept;

 private:
  friend struct VMemStreamLayout;  // the 32-bit layout checks
  static const VStreamOps kOps;

  template <class T>
  T ReadValue() noexcept;
  bool Reallocate(uint64_t newCapacity) noexcept;
  void Reset() noexcept;

  // Plug-ins read these fields directly: their order is fixed.
  uint8_t* data_ = nullptr;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
  uint64_t growStep_ = 0;
  uint64_t capacity_ = 0;
  uint8_t borrowed_ = 0;
  uint8_t eof_ = 0;
  uint8_t error_ = 0;
  AllocateFn allocate_ = nullptr;
  ReleaseFn release_ = nullptr;
  ReallocateFn reallocate_ = nullptr;  // optional
};
