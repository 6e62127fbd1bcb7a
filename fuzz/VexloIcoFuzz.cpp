// Fuzz target: the ICO reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::ICOSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatICO, &vexlo::LoadIco, &vexlo::InfoIco, nullptr, &vexlo::SaveIco,
                   &saveParams, nullptr})
