// A colour-effect module with the one entry the program looks for.
#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"
#include "platform/Abi.h"

ORBISK_EXPORT uint32_t ORBISK_CDECL ApplyColorEffect(glib::CoreBitmap*, uint32_t effect,
                                                     const void*, ProgressCallback, ClbData*) {
  return effect == 1 ? glib::RCOK : glib::UNSF;
}
