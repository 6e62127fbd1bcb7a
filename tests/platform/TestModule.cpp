// A tiny module the module-loader tests load by its ".dll" name.
#include "platform/Abi.h"

ORBISK_EXPORT int ORBISK_CDECL TestModuleAnswer() { return 42; }
