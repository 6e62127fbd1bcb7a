// Windows and OS/2 bitmaps: core (Windows 2 / OS/2 1.x), OS/2 2.x, and Windows
// version 3 to 5 headers; 1, 4, 8, 16, 24 and 32 bits; RLE4 and RLE8; bit fields.
// A device-independent bitmap without the file header (what a scanner hands over)
// reads as well.
#include <algorithm>
#include <array>
#include <bit>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5,
                   kAlphaBitFields = 6;

struct BmpHeader {
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;  // negative: rows top-down
  uint32_t bits = 0;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool hasMasks = false;
  int version = 3;          // 1 Win2, 2 OS/2, 3, 4, 5
  uint64_t dataOffset = 0;  // 0: right after the palette
  uint64_t paletteOffset = 0;
  uint32_t paletteEntrySize = 4;
};

bool IsInfoHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124 ||
         (size >= 16 && size <= 64);
}

uint32_t ReadHeader(Reader& in, BmpHeader& h) {
  uint64_t base = 0;
  if (in.Left() >= 2 && in.Data()[0] == 'B' && in.Data()[1] == 'M') {
    in.Skip(10);
    h.dataOffset = in.U32LE();
    base = 14;
  }
  h.headerSize = in.U32LE();
  if (in.Failed() || !IsInfoHeaderSize(h.headerSize)) return BADI;
  if (h.headerSize == 12) {
    h.version = 1;
    h.width = in.U16LE();
    h.height = int16_t(in.U16LE());
    in.Skip(2);
    h.bits = in.U16LE();
    h.paletteEntrySize = 3;
  } else {
    Reader fields(in.Data() + in.Pos(), std::min<size_t>(in.Left(), h.headerSize - 4));
    std::array<uint8_t, 120> raw{};  // short OS/2 2.x headers leave the rest zero
    fields.Copy(raw.data(), fields.Left());
    Reader f(raw.data(), raw.size());
    h.width = int32_t(f.U32LE());
    h.height = int32_t(f.U32LE());
    f.Skip(2);
    h.bits = f.U16LE();
    h.compression = f.U32LE();
    f.Skip(4);
    h.xPelsPerMeter = int32_t(f.U32LE());
    h.yPelsPerMeter = int32_t(f.U32LE());
    h.colorsUsed = f.U32LE();
    f.Skip(4);
    for (uint32_t& mask : h.masks) mask = f.U32LE();
    bool windows = h.headerSize == 40 || h.headerSize == 52 || h.headerSize == 56 ||
                   h.headerSize == 108 || h.headerSize == 124;
    h.version = !windows ? 2 : h.headerSize == 108 ? 4 : h.headerSize == 124 ? 5 : 3;
    if (!in.Skip(h.headerSize - 4)) return BADI;
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
      h.hasMasks = true;
      // A 40-byte header keeps its masks after itself, before the palette.
      if (h.headerSize == 40) {
        for (int i = 0; i < (h.compression == kAlphaBitFields ? 4 : 3); ++i)
          h.masks[i] = in.U32LE();
        if (h.compression == kBitFields) h.masks[3] = 0;
      } else if (h.headerSize < 56) {
        h.masks[3] = 0;
      }
    } else if (!windows && h.compression == 3) {
      return UNSF;  // OS/2 Huffman 1D
    }
  }
  if (in.Failed()) return BADI;
  h.paletteOffset = in.Pos();
  (void)base;
  return RCOK;
}

uint32_t PixelTypeOf(const BmpHeader& h) {
  switch (h.bits) {
    case 1:
      return glib::kPixelIndexed1;
    case 4:
      return glib::kPixelIndexed4;
    case 8:
      return glib::kPixelIndexed8;
    case 24:
      return glib::kPixelRGB24;
    case 16: {
      if (!h.hasMasks) return glib::kPixelRGB5551;
      const uint32_t* m = h.masks;
      if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F && m[3] == 0)
        return glib::kPixelRGB565;
      if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F)
        return m[3] == 0x8000 ? uint32_t(glib::kPixelRGBA5551)
               : m[3] == 0    ? uint32_t(glib::kPixelRGB5551)
                              : 0u;
      if (m[0] == 0x0F00 && m[1] == 0x00F0 && m[2] == 0x000F && m[3] == 0xF000)
        return glib::kPixelRGBA4444;
      return 0;  // other masks: extracted into 32-bit pixels
    }
    case 32:
      return glib::kPixelRGBA32;
    default:
      return 0;
  }
}

bool ValidMasks(const BmpHeader& h) {
  for (int i = 0; i < 4; ++i) {
    uint32_t m = h.masks[i];
    if (m == 0) {
      if (i < 3) return false;
      continue;
    }
    if (h.bits == 16 && m > 0xFFFF) return false;
    // Contiguous runs only.
    uint32_t shifted = m >> std::countr_zero(m);
    if ((shifted & (shifted + 1)) != 0) return false;
  }
  return true;
}

// One channel scaled from its mask's width to 8 bits.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (!mask) return 255;
  int shift = std::countr_zero(mask);
  int width = std::popcount(mask);
  uint32_t v = (pixel & mask) >> shift;
  if (width >= 8) return uint8_t(v >> (width - 8));
  uint32_t max = (1u << width) - 1;
  return uint8_t((v * 255 + max / 2) / max);
}

void ReadPalette(const Source& source, const BmpHeader& h, glib::CoreBitmap& bitmap) {
  uint32_t entries = h.colorsUsed ? std::min<uint32_t>(h.colorsUsed, 256) : 1u << h.bits;
  entries = std::min<uint32_t>(entries, 1u << h.bits);
  Reader in(source.Bytes());
  in.Seek(h.paletteOffset);
  for (uint32_t i = 0; i < entries && in.Left() >= h.paletteEntrySize; ++i) {
    const uint8_t* e = in.Take(h.paletteEntrySize);
    bitmap.palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
  }
  bitmap.paletteSize = 1u << h.bits;
}

// Run-length rows, bottom-up; absolute runs are word-aligned. Pixels that a delta or
// an early end skips stay index 0.
uint32_t DecodeRle(Reader& in, const BmpHeader& h, glib::CoreBitmap& bitmap) {
  int32_t width = bitmap.width, height = bitmap.height;
  bool four = h.compression == kRle4;
  int32_t x = 0, y = height - 1;
  auto put = [&](uint32_t index) {
    if (x < width && y >= 0) {
      uint8_t* row = PixelRow(bitmap, y);
      if (four) {
        row[x / 2] |= uint8_t(x % 2 ? index & 0x0F : index << 4);
      } else {
        row[x] = uint8_t(index);
      }
    }
    ++x;
  };
  while (y >= 0 && in.Left() >= 2) {
    uint8_t count = in.U8(), value = in.U8();
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i)
        put(four ? (i % 2 ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      --y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      x += in.U8();
      y -= in.U8();
    } else {  // absolute run of `value` pixels
      size_t bytes = four ? (value + 1u) / 2 : value;
      const uint8_t* run = in.Take(bytes);
      if (!run) break;
      for (int i = 0; i < value; ++i)
        put(four ? (i % 2 ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
      if (bytes % 2) in.Skip(1);
    }
  }
  return RCOK;
}

uint32_t DecodeRows(Reader& in, const BmpHeader& h, uint32_t type, glib::CoreBitmap& bitmap) {
  int32_t width = bitmap.width, height = bitmap.height;
  uint64_t srcRow = (uint64_t(width) * h.bits + 31) / 32 * 4;
  bool topDown = h.height < 0;
  bool masks = type == glib::kPixelRGBA32 && h.bits != 32;  // extracted 16-bit
  bool masks32 = h.bits == 32 && h.hasMasks;
  // An alpha byte only where the file says so, or where 32-bit BI_RGB data carries one.
  bool anyAlpha = false;
  for (int32_t row = 0; row < height; ++row) {
    size_t got = size_t(std::min<uint64_t>(srcRow, in.Left()));
    const uint8_t* src = in.Take(got);
    if (!src || got == 0) break;
    uint8_t* dst = PixelRow(bitmap, topDown ? row : height - 1 - row);
    if (masks || masks32) {
      int step = h.bits / 8;
      for (int32_t x = 0; x < width && size_t(x + 1) * step <= got; ++x) {
        uint32_t p = step == 2
                         ? uint32_t(src[x * 2] | src[x * 2 + 1] << 8)
                         : uint32_t(src[x * 4]) | uint32_t(src[x * 4 + 1]) << 8 |
                               uint32_t(src[x * 4 + 2]) << 16 | uint32_t(src[x * 4 + 3]) << 24;
        dst[x * 4] = Channel(p, h.masks[2]);
        dst[x * 4 + 1] = Channel(p, h.masks[1]);
        dst[x * 4 + 2] = Channel(p, h.masks[0]);
        dst[x * 4 + 3] = Channel(p, h.masks[3]);
      }
    } else {
      std::memcpy(dst, src, std::min<size_t>(got, size_t(glib::RowBytes(bitmap))));
      if (h.bits == 32) {
        for (int32_t x = 0; x < width; ++x) anyAlpha |= dst[x * 4 + 3] != 0;
      }
    }
    if (in.Left() == 0) break;
  }
  if (h.bits == 32 && !h.hasMasks && !anyAlpha) {
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* dst = PixelRow(bitmap, y);
      for (int32_t x = 0; x < width; ++x) dst[x * 4 + 3] = 255;
    }
  }
  return RCOK;
}

float Dpi(int32_t pelsPerMeter) { return pelsPerMeter > 0 ? float(pelsPerMeter * 0.0254) : 0.0f; }

uint32_t Parse(const Source& source, BmpHeader& h, uint32_t& type) {
  Reader in(source.Bytes());
  uint32_t rc = ReadHeader(in, h);
  if (rc != RCOK) return rc;
  if (h.compression == kJpeg || h.compression == kPng) return UNSF;
  if (h.height == INT32_MIN) return BADI;
  rc = CheckSize(h.width, h.height < 0 ? -int64_t(h.height) : h.height);
  if (rc != RCOK) return rc;
  if (h.compression == kRle8 && h.bits != 8) return BADI;
  if (h.compression == kRle4 && h.bits != 4) return BADI;
  if (h.compression > kAlphaBitFields) return BADI;
  if (h.hasMasks && !ValidMasks(h)) return BADI;
  if (h.hasMasks && h.bits != 16 && h.bits != 32) return BADI;
  type = PixelTypeOf(h);
  if (type == 0 && h.bits == 16 && h.hasMasks) type = glib::kPixelRGBA32;
  if (type == 0) return BADI;
  if (h.dataOffset == 0 && h.bits <= 8) {
    uint32_t entries = h.colorsUsed ? std::min<uint32_t>(h.colorsUsed, 256) : 1u << h.bits;
    h.dataOffset = h.paletteOffset + uint64_t(entries) * h.paletteEntrySize;
  } else if (h.dataOffset == 0) {
    h.dataOffset = h.paletteOffset + uint64_t(std::min<uint32_t>(h.colorsUsed, 256)) * 4;
  }
  if (h.dataOffset >= source.Size()) return BADI;
  return RCOK;
}

}  // namespace

uint32_t LoadBmp(LoadJob& job) {
  BmpHeader h;
  uint32_t type = 0;
  uint32_t rc = Parse(job.source, h, type);
  if (rc != RCOK) return rc;
  int32_t height = h.height < 0 ? -h.height : h.height;
  if (h.compression == kRle4 || h.compression == kRle8) {
    if (h.height < 0) return BADI;  // run-length rows are always bottom-up
  }
  PagePtr page;
  rc = NewPage(job.request, h.width, height, type, page);
  if (rc != RCOK) return rc;
  if (h.bits <= 8) ReadPalette(job.source, h, page->bitmap);
  Reader in(job.source.Bytes());
  in.Seek(h.dataOffset);
  rc = h.compression == kRle4 || h.compression == kRle8 ? DecodeRle(in, h, page->bitmap)
                                                        : DecodeRows(in, h, type, page->bitmap);
  if (rc != RCOK) return rc;
  if (h.xPelsPerMeter > 0 && h.yPelsPerMeter > 0) {
    page->resolutionX = Dpi(h.xPelsPerMeter);
    page->resolutionY = Dpi(h.yPelsPerMeter);
  }
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoBmp(const Source& source, InfoRecord& info) {
  BmpHeader h;
  uint32_t type = 0;
  uint32_t rc = Parse(source, h, type);
  if (rc != RCOK) return rc;
  info.SetType("Windows Bitmap");
  info.width = h.width;
  info.height = h.height < 0 ? -h.height : h.height;
  info.bitsPerPixel = int32_t(h.bits);
  info.pixelType = h.bits == 16 ? PixelTypeOf(h) : type;
  if (info.pixelType == 0) info.pixelType = glib::kPixelRGBA32;
  info.compression = h.compression == kRle4 || h.compression == kRle8 ? 1 : 0;
  info.pageCount = 1;
  info.resolutionX = Dpi(h.xPelsPerMeter);
  info.resolutionY = Dpi(h.yPelsPerMeter);
  info.versionMajor = h.version;
  return RCOK;
}

namespace {

struct BmpLayout {
  uint32_t prepareAs;  // what the pixels are converted to
  uint32_t bits;
  uint32_t compression;
  uint32_t headerSize;
  uint32_t masks[4];
};

BmpLayout LayoutFor(uint32_t type) {
  switch (type) {
    case glib::kPixelRGBA32:
      return {type, 32, kBitFields, 124, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
    case 0x43010408:  // 32-bit RGB, the fourth byte carries no colour
      return {glib::kPixelRGBA32, 32, kRgb, 40, {}};
    case glib::kPixelRGBA5551:
      return {type, 16, kBitFields, 124, {0x7C00, 0x03E0, 0x001F, 0x8000}};
    case glib::kPixelRGBA4444:
      return {type, 16, kBitFields, 124, {0x0F00, 0x00F0, 0x000F, 0xF000}};
    case glib::kPixelRGB565:
      return {type, 16, kBitFields, 40, {0xF800, 0x07E0, 0x001F, 0}};
    case glib::kPixelRGB5551:
      return {type, 16, kRgb, 40, {}};
    case glib::kPixelIndexed8:
    case glib::kPixelIndexed4:
    case glib::kPixelIndexed1:
      return {type, glib::BitsPerSample(type), kRgb, 40, {}};
    case glib::kPixelBW1:
      return {type, 1, kRgb, 40, {}};
    default:
      return {glib::kPixelRGB24, 24, kRgb, 40, {}};
  }
}

}  // namespace

uint32_t SaveBmp(SaveJob& job) {
  const glib::IDEPage* page = SavePages(job.request).front();
  const auto& params = *static_cast<const glib::BMPSave*>(job.params);
  BmpLayout layout = LayoutFor(params.pixelType);
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(page->bitmap, layout.prepareAs, params);
  if (rc != RCOK) return rc;
  int32_t width = pixels.Width(), height = pixels.Height();
  uint64_t rowBytes = (uint64_t(width) * layout.bits + 31) / 32 * 4;
  uint32_t paletteEntries = layout.bits <= 8 ? 1u << layout.bits : 0;
  uint32_t extraMasks = layout.headerSize == 40 && layout.compression == kBitFields ? 12 : 0;
  uint64_t offset = 14 + layout.headerSize + extraMasks + paletteEntries * 4;
  uint64_t total = offset + rowBytes * uint64_t(height);
  if (total > 0xFFFFFFFFu) return OMEM;
  float dpiX = params.resolutionX > 0 ? params.resolutionX : page->resolutionX;
  float dpiY = params.resolutionY > 0 ? params.resolutionY : page->resolutionY;

  Writer w;
  w.Append("BM");
  w.U32LE(uint32_t(total));
  w.U32LE(0);
  w.U32LE(uint32_t(offset));
  w.U32LE(layout.headerSize);
  w.U32LE(uint32_t(width));
  w.U32LE(uint32_t(params.topBottom ? -height : height));
  w.U16LE(1);
  w.U16LE(layout.bits);
  w.U32LE(layout.compression);
  w.U32LE(uint32_t(rowBytes * uint64_t(height)));
  w.U32LE(uint32_t(dpiX / 0.0254f + 0.5f));
  w.U32LE(uint32_t(dpiY / 0.0254f + 0.5f));
  w.U32LE(paletteEntries);
  w.U32LE(0);
  if (layout.headerSize == 124) {
    for (uint32_t mask : layout.masks) w.U32LE(mask);
    w.U32BE(glib::FourCC("sRGB"));
    for (int i = 0; i < 12; ++i) w.U32LE(0);  // endpoints and gamma, unused with sRGB
    w.U32LE(4);                               // intent: perceptual
    w.U32LE(0);
    w.U32LE(0);
    w.U32LE(0);
  } else if (extraMasks) {
    for (int i = 0; i < 3; ++i) w.U32LE(layout.masks[i]);
  }
  for (uint32_t i = 0; i < paletteEntries; ++i) {
    uint32_t entry = int(i) < pixels.PaletteEntries() ? pixels.Palette()[i] : 0;
    w.U32LE(entry & 0x00FFFFFF);
  }
  if (!job.sink.Write(w.Bytes().data(), w.Size())) return WERR;
  std::vector<uint8_t> row(size_t(rowBytes), 0);
  bool clearFourth = params.pixelType == 0x43010408;
  for (int32_t i = 0; i < height; ++i) {
    int32_t y = params.topBottom ? i : height - 1 - i;
    std::memcpy(row.data(), pixels.Row(y), size_t(std::min<uint64_t>(rowBytes, pixels.RowBytes())));
    if (clearFourth) {
      for (int32_t x = 0; x < width; ++x) row[size_t(x) * 4 + 3] = 0;
    }
    if (!job.sink.Write(row.data(), row.size())) return WERR;
    if ((i & 255) == 0 && !Progress(job.request, i + 1, height)) return USRA;
  }
  return RCOK;
}

}  // namespace vexlo
