// The module's one exported name; everything behind it lives in the effects library
// (Effects.cpp), which the tests, the fuzz target and the benchmarks link too.
#include "cef/Effects.h"
#include "platform/Abi.h"

ORBISK_EXPORT uint32_t ORBISK_CDECL ApplyColorEffect(glib::CoreBitmap* bitmap, uint32_t effect,
                                                     const void* params, ProgressCallback progress,
                                                     ClbData* record) {
  return cef::ApplyColorEffect(bitmap, effect, static_cast<const glib::DynParams*>(params),
                               progress, record);
}
