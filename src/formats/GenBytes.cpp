#include "formats/GenBytes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gen {
namespace {

bool Grow(ByteArrayRecord* a, uint64_t needed) {
  if (needed <= a->capacity && (a->data || needed == 0)) return true;
  uint64_t capacity = a->capacity ? a->capacity : std::max<uint64_t>(a->initialCapacity, 1);
  if (capacity < needed) {
    uint64_t step = a->growStep ? a->growStep : needed - capacity;
    capacity += (needed - capacity + step - 1) / step * step;
  }
  if (capacity > UINT32_MAX || capacity > SIZE_MAX) return false;
  auto* data = static_cast<uint8_t*>(std::realloc(a->data, size_t(capacity)));
  if (!data) return false;
  a->data = data;
  a->capacity = uint32_t(capacity);
  return true;
}

// The source may lie inside the block itself, and growing moves it.
bool Store(ByteArrayRecord* a, uint32_t at, const void* bytes, uint32_t n) {
  uint64_t needed = uint64_t(at) + n;
  if (needed > UINT32_MAX) return false;
  const auto* source = static_cast<const uint8_t*>(bytes);
  bool inside = a->data && source >= a->data && source < a->data + a->capacity;
  size_t offset = inside ? size_t(source - a->data) : 0;
  if (!Grow(a, needed)) return false;
  if (inside) source = a->data + offset;
  if (n) std::memmove(a->data + at, source, n);
  a->size = at + n;
  return true;
}

void ORBISK_CDECL Destroy(ByteArrayRecord* self, uint32_t flags) noexcept {
  std::free(self->data);
  self->data = nullptr;
  self->size = self->capacity = 0;
  if (flags & kFreeStorage) ::operator delete(self);
}

bool ORBISK_CDECL Assign(ByteArrayRecord* self, const void* bytes, uint32_t n) noexcept {
  if (!bytes && n) return false;
  return Store(self, 0, bytes, n);
}

bool ORBISK_CDECL Append(ByteArrayRecord* self, const void* bytes, uint32_t n) noexcept {
  if (!bytes && n) return false;
  return Store(self, self->size, bytes, n);
}

bool ORBISK_CDECL Reserve(ByteArrayRecord* self, uint32_t n) noexcept { return Grow(self, n); }

}  // namespace

const ByteArrayTable kByteArrayTable = {&Destroy, &Assign, &Append, &Reserve};

}  // namespace gen
