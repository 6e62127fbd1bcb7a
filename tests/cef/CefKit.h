// What the effect tests share: generated pictures in every row layout, running an
// effect with a parameter list, comparing pictures, and ImageMagick's convert as the
// reference where it has the same operation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"

namespace cef_test {

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t type = glib::kPixelRGB24;
  int32_t stride = glib::kStridePadded;
  std::vector<uint8_t> bytes;  // every row as the row rule lays it out

  int Channels() const { return int(glib::SamplesPerPixel(type)); }
  bool Wide() const { return glib::BitsPerSample(type) == 16; }
  uint32_t Max() const { return Wide() ? 65535u : 255u; }
  uint64_t RowBytes() const { return glib::RowBytes(width, glib::BitsPerPixel(type), stride); }
  uint32_t Get(int32_t x, int32_t y, int c) const;
  void Set(int32_t x, int32_t y, int c, uint32_t v);
  glib::CoreBitmap Bitmap();  // a record over `bytes`
};

// An empty picture of that shape (all samples 0, the row padding 0xA5).
Image Blank(int32_t width, int32_t height, uint32_t type, int32_t stride = glib::kStridePadded);
// A stand-in for a photograph: gradients, hard edges, a little noise; random alpha.
Image Generated(int32_t width, int32_t height, uint32_t type, uint32_t seed = 1,
                int32_t stride = glib::kStridePadded);
// Every pixel blue, green, red (in 8-bit levels, scaled for 16-bit) and alpha 77.
Image Flat(int32_t width, int32_t height, uint32_t type, uint8_t b, uint8_t g, uint8_t r);
// The same picture with 16-bit samples (each 8-bit level times 257).
Image Widened(const Image& image);

// Runs the effect with its parameters (whole numbers go as integers, others as reals).
uint32_t Apply(Image& image, uint32_t effect, const std::vector<double>& params = {},
               ProgressCallback progress = nullptr, ClbData* record = nullptr);

// Largest difference between colour samples, `border` pixels at each edge left out.
uint32_t MaxDifference(const Image& a, const Image& b, int border = 0);
// True when no alpha sample and no padding byte differs.
bool SameAlphaAndPadding(const Image& a, const Image& b);

// The picture's colour through /usr/bin/convert with `arguments` between the input
// and the output file; false when the tool is missing or fails.
bool HaveReference();
bool Reference(const Image& in, const std::string& arguments, Image& out);

// An effect with its parameters against convert with `reference`, within `tolerance`.
struct ReferenceCase {
  const char* name;
  uint32_t effect;
  std::vector<double> params;
  std::string reference;
  uint32_t tolerance;
};
// Expects each case's effect on the picture to match the reference (a gtest check).
void ExpectLikeReference(const Image& picture, const std::vector<ReferenceCase>& cases);

}  // namespace cef_test
