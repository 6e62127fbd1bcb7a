// The picture a file list shows for a file in its thumbnail view: the file's first
// page, from the plug-in's thumbnail path (a stored thumbnail or a reduced decode),
// fitted into a box with the picture's proportions. A picture smaller than the box
// keeps its size; a stored thumbnail a little smaller than the fitted size is
// enlarged to it.
#pragma once

#include <cstdint>

#include "formats/Retcode.h"
#include "geometry/Geometry.h"

namespace glib {

class Film;

// The size the preview of a `picture` takes in `box`; `picture` when it fits.
geometry::Size PreviewSize(geometry::Size box, geometry::Size picture);

// Replaces the Film's slides with the preview; the Film's filter manager serves the
// request, so a thread of its own keeps to a manager of its own.
ERetcode LoadPreviewW(Film& film, const char16_t* path, int32_t width, int32_t height);

}  // namespace glib
