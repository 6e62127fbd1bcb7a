// A module that is no format plug-in: it lacks "GetFilterInfo".
#include "platform/Abi.h"

ORBISK_EXPORT int ORBISK_CDECL SomethingElse() { return 1; }
