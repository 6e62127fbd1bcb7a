// The corner box between the scroll bars and the navigation window opened from it:
// a thumbnail of the image with a cursor the size of the visible part, which the user
// drags to scroll the viewer.
#pragma once

#include <array>
#include <optional>

#include "viewer/Geometry.h"

namespace viewer {

constexpr int32_t kNavigationThumbnailBox = 128;
constexpr int32_t kNavigationFrameWidth = 3;
// Below this in either dimension the viewport cursor inverts its whole area, as the
// three outlines would not fit.
constexpr int32_t kMinOutlinedCursor = 6;

// The square at the bottom-right of the window rectangle, present only while both
// scroll bars are shown; arrow is the horizontal-scroll arrow's width and the
// vertical-scroll arrow's height.
std::optional<Rect> CornerBox(Rect window, bool horzBar, bool vertBar, Size arrow);

// The image fitted into 128 x 128; nothing for an image without area.
std::optional<Size> NavigationThumbnailSize(Size image);

// The popup (thumbnail and frame) placed at the corner box's top-left and moved back
// inside the work area.
Rect NavigationWindowRect(Size thumbnail, Point cornerTopLeft, Rect workArea);

// The frame's three one-pixel outlines, outside first: the outer and inner ones take
// the skin's first frame colour, the middle one the second.
std::array<Rect, 3> NavigationFrameRects(Size window);

// Displayed pixels of the viewer per thumbnail pixel.
struct NavigationRatios {
  float x = 0.0f;
  float y = 0.0f;
};
NavigationRatios NavigationRatiosFor(float zoom, Size image, Size thumbnail);

// The visible part of the viewer in thumbnail pixels, each side at least 1 and at most
// the thumbnail's.
Size ViewportCursorSize(Size thumbnail, Size image, float zoom, Size client);

enum class CursorPixel { Transparent, Black, White, Invert };
// Black, white and black outlines from the outside, clear inside; a cursor too small
// for them inverts everything under it. The hot spot is the top-left pixel.
CursorPixel ViewportCursorPixel(Size cursor, Point pixel);

// Where the cursor starts: over the visible part, relative to the thumbnail origin.
Point ViewportCursorPosition(Point thumbnailOrigin, Point scroll, NavigationRatios ratios);
// The rectangle the cursor's hot spot is confined to, so the whole cursor stays on
// the thumbnail.
Rect ViewportCursorConfinement(Rect thumbnail, Size cursor);
// The viewer's scroll target for the cursor at `at` in thumbnail coordinates.
Point NavigationScrollTarget(Point at, NavigationRatios ratios);

}  // namespace viewer
