// The image operations behind the effect numbers, with their settings as numbers
// (the effect table turns parameter lists into these calls). Every operation changes
// the colour samples of `picture` in place and leaves alpha alone; it returns RCOK,
// USRA when the progress callback asked to stop (the picture is then unchanged),
// OMEM when scratch memory is short (unchanged too) or BADA for a setting outside
// the range noted. Sample units are those of the picture (0..255 or 0..65535).
#pragma once

#include <cstdint>

#include "cef/Picture.h"
#include "cef/Progress.h"
#include "formats/Retcode.h"

namespace cef {

using glib::ERetcode;

// ---- point operations (Point.cpp): lookup tables, one pass in place ----

// Adds `offset` sample units to every colour sample.
ERetcode Brightness(const Picture& picture, double offset, Progress& progress);
// A straight line through mid-grey: `amount` > 0 cuts that many sample units from
// each end of the range and stretches the rest over it (half the range or more
// leaves a threshold at mid-grey); `amount` < 0 squeezes the range by as much (half
// the range or more leaves mid-grey).
ERetcode Contrast(const Picture& picture, double amount, Progress& progress);
// max * (v / max) ^ (1 / gamma); gamma > 1 lightens.
ERetcode Gamma(const Picture& picture, double gamma, Progress& progress);
// Adds an offset per channel: red, green, blue.
ERetcode LinearBalance(const Picture& picture, const double redGreenBlue[3], Progress& progress);
ERetcode Negative(const Picture& picture, Progress& progress);
// Black and white points from all three channels together (0.1 % of the samples
// clipped at each end), one stretch for all of them: the hues stay.
ERetcode AutoContrast(const Picture& picture, Progress& progress);
// Each channel stretched by its own black and white points (0.1 % clipped). With
// `colours` each channel's median then moves to the mean of the three medians by a
// gamma curve of its own, which takes out a colour cast.
ERetcode AutoLevels(const Picture& picture, bool colours, Progress& progress);
// Grey from the luminance weights 0.299 red, 0.587 green, 0.114 blue, or with
// `average` the plain mean of the three.
ERetcode Greyscale(const Picture& picture, bool average, Progress& progress);
// Grey from the lightness, the mean of the largest and the smallest sample.
ERetcode Desaturate(const Picture& picture, Progress& progress);
// The customary sepia matrix (red .393 .769 .189, green .349 .686 .168, blue .272
// .534 .131 of red, green, blue), clipped at white.
ERetcode Sepia(const Picture& picture, Progress& progress);
// Colour balance by tone: `sliders` (red, green, blue; -100..100) bend each channel's
// curve where the tone range lies (0 shadows, 1 midtones, 2 highlights) and leave
// black and white in place; with `preserveLuminosity` every pixel keeps its
// luminance.
ERetcode NonLinearBalance(const Picture& picture, const double sliders[3], int toneRange,
                          bool preserveLuminosity, Progress& progress);

// ---- blurs (Blur.cpp); edges repeat the outermost pixels ----

constexpr int kMaxBlurRadius = 1000;
constexpr double kMaxSigma = 1000.0;

// Mean of the (2 radius + 1)^2 square by running sums. radius 1..kMaxBlurRadius.
ERetcode BoxBlur(const Picture& picture, int radius, Progress& progress);
// Gaussian of standard deviations sigmaX and sigmaY (0 leaves that direction alone,
// up to kMaxSigma): an exact separable kernel out to 4 sigma below sigma 3, above it
// the third-order recursive filter of van Vliet, Young and Verbeek, whose cost does
// not depend on sigma.
ERetcode GaussianBlur(const Picture& picture, double sigmaX, double sigmaY, Progress& progress);
// v + amount * (v - gaussian(v)) where |v - gaussian(v)| is above `threshold`
// (8-bit levels, scaled for 16-bit samples). amount 1 is 100 %.
ERetcode UnsharpMask(const Picture& picture, double sigma, double amount, double threshold,
                     Progress& progress);
// Mean of `length` pixels along a line through each pixel at `degrees`
// anticlockwise from the horizontal, by running sums along digital lines.
ERetcode MotionBlur(const Picture& picture, double degrees, int length, Progress& progress);
// Mean of the pixels of the (2 radius + 1)^2 square whose every colour sample lies
// within `threshold` (8-bit levels) of the centre pixel's: edges stay sharp.
ERetcode SmartBlur(const Picture& picture, int radius, double threshold, Progress& progress);

// ---- rank filters (Rank.cpp) over the (2 radius + 1)^2 square ----

constexpr int kMaxRankRadius = 100;

// 8-bit: the sliding column histograms of Perreault and Hebert, constant time per
// pixel; 16-bit: Huang's sliding window over a four-level histogram.
ERetcode Median(const Picture& picture, int radius, Progress& progress);
// van Herk / Gil-Werman in each direction: three comparisons per sample whatever
// the radius.
ERetcode Minimum(const Picture& picture, int radius, Progress& progress);
ERetcode Maximum(const Picture& picture, int radius, Progress& progress);
// Each pixel takes the mean colour of the most common of 32 intensity levels in its
// square (a sliding histogram).
ERetcode OilPaint(const Picture& picture, int radius, Progress& progress);

// ---- kernels (Kernel.cpp) ----

// A size x size correlation (3 or 5; the coefficients row by row, laid on the picture
// as they read), the weighted sum times `multiplier` plus `offset` sample units.
struct Kernel {
  int size = 5;
  double coefficients[25] = {};
  double multiplier = 1.0;
  double offset = 0.0;
};
ERetcode Convolve(const Picture& picture, const Kernel& kernel, Progress& progress);
// 5 in the centre, -1 at the four sides.
ERetcode Sharpen(const Picture& picture, Progress& progress);
// Relief lit from the top left: -1 -1 0 / -1 0 1 / 0 1 1 around mid-grey.
ERetcode Emboss(const Picture& picture, Progress& progress);

// ---- others (Artistic.cpp) ----

// Cells of width x height from the top-left corner, each filled with its mean.
ERetcode Mosaic(const Picture& picture, int width, int height, Progress& progress);
// A woven canvas pressed into the picture: `direction` 0..3 lights it from the top
// left, top right, bottom left or bottom right, `depth` 1..50 its relief.
ERetcode Canvas(const Picture& picture, int direction, int depth, Progress& progress);
// The Kuwahara filter of radius 2: each pixel takes the mean of the one of its four
// overlapping 3 x 3 corner squares whose luminance varies least.
ERetcode SmartSmoothing(const Picture& picture, Progress& progress);

}  // namespace cef
