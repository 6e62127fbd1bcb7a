// Fuzz target: the PCX reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::PCXSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatPCX, &vexlo::LoadPcx, &vexlo::InfoPcx, nullptr, &vexlo::SavePcx,
                   &saveParams, nullptr})
