// The identity a record passed to plug-ins carries in its first word: the class
// name and the size the program built it with, so a plug-in can check that it got
// the record it expects ("JPGSave") and that the fields it reads exist. The program
// also destroys its records through it, as they have no virtual destructor.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Abi.h"

namespace glib {

struct RecordClass {
  const char* name;
  uint32_t size;
  void(ORBISK_CDECL* destroy)(void* record);  // the program's own; plug-ins leave it alone
};

ORBISK_LAYOUT_SIZE(RecordClass, 12);

template <class T>
void ORBISK_CDECL DestroyRecordOf(void* record) noexcept {
  delete static_cast<T*>(record);
}

template <class T>
constexpr RecordClass MakeRecordClass(const char* name) {
  return {name, uint32_t(sizeof(T)), &DestroyRecordOf<T>};
}

// Owns a record of any class through the identity in its first word; the record's
// class must begin (at offset 0) with that identity pointer.
struct RecordDeleter {
  template <class T>
  void operator()(T* record) const noexcept {
    if (record) record->recordClass->destroy(record);
  }
};
template <class T>
using RecordPtr = std::unique_ptr<T, RecordDeleter>;

}  // namespace glib
