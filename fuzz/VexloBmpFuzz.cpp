// Fuzz target: the BMP reader and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::BMPSave saveParams;
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatBMP, &vexlo::LoadBmp, &vexlo::InfoBmp, nullptr, &vexlo::SaveBmp,
                   &saveParams, nullptr})
