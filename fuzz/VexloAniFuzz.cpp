// Fuzz target: the animated cursor reader of the vexlo plug-in (its RIFF chunks and,
// through the icon reader, its frames).
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

VEXLO_FUZZ_TARGET({glib::kFormatANI, &vexlo::LoadAni, &vexlo::InfoAni, nullptr, nullptr, nullptr,
                   nullptr})
