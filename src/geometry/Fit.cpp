#include "geometry/Fit.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace geometry {
namespace {

bool HasArea(Size s) { return s.width > 0 && s.height > 0; }
bool Usable(float resolution) { return resolution > 0.0f && std::isfinite(resolution); }

}  // namespace

std::optional<Size> FitInto(Size box, Size image) {
  if (!HasArea(image)) return std::nullopt;
  box = NonNegative(box);
  // Scaled to the box along the image's longer side (height when square), then
  // along the other when that still overflows.
  auto fit = [](double boxMajor, double boxMinor, double major, double minor) {
    const double scale = boxMajor / major;
    major *= scale;
    minor *= scale;
    if (minor > boxMinor) {
      major *= boxMinor / minor;
      minor = boxMinor;
    }
    return std::pair{major, minor};
  };
  double width, height;
  if (image.height < image.width) {
    std::tie(width, height) = fit(box.width, box.height, image.width, image.height);
  } else {
    std::tie(height, width) = fit(box.height, box.width, image.height, image.width);
  }
  return Size{std::max(RoundHalfUp(width), 1), std::max(RoundHalfUp(height), 1)};
}

bool HasNonSquarePixels(float resolutionX, float resolutionY) {
  return Usable(resolutionX) && Usable(resolutionY) && resolutionX != resolutionY;
}

std::optional<Size> SquarePixelSize(Size picture, float resolutionX, float resolutionY,
                                    float targetX, float targetY) {
  if (!Usable(resolutionX) || !Usable(resolutionY)) return std::nullopt;
  const double x = resolutionX, y = resolutionY;
  double width = picture.width, height = picture.height;
  if (y > x) width = width * y / x;
  if (y < x) height = height * x / y;
  if (targetX >= 0.0f && targetY >= 0.0f) {
    const double larger = std::max(x, y);
    width *= targetX / larger;
    height *= targetY / larger;
  }
  width = std::trunc(width);
  height = std::trunc(height);
  if (!(width > 0.0 && height > 0.0) || width > kMaxSide || height > kMaxSide) return std::nullopt;
  Size result{int32_t(width), int32_t(height)};
  if (result == picture) return std::nullopt;
  return result;
}

}  // namespace geometry
