// Fuzz target: the camera RAW reader of the vexlo plug-in (LibRaw on our bytes): load,
// information and thumbnail, and the TIFF reader's test for raw files in TIFF form.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

VEXLO_FUZZ_TARGET({vexlo::kFormatDCR, &vexlo::LoadCameraRaw, &vexlo::InfoCameraRaw,
                   &vexlo::ThumbnailCameraRaw, nullptr, nullptr, nullptr})
