// A stream over a C-library FILE, opened by an 8-bit or a UTF-16 path.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "formats/Stream.h"

class VStdioFileStream final : public VStream {
 public:
  VStdioFileStream() noexcept;
  ~VStdioFileStream() { Close(); }

  // The operations of the table (see VStream). Typed reads that find fewer bytes than
  // they need return 0 and leave the stream at its end (Eof() is true); the bytes they
  // found are consumed.
  bool Open(const char16_t* path, const char16_t* mode) noexcept;
  bool Open(const char* path, const char* mode) noexcept;
  bool Seek(int64_t offset, int origin) noexcept;
  bool Eof() noexcept;
  bool IsNull() noexcept { return file_ == nullptr; }
  bool Error() noexcept;
  int64_t Tell() noexcept;
  bool SetPos(int64_t pos) noexcept { return Seek(pos, kStreamBegin); }
  int64_t Size() noexcept;
  // What the file system reports; bytes still in the write buffer are not counted.
  int64_t FileSize() noexcept;
  bool SetSize(int64_t size) noexcept;
  int GetC() noexcept;
  uint16_t ReadU16() noexcept;
  uint32_t ReadU32() noexcept;
  uint64_t ReadU64() noexcept;
  float ReadF32() noexcept;
  double ReadF64() noexcept;
  size_t Read(void* buf, size_t size, size_t count) noexcept;
  char* Gets(char* buf, int n) noexcept;
  int PutC(int ch) noexcept;
  size_t Write(const void* buf, size_t size, size_t count) noexcept;
  void Puts(const char* text) noexcept;
  void Printf(const char* format, ...) noexcept;
  void VPrintf(const char* format, va_list args) noexcept;
  void Flush() noexcept;
  void Close() noexcept;

 private:
  friend struct VStdioFileStreamLayout;  // the 32-bit layout checks
  static const VStreamOps kOps;

  template <class T>
  T ReadValue() noexcept;

  FILE* file_ = nullptr;
};
