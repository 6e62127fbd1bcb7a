// Fuzz target: the TIFF reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::TIFSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatTIF, &vexlo::LoadTif, &vexlo::InfoTif, &vexlo::ThumbnailTif,
                   &vexlo::SaveTif, &saveParams, nullptr})
