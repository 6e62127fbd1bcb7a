// The resolutions a file keeps of its first picture, for the choice before it is
// opened.
#pragma once

#include <vector>

#include "formats/Stream.h"
#include "viewer/Geometry.h"

namespace viewer {

// A TIFF's first picture followed by the reduced-resolution images stored after it
// (as a new-subfile-type chain), in file order; empty when the stream is no TIFF.
// Only the header and the directories are read.
std::vector<Size> TiffResolutions(VStream* stream);

}  // namespace viewer
