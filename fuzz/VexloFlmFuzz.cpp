// Fuzz target: the FLM reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::FLMSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatFLM, &vexlo::LoadFlm, &vexlo::InfoFlm, nullptr, &vexlo::SaveFlm,
                   &saveParams, nullptr})
