// Fuzz target: the JPEG 2000 reader (JP2 files and bare codestreams, thumbnails at a
// reduced resolution) and writer of the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::JP2Save saveParams;
}

VEXLO_FUZZ_TARGET({glib::kFormatJP2, &vexlo::LoadJp2, &vexlo::InfoJp2, &vexlo::ThumbnailJp2,
                   &vexlo::SaveJp2, &saveParams, nullptr})
