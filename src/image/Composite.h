// Flattening the layers of a slide into one 32-bit RGBA picture: for display (the
// slide's cached composite), for saving to formats without layers, for merging
// layers and for the clipboard. Each layer is combined with the picture built so far
// by its blend mode (Blend.h).
#pragma once

#include <cstdint>

#include "image/FilmTypes.h"
#include "image/Layer.h"
#include "image/Slide.h"

namespace glib {

// Composites layers [first, first + count) (count -1: to the last) into `target`,
// over `rect` in slide coordinates or, without one, over the extent of the enabled
// layers of the range. False for an empty range or output, or when a layer cannot
// be brought to 32-bit RGBA.
bool Flatten(Slide& slide, const Rect* rect, Layer& target, uint32_t first, int32_t count);

// Rebuilds the slide's composite layer when the slide is marked changed.
bool UpdateComposite(Slide& slide);

// Flattens the range into its first layer (32-bit RGBA at (0, 0)) and removes the
// others.
bool MergeLayers(Slide& slide, uint32_t first, int32_t count);

// The layer whose picture shows the slide: its single layer when that can be drawn
// directly (see the drawing rule), else the rebuilt composite; null when nothing is
// drawn.
Layer* ShownLayer(Slide& slide, bool forceComposite);

// Brings the rows of 1, 4, 8 and 24-bit pictures to the padded rule (a new block,
// with "prepare..." progress through the bitmap's own callback); other types only
// get the rule field. False when the callback stopped it or memory is short (the old
// rows stay).
bool PadRowsForDevice(CoreBitmap& bitmap);

}  // namespace glib
