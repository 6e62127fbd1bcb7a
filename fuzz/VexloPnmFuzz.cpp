// Fuzz target: the PNM reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::PNMSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatPPM, &vexlo::LoadPnm, &vexlo::InfoPnm, nullptr, &vexlo::SavePnm,
                   &saveParams, nullptr})
