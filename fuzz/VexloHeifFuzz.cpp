// Fuzz target: the HEIF/HEIC and AVIF reader of the vexlo plug-in (libheif with its
// HEVC and AV1 decoders), pages, information and the embedded thumbnail.
#include "VexloFuzz.h"
#include "vexlo/Formats.h"

VEXLO_FUZZ_TARGET({vexlo::kFormatHEI, &vexlo::LoadHeif, &vexlo::InfoHeif, &vexlo::ThumbnailHeif,
                   nullptr, nullptr, nullptr})
