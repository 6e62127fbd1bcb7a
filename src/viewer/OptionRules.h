// The range checks of the Options pages: what an edit field may hold and the value
// the settings store gets from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace viewer {

// The zoom step is edited in percent, accepted from 0.05 to 1000.
constexpr double kMinZoomStepPercent = 0.05;
constexpr double kMaxZoomStepPercent = 1000;
// The slide-show interval is edited in whole seconds, at least one; the upper
// bound keeps the stored milliseconds in a 32-bit value.
constexpr int32_t kMinSlideshowSeconds = 1;
constexpr int32_t kMaxSlideshowSeconds = 2147483;

// The step as a fraction (10 % gives 0.1), or nothing when the text is no number
// or lies outside the range. Blanks around the number are allowed.
std::optional<double> ZoomStepFromPercentText(std::string_view text);
// The step as the field shows it: percent, without trailing zeros ("10", "2.5").
std::string ZoomStepPercentText(double step);

// The interval in milliseconds from whole seconds, or nothing when the text is not
// a whole number of seconds within the range.
std::optional<int32_t> SlideshowTimeoutFromSecondsText(std::string_view text);
// The seconds the field shows for a stored interval, rounded, at least one.
int32_t SlideshowSecondsShown(int32_t timeoutMs);

}  // namespace viewer
