// Fuzz target: the JPEG XL reader (pictures, information, thumbnails) and writer of
// the vexlo plug-in.
#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

namespace {
glib::JXLSave MakeParams() {
  glib::JXLSave params;
  params.effort = 1;  // the quickest writer: the fuzzer is after the reader
  params.quality = 50;
  return params;
}
glib::JXLSave params = MakeParams();
}  // namespace

VEXLO_FUZZ_TARGET({glib::kFormatJXL, &vexlo::LoadJxl, &vexlo::InfoJxl, &vexlo::ThumbnailJxl,
                   &vexlo::SaveJxl, &params, nullptr})
