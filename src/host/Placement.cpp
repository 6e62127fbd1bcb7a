#include "host/Placement.h"

#include <algorithm>

namespace host {
namespace {

// Saved values are untrusted: do the arithmetic wide and bring the result back.
int32_t Narrow(int64_t value) { return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

}  // namespace

Rect ClampPlacement(const Rect& saved, const Rect& workArea,
                    const std::optional<Rect>& platformDefault) {
  Rect rect = saved.left == -1 && platformDefault ? *platformDefault : saved;
  const int64_t workWidth = int64_t(workArea.right) - workArea.left;
  const int64_t workHeight = int64_t(workArea.bottom) - workArea.top;
  int64_t left = std::min<int64_t>(std::max<int64_t>(rect.left, 0), workWidth - kMinVisiblePart);
  int64_t top = std::min<int64_t>(std::max<int64_t>(rect.top, 0), workHeight - kMinVisiblePart);
  int64_t width = std::max<int64_t>(int64_t(rect.right) - rect.left, kMinWindowWidth);
  int64_t height = std::max<int64_t>(int64_t(rect.bottom) - rect.top, kMinWindowHeight);
  return {Narrow(left), Narrow(top), Narrow(left + width), Narrow(top + height)};
}

}  // namespace host
