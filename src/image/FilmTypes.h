// Small types the document classes share: rectangles, the event record handed to
// the progress callback, and the slide-range rule.
#pragma once

#include <algorithm>
#include <cstdint>

#include "formats/ClbData.h"
#include "geometry/Geometry.h"

namespace glib {

using geometry::Intersect;
using geometry::Rect;
using geometry::RectAt;

// Sends an event; the callback's answer, or true without a callback.
inline bool SendEvent(ProgressCallback callback, uintptr_t context, FilmEventKind kind,
                      const void* object, FilmEvent event = {}) {
  if (!callback) return true;
  event.step = ClbData::kEvent;
  event.eventKind = kind;
  event.object = uint64_t(reinterpret_cast<uintptr_t>(object));
  event.context = context;
  return callback(&event);
}

// Sends a step (-1, -2, -3, -4 or 1..n); the callback's answer, or true without one.
inline bool SendStep(ProgressCallback callback, uintptr_t context, int32_t step,
                     int32_t stepCount = 0, const char* text = nullptr) {
  if (!callback) return true;
  ClbData data;
  data.stepCount = stepCount;
  data.step = step;
  data.text = text;
  data.context = context;
  return callback(&data);
}

// A slide range (first, count): count -1 runs to the last slide, the range is cut at
// the slide count. False when first is at or beyond the count.
struct SlideRange {
  uint32_t begin = 0;
  uint32_t end = 0;
};
inline bool ResolveRange(uint32_t first, int32_t count, uint32_t total, SlideRange& range) {
  if (first >= total) return false;
  uint64_t end = count < 0 ? total : std::min<uint64_t>(uint64_t(first) + uint32_t(count), total);
  range = {first, uint32_t(end)};
  return true;
}

// The 0xAARRGGBB word of a pixel from a colour value (red in the lowest byte).
constexpr uint32_t PixelFromColour(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFF) << 16) | ((colour >> 16) & 0xFF);
}
// And back.
constexpr uint32_t ColourFromPixel(uint32_t pixel) { return PixelFromColour(pixel); }

}  // namespace glib
