#include "formats/MemStream.h"

#include <cstdio>
#include <cstdlib>

#include "formats/StreamSlots.h"

namespace {

void* ORBISK_CDECL HeapAllocate(size_t size) { return std::malloc(size); }
void* ORBISK_CDECL HeapReallocate(void* block, size_t size) { return std::realloc(block, size); }
void ORBISK_CDECL HeapRelease(void* block) {
  if (block) std::free(block);
}

}  // namespace

// The i686 offsets that follow from the fixed field order.
struct VMemStreamLayout {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
  ORBISK_LAYOUT_OFFSET(VMemStream, data_, 8);
  ORBISK_LAYOUT_OFFSET(VMemStream, length_, 16);
  ORBISK_LAYOUT_OFFSET(VMemStream, position_, 24);
  ORBISK_LAYOUT_OFFSET(VMemStream, growStep_, 32);
  ORBISK_LAYOUT_OFFSET(VMemStream, capacity_, 40);
  ORBISK_LAYOUT_OFFSET(VMemStream, borrowed_, 48);
  ORBISK_LAYOUT_OFFSET(VMemStream, eof_, 49);
  ORBISK_LAYOUT_OFFSET(VMemStream, error_, 50);
  ORBISK_LAYOUT_OFFSET(VMemStream, allocate_, 52);
  ORBISK_LAYOUT_OFFSET(VMemStream, release_, 56);
  ORBISK_LAYOUT_OFFSET(VMemStream, reallocate_, 60);
  ORBISK_LAYOUT_SIZE(VMemStream, 64);
#pragma GCC diagnostic pop
};

const VStreamOps VMemStream::kOps = VStreamOpsOf<VMemStream>();

VMemStream::VMemStream() noexcept
    : VStream(&kOps),
      growStep_(kGrowthStep),
      allocate_(HeapAllocate),
      release_(HeapRelease),
      reallocate_(HeapReallocate) {
  data_ = static_cast<uint8_t*>(allocate_(size_t(kInitialCapacity)));
  if (data_) {
    capacity_ = kInitialCapacity;
  } else {
    error_ = 1;
  }
}

VMemStream::VMemStream(void* data, size_t size) noexcept
    : VStream(&kOps),
      data_(static_cast<uint8_t*>(data)),
      length_(data ? size : 0),
      capacity_(length_),
      borrowed_(1) {}

void* VMemStream::Detach() noexcept {
  if (borrowed_) return nullptr;
  void* block = data_;
  Reset();
  return block;
}

bool VMemStream::Seek(int64_t offset, int origin) noexcept {
  uint64_t base;
  switch (origin) {
    case kStreamBegin:
      base = 0;
      break;
    case kStreamCurrent:
      base = position_;
      break;
    case kStreamEnd:
      base = length_;
      break;
    default:
      return false;
  }
  // Target in [0, length], computed without overflow.
  uint64_t magnitude = offset < 0 ? uint64_t(0) - uint64_t(offset) : uint64_t(offset);
  if (offset < 0 ? magnitude > base : magnitude > length_ - base) return false;
  position_ = offset < 0 ? base - magnitude : base + magnitude;
  eof_ = 0;
  return true;
}

bool VMemStream::SetSize(int64_t size) noexcept {
  if (borrowed_ || size <= 0) return false;
  uint64_t newSize = uint64_t(size);
  if (newSize == length_) return true;
  uint64_t oldLength = length_;
  if (!Reallocate(newSize)) return false;
  // Bytes that were never written read as zeros rather than leftover heap contents.
  if (newSize > oldLength) std::memset(data_ + oldLength, 0, size_t(newSize - oldLength));
  capacity_ = newSize;
  length_ = newSize;
  if (position_ >= newSize) position_ = 0;
  return true;
}

int VMemStream::GetC() noexcept {
  if (position_ >= length_) {
    eof_ = 1;
    return 0;
  }
  return data_[position_++];
}

template <class T>
T VMemStream::ReadValue() noexcept {
  if (length_ - position_ < sizeof(T)) {
    eof_ = 1;
    return T(0);
  }
  T value;
  std::memcpy(&value, data_ + position_, sizeof(T));
  position_ += sizeof(T);
  return StreamByteOrder(value, swap);
}

uint16_t VMemStream::ReadU16() noexcept { return ReadValue<uint16_t>(); }
uint32_t VMemStream::ReadU32() noexcept { return ReadValue<uint32_t>(); }
uint64_t VMemStream::ReadU64() noexcept { return ReadValue<uint64_t>(); }
float VMemStream::ReadF32() noexcept { return ReadValue<float>(); }
double VMemStream::ReadF64() noexcept { return ReadValue<double>(); }

size_t VMemStream::Read(void* buf, size_t size, size_t count) noexcept {
  size_t wanted;
  if (!buf || !StreamByteCount(size, count, &wanted) || wanted == 0) return 0;
  uint64_t remaining = length_ - position_;
  size_t copied = remaining < wanted ? size_t(remaining) : wanted;
  if (copied) std::memcpy(buf, data_ + position_, copied);
  position_ += copied;
  if (copied < wanted) eof_ = 1;  // the request reached past the end
  return copied / size;
}

char* VMemStream::Gets(char* buf, int n) noexcept {
  if (eof_ || !buf || n <= 0) return nullptr;
  int count = 0;
  while (count < n - 1) {
    if (position_ >= length_) {
      eof_ = 1;
      if (count == 0) return nullptr;
      break;
    }
    char ch = char(data_[position_++]);
    buf[count++] = ch;
    if (ch == '\n' || ch == '\r') {
      // A CR LF or LF CR pair (or two equal line ends) ends one line.
      if (position_ < length_ && (data_[position_] == '\n' || data_[position_] == '\r')) {
        ++position_;
      }
      break;
    }
  }
  buf[count] = '\0';
  return buf;
}

int VMemStream::PutC(int ch) noexcept {
  unsigned char byte = static_cast<unsigned char>(ch);
  if (borrowed_) {
    if (position_ >= length_) return EOF;
    data_[position_++] = byte;
    return byte;
  }
  return Write(&byte, 1, 1) == 1 ? byte : EOF;
}

size_t VMemStream::Write(const void* buf, size_t size, size_t count) noexcept {
  size_t total;
  if (error_ || !buf || !StreamByteCount(size, count, &total) || total == 0) return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(buf);
  if (borrowed_) {
    uint64_t room = length_ - position_;
    size_t copied = room < total ? size_t(room) : total;
    if (copied) std::memcpy(data_ + position_, bytes, copied);
    position_ += copied;
    return copied / size;
  }
  uint64_t room = capacity_ - position_;
  size_t first = room < total ? size_t(room) : total;
  if (first) std::memcpy(data_ + position_, bytes, first);
  position_ += first;
  if (position_ > length_) length_ = position_;
  size_t rest = total - first;
  if (rest) {
    length_ = position_ = capacity_;
    uint64_t step = rest > growStep_ ? rest : growStep_;
    if (step > kMaxCapacity - capacity_ || !Reallocate(capacity_ + step)) {
      error_ = 1;
      return 0;
    }
    capacity_ += step;
    std::memcpy(data_ + position_, bytes + first, rest);
    position_ += rest;
    length_ += rest;
  }
  return total / size;
}

void VMemStream::Puts(const char* text) noexcept {
  if (text) Write(text, 1, std::strlen(text));
}

void VMemStream::Printf(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  VPrintf(format, args);
  va_end(args);
}

void VMemStream::VPrintf(const char* format, va_list args) noexcept {
  if (!format) return;
  char text[1024];
  int produced = std::vsnprintf(text, sizeof(text), format, args);
  if (produced <= 0) return;
  size_t kept = size_t(produced) < sizeof(text) ? size_t(produced) : sizeof(text) - 1;
  Write(text, 1, kept);
}

void VMemStream::Close() noexcept {
  if (borrowed_) return;
  if (release_) release_(data_);
  Reset();
}

void VMemStream::Reset() noexcept {
  data_ = nullptr;
  position_ = length_ = capacity_ = 0;
  eof_ = error_ = 0;
}

// Moves the block to one of exactly newCapacity bytes, keeping what fits; on failure the
// old block stays as it was.
bool VMemStream::Reallocate(uint64_t newCapacity) noexcept {
  if (newCapacity == 0 || newCapacity > kMaxCapacity) return false;
  size_t bytes = size_t(newCapacity);
  uint8_t* block;
  if (reallocate_) {
    block = static_cast<uint8_t*>(reallocate_(data_, bytes));
    if (!block) return false;
  } else {
    if (!allocate_) return false;
    block = static_cast<uint8_t*>(allocate_(bytes));
    if (!block) return false;
    size_t kept = length_ < newCapacity ? size_t(length_) : bytes;
    if (kept) std::memcpy(block, data_, kept);
    if (release_) release_(data_);
  }
  data_ = block;
  return true;
}
