#include "viewer/Histogram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "viewer/BitmapRows.h"

namespace viewer {

namespace {

struct Counter {
  HistogramTable& table;
  void Add(uint8_t blue, uint8_t green, uint8_t red) {
    table.counts[kBlueChannel][blue] += 1;
    table.counts[kGreenChannel][green] += 1;
    table.counts[kRedChannel][red] += 1;
    table.counts[kCombinedChannel][(blue + green + red) / 3] += 1;
  }
  void AddEntry(uint32_t entry) { Add(uint8_t(entry), uint8_t(entry >> 8), uint8_t(entry >> 16)); }
};

bool CanCount(uint32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 4:
    case 8:
    case 24:
    case 32:
    case 48:
    case 64:
      return true;
    default:
      return false;
  }
}

void CountRow(Counter& counter, const glib::CoreBitmap& bitmap, const uint8_t* row,
              uint32_t bitsPerPixel) {
  const int32_t width = bitmap.width;
  switch (bitsPerPixel) {
    case 4:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t pair = row[x / 2];
        counter.AddEntry(bitmap.palette[x % 2 == 0 ? pair >> 4 : pair & 0x0F]);
      }
      break;
    case 8:
      for (int32_t x = 0; x < width; ++x) counter.AddEntry(bitmap.palette[row[x]]);
      break;
    default: {
      // 8-bit samples are read as they are, 16-bit ones by their high (second) byte.
      const uint32_t bytes = bitsPerPixel / 8;
      const uint32_t sample = bitsPerPixel >= 48 ? 2 : 1, high = sample - 1;
      for (int32_t x = 0; x < width; ++x, row += bytes) {
        counter.Add(row[high], row[sample + high], row[2 * sample + high]);
      }
      break;
    }
  }
}

bool ValidChannel(int32_t channel) { return channel >= 0 && channel < 5; }

}  // namespace

HistogramTable FillHistogram(const glib::CoreBitmap& bitmap) {
  HistogramTable table;
  const uint32_t bits = glib::BitsPerPixel(bitmap.pixelType);
  if (!glib::IsRaster(bitmap.pixelType) || !CanCount(bits) || !RowsHoldPixels(bitmap)) {
    return table;
  }
  Counter counter{table};
  const uint64_t step = glib::RowBytes(bitmap);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    CountRow(counter, bitmap, bitmap.pixels + uint64_t(y) * step, bits);
  }
  table.channels = 4;
  return table;
}

double RoundUpToHundredths(double value) { return std::ceil(value * 100) / 100; }

HistogramStats ComputeStats(const HistogramTable& table, int32_t channel, LevelRange range) {
  const int32_t a = std::clamp(range.first, 0, kHistogramLevels - 1);
  const int32_t b = std::clamp(range.last, 0, kHistogramLevels - 1);
  static const std::array<double, kHistogramLevels> kEmpty{};
  const auto& count = ValidChannel(channel) ? table.counts[size_t(channel)] : kEmpty;

  double n = 0, weighted = 0;
  for (int32_t i = a; i <= b; ++i) n += count[i], weighted += i * count[i];
  const double mean = n == 0 ? weighted : weighted / n;
  double spread = 0;
  for (int32_t i = a; i <= b; ++i) spread += count[i] * (i - mean) * (i - mean);
  double median = -1, running = 0;
  for (int32_t i = a; i <= b; ++i) {
    running += count[i];
    if (2 * running > n) {
      median = i;
      break;
    }
  }

  HistogramStats stats;
  stats.pixels = RoundUpToHundredths(n);
  stats.mean = RoundUpToHundredths(mean);
  stats.stdDev = RoundUpToHundredths(std::sqrt(spread / (n == 0 ? 1 : n)));
  stats.median = RoundUpToHundredths(median);
  stats.percent = RoundUpToHundredths((b - a) * 100.0 / 255);
  return stats;
}

HistogramTexts StatsTexts(const HistogramStats& stats, LevelRange range) {
  char text[64];
  HistogramTexts texts;
  auto format = [&](const char* pattern, double value) {
    std::snprintf(text, sizeof text, pattern, value);
    return std::string(text);
  };
  texts.mean = format("%g", stats.mean);
  texts.stdDev = format("%g", stats.stdDev);
  texts.median = format("%g", stats.median);
  texts.pixels = format("%.0f", stats.pixels);
  texts.percent = format("%g%%", stats.percent);
  std::snprintf(text, sizeof text, "%d...%d", int(range.first), int(range.last));
  texts.range = text;
  return texts;
}

std::string ColourCountText(int64_t count) {
  if (count < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(count));
  return text;
}

const std::array<std::string_view, 4> kChannelListTexts{"RGB", "Red", "Green", "Blue"};

int32_t ChannelOfListEntry(int32_t entry) {
  constexpr int32_t kChannels[] = {kCombinedChannel, kRedChannel, kGreenChannel, kBlueChannel};
  return entry >= 0 && entry < 4 ? kChannels[entry] : kCombinedChannel;
}

bool ChannelControlsEnabled(uint32_t bitsPerPixel) { return bitsPerPixel >= 2; }

int32_t GridLineX(int32_t line, int32_t width) {
  return int32_t(int64_t(line) * width / kGraphGridLines);
}

double GraphScale(const HistogramTable& table, int32_t channel, bool logarithmic) {
  double scale = 0;
  if (ValidChannel(channel) && channel < table.channels) {
    const auto& count = table.counts[size_t(channel)];
    scale = *std::max_element(count.begin(), count.end());
  }
  if (logarithmic) scale = scale > 0 ? std::log(scale) : 1.0;
  return scale;
}

uint32_t GraphChannelColour(int32_t channel) {
  switch (channel) {
    case kBlueChannel:
      return 0x0000FF;
    case kGreenChannel:
      return 0x00FF00;
    case kRedChannel:
      return 0xFF0000;
    default:
      return 0xFFFFFF;
  }
}

uint32_t GradientEndColour(int32_t channel) {
  switch (channel) {
    case kBlueChannel:
      return 0xFF0000FF;
    case kGreenChannel:
      return 0xFF008000;
    case kRedChannel:
      return 0xFFFF0000;
    default:
      return 0xFFFFFFFF;
  }
}

std::vector<GraphColumn> GraphColumns(const HistogramTable& table, int32_t channel,
                                      bool logarithmic, int32_t width, int32_t height) {
  std::vector<GraphColumn> columns;
  if (width < 1 || width > kMaxGraphWidth || height < 1) return columns;
  const double scale = GraphScale(table, channel, logarithmic);
  static const std::array<double, kHistogramLevels> kEmpty{};
  const auto& count = ValidChannel(channel) ? table.counts[size_t(channel)] : kEmpty;
  const uint32_t colour = GraphChannelColour(channel);
  const double stepRed = double(colour >> 16 & 0xFF) / width;
  const double stepGreen = double(colour >> 8 & 0xFF) / width;
  const double stepBlue = double(colour & 0xFF) / width;
  double red = 0, green = 0, blue = 0;

  columns.resize(size_t(width));
  for (int32_t x = 0; x < width; ++x) {
    GraphColumn& column = columns[size_t(x)];
    column.level = int32_t(int64_t(x) * kHistogramLevels / width);
    column.top = height;
    // A scale of 0 (an empty channel, or a largest count of 1 on the logarithmic
    // scale) has no bars.
    if (scale > 0) {
      const double level = count[size_t(column.level)];
      const double value = logarithmic ? std::log(level + 0.000001) : level;
      const double rise = std::clamp(value * (height - 1) / scale + 0.5, 0.0, double(height));
      column.top = height - int32_t(rise);
    }
    column.red = uint8_t(red), column.green = uint8_t(green), column.blue = uint8_t(blue);
    red += stepRed, green += stepGreen, blue += stepBlue;
  }
  return columns;
}

std::optional<LevelRange> DraggedRange(int32_t pressX, int32_t mouseX, int32_t width) {
  if (width <= 0) return std::nullopt;
  const int64_t low = int64_t(std::min(pressX, mouseX)) * kHistogramLevels / width;
  const int64_t high = int64_t(std::max(pressX, mouseX)) * kHistogramLevels / width;
  if (low < 0 || high > kHistogramLevels - 1) return std::nullopt;
  return LevelRange{int32_t(low), int32_t(high)};
}

}  // namespace viewer
