#include "viewer/NavigationMath.h"

#include <cmath>

#include "viewer/DisplayMath.h"

namespace viewer {
namespace {

// A position on a desktop axis moved back so that [start, start + length) stays in
// [low, high); a window larger than the area keeps its start at low.
int32_t KeepInside(int32_t start, int32_t length, int32_t low, int32_t high) {
  int64_t s = std::min<int64_t>(start, int64_t(high) - length);
  return ClampCoord(std::max<int64_t>(s, low));
}

// Thumbnail pixels covered by the visible part along one axis.
int32_t VisibleSpan(int32_t thumbnail, int32_t image, float zoom, int32_t client) {
  if (thumbnail <= 1 || client <= 0) return 1;
  const double shownPerClient = image * double(zoom) / client;
  // Nothing shown (zoom 0, no image): treat the whole image as visible.
  if (!(shownPerClient > 0.0) || !std::isfinite(shownPerClient)) return thumbnail;
  return std::clamp(RoundHalfUp(thumbnail / shownPerClient), 1, thumbnail);
}

int32_t Unscale(int32_t value, float ratio) {
  return ratio > 0.0f ? RoundHalfUp(value / double(ratio)) : 0;
}

}  // namespace

std::optional<Rect> CornerBox(Rect window, bool horzBar, bool vertBar, Size arrow) {
  if (!horzBar || !vertBar) return std::nullopt;
  arrow = NonNegative(arrow);
  return Rect{ClampCoord(int64_t(window.right) - arrow.width),
              ClampCoord(int64_t(window.bottom) - arrow.height), window.right, window.bottom};
}

std::optional<Size> NavigationThumbnailSize(Size image) {
  return FitInto({kNavigationThumbnailBox, kNavigationThumbnailBox}, image);
}

Rect NavigationWindowRect(Size thumbnail, Point cornerTopLeft, Rect workArea) {
  thumbnail = NonNegative(thumbnail);
  const int32_t width = ClampSide(int64_t(thumbnail.width) + 2 * kNavigationFrameWidth);
  const int32_t height = ClampSide(int64_t(thumbnail.height) + 2 * kNavigationFrameWidth);
  const int32_t left = KeepInside(cornerTopLeft.x, width, workArea.left, workArea.right);
  const int32_t top = KeepInside(cornerTopLeft.y, height, workArea.top, workArea.bottom);
  return {left, top, ClampCoord(int64_t(left) + width), ClampCoord(int64_t(top) + height)};
}

std::array<Rect, 3> NavigationFrameRects(Size window) {
  window = NonNegative(window);
  std::array<Rect, 3> rects;
  for (int32_t i = 0; i < 3; ++i) {
    rects[i] = {i, i, std::max(window.width - i, i), std::max(window.height - i, i)};
  }
  return rects;
}

NavigationRatios NavigationRatiosFor(float zoom, Size image, Size thumbnail) {
  auto ratio = [zoom](int32_t side, int32_t thumb) {
    return thumb > 0 ? float(double(zoom) * side / thumb) : 0.0f;
  };
  return {ratio(image.width, thumbnail.width), ratio(image.height, thumbnail.height)};
}

Size ViewportCursorSize(Size thumbnail, Size image, float zoom, Size client) {
  return {VisibleSpan(thumbnail.width, image.width, zoom, client.width),
          VisibleSpan(thumbnail.height, image.height, zoom, client.height)};
}

CursorPixel ViewportCursorPixel(Size cursor, Point pixel) {
  if (cursor.width < kMinOutlinedCursor || cursor.height < kMinOutlinedCursor) {
    return CursorPixel::Invert;
  }
  const int64_t ring = std::min<int64_t>({pixel.x, pixel.y, int64_t(cursor.width) - 1 - pixel.x,
                                          int64_t(cursor.height) - 1 - pixel.y});
  switch (ring) {
    case 0:
    case 2:
      return CursorPixel::Black;
    case 1:
      return CursorPixel::White;
    default:
      return CursorPixel::Transparent;
  }
}

Point ViewportCursorPosition(Point thumbnailOrigin, Point scroll, NavigationRatios ratios) {
  return {ClampCoord(int64_t(thumbnailOrigin.x) + Unscale(scroll.x, ratios.x)),
          ClampCoord(int64_t(thumbnailOrigin.y) + Unscale(scroll.y, ratios.y))};
}

Rect ViewportCursorConfinement(Rect thumbnail, Size cursor) {
  cursor = NonNegative(cursor);
  auto limit = [](int32_t low, int32_t high, int32_t extent) {
    return ClampCoord(std::max<int64_t>(int64_t(high) - std::max(extent - 1, 0), int64_t(low) + 1));
  };
  return {thumbnail.left, thumbnail.top, limit(thumbnail.left, thumbnail.right, cursor.width),
          limit(thumbnail.top, thumbnail.bottom, cursor.height)};
}

Point NavigationScrollTarget(Point at, NavigationRatios ratios) {
  return {RoundHalfUp(double(ratios.x) * at.x), RoundHalfUp(double(ratios.y) * at.y)};
}

}  // namespace viewer
