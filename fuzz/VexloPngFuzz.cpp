// Fuzz target: the PNG reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::PNGSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatPNG, &vexlo::LoadPng, &vexlo::InfoPng, nullptr, &vexlo::SavePng,
                   &saveParams, nullptr})
