#include "viewer/OptionRules.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace viewer {

namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> ZoomStepFromPercentText(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 32) return std::nullopt;
  double percent = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), percent, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(percent) || percent < kMinZoomStepPercent || percent > kMaxZoomStepPercent)
    return std::nullopt;
  return percent / 100;
}

std::string ZoomStepPercentText(double step) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", step * 100);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::optional<int32_t> SlideshowTimeoutFromSecondsText(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 10) return std::nullopt;
  int64_t seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (seconds < kMinSlideshowSeconds || seconds > kMaxSlideshowSeconds) return std::nullopt;
  return int32_t(seconds * 1000);
}

int32_t SlideshowSecondsShown(int32_t timeoutMs) {
  const int64_t seconds = (int64_t(timeoutMs) + 500) / 1000;
  if (seconds < kMinSlideshowSeconds) return kMinSlideshowSeconds;
  return int32_t(seconds);
}

}  // namespace viewer
