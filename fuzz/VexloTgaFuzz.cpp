// Fuzz target: the TGA reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::TGASave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatTGA, &vexlo::LoadTga, &vexlo::InfoTga, nullptr, &vexlo::SaveTga,
                   &saveParams, nullptr})
