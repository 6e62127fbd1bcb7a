// Where the viewer window opens: the saved rectangle pulled back onto the work area.
#pragma once

#include <cstdint>
#include <optional>

#include "geometry/Geometry.h"

namespace host {

using geometry::Rect;

constexpr int32_t kMinVisiblePart = 128;
constexpr int32_t kMinWindowWidth = 600;
constexpr int32_t kMinWindowHeight = 268;

// A saved left edge of -1 means no position was saved; the platform's default
// position is used then, when it offers one. The window keeps its saved size (at
// least 600 x 268); its top-left corner is kept at or right of and below 0, 0 and at
// least 128 pixels short of the work area's width and height.
Rect ClampPlacement(const Rect& saved, const Rect& workArea,
                    const std::optional<Rect>& platformDefault);

}  // namespace host
