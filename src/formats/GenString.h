// gen::basic_string<char>: the 8-bit string shared with format plug-ins.
//
// A plug-in may be built against another C runtime, so the characters of a string are
// only ever (re)allocated by the module that created it: every change goes through the
// C table stored in the object, and the inline members below call that table too. A
// plug-in that appends to a host string therefore grows it with the host's code.
// Strings are counted, so binary content with NULs (signature masks) is fine.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/GenError.h"
#include "platform/Abi.h"

namespace gen {

struct StringRecord;

// Destroy flag of the gen containers: also free the object's storage with the `delete`
// of the module that created it.
constexpr uint32_t kFreeStorage = 1;

// Slot order is part of the plug-in interface. Counts exclude the terminating NUL;
// false means the size would not fit in 32 bits or memory is short.
struct StringTable {
  void(ORBISK_CDECL* Destroy)(StringRecord* self, uint32_t flags);                // 0
  bool(ORBISK_CDECL* Assign)(StringRecord* self, const char* chars, uint32_t n);  // 1
  bool(ORBISK_CDECL* Append)(StringRecord* self, const char* chars, uint32_t n);  // 2
  bool(ORBISK_CDECL* Reserve)(StringRecord* self, uint32_t n);                    // 3
};

// What a plug-in sees.
struct StringRecord {
  const StringTable* table;
  uint32_t length;           // characters + 1 for the NUL; 0 while never assigned
  uint32_t capacity;         // bytes at chars
  uint32_t initialCapacity;  // the first allocation
  uint32_t growStep;         // every later growth, so capacity = initial + k * step
  char* chars;
};

ORBISK_LAYOUT_SIZE(StringTable, 16);
ORBISK_LAYOUT_SIZE(StringRecord, 24);
ORBISK_LAYOUT_OFFSET(StringRecord, table, 0);
ORBISK_LAYOUT_OFFSET(StringRecord, length, 4);
ORBISK_LAYOUT_OFFSET(StringRecord, capacity, 8);
ORBISK_LAYOUT_OFFSET(StringRecord, initialCapacity, 12);
ORBISK_LAYOUT_OFFSET(StringRecord, growStep, 16);
ORBISK_LAYOUT_OFFSET(StringRecord, chars, 20);

// The table of strings created by this module; its slots use this module's heap.
extern const StringTable kStringTable;

template <class CharT>
class basic_string;

template <>
class basic_string<char> {
 public:
  static constexpr uint32_t kInitialCapacity = 64;
  static constexpr uint32_t kGrowStep = 32;

  basic_string() noexcept : rec_{&kStringTable, 0, 0, kInitialCapacity, kGrowStep, nullptr} {}
  basic_string(std::string_view text) : basic_string() { assign(text); }
  basic_string(const char* text) : basic_string(Safe(text)) {}
  basic_string(const basic_string& other) : basic_string() { *this = other; }
  // The characters travel with the table that manages them.
  basic_string(basic_string&& other) noexcept : rec_(other.rec_) { other.Forget(); }
  ~basic_string() { rec_.table->Destroy(&rec_, 0); }

  basic_string& operator=(const basic_string& other) {
    if (other.rec_.length == 0) {
      clear();
    } else {
      assign(other.view());
    }
    return *this;
  }
  basic_string& operator=(basic_string&& other) noexcept {
    if (this != &other) {
      rec_.table->Destroy(&rec_, 0);
      rec_ = other.rec_;
      other.Forget();
    }
    return *this;
  }
  basic_string& operator=(std::string_view text) { return assign(text); }
  basic_string& operator=(const char* text) { return assign(Safe(text)); }

  basic_string& assign(const char* chars, size_t n) {
    if (!rec_.table->Assign(&rec_, chars, Count(n))) throw genlib_out_of_memory();
    return *this;
  }
  basic_string& assign(std::string_view text) { return assign(text.data(), text.size()); }
  basic_string& append(const char* chars, size_t n) {
    if (!rec_.table->Append(&rec_, chars, Count(n))) throw genlib_out_of_memory();
    return *this;
  }
  basic_string& append(std::string_view text) { return append(text.data(), text.size()); }
  basic_string& operator+=(std::string_view text) { return append(text); }
  basic_string& operator+=(char c) { return append(&c, 1); }
  void reserve(size_t n) {
    if (!rec_.table->Reserve(&rec_, Count(n))) throw genlib_out_of_memory();
  }
  // Keeps the storage; a never-assigned string stays so.
  void clear() noexcept {
    if (rec_.length != 0) {
      rec_.chars[0] = '\0';
      rec_.length = 1;
    }
  }

  const char* c_str() const noexcept { return rec_.length ? rec_.chars : ""; }
  const char* data() const noexcept { return c_str(); }
  uint32_t size() const noexcept { return rec_.length ? rec_.length - 1 : 0; }
  uint32_t length() const noexcept { return size(); }
  uint32_t capacity() const noexcept { return rec_.capacity; }
  bool empty() const noexcept { return size() == 0; }
  std::string_view view() const noexcept { return {c_str(), size()}; }
  operator std::string_view() const noexcept { return view(); }
  std::string str() const { return std::string(view()); }

  // Two gen strings compare through their conversion to std::string_view.
  friend bool operator==(const basic_string& a, std::string_view b) noexcept {
    return a.view() == b;
  }
  friend std::strong_ordering operator<=>(const basic_string& a, std::string_view b) noexcept {
    return a.view() <=> b;
  }

  // The record handed to plug-ins (the same address as the object).
  StringRecord* record() noexcept { return &rec_; }
  const StringRecord* record() const noexcept { return &rec_; }

 private:
  static std::string_view Safe(const char* text) { return text ? text : ""; }
  static uint32_t Count(size_t n) {
    if (n >= UINT32_MAX) throw genlib_out_of_memory();  // no room for the NUL
    return uint32_t(n);
  }
  void Forget() noexcept {
    rec_.length = rec_.capacity = 0;
    rec_.chars = nullptr;
  }

  StringRecord rec_;
};

using string = basic_string<char>;

static_assert(std::is_standard_layout_v<string>);
ORBISK_LAYOUT_SIZE(string, 24);

}  // namespace gen
