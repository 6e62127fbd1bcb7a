// The blend modes of layers: how one row of a layer's 32-bit pixels is combined with
// the row of the picture built so far. Codes are four characters read big-endian
// ("norm" is 0x6E6F726D). The arithmetic is exact integer arithmetic; the processor-
// specific forms of "norm", "gams" and "smas" give the same bytes as the plain ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glib {

// Which of the two forms of "norm": Flatten's (alpha accumulates) or the display
// composite's (a straight mix towards the layer, alpha taken from the layer).
enum class NormForm { kFlatten, kDisplay };

struct BlendRowArgs {
  uint32_t mode = 0;
  NormForm norm = NormForm::kFlatten;
  uint8_t* target = nullptr;       // composite pixels, blue, green, red, alpha
  const uint8_t* layer = nullptr;  // layer pixels
  int32_t count = 0;               // pixels
  // The underlay of "gams" and "smas": a row of base-layer pixels, or (when null) the
  // single pixel word 0xAARRGGBB.
  const uint8_t* underlay = nullptr;
  uint32_t underlayPixel = 0;
  uint32_t seed = 0;  // "diss": the generator's seed for this row
};

// False for a code outside the table (such a layer contributes nothing).
bool IsBlendMode(uint32_t mode);

// Blends one row. Unknown codes leave the target unchanged.
void BlendRow(const BlendRowArgs& args);

// The plain (not vectorised) forms, for tests that pin the two together.
void BlendRowPlain(const BlendRowArgs& args);

// Which forms BlendRow may use: the widest the processor has (the default), at most
// the 128-bit ones, or only the plain ones. For tests and measurements.
enum class BlendForms { kPlain, kSse2, kWidest };
void SetBlendForms(BlendForms forms);

// Copies a finished row to memory without reading the destination into the cache
// first (non-temporal stores where the processor has them); StreamDone orders them
// before anything that reads the rows.
void StreamRow(uint8_t* to, const uint8_t* from, size_t bytes);
void StreamDone();

// q(x): x / 255 truncating towards zero; r(x): x / 255 to the nearest.
constexpr int Div255Trunc(int x) { return x / 255; }
constexpr int Div255Round(int x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

}  // namespace glib
