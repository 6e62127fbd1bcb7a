// Changing the pixel type of one raster picture in place: reduction to palettes,
// packing indices into 1- and 4-bit rows, expansion to true colour. The engine
// behind a layer's ConvertTo.
#pragma once

#include <cstdint>

#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"

namespace glib {

// Colours a vector picture is drawn with when it must become pixels (colour
// values: red in the lowest byte, alpha in the highest).
struct RenderColours {
  uint32_t background = 0xFFFFFFFF;
  uint32_t foreground = 0xFF000000;
};

// Draws vector pictures into pixels. The document model provides one where it can
// (GDI+ on Windows); without one, converting a vector picture answers UNSF.
class VectorRenderer {
 public:
  virtual ~VectorRenderer() = default;
  // Fills `out` (an empty record) with new 32-bit RGBA rows from the page
  // allocator holding `picture` (a bitmap whose picture is set) drawn at the
  // resolution over the background.
  virtual ERetcode Render(const CoreBitmap& picture, float resolutionX, float resolutionY,
                          const RenderColours& colours, CoreBitmap& out) = 0;
};

// The process-wide renderer (not owned); null removes it.
void SetVectorRenderer(VectorRenderer* renderer);

// Converts `bitmap` to `target`: 0x01010101, 0x02010104, 0x02010108, 0x03010308,
// 0x83010408, 0x03010310 or 0x83010410 (others: UNSF). New rows follow the padded
// rule when `paddedRows`, else the packed one. The dither and grey flags are the
// bitmap's convertFlag1 and convertFlag2; for 8-bit targets paletteSize is the
// number of colours wanted. `swapPaletteOrder` swaps the first and third byte of
// every palette entry after a conversion to 4- or 8-bit indices. RCOK; OMEM when a
// size does not fit in 32 bits, memory is short or a reduction fails; USRA when the
// progress callback asked to stop (the bitmap is then unchanged).
ERetcode ConvertPixelType(CoreBitmap& bitmap, uint32_t target, bool paddedRows, float resolutionX,
                          float resolutionY, const RenderColours& colours, bool swapPaletteOrder);

// Turns the picture into 8-bit indices with at most `maxColours` (up to 256) palette
// entries and returns their number, or -1 with the bitmap unchanged. The progress
// text is "Quantize..." or `progressText` followed by "; Quantize...".
int ReduceToIndexed(CoreBitmap& bitmap, int maxColours, const char* progressText);

}  // namespace glib
