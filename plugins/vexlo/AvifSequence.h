// AVIF image sequences: the AV1 picture track decoded sample by sample with dav1d
// (later frames are predicted from earlier ones, so every sample up to the last
// wanted page is decoded), its alpha track beside it.
#pragma once

#include <span>

#include "vexlo/Formats.h"
#include "vexlo/IsoTracks.h"

namespace vexlo {

// The frames of `colour` as pages with their delays, with the alpha planes of `alpha`
// (or none); `exif` and `icc` travel with every page (the sample entry's own profile
// comes first).
uint32_t LoadAv1Track(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                      std::span<const uint8_t> exif, std::span<const uint8_t> icc);

}  // namespace vexlo
