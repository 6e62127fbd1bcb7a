// Fuzz target: the GIF reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::GIFSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatGIF, &vexlo::LoadGif, &vexlo::InfoGif, nullptr, &vexlo::SaveGif,
                   &saveParams, nullptr})
