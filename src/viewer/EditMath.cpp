#include "viewer/EditMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "viewer/BitmapRows.h"

namespace viewer {

// ---- scale ----

const std::array<std::string_view, 8> kInterpolationTexts{
    "Nearest neighbor (fast)", "Bilinear",        "Bicubic",         "Spline16",
    "Spline36 (slow)",         "Spline64 (slow)", "Sinc256  (slow)", "Sinc1024 (slow)",
};
const std::array<std::string_view, 2> kPrintUnitTexts{"cm", "inch"};

int32_t InterpolationIndex(int32_t scaleType) {
  return scaleType >= 0 && scaleType < int32_t(kInterpolationTexts.size()) ? scaleType : 0;
}

ScaleState StartScale(Size image, bool constrain, int32_t scaleType) {
  ScaleState state;
  state.image = image;
  state.newWidth = image.width;
  state.newHeight = image.height;
  state.constrain = constrain;
  state.interpolation = InterpolationIndex(scaleType);
  return state;
}

namespace {

int32_t ProportionalSide(int32_t otherImageSide, int32_t typed, int32_t thisImageSide) {
  const double divisor = thisImageSide == 0 ? 1.0 : double(thisImageSide);
  const double side = std::trunc(double(otherImageSide) * typed / divisor + 0.5);
  return int32_t(std::clamp(side, double(kMinNewSide), double(kMaxNewSide)));
}

double CoupledResolution(double typed) {
  const double other = kDefaultResolution * typed / kDefaultResolution;
  return other > 0 ? other : kMinResolution;
}

}  // namespace

void EditNewWidth(ScaleState& state, int32_t width) {
  state.newWidth = width;
  if (state.constrain)
    state.newHeight = ProportionalSide(state.image.height, width, state.image.width);
}

void EditNewHeight(ScaleState& state, int32_t height) {
  state.newHeight = height;
  if (state.constrain)
    state.newWidth = ProportionalSide(state.image.width, height, state.image.height);
}

void EditResolutionX(ScaleState& state, double resolution) {
  state.resolutionX = resolution;
  if (state.constrain) state.resolutionY = CoupledResolution(resolution);
}

void EditResolutionY(ScaleState& state, double resolution) {
  state.resolutionY = resolution;
  if (state.constrain) state.resolutionX = CoupledResolution(resolution);
}

double PrintedLength(int64_t pixels, double resolution, PrintUnit unit) {
  if (!(resolution > 0)) return 0;
  const double factor = unit == PrintUnit::Cm ? 2.54 : 1.0;
  return std::trunc(double(pixels) * factor / resolution * 100) / 100;
}

PrintedSize PrintedSizeOf(const ScaleState& state) {
  return {PrintedLength(state.newWidth, state.resolutionX, state.unit),
          PrintedLength(state.newHeight, state.resolutionY, state.unit)};
}

std::string PrintedLengthText(double length) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", length);
  std::string shown = text;
  if (shown.find('.') != std::string::npos) {
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.') shown.pop_back();
  }
  return shown;
}

bool ScaleOkEnabled(const ScaleState& state) {
  return state.newWidth != state.image.width || state.newHeight != state.image.height ||
         state.resolutionX != kDefaultResolution || state.resolutionY != kDefaultResolution;
}

bool ValidNewSide(int64_t side) { return side >= kMinNewSide && side <= kMaxNewSide; }

bool ValidResolution(double resolution) {
  return resolution >= kMinResolution && resolution <= kMaxResolution;
}

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return text;
}

template <class T>
std::optional<T> WholeText(std::string_view text) {
  text = Trimmed(text);
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int64_t> ParseWholeNumber(std::string_view text) { return WholeText<int64_t>(text); }

std::optional<double> ParseDecimalNumber(std::string_view text) {
  std::optional<double> value = WholeText<double>(text);
  if (value && !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<ScaleRefusal> CheckScaleEntries(const ScaleEntries& entries) {
  constexpr char kSideRule[] = " must be a whole number from 1 to 2147483647.";
  constexpr char kResolutionRule[] = " must be a number from 0.01 to 1500000.";
  struct Side {
    const std::string* text;
    uint16_t id;
    const char* name;
  };
  for (const Side& side : {Side{&entries.newWidth, scale_ids::kNewWidth, "New width"},
                           Side{&entries.newHeight, scale_ids::kNewHeight, "New height"}}) {
    std::optional<int64_t> value = ParseWholeNumber(*side.text);
    if (!value || !ValidNewSide(*value))
      return ScaleRefusal{side.id, side.name + std::string(kSideRule)};
  }
  for (const Side& side :
       {Side{&entries.resolutionX, scale_ids::kResolutionX, "The horizontal resolution"},
        Side{&entries.resolutionY, scale_ids::kResolutionY, "The vertical resolution"}}) {
    std::optional<double> value = ParseDecimalNumber(*side.text);
    if (!value || !ValidResolution(*value))
      return ScaleRefusal{side.id, side.name + std::string(kResolutionRule)};
  }
  return std::nullopt;
}

// ---- rotate ----

const std::array<RightAngleChoice, 5> kRightAngles{{
    {1034, "0\u00b0 CW", 0},
    {1035, "90\u00b0  CW", 90},
    {1036, "180\u00b0  CW", 180},
    {1038, "270\u00b0  CW", 270},
    {1037, "360\u00b0  CW", 360},
}};

double AngleFromSlider(int32_t position) { return std::clamp(position, 0, kAngleSliderMax) * 0.1; }

int32_t SliderFromAngle(double angle) {
  if (!(angle > 0)) return 0;
  return int32_t(std::lround(std::min(angle, 360.0) / 0.1));
}

double ClampTypedAngle(double angle) {
  if (!(angle > 0)) return 0;  // NaN too
  return std::min(angle, 360.0);
}

std::string AngleText(double angle) {
  char text[48];
  std::snprintf(text, sizeof text, "%0.1f\u00b0 CW", angle);
  return text;
}

std::optional<size_t> CheckedRightAngle(double angle) {
  for (size_t i = 0; i < kRightAngles.size(); ++i) {
    if (kRightAngles[i].angle == angle) return i;
  }
  return std::nullopt;
}

RotationDial RotationDialFor(Size client, double angle) {
  const int32_t side = std::max(0, std::min(client.width, client.height));
  const int32_t radius = std::max(0, (side - 2) / 2);
  RotationDial dial;
  dial.circle = {1, 1, std::max(1, side - 1), std::max(1, side - 1)};
  dial.centre = {1 + radius, 1 + radius};
  const double theta = (angle + 0.2) * 3.14 / 180;
  dial.end = {int32_t(dial.centre.x + radius * std::sin(theta)),
              int32_t(dial.centre.y - radius * std::cos(theta))};
  return dial;
}

// ---- colour depth ----

const std::array<DepthChoice, 5> kDepthChoices{{
    {1003, "2 colors (1 bpp)", 0x01010101, 1},
    {1004, "16 colors (4 bpp)", 0x02010104, 4},
    {1005, "256 colors (8 bpp)", 0x02010108, 8},
    {1007, "16,7 million colors (24 bpp)", 0x03010308, 24},
    {1008, "16,7 million colors (32 bpp)", 0x83010408, 32},
}};

bool CanChangeColourDepth(uint32_t pixelType) { return pixelType != glib::kPixelVector; }

DepthChoiceStart DepthChoicesFor(uint32_t bitsPerPixel) {
  DepthChoiceStart start;
  for (size_t i = 0; i < kDepthChoices.size(); ++i) {
    if (kDepthChoices[i].bitsPerPixel == bitsPerPixel) {
      start.disabled = i;
      start.preselected = i == 0 ? 1 : i - 1;
      return start;
    }
  }
  if (bitsPerPixel == 48 || bitsPerPixel == 64) {
    start.preselected = bitsPerPixel == 48 ? 3 : 4;
    return start;
  }
  for (size_t i = 0; i < kDepthChoices.size(); ++i) {
    if (kDepthChoices[i].bitsPerPixel < bitsPerPixel) start.preselected = i;
  }
  return start;
}

// ---- swap channels ----

const std::array<std::string_view, 4> kChannelNames{"R", "G", "B", "A"};
const std::array<uint16_t, 4> kSourceListIds{1040, 1041, 1042, 1043};
const std::array<uint16_t, 4> kDestinationListIds{1036, 1037, 1038, 1039};

int32_t SwapRowsFor(uint32_t pixelType) {
  if (!glib::IsRaster(pixelType)) return 0;
  const uint32_t bits = glib::BitsPerSample(pixelType), samples = glib::SamplesPerPixel(pixelType);
  if ((bits != 8 && bits != 16) || (samples != 3 && samples != 4)) return 0;
  return int32_t(samples);
}

SwapColumns StartSwap(uint32_t pixelType) {
  SwapColumns columns;
  columns.rows = SwapRowsFor(pixelType) == 3 ? 3 : 4;
  return columns;
}

void ChooseSwapEntry(std::array<int32_t, 4>& column, int32_t rows, int32_t row, int32_t entry) {
  rows = std::clamp(rows, 0, 4);
  if (row < 0 || row >= rows || entry < 0 || entry >= rows) return;
  const int32_t before = column[size_t(row)];
  for (int32_t other = 0; other < rows; ++other) {
    if (other != row && column[size_t(other)] == entry) column[size_t(other)] = before;
  }
  column[size_t(row)] = entry;
}

glib::ERetcode SwapChannels(glib::CoreBitmap& bitmap, const SwapColumns& columns) {
  const int32_t samples = SwapRowsFor(bitmap.pixelType);
  const int32_t rows = std::min(columns.rows, samples);
  if (rows <= 0 || !RowsHoldPixels(bitmap)) return glib::BADA;
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t to = columns.source[size_t(i)], from = columns.destination[size_t(i)];
    if (to < 0 || to >= samples || from < 0 || from >= samples) return glib::BADA;
  }
  const size_t sampleBytes = glib::BitsPerSample(bitmap.pixelType) / 8;
  const size_t pixelBytes = sampleBytes * size_t(samples);
  const uint64_t step = glib::RowBytes(bitmap);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    uint8_t* p = bitmap.pixels + uint64_t(y) * step;
    for (int32_t x = 0; x < bitmap.width; ++x, p += pixelBytes) {
      uint8_t before[8];
      std::memcpy(before, p, pixelBytes);
      for (int32_t i = 0; i < rows; ++i) {
        std::memcpy(p + size_t(columns.source[size_t(i)]) * sampleBytes,
                    before + size_t(columns.destination[size_t(i)]) * sampleBytes, sampleBytes);
      }
    }
  }
  return glib::RCOK;
}

// ---- select image resolution ----

std::vector<std::string> ResolutionTexts(const std::vector<Size>& sizes) {
  std::vector<std::string> texts;
  texts.reserve(sizes.size());
  char text[32];
  for (const Size& size : sizes) {
    std::snprintf(text, sizeof text, "%d x %d", int(size.width), int(size.height));
    texts.push_back(text);
  }
  return texts;
}

size_t InitialResolutionEntry(size_t preselected, size_t count) {
  return preselected < count ? preselected : 0;
}

}  // namespace viewer
