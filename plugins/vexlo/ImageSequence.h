// Image sequences: the picture track of an AVIF (AV1) or HEIF (HEVC) file decoded
// sample by sample, its alpha track beside it.
#pragma once

#include <span>

#include "vexlo/Formats.h"
#include "vexlo/IsoTracks.h"

namespace vexlo {

// The frames of `colour` as pages with their delays, with the alpha planes of `alpha`
// (or none); `exif` and `icc` travel with every page (the sample entry's own profile
// comes first). UNSF for a codec other than AV1 and HEVC.
uint32_t LoadSequence(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                      std::span<const uint8_t> exif, std::span<const uint8_t> icc);

// A still picture read as a track of one sample (see MetaItems::Still) as one page, its
// alpha beside it; nothing is added to the request when it fails.
uint32_t LoadStill(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                   std::span<const uint8_t> exif, std::span<const uint8_t> icc);

// A grid of plain coded tiles (see MetaItems::Grid) as one page; nothing is added to
// the request when it fails.
uint32_t LoadGrid(LoadJob& job, const StillGrid& grid, std::span<const uint8_t> exif,
                  std::span<const uint8_t> icc);
// The page type of a decoded YCbCr picture: 8 or 16 bits a sample, alpha or none.
uint32_t YuvPageType(bool alpha, bool wide);

// The bit depth of a sample entry's configuration (8 when it does not say).
int SequenceBits(const ImageTrack& track);

}  // namespace vexlo
