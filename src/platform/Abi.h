// Conventions for records and tables that cross a module boundary.
//
// Plug-ins may be built by another compiler against another C runtime, so nothing
// that crosses the edge relies on a C++ ABI: objects carry an explicit table of
// C-callable operations in a fixed slot order, every function uses the C calling
// convention (the caller removes the arguments), and record layouts are checked at
// compile time in the 32-bit build, whose offsets plug-ins built elsewhere rely on.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ORBISK_CDECL __cdecl
#define ORBISK_LAYOUT32 1
#else
#define ORBISK_CDECL
#define ORBISK_LAYOUT32 0
#endif

#if defined(_WIN32)
#define ORBISK_EXPORT extern "C" __declspec(dllexport)
#else
#define ORBISK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Checked only where the fixed 32-bit layout applies; other targets keep the
// same field order with their natural sizes.
#define ORBISK_LAYOUT_SIZE(type, size) \
  static_assert(!ORBISK_LAYOUT32 || sizeof(type) == (size), #type " size")
#define ORBISK_LAYOUT_OFFSET(type, field, offset)                                        \
  static_assert(!ORBISK_LAYOUT32 || offsetof(type, field) == (offset), #type "::" #field \
                                                                             " offse"    \
                                                                             "t")
