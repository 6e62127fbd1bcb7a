// gen::array_ptr<T>: an owning array of pointers shared with format plug-ins.
//
// The array carries its own reallocation and release functions, so a plug-in built
// against another C runtime can append to a host array: when count reaches capacity
// it grows the block by the growth step with the stored function. Deleting elements
// goes through the C table stored in the object, i.e. through the code of the module
// that created the array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "formats/GenError.h"
#include "formats/GenString.h"  // kFreeStorage
#include "platform/Abi.h"

namespace gen {

struct ArrayRecord;

using ReallocFunc = void*(ORBISK_CDECL*)(void* block, size_t bytes);
using ReleaseFunc = void(ORBISK_CDECL*)(void* block);

// Slot order is part of the plug-in interface.
struct ArrayTable {
  // Deletes the elements when owning, releases the block; kFreeStorage also frees
  // the array object.
  void(ORBISK_CDECL* Destroy)(ArrayRecord* self, uint32_t flags);  // 0
  // Appends one element, growing by growStep when full; false when memory is short.
  bool(ORBISK_CDECL* Add)(ArrayRecord* self, void* element);  // 1
  // Deletes one element the way the array's creator allocated it.
  void(ORBISK_CDECL* DeleteElement)(ArrayRecord* self, void* element);  // 2
};

// What a plug-in sees.
struct ArrayRecord {
  const ArrayTable* table;
  uint32_t count;
  uint32_t capacity;
  uint32_t initialCapacity;  // the first block
  uint32_t growStep;         // added whenever count reaches capacity
  uint8_t owns;              // 1: the array deletes its elements
  void** items;
  ReallocFunc reallocate;  // null: the C library's realloc
  ReleaseFunc release;     // null: the C library's free
};

ORBISK_LAYOUT_SIZE(ArrayTable, 12);
ORBISK_LAYOUT_SIZE(ArrayRecord, 36);
ORBISK_LAYOUT_OFFSET(ArrayRecord, table, 0);
ORBISK_LAYOUT_OFFSET(ArrayRecord, count, 4);
ORBISK_LAYOUT_OFFSET(ArrayRecord, capacity, 8);
ORBISK_LAYOUT_OFFSET(ArrayRecord, initialCapacity, 12);
ORBISK_LAYOUT_OFFSET(ArrayRecord, growStep, 16);
ORBISK_LAYOUT_OFFSET(ArrayRecord, owns, 20);
ORBISK_LAYOUT_OFFSET(ArrayRecord, items, 24);
ORBISK_LAYOUT_OFFSET(ArrayRecord, reallocate, 28);
ORBISK_LAYOUT_OFFSET(ArrayRecord, release, 32);

namespace detail {

// This module's C heap, stored in the arrays it creates.
inline void* ORBISK_CDECL CRealloc(void* block, size_t bytes) { return std::realloc(block, bytes); }
inline void ORBISK_CDECL CFree(void* block) { std::free(block); }

// Makes room for one more element when count has reached capacity.
inline bool GrowArray(ArrayRecord* a) noexcept {
  if (a->count < a->capacity) return true;
  uint64_t capacity = a->capacity ? uint64_t(a->capacity) + a->growStep : a->initialCapacity;
  if (capacity <= a->capacity || capacity > UINT32_MAX || capacity > SIZE_MAX / sizeof(void*))
    return false;
  void* block = a->reallocate ? a->reallocate(a->items, size_t(capacity) * sizeof(void*))
                              : std::realloc(a->items, size_t(capacity) * sizeof(void*));
  if (!block) return false;
  a->items = static_cast<void**>(block);
  a->capacity = uint32_t(capacity);
  return true;
}

inline void ReleaseBlock(ArrayRecord* a) noexcept {
  if (a->release) {
    a->release(a->items);
  } else {
    std::free(a->items);
  }
  a->items = nullptr;
  a->count = a->capacity = 0;
}

}  // namespace detail

// An element type whose objects a plug-in may create (pages) starts with a table of
// the creating module's functions and says so with a static DestroyElement(T*) that
// destroys an element through that table; the array then never deletes one itself.
template <class T>
concept DestroysThroughOwnTable = requires(T* element) {
  { T::DestroyElement(element) }
  noexcept;
};

template <class T>
class array_ptr {
 public:
  static constexpr uint32_t kInitialCapacity = 64;
  static constexpr uint32_t kGrowStep = 32;

  // Read-only view of the elements as T*.
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = T*;
    using difference_type = ptrdiff_t;
    using pointer = void;
    using reference = T*;

    iterator() = default;
    explicit iterator(void* const* at) : at_(at) {}
    T* operator*() const { return static_cast<T*>(*at_); }
    iterator& operator++() {
      ++at_;
      return *this;
    }
    iterator operator++(int) { return iterator(at_++); }
    bool operator==(const iterator&) const = default;
    difference_type operator-(const iterator& other) const { return at_ - other.at_; }

   private:
    void* const* at_ = nullptr;
  };

  explicit array_ptr(bool ownsElements = true) noexcept
      : rec_{.table = &kTable,
             .count = 0,
             .capacity = 0,
             .initialCapacity = kInitialCapacity,
             .growStep = kGrowStep,
             .owns = uint8_t(ownsElements),
             .items = nullptr,
             .reallocate = &detail::CRealloc,
             .release = &detail::CFree} {}
  ~array_ptr() { rec_.table->Destroy(&rec_, 0); }
  array_ptr(const array_ptr&) = delete;
  array_ptr& operator=(const array_ptr&) = delete;
  // Elements and block travel with the table and functions that manage them.
  array_ptr(array_ptr&& other) noexcept : rec_(other.rec_) { other.Forget(); }
  array_ptr& operator=(array_ptr&& other) noexcept {
    if (this != &other) {
      rec_.table->Destroy(&rec_, 0);
      rec_ = other.rec_;
      other.Forget();
    }
    return *this;
  }

  // On failure (genlib_out_of_memory) the caller still owns the element.
  void Add(T* element) {
    if (!rec_.table->Add(&rec_, element)) throw genlib_out_of_memory();
  }
  void push_back(T* element) { Add(element); }
  void Insert(uint32_t index, T* element) {
    if (index > rec_.count) throw genlib_out_of_range();
    if (!detail::GrowArray(&rec_)) throw genlib_out_of_memory();
    std::memmove(rec_.items + index + 1, rec_.items + index, (rec_.count - index) * sizeof(void*));
    rec_.items[index] = element;
    ++rec_.count;
  }
  // Deletes the element when the array owns it.
  void Remove(uint32_t index) {
    T* element = Detach(index);
    if (rec_.owns) rec_.table->DeleteElement(&rec_, element);
  }
  // Takes the element out without deleting it.
  T* Detach(uint32_t index) {
    if (index >= rec_.count) throw genlib_out_of_range();
    void* element = rec_.items[index];
    std::memmove(rec_.items + index, rec_.items + index + 1,
                 (rec_.count - index - 1) * sizeof(void*));
    --rec_.count;
    return static_cast<T*>(element);
  }
  // Keeps the block for the next elements.
  void Clear() noexcept {
    while (rec_.count > 0) {
      void* element = rec_.items[--rec_.count];
      if (rec_.owns) rec_.table->DeleteElement(&rec_, element);
    }
  }

  T* operator[](uint32_t index) const noexcept { return static_cast<T*>(rec_.items[index]); }
  T* at(uint32_t index) const {
    if (index >= rec_.count) throw genlib_out_of_range();
    return (*this)[index];
  }
  uint32_t size() const noexcept { return rec_.count; }
  uint32_t capacity() const noexcept { return rec_.capacity; }
  bool empty() const noexcept { return rec_.count == 0; }
  iterator begin() const noexcept { return iterator(rec_.items); }
  iterator end() const noexcept { return iterator(rec_.items + rec_.count); }

  bool OwnsElements() const noexcept { return rec_.owns != 0; }
  void SetOwnsElements(bool owns) noexcept { rec_.owns = uint8_t(owns); }

  // The record handed to plug-ins (the same address as the object).
  ArrayRecord* record() noexcept { return &rec_; }
  const ArrayRecord* record() const noexcept { return &rec_; }

 private:
  static const ArrayTable kTable;

  static void ORBISK_CDECL DestroySlot(ArrayRecord* self, uint32_t flags) noexcept {
    if (self->owns) {
      for (uint32_t i = 0; i < self->count; ++i) DeleteSlot(self, self->items[i]);
    }
    detail::ReleaseBlock(self);
    if (flags & kFreeStorage) ::operator delete(self);
  }
  static bool ORBISK_CDECL AddSlot(ArrayRecord* self, void* element) noexcept {
    if (!detail::GrowArray(self)) return false;
    self->items[self->count++] = element;
    return true;
  }
  // Elements the program created with new go with delete; elements that another module
  // may have created (see DestroysThroughOwnTable) go through their own table.
  static void ORBISK_CDECL DeleteSlot(ArrayRecord*, void* element) noexcept {
    if (!element) return;
    if constexpr (DestroysThroughOwnTable<T>) {
      T::DestroyElement(static_cast<T*>(element));
    } else {
      delete static_cast<T*>(element);
    }
  }

  void Forget() noexcept {
    rec_.items = nullptr;
    rec_.count = rec_.capacity = 0;
  }

  ArrayRecord rec_;
};

namespace detail {
struct LayoutProbe;
}
static_assert(std::is_standard_layout_v<array_ptr<detail::LayoutProbe>>);
ORBISK_LAYOUT_SIZE(array_ptr<detail::LayoutProbe>, 36);

template <class T>
const ArrayTable array_ptr<T>::kTable = {&array_ptr<T>::DestroySlot, &array_ptr<T>::AddSlot,
                                         &array_ptr<T>::DeleteSlot};

}  // namespace gen
