// Fuzz target: the WebP reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

VEXLO_FUZZ_TARGET({vexlo::kFormatWBP, &vexlo::LoadWebp, &vexlo::InfoWebp, nullptr, nullptr, nullptr,
                   nullptr})
