// Fuzz target: the HEIF/HEIC and AVIF reader of the vexlo plug-in (libheif with our HEVC
// decoder and its AV1 one), pages, information and the embedded thumbnail; and the
// input as the NAL units our HEVC decoder checks before libde265 sees them, so that
// the SPS reader is reached even where libheif refuses the container; and the input's
// picture tracks, still items and grids, as our own track decoder finds them.
#include "VexloFuzz.h"
#include "vexlo/Formats.h"
#include "vexlo/HevcParams.h"
#include "vexlo/IsoTracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vexlo_fuzz::Codec codec = {
      vexlo::kFormatHEI, &vexlo::LoadHeif, &vexlo::InfoHeif, &vexlo::ThumbnailHeif,
      nullptr,           nullptr,          nullptr};
  vexlo_fuzz::Run(codec, data, size);
  vexlo::HevcStreamCheck check({uint64_t(1) << 22, 64 * 64});
  check.Push({data, size});
  vexlo::HevcPictureSize picture;
  vexlo::ReadHevcSpsSize({data, size}, picture);
  std::vector<vexlo::ImageTrack> tracks;
  vexlo::ReadImageTracks({data, size}, tracks, 64);
  // The still items the way the plug-in reads them before libheif does.
  vexlo::ImageTrack colour, alpha;
  bool hasAlpha = false;
  vexlo::StillGrid grid;
  vexlo::MetaItems items({data, size});
  for (uint32_t item = 1; item <= 4; ++item) {
    items.Still(item, colour, alpha, hasAlpha);
    items.Grid(item, grid);
  }
  return 0;
}
