// YCbCr pictures (as AV1 and HEVC decoders give them) to the page's BGR(A) rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexlo {

// How a picture's samples map to RGB, from its colour description (the matrix
// coefficients and colour primaries of ITU-T H.273, and the range flag).
struct YuvMatrix {
  // Luma weights of red and blue (BT.601: 0.299 and 0.114).
  float kr = 0.299f, kb = 0.114f;
  // Matrix 0: the planes hold G, B and R themselves.
  bool identity = false;
  // Full range (0..2^bits-1) rather than "studio" range (16..235 at 8 bits).
  bool fullRange = true;
};

// The matrix for H.273 matrix coefficients `matrix` (with the primaries for the
// chromaticity-derived matrices). Unspecified and unknown matrices are taken as BT.601,
// as AVIF and HEIF readers take them.
YuvMatrix MatrixFor(int matrix, int primaries, bool fullRange);

// One decoded picture. Samples of more than 8 bits are 16-bit words in host order.
struct YuvPicture {
  int width = 0, height = 0;
  int bits = 8;                // 8 to 16
  int shiftX = 0, shiftY = 0;  // chroma subsampling: 4:2:0 is 1, 1; 4:2:2 is 1, 0
  bool mono = false;           // no chroma planes
  const uint8_t* planes[3] = {};
  ptrdiff_t strides[3] = {};
  // An alpha plane of the picture's size, or none.
  const uint8_t* alpha = nullptr;
  ptrdiff_t alphaStride = 0;
  int alphaBits = 8;
  bool alphaFullRange = true;
};

// Row `y` of the picture into `out`: B, G, R (and A when `n` is 4), 8-bit samples, or
// 16-bit ones (scaled to the full 16-bit range) with `wide`. Chroma is taken from the
// nearest chroma sample, as the HEIF and AVIF reference decoders do.
void YuvRowToBgr(const YuvPicture& picture, const YuvMatrix& matrix, int y, uint8_t* out, size_t n,
                 bool wide);

// The fixed-point form of a (non-identity) matrix for 8-bit pictures: the luma scale
// and the chroma weights, with 16 fraction bits, as output levels.
struct YuvFixed {
  int32_t yOffset = 0, yScale = 1 << 16;
  int32_t rCr = 0, gCb = 0, gCr = 0, bCb = 0;
};
YuvFixed FixedFor(const YuvMatrix& matrix);

// True when YuvRowToBgr8 can convert the picture: 8-bit samples, no alpha or full-range
// 8-bit alpha.
bool FixedConverts(const YuvPicture& picture, const YuvMatrix& matrix);

// YuvRowToBgr for the pictures FixedConverts accepts, in integer arithmetic (within a
// level of it) and shaped for the compiler to vectorise: the still images' hot path.
void YuvRowToBgr8(const YuvPicture& picture, const YuvFixed& fixed, int y, uint8_t* out, size_t n);

}  // namespace vexlo
