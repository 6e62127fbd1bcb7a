// The arithmetic of the Edit menu's dialogs: "Scale settings", "Rotate the image
// clockwise", "Decrease color depth", "Swap channels" and "Select Image Resolution".
// The dialogs keep the state records below and show what these functions decide.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"
#include "viewer/Geometry.h"

namespace viewer {

// ---- "Scale settings" ----

namespace scale_ids {
constexpr uint16_t kImageWidth = 1034;
constexpr uint16_t kImageHeight = 1035;
constexpr uint16_t kNewWidth = 1036;
constexpr uint16_t kNewHeight = 1037;
constexpr uint16_t kConstrain = 1038;
constexpr uint16_t kInterpolation = 1050;
constexpr uint16_t kResolutionX = 1015;
constexpr uint16_t kResolutionY = 1014;
constexpr uint16_t kPrintedWidth = 1018;
constexpr uint16_t kPrintedHeight = 1017;
constexpr uint16_t kUnit = 1016;
}  // namespace scale_ids

// The interpolation list; the index is the scale type of the document's Stretch.
extern const std::array<std::string_view, 8> kInterpolationTexts;
// The stored "ScaleType" as a list index: anything outside the list is 0.
int32_t InterpolationIndex(int32_t scaleType);

enum class PrintUnit : int32_t { Cm = 0, Inch = 1 };  // list order: "cm", "inch"
extern const std::array<std::string_view, 2> kPrintUnitTexts;

constexpr int32_t kMinNewSide = 1;
constexpr int32_t kMaxNewSide = 2147483647;
constexpr double kMinResolution = 0.01;
constexpr double kMaxResolution = 1500000;
constexpr double kDefaultResolution = 72;

struct ScaleState {
  Size image;  // the document's largest width and height
  int32_t newWidth = 0;
  int32_t newHeight = 0;
  bool constrain = true;
  int32_t interpolation = 0;
  double resolutionX = kDefaultResolution;
  double resolutionY = kDefaultResolution;
  PrintUnit unit = PrintUnit::Inch;
};
// The dialog as it opens: the new size is the image's, 72 dpi each way, inches.
ScaleState StartScale(Size image, bool constrain, int32_t scaleType);

// The new width or height typed by the user; with "Constrain proportions" the other
// side follows: trunc(other image side * typed / this image side + 0.5), at least 1,
// an image side of 0 counting as 1.
void EditNewWidth(ScaleState& state, int32_t width);
void EditNewHeight(ScaleState& state, int32_t height);
// One resolution typed by the user; with "Constrain proportions" the other becomes
// 72 * typed / 72 of their starting values, 0.01 when that is not above 0.
void EditResolutionX(ScaleState& state, double resolution);
void EditResolutionY(ScaleState& state, double resolution);

// trunc(pixels * f / resolution * 100) / 100 with f 1 for inches and 2.54 for cm;
// 0 for a resolution that is not above 0.
double PrintedLength(int64_t pixels, double resolution, PrintUnit unit);
struct PrintedSize {
  double width = 0;
  double height = 0;
};
PrintedSize PrintedSizeOf(const ScaleState& state);
// At most two decimals, without trailing zeros ("25.4").
std::string PrintedLengthText(double length);

// "OK" only while the new size or a resolution differs from what the dialog opened with.
bool ScaleOkEnabled(const ScaleState& state);
// What the dialog's validation lets through before it closes.
bool ValidNewSide(int64_t side);
bool ValidResolution(double resolution);
// A number typed into an edit; nothing for text that is not one.
std::optional<int64_t> ParseWholeNumber(std::string_view text);
std::optional<double> ParseDecimalNumber(std::string_view text);

// What the four edits of the dialog hold when OK is pressed.
struct ScaleEntries {
  std::string newWidth;
  std::string newHeight;
  std::string resolutionX;
  std::string resolutionY;
};
struct ScaleRefusal {
  uint16_t id;          // the edit to correct
  std::string message;  // what the user is told
};
// The first entry the validation refuses, in the dialog's order; nothing when all
// four can be taken.
std::optional<ScaleRefusal> CheckScaleEntries(const ScaleEntries& entries);

// ---- "Rotate the image clockwise" ----

namespace rotate_ids {
constexpr uint16_t kInterpolate = 1000;
constexpr uint16_t kDial = 1001;
constexpr uint16_t kSlider = 1013;
constexpr uint16_t kAngleText = 1015;
constexpr uint16_t kAngleEdit = 1039;
}  // namespace rotate_ids

constexpr int32_t kAngleSliderMax = 3600;  // tenths of a degree

struct RightAngleChoice {
  uint16_t id;
  std::string_view text;
  double angle;
};
// "0° CW", "90°  CW", "180°  CW", "270°  CW", "360°  CW"
extern const std::array<RightAngleChoice, 5> kRightAngles;

double AngleFromSlider(int32_t position);  // position * 0.1
int32_t SliderFromAngle(double angle);     // angle / 0.1, to the nearest step
// A typed angle clamped to 0..360.
double ClampTypedAngle(double angle);
// "%0.1f° CW"
std::string AngleText(double angle);
// The right-angle choice whose angle equals `angle` exactly, if any.
std::optional<size_t> CheckedRightAngle(double angle);

// The circle control: the circle inside `circle` (the square of side min(width,
// height) at the origin, less one pixel on every side) and the line from `centre`
// to `end`, so that 0 degrees points straight up and angles grow clockwise.
struct RotationDial {
  Rect circle;
  Point centre;
  Point end;
};
RotationDial RotationDialFor(Size client, double angle);
constexpr uint32_t kDialOutlineColour = 0x800000;  // colour reference: navy
constexpr uint32_t kDialLineColour = 0x0000FF;     // colour reference: red

// ---- "Decrease color depth" ----

struct DepthChoice {
  uint16_t id;
  std::string_view text;
  uint32_t pixelType;
  uint32_t bitsPerPixel;
};
// "2 colors (1 bpp)" ... "16,7 million colors (32 bpp)"
extern const std::array<DepthChoice, 5> kDepthChoices;
namespace depth_ids {
constexpr uint16_t kDithering = 1009;
constexpr uint16_t kGrayscale = 1010;
}  // namespace depth_ids

// Vector pictures have no colour depth to change.
bool CanChangeColourDepth(uint32_t pixelType);

struct DepthChoiceStart {
  std::optional<size_t> disabled;  // the choice of the current depth
  size_t preselected = 0;
};
// For 1, 4, 8, 24 and 32 bits the current depth's choice is disabled and the one below
// it preselected (at 1 bit the 4-bit one). Depths the list does not hold disable
// nothing: 48 and 64 bits preselect their 8-bit-per-channel forms (24 and 32 bits),
// the others the deepest choice below them (16 and 12 bits: 8 bits).
DepthChoiceStart DepthChoicesFor(uint32_t bitsPerPixel);

// ---- "Swap channels" ----

// The entries of each list, in position order.
extern const std::array<std::string_view, 4> kChannelNames;  // "R", "G", "B", "A"
extern const std::array<uint16_t, 4> kSourceListIds;         // 1040 to 1043
extern const std::array<uint16_t, 4> kDestinationListIds;    // 1036 to 1039

// Each column is a permutation of the positions its rows use.
struct SwapColumns {
  int32_t rows = 4;  // 3 for RGB without alpha: the fourth row and "A" are gone
  std::array<int32_t, 4> source{0, 1, 2, 3};
  std::array<int32_t, 4> destination{2, 1, 0, 3};
};
// Rows of the dialog for a picture's depth: 3 for 24 and 48 bits, 4 for 32 and 64
// bits; 0 where the channels cannot be swapped.
int32_t SwapRowsFor(uint32_t pixelType);
SwapColumns StartSwap(uint32_t pixelType);
// The user picks `entry` in row `row` of a column: the row that held it before takes
// this row's old entry. Out-of-range rows and entries are ignored.
void ChooseSwapEntry(std::array<int32_t, 4>& column, int32_t rows, int32_t row, int32_t entry);

// For every pixel, the sample at position source[i] receives the one that stood at
// destination[i]. 8-bit samples of 24- and 32-bit RGB, and whole 16-bit samples of 48-
// and 64-bit RGB, where the positions count samples. BADA (nothing changed) for other
// pixel types, rows the record does not describe, or columns with positions the
// picture lacks.
glib::ERetcode SwapChannels(glib::CoreBitmap& bitmap, const SwapColumns& columns);

// ---- "Select Image Resolution" ----

// "%d x %d" for each size.
std::vector<std::string> ResolutionTexts(const std::vector<Size>& sizes);
// The entry selected when the dialog opens: the preselected one, 0 when it is not in
// the list.
size_t InitialResolutionEntry(size_t preselected, size_t count);

}  // namespace viewer
