#include "runtime/PixelConvert.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "formats/PixelType.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelBits.h"
#include "runtime/ProgressBand.h"
#include "runtime/Quantize.h"

namespace glib {
namespace {

std::atomic<VectorRenderer*> vectorRenderer{nullptr};

constexpr const char* kPrepareText = "prepare...";

int32_t RuleOf(const CoreBitmap& bitmap) {
  return bitmap.stride == kStridePacked ? kStridePacked : kStridePadded;
}

struct NewRows {
  PageRows rows;
  uint64_t rowBytes = 0;
  uint8_t* Row(int32_t y) const { return rows.get() + uint64_t(y) * rowBytes; }
};

bool Allocate(const CoreBitmap& bitmap, uint32_t type, int32_t rule, NewRows& out) {
  out.rows = AllocateRows(bitmap.width, bitmap.height, type, rule, &out.rowBytes);
  return bool(out.rows);
}

// Fills every row with fill(y) on the runtime's threads, reporting "prepare..."
// through the bitmap's own callback. False when it asked to stop.
template <typename Fill>
bool FillRows(const CoreBitmap& bitmap, Fill fill) {
  ProgressBand band(bitmap.progress, bitmap.progressContext, bitmap.width, bitmap.height,
                    kPrepareText);
  auto body = [&](int32_t first, int32_t end, int worker) {
    for (int32_t y = first; y < end; ++y) fill(y, worker);
  };
  int workers = WorkersFor(uint64_t(bitmap.width) * uint64_t(bitmap.height));
  return RunRowChunks(bitmap.height, 32, workers, &band, body);
}

// Rows of the same pixels under another row rule (the shorter row length is copied).
ERetcode Relayout(CoreBitmap& bitmap, uint32_t type, int32_t rule) {
  SourceRows source;
  ERetcode code = ReadSourceRows(bitmap, source);
  if (code != RCOK) return code;
  NewRows out;
  if (!Allocate(bitmap, type, rule, out)) return OMEM;
  uint64_t length = std::min(out.rowBytes, source.rowBytes);
  if (!FillRows(bitmap, [&](int32_t y, int) { std::memcpy(out.Row(y), source.Row(y), length); })) {
    return USRA;
  }
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, type, rule);
  return RCOK;
}

// Any type to a true-colour type through the scan-line converter.
ERetcode Expand(CoreBitmap& bitmap, uint32_t target, int32_t rule) {
  SourceRows source;
  ERetcode code = ReadSourceRows(bitmap, source);
  if (code != RCOK) return code;
  NewRows out;
  if (!Allocate(bitmap, target, rule, out)) return OMEM;
  int workers = RuntimeThreads();
  std::vector<LineConverter> converters(static_cast<size_t>(workers));
  for (LineConverter& converter : converters) {
    if ((code = converter.Set(bitmap, target)) != RCOK) return code;
  }
  bool done = FillRows(bitmap, [&](int32_t y, int worker) {
    converters[size_t(worker)].GetScanline(y, out.Row(y));
  });
  if (!done) return USRA;
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, target, rule);
  return RCOK;
}

// 1- or 4-bit indices spread to one byte each.
ERetcode Unpack(CoreBitmap& bitmap, int32_t rule) {
  SourceRows source;
  ERetcode code = ReadSourceRows(bitmap, source);
  if (code != RCOK) return code;
  NewRows out;
  if (!Allocate(bitmap, kPixelIndexed8, rule, out)) return OMEM;
  uint32_t bits = source.layout->bitsPerPixel;
  bool done = FillRows(bitmap, [&](int32_t y, int) {
    const uint8_t* in = source.Row(y);
    uint8_t* o = out.Row(y);
    for (int32_t x = 0; x < bitmap.width; ++x) o[x] = uint8_t(GetBits(in, bits, x));
  });
  if (!done) return USRA;
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, kPixelIndexed8, rule);
  return RCOK;
}

// Packs 8-bit indices (all below 1 << bits) into the prepared rows, first pixel in
// the most significant bits; a partial last byte is filled from the top, the rest 0.
void Pack(const CoreBitmap& indices, uint32_t bits, NewRows& out) {
  uint64_t inRowBytes = RowBytes(indices);
  for (int32_t y = 0; y < indices.height; ++y) {
    const uint8_t* in = indices.pixels + uint64_t(y) * inRowBytes;
    uint8_t* o = out.Row(y);
    std::memset(o, 0, out.rowBytes);
    for (int32_t x = 0; x < indices.width; ++x) PutBits(o, bits, x, in[x]);
  }
}

void SwapPaletteOrder(CoreBitmap& bitmap, int entries) {
  for (int i = 0; i < entries; ++i) {
    uint32_t c = bitmap.palette[i];
    bitmap.palette[i] = (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
  }
}

// The 256 grey levels straight from the stored bytes: no quantiser involved.
bool GreyIndices(const CoreBitmap& bitmap, const SourceRows& source, const char* text,
                 NewRows& out) {
  ProgressBand band(bitmap.progress, bitmap.progressContext, bitmap.width, bitmap.height, text);
  bool wide = BitsPerSample(bitmap.pixelType) == 16;
  uint32_t step = BitsPerPixel(bitmap.pixelType) / 8;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    const uint8_t* p = source.Row(y);
    uint8_t* o = out.Row(y);
    for (int32_t x = 0; x < bitmap.width; ++x, p += step) {
      if (wide) {
        uint64_t s0 = p[0] | p[1] << 8, s1 = p[2] | p[3] << 8, s2 = p[4] | p[5] << 8;
        o[x] = uint8_t((77 * s0 + 150 * s1 + 29 * s2) / 65536);
      } else {
        o[x] = uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2]) / 256);
      }
    }
    if (!band.RowsDone(y + 1)) return false;
  }
  return true;
}

// Two colours read as black on white by writers that ignore the palette: the
// darker comes first.
void DarkerFirst(CoreBitmap& indices, uint32_t* palette) {
  auto luma = [](uint32_t c) {
    return 29 * (c & 255) + 150 * ((c >> 8) & 255) + 77 * ((c >> 16) & 255);
  };
  if (luma(palette[0]) <= luma(palette[1])) return;
  std::swap(palette[0], palette[1]);
  uint64_t rowBytes = RowBytes(indices);
  for (int32_t y = 0; y < indices.height; ++y) {
    uint8_t* row = indices.pixels + uint64_t(y) * rowBytes;
    for (int32_t x = 0; x < indices.width; ++x) row[x] ^= 1;
  }
}

// -1 on failure, with `failure` telling a stop request (USRA) from the rest (OMEM).
int Reduce(CoreBitmap& bitmap, int maxColours, const char* progressText, int32_t rule,
           ERetcode& failure) {
  failure = OMEM;
  if (maxColours < 1 || !bitmap.pixels) return -1;
  maxColours = std::min(maxColours, 256);
  std::string text = progressText && *progressText ? std::string(progressText) + "; Quantize..."
                                                   : std::string("Quantize...");
  if (bitmap.pixelType == kPixelIndexed4) {
    ERetcode code =
        ConvertPixelType(bitmap, kPixelIndexed8, rule == kStridePadded, 96, 96, {}, false);
    if (code != RCOK) {
      if (code == USRA) failure = USRA;
      return -1;
    }
  } else if (BitsPerPixel(bitmap.pixelType) < 24 && bitmap.pixelType != kPixelIndexed8) {
    // Grey and packed pixels are reduced from their colours.
    ERetcode code = Expand(bitmap, kPixelRGB24, rule);
    if (code != RCOK) {
      failure = code;
      return -1;
    }
  }
  SourceRows source;
  if (ReadSourceRows(bitmap, source) != RCOK) return -1;
  NewRows out;
  if (!Allocate(bitmap, kPixelIndexed8, rule, out)) return -1;
  uint32_t palette[256] = {};
  int count;
  bool dither = bitmap.convertFlag1 != 0, grey = bitmap.convertFlag2 != 0;
  if (BitsPerPixel(bitmap.pixelType) >= 24) {
    if (grey && maxColours == 256) {
      if (!GreyIndices(bitmap, source, text.c_str(), out)) {
        failure = USRA;
        return -1;
      }
      for (uint32_t k = 0; k < 256; ++k) palette[k] = 0xFF000000u | k * 0x010101u;
      count = 256;
    } else {
      Quantize quantize(uint32_t(maxColours), dither, grey, true, bitmap.progress,
                        bitmap.progressContext, text.c_str());
      count = quantize.Execute(bitmap.pixels, bitmap.width, bitmap.height, bitmap.pixelType,
                               bitmap.stride, out.rows.get(), rule, palette);
      if (quantize.LastResult() == USRA) failure = USRA;
    }
  } else if (bitmap.pixelType == kPixelIndexed8) {
    QuantizeIndexedBitmap quantize(uint32_t(maxColours), dither, grey, bitmap.progress,
                                   bitmap.progressContext, text.c_str());
    count = quantize.Execute(bitmap.pixels, bitmap.width, bitmap.height, bitmap.stride,
                             bitmap.palette, out.rows.get(), rule, palette);
    if (quantize.LastResult() == USRA) failure = USRA;
  } else {
    return -1;
  }
  if (count < 0) return -1;
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, kPixelIndexed8, rule);
  if (maxColours == 2 && count == 2) DarkerFirst(bitmap, palette);
  std::memcpy(bitmap.palette, palette, sizeof palette);
  bitmap.paletteSize = uint32_t(count);
  return count;
}

ERetcode ToOneBit(CoreBitmap& bitmap, int32_t rule) {
  if (BitsPerPixel(bitmap.pixelType) == 1) {
    ERetcode code = Relayout(bitmap, kPixelBW1, rule);
    if (code == RCOK) bitmap.paletteSize = 2;
    return code;
  }
  // Rows first: a reduction is not undone when memory is short afterwards.
  NewRows out;
  if (!Allocate(bitmap, kPixelBW1, rule, out)) return OMEM;
  ERetcode failure;
  if (Reduce(bitmap, 2, nullptr, kStridePacked, failure) < 0) return failure;
  Pack(bitmap, 1, out);
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, kPixelBW1, rule);
  return RCOK;
}

ERetcode ToFourBit(CoreBitmap& bitmap, int32_t rule) {
  NewRows out;
  if (!Allocate(bitmap, kPixelIndexed4, rule, out)) return OMEM;
  if (BitsPerPixel(bitmap.pixelType) == 1) {
    SourceRows source;
    ERetcode code = ReadSourceRows(bitmap, source);
    if (code != RCOK) return code;
    for (int32_t y = 0; y < bitmap.height; ++y) {
      std::memset(out.Row(y), 0, out.rowBytes);
      for (int32_t x = 0; x < bitmap.width; ++x)
        PutBits(out.Row(y), 4, x, GetBits(source.Row(y), 1, x));
    }
    bitmap.paletteSize = 2;
  } else {
    ERetcode failure;
    if (Reduce(bitmap, 16, nullptr, kStridePacked, failure) < 0) return failure;
    Pack(bitmap, 4, out);
  }
  AdoptRows(bitmap, std::move(out.rows), bitmap.width, bitmap.height, kPixelIndexed4, rule);
  return RCOK;
}

ERetcode ToEightBit(CoreBitmap& bitmap, int32_t rule) {
  uint32_t wanted = bitmap.paletteSize == 0 ? 256 : std::min<uint32_t>(bitmap.paletteSize, 256);
  uint32_t bits = BitsPerPixel(bitmap.pixelType);
  if (bitmap.pixelType == kPixelIndexed8 && wanted == 256) {
    return bitmap.stride == rule ? RCOK : Relayout(bitmap, kPixelIndexed8, rule);
  }
  if (bits == 1 || bitmap.pixelType == kPixelIndexed4) return Unpack(bitmap, rule);
  ERetcode failure;
  return Reduce(bitmap, int(wanted), nullptr, rule, failure) < 0 ? failure : RCOK;
}

ERetcode ConvertRaster(CoreBitmap& bitmap, uint32_t target, int32_t rule) {
  if (bitmap.pixelType == target && target != kPixelIndexed8 &&
      (target != kPixelBW1 || bitmap.stride == rule)) {
    return RCOK;
  }
  switch (target) {
    case kPixelBW1:
      return ToOneBit(bitmap, rule);
    case kPixelIndexed4:
      return ToFourBit(bitmap, rule);
    case kPixelIndexed8:
      return ToEightBit(bitmap, rule);
    default:
      return Expand(bitmap, target, rule);
  }
}

// Renders the picture, converts the rendering, and only then lets it replace the
// picture: a failure leaves the vector picture as it was.
ERetcode ConvertVector(CoreBitmap& bitmap, uint32_t target, int32_t rule, float resolutionX,
                       float resolutionY, const RenderColours& colours) {
  VectorRenderer* renderer = vectorRenderer.load();
  if (!renderer) return UNSF;
  CoreBitmap rendered;
  rendered.progress = bitmap.progress;
  rendered.progressContext = bitmap.progressContext;
  rendered.convertFlag1 = bitmap.convertFlag1;
  rendered.convertFlag2 = bitmap.convertFlag2;
  rendered.paletteSize = bitmap.paletteSize;
  ERetcode code = renderer->Render(bitmap, resolutionX, resolutionY, colours, rendered);
  if (code == RCOK && rendered.pixelType != kPixelRGBA32) code = IERR;
  if (code == RCOK) code = ConvertRaster(rendered, target, rule);
  if (code != RCOK) {
    ReleaseRows(rendered);
    return code;
  }
  if (bitmap.picture && bitmap.ownsPixels) bitmap.picture->ops->Destroy(bitmap.picture, 1);
  bitmap.picture = nullptr;
  ReleaseRows(bitmap);
  std::memcpy(bitmap.palette, rendered.palette, sizeof bitmap.palette);
  bitmap.paletteSize = rendered.paletteSize;
  bitmap.pixels = rendered.pixels;
  bitmap.freePixels = rendered.freePixels;
  bitmap.freeContext = rendered.freeContext;
  bitmap.ownsPixels = 1;
  bitmap.width = rendered.width;
  bitmap.height = rendered.height;
  bitmap.stride = rendered.stride;
  bitmap.pixelType = rendered.pixelType;
  return RCOK;
}

bool IsTarget(uint32_t type) {
  switch (type) {
    case kPixelBW1:
    case kPixelIndexed4:
    case kPixelIndexed8:
    case kPixelRGB24:
    case kPixelRGBA32:
    case kPixelRGB48:
    case kPixelRGBA64:
      return true;
    default:
      return false;
  }
}

}  // namespace

void SetVectorRenderer(VectorRenderer* renderer) { vectorRenderer.store(renderer); }

ERetcode ConvertPixelType(CoreBitmap& bitmap, uint32_t target, bool paddedRows, float resolutionX,
                          float resolutionY, const RenderColours& colours, bool swapPaletteOrder) {
  if (!IsTarget(target)) return UNSF;
  if (!bitmap.pixels && !bitmap.picture) return RCOK;
  int32_t rule = paddedRows ? kStridePadded : kStridePacked;
  ERetcode code;
  try {
    code = bitmap.pixels ? ConvertRaster(bitmap, target, rule)
                         : ConvertVector(bitmap, target, rule, resolutionX, resolutionY, colours);
  } catch (const std::bad_alloc&) {
    return OMEM;
  }
  if (code == RCOK && swapPaletteOrder) {
    if (target == kPixelIndexed4) SwapPaletteOrder(bitmap, 16);
    if (target == kPixelIndexed8) SwapPaletteOrder(bitmap, 256);
  }
  return code;
}

int ReduceToIndexed(CoreBitmap& bitmap, int maxColours, const char* progressText) {
  try {
    ERetcode failure;
    return Reduce(bitmap, maxColours, progressText, RuleOf(bitmap), failure);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace glib
