#include "formats/StdioFileStream.h"

#include <cstring>
#include <string>

#include "formats/StreamSlots.h"

// C-runtime calls only (no Windows API): the 64-bit seek, stat and truncate of each
// runtime, and wide-path opening, which only the Windows runtime has.
#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/Text.h"

static_assert(sizeof(off_t) == 8, "64-bit file offsets");
#endif

namespace {

int SeekFile(FILE* file, int64_t offset, int origin) {
#if defined(_WIN32)
  return _fseeki64(file, offset, origin);
#else
  return fseeko(file, off_t(offset), origin);
#endif
}

int64_t TellFile(FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return int64_t(ftello(file));
#endif
}

}  // namespace

struct VStdioFileStreamLayout {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
  ORBISK_LAYOUT_OFFSET(VStdioFileStream, file_, 8);
  ORBISK_LAYOUT_SIZE(VStdioFileStream, 12);
#pragma GCC diagnostic pop
};

using WideOpen = bool (VStdioFileStream::*)(const char16_t*, const char16_t*) noexcept;
using NarrowOpen = bool (VStdioFileStream::*)(const char*, const char*) noexcept;

const VStreamOps VStdioFileStream::kOps = [] {
  VStreamOps ops = VStreamOpsOf<VStdioFileStream>();
  ops.OpenWide = VStreamSlot<WideOpen{&VStdioFileStream::Open}>::Call;
  ops.Open = VStreamSlot<NarrowOpen{&VStdioFileStream::Open}>::Call;
  ops.FileSize = VStreamSlot<&VStdioFileStream::FileSize>::Call;
  ops.Flush = VStreamSlot<&VStdioFileStream::Flush>::Call;
  return ops;
}();

VStdioFileStream::VStdioFileStream() noexcept : VStream(&kOps) {}

bool VStdioFileStream::Open(const char16_t* path, const char16_t* mode) noexcept {
  if (!path || !mode) return false;
  Close();
#if defined(_WIN32)
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  file_ = _wfopen(reinterpret_cast<const wchar_t*>(path), reinterpret_cast<const wchar_t*>(mode));
#else
  try {
    std::string utf8Path = platform::Utf8FromUtf16(path);
    std::string utf8Mode = platform::Utf8FromUtf16(mode);
    file_ = std::fopen(utf8Path.c_str(), utf8Mode.c_str());
  } catch (...) {  // out of memory: nothing may leave a stream operation
    file_ = nullptr;
  }
#endif
  return file_ != nullptr;
}

bool VStdioFileStream::Open(const char* path, const char* mode) noexcept {
  if (!path || !mode) return false;
  Close();
  file_ = std::fopen(path, mode);
  return file_ != nullptr;
}

bool VStdioFileStream::Seek(int64_t offset, int origin) noexcept {
  if (!file_ || origin < kStreamBegin || origin > kStreamEnd) return false;
  return SeekFile(file_, offset, origin) == 0;
}

bool VStdioFileStream::Eof() noexcept { return !file_ || std::feof(file_) != 0; }

bool VStdioFileStream::Error() noexcept { return file_ && std::ferror(file_) != 0; }

int64_t VStdioFileStream::Tell() noexcept { return file_ ? TellFile(file_) : -1; }

int64_t VStdioFileStream::Size() noexcept {
  if (!file_) return 0;
  int64_t pos = Tell();
  if (pos < 0 || !Seek(0, kStreamEnd)) return 0;
  int64_t size = Tell();
  SetPos(pos);
  return size < 0 ? 0 : size;
}

int64_t VStdioFileStream::FileSize() noexcept {
  if (!file_) return 0;
#if defined(_WIN32)
  struct _stat64 info;
  if (_fstat64(_fileno(file_), &info) != 0) return 0;
#else
  struct stat info;
  if (fstat(fileno(file_), &info) != 0) return 0;
#endif
  return int64_t(info.st_size);
}

bool VStdioFileStream::SetSize(int64_t size) noexcept {
  if (!file_ || size < 0 || !Seek(size, kStreamBegin)) return false;
  if (std::fflush(file_) != 0) return false;
#if defined(_WIN32)
  return _chsize_s(_fileno(file_), size) == 0;
#else
  return ftruncate(fileno(file_), off_t(size)) == 0;
#endif
}

int VStdioFileStream::GetC() noexcept { return file_ ? std::getc(file_) : EOF; }

template <class T>
T VStdioFileStream::ReadValue() noexcept {
  T value;
  if (!file_ || std::fread(&value, sizeof(T), 1, file_) != 1) return T(0);
  return StreamByteOrder(value, swap);
}

uint16_t VStdioFileStream::ReadU16() noexcept { return ReadValue<uint16_t>(); }
uint32_t VStdioFileStream::ReadU32() noexcept { return ReadValue<uint32_t>(); }
uint64_t VStdioFileStream::ReadU64() noexcept { return ReadValue<uint64_t>(); }
float VStdioFileStream::ReadF32() noexcept { return ReadValue<float>(); }
double VStdioFileStream::ReadF64() noexcept { return ReadValue<double>(); }

size_t VStdioFileStream::Read(void* buf, size_t size, size_t count) noexcept {
  size_t total;  // the C library does not check size x count for overflow
  if (!file_ || !buf || !StreamByteCount(size, count, &total) || total == 0) return 0;
  return std::fread(buf, size, count, file_);
}

char* VStdioFileStream::Gets(char* buf, int n) noexcept {
  if (!file_ || !buf || n <= 0) return nullptr;
  return std::fgets(buf, n, file_);
}

int VStdioFileStream::PutC(int ch) noexcept { return file_ ? std::fputc(ch, file_) : EOF; }

size_t VStdioFileStream::Write(const void* buf, size_t size, size_t count) noexcept {
  size_t total;
  if (!file_ || !buf || !StreamByteCount(size, count, &total) || total == 0) return 0;
  return std::fwrite(buf, size, count, file_);
}

void VStdioFileStream::Puts(const char* text) noexcept {
  if (file_ && text) std::fputs(text, file_);
}

void VStdioFileStream::Printf(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  VPrintf(format, args);
  va_end(args);
}

void VStdioFileStream::VPrintf(const char* format, va_list args) noexcept {
  if (file_ && format) std::vfprintf(file_, format, args);
}

void VStdioFileStream::Flush() noexcept {
  if (file_) std::fflush(file_);
}

void VStdioFileStream::Close() noexcept {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}
