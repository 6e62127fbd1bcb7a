// The histogram window's model: the level counts of a picture by channel, the
// statistics over a range of levels, and the arithmetic of the graph, its colours and
// the range chosen with the mouse. The window draws what these functions decide.
//
// The number of distinct colours shown beside the histogram is the document's own
// count, glib::Film::CountLayerColours(slide, 0); ColourCountText formats it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/CoreBitmap.h"

namespace viewer {

constexpr int32_t kHistogramLevels = 256;

// Channels of the table: the combined level trunc((B + G + R) / 3), then blue, green, red.
enum HistogramChannel : int32_t {
  kCombinedChannel = 0,
  kBlueChannel = 1,
  kGreenChannel = 2,
  kRedChannel = 3,
};

struct HistogramTable {
  std::array<std::array<double, kHistogramLevels>, 5> counts{};
  int32_t channels = 0;  // channels in use: 4 once a picture was counted
};

// Counts every pixel of 4- and 8-bit pictures (through the palette), 24- and 32-bit
// ones (blue, green, red bytes) and 48- and 64-bit ones (the high byte of each
// sample), stepping rows by the bitmap's row rule. Other depths, and rows the record
// does not describe consistently, leave the table empty.
HistogramTable FillHistogram(const glib::CoreBitmap& bitmap);

struct LevelRange {
  int32_t first = 0;
  int32_t last = 255;

  friend bool operator==(const LevelRange&, const LevelRange&) = default;
};

// Each value as shown: rounded up to two decimals.
struct HistogramStats {
  double pixels = 0;
  double mean = 0;
  double stdDev = 0;
  double median = -1;  // -1 when the range holds no pixel
  double percent = 0;  // share of the level scale the range covers
};
// Statistics of a channel over a range (clamped to 0..255). A channel outside the
// table counts as empty.
HistogramStats ComputeStats(const HistogramTable& table, int32_t channel, LevelRange range);
// ceil(x * 100) / 100
double RoundUpToHundredths(double value);

struct HistogramTexts {
  std::string mean;
  std::string stdDev;
  std::string median;
  std::string pixels;
  std::string range;    // "%d...%d"
  std::string percent;  // "%g%%"
};
HistogramTexts StatsTexts(const HistogramStats& stats, LevelRange range);
// "%d"; a count the document could not make (negative) shows as "-".
std::string ColourCountText(int64_t count);

// ---- the dialog ----

namespace histogram_ids {
constexpr uint16_t kChannelList = 180;
constexpr uint16_t kGraph = 182;
constexpr uint16_t kGradient = 183;
constexpr uint16_t kStdDev = 184;
constexpr uint16_t kMean = 185;
constexpr uint16_t kMedian = 186;
constexpr uint16_t kPixels = 187;
constexpr uint16_t kRange = 188;
constexpr uint16_t kPercent = 189;
constexpr uint16_t kLogarithmic = 190;
constexpr uint16_t kColourCount = 1040;
}  // namespace histogram_ids

// "RGB", "Red", "Green", "Blue": the entries of the channel list.
extern const std::array<std::string_view, 4> kChannelListTexts;
// The table's channel for a list entry (0, 3, 2, 1); the combined one outside the list.
int32_t ChannelOfListEntry(int32_t entry);
// The channel list and "Logarithmic scale" need at least 2 bits per pixel.
bool ChannelControlsEnabled(uint32_t bitsPerPixel);

// ---- the graph ----

constexpr uint32_t kGraphBackground = 0xFFFFFF96;  // alpha, red, green, blue
constexpr uint32_t kGraphGridColour = 0xFF808080;
constexpr int32_t kGraphGridLines = 5;
constexpr int32_t kMaxGraphWidth = 65536;

// x of dotted grid line i (0 to 4), drawn from y = 0 to the height.
int32_t GridLineX(int32_t line, int32_t width);
// The bar height that fills the graph: the largest count of the channel (0 beyond the
// channels in use), its logarithm with the logarithmic scale (1 when there is none).
double GraphScale(const HistogramTable& table, int32_t channel, bool logarithmic);

// One pixel column of the graph: a line 1 unit wide from (x, height - 1) up to
// (x, top), in the column's pen colour.
struct GraphColumn {
  int32_t level = 0;
  int32_t top = 0;  // within 0..height; height draws nothing above the base line
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};
// The columns for x = 0 to width - 1; none for a width outside 1..kMaxGraphWidth or a
// height below 1. The colour runs from black to the channel's colour.
std::vector<GraphColumn> GraphColumns(const HistogramTable& table, int32_t channel,
                                      bool logarithmic, int32_t width, int32_t height);
// 0xRRGGBB colour of the graph's bars at the right edge: white, blue, green, red.
uint32_t GraphChannelColour(int32_t channel);
// Opaque 0xAARRGGBB end colour of the gradient bar below the graph (green at half
// intensity there).
uint32_t GradientEndColour(int32_t channel);
constexpr uint32_t kGradientStartColour = 0xFF000000;

// The range for a drag from `pressX` to `mouseX` over a graph `width` wide; nothing
// (keep the range as it was) when it leaves 0..255.
std::optional<LevelRange> DraggedRange(int32_t pressX, int32_t mouseX, int32_t width);

}  // namespace viewer
