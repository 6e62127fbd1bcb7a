// The pixels the test scanner delivers, so that a test can tell its pages apart and
// check any pixel of a transferred bitmap. Pages are numbered from 1 in the order they
// are transferred (a failed transfer still uses up its page); x and y are counted from
// the top-left corner of the image, whatever the row order of the bitmap.
#pragma once

#include <cstdint>

namespace orbisk::testsource {

// type=rgb (24 bits): red is the page number, green the column, blue the row (both
// modulo 256). Pixel (0,0) is therefore (page, 0, 0).
constexpr uint8_t RgbRed(int page, int /*x*/, int /*y*/) { return uint8_t(page); }
constexpr uint8_t RgbGreen(int /*page*/, int x, int /*y*/) { return uint8_t(x); }
constexpr uint8_t RgbBlue(int /*page*/, int /*x*/, int y) { return uint8_t(y); }

// type=gray (8 bits, palette entry i is grey level i): the level is page + x + 2y
// modulo 256, so pixel (0,0) is the page number.
constexpr uint8_t GrayLevel(int page, int x, int y) { return uint8_t(page + x + 2 * y); }

// type=bw (1 bit, palette entry 0 black, 1 white): the first kBwPageBits pixels of the
// top row hold the page number in binary, least significant bit at x = 0; every other
// pixel is a checkerboard, white where x + y is odd.
constexpr int kBwPageBits = 16;
constexpr int BwIndex(int page, int x, int y) {
  return (y == 0 && x < kBwPageBits) ? (page >> x) & 1 : (x + y) & 1;
}

}  // namespace orbisk::testsource
