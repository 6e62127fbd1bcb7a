// gen::byte_array: a counted block of bytes shared with format plug-ins (the
// metadata blocks of pages). Same shape and rules as gen::basic_string<char>: the
// bytes are only ever (re)allocated through the C table stored in the object, i.e.
// by the module that created it, and there is no terminating NUL.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "formats/GenError.h"
#include "formats/GenString.h"  // kFreeStorage
#include "platform/Abi.h"

namespace gen {

struct ByteArrayRecord;

// Slot order is part of the plug-in interface; false means the size would not fit in
// 32 bits or memory is short.
struct ByteArrayTable {
  void(ORBISK_CDECL* Destroy)(ByteArrayRecord* self, uint32_t flags);                // 0
  bool(ORBISK_CDECL* Assign)(ByteArrayRecord* self, const void* bytes, uint32_t n);  // 1
  bool(ORBISK_CDECL* Append)(ByteArrayRecord* self, const void* bytes, uint32_t n);  // 2
  bool(ORBISK_CDECL* Reserve)(ByteArrayRecord* self, uint32_t n);                    // 3
};

// What a plug-in sees.
struct ByteArrayRecord {
  const ByteArrayTable* table;
  uint32_t size;             // bytes in use
  uint32_t capacity;         // bytes at data
  uint32_t initialCapacity;  // the first allocation
  uint32_t growStep;         // every later growth
  uint8_t* data;
};

ORBISK_LAYOUT_SIZE(ByteArrayTable, 16);
ORBISK_LAYOUT_SIZE(ByteArrayRecord, 24);
ORBISK_LAYOUT_OFFSET(ByteArrayRecord, size, 4);
ORBISK_LAYOUT_OFFSET(ByteArrayRecord, data, 20);

// The table of byte arrays created by this module; its slots use this module's heap.
extern const ByteArrayTable kByteArrayTable;

class byte_array {
 public:
  static constexpr uint32_t kInitialCapacity = 64;
  static constexpr uint32_t kGrowStep = 32;

  byte_array() noexcept : rec_{&kByteArrayTable, 0, 0, kInitialCapacity, kGrowStep, nullptr} {}
  byte_array(const byte_array& other) : byte_array() { assign(other.data(), other.size()); }
  byte_array(byte_array&& other) noexcept : rec_(other.rec_) { other.Forget(); }
  ~byte_array() { rec_.table->Destroy(&rec_, 0); }
  byte_array& operator=(const byte_array& other) {
    if (this != &other) assign(other.data(), other.size());
    return *this;
  }
  byte_array& operator=(byte_array&& other) noexcept {
    if (this != &other) {
      rec_.table->Destroy(&rec_, 0);
      rec_ = other.rec_;
      other.Forget();
    }
    return *this;
  }

  byte_array& assign(const void* bytes, size_t n) {
    if (!rec_.table->Assign(&rec_, bytes, Count(n))) throw genlib_out_of_memory();
    return *this;
  }
  byte_array& append(const void* bytes, size_t n) {
    if (!rec_.table->Append(&rec_, bytes, Count(n))) throw genlib_out_of_memory();
    return *this;
  }
  void clear() noexcept { rec_.size = 0; }

  const uint8_t* data() const noexcept { return rec_.data; }
  uint8_t* data() noexcept { return rec_.data; }
  uint32_t size() const noexcept { return rec_.size; }
  bool empty() const noexcept { return rec_.size == 0; }
  std::string_view view() const noexcept {
    return {reinterpret_cast<const char*>(rec_.data), rec_.size};
  }

  ByteArrayRecord* record() noexcept { return &rec_; }
  const ByteArrayRecord* record() const noexcept { return &rec_; }

 private:
  static uint32_t Count(size_t n) {
    if (n > UINT32_MAX) throw genlib_out_of_memory();
    return uint32_t(n);
  }
  void Forget() noexcept {
    rec_.size = rec_.capacity = 0;
    rec_.data = nullptr;
  }

  ByteArrayRecord rec_;
};

static_assert(std::is_standard_layout_v<byte_array>);
ORBISK_LAYOUT_SIZE(byte_array, 24);

}  // namespace gen
