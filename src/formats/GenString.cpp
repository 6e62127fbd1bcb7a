#include "formats/GenString.h"

#include <algorithm>
#include <cstdlib>

namespace gen {
namespace {

// Makes room for `needed` bytes: first the initial capacity, then whole growth steps.
bool Grow(StringRecord* s, uint64_t needed) {
  if (needed <= s->capacity && s->chars) return true;
  uint64_t capacity = s->capacity ? s->capacity : std::max<uint64_t>(s->initialCapacity, 1);
  if (capacity < needed) {
    uint64_t step = s->growStep ? s->growStep : needed - capacity;
    capacity += (needed - capacity + step - 1) / step * step;
  }
  if (capacity > UINT32_MAX || capacity > SIZE_MAX) return false;
  auto* chars = static_cast<char*>(std::realloc(s->chars, size_t(capacity)));
  if (!chars) return false;
  if (!s->chars) chars[0] = '\0';
  s->chars = chars;
  s->capacity = uint32_t(capacity);
  return true;
}

// The source may lie inside the string itself (s.append(s)), and growing moves it.
bool Store(StringRecord* s, uint32_t at, const char* chars, uint32_t n) {
  uint64_t needed = uint64_t(at) + n + 1;
  if (needed > UINT32_MAX) return false;
  bool inside = s->chars && chars >= s->chars && chars < s->chars + s->capacity;
  size_t offset = inside ? size_t(chars - s->chars) : 0;
  if (!Grow(s, needed)) return false;
  if (inside) chars = s->chars + offset;
  if (n) std::memmove(s->chars + at, chars, n);
  s->chars[at + n] = '\0';
  s->length = at + n + 1;
  return true;
}

void ORBISK_CDECL Destroy(StringRecord* self, uint32_t flags) noexcept {
  std::free(self->chars);
  self->chars = nullptr;
  self->length = self->capacity = 0;
  if (flags & kFreeStorage) ::operator delete(self);
}

bool ORBISK_CDECL Assign(StringRecord* self, const char* chars, uint32_t n) noexcept {
  if (!chars && n) return false;
  return Store(self, 0, chars, n);
}

bool ORBISK_CDECL Append(StringRecord* self, const char* chars, uint32_t n) noexcept {
  if (!chars && n) return false;
  return Store(self, self->length ? self->length - 1 : 0, chars, n);
}

bool ORBISK_CDECL Reserve(StringRecord* self, uint32_t n) noexcept {
  return n < UINT32_MAX && Grow(self, uint64_t(n) + 1);
}

}  // namespace

const StringTable kStringTable = {&Destroy, &Assign, &Append, &Reserve};

}  // namespace gen
