// Fuzz target: the JPEG reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::JPGSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatJPG, &vexlo::LoadJpg, &vexlo::InfoJpg, &vexlo::ThumbnailJpg,
                   &vexlo::SaveJpg, &saveParams, nullptr})
