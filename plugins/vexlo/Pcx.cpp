// ZSoft PCX: 1, 2, 4 and 8 bits per plane with one to four planes (monochrome, EGA
// planes, 256 colours with the palette at the end, 24-bit and 32-bit colour).
#include <algorithm>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

struct PcxHeader {
  uint32_t version, bits, planes, bytesPerLine, paletteInfo;
  int32_t width, height;
  float dpiX, dpiY;
  const uint8_t* egaPalette;
};

uint32_t ReadHeader(std::span<const uint8_t> bytes, PcxHeader& h) {
  Reader in(bytes);
  if (in.U8() != 10) return BADI;
  h.version = in.U8();
  if (in.U8() != 1) return BADI;
  h.bits = in.U8();
  int32_t xmin = in.U16LE(), ymin = in.U16LE(), xmax = in.U16LE(), ymax = in.U16LE();
  h.dpiX = in.U16LE();
  h.dpiY = in.U16LE();
  h.egaPalette = in.Take(48);
  in.Skip(1);
  h.planes = in.U8();
  h.bytesPerLine = in.U16LE();
  h.paletteInfo = in.U16LE();
  if (in.Failed() || bytes.size() <= 128) return BADI;
  h.width = xmax - xmin + 1;
  h.height = ymax - ymin + 1;
  uint32_t rc = CheckSize(h.width, h.height);
  if (rc != RCOK) return rc;
  bool known = (h.bits == 1 && h.planes >= 1 && h.planes <= 4) || (h.bits == 2 && h.planes == 1) ||
               (h.bits == 4 && h.planes == 1) ||
               (h.bits == 8 && (h.planes == 1 || h.planes == 3 || h.planes == 4));
  if (!known || h.bytesPerLine == 0 || uint64_t(h.bytesPerLine) * 8 < uint64_t(h.width) * h.bits)
    return BADI;
  return RCOK;
}

uint32_t PageType(const PcxHeader& h) {
  if (h.planes == 3 && h.bits == 8) return glib::kPixelRGB24;
  if (h.planes == 4 && h.bits == 8) return glib::kPixelRGBA32;
  if (h.bits == 1 && h.planes == 1) return glib::kPixelIndexed1;
  if (h.bits * h.planes <= 4) return glib::kPixelIndexed4;
  return glib::kPixelIndexed8;
}

}  // namespace

uint32_t LoadPcx(LoadJob& job) {
  PcxHeader h;
  PagePtr page;
  uint32_t rc = OpenPage(job, h, ReadHeader, PageType, page);
  if (rc != RCOK) return rc;
  std::span<const uint8_t> bytes = job.source.Bytes();
  uint32_t type = PageType(h);
  glib::CoreBitmap& b = page->bitmap;
  // Palette: 256 colours after a 0x0C mark at the end, else the header's 16.
  if (glib::IsIndexed(type)) {
    size_t size = bytes.size();
    if (h.bits == 8 && h.planes == 1 && size >= 128 + 769 && bytes[size - 769] == 0x0C) {
      for (int i = 0; i < 256; ++i) {
        const uint8_t* e = &bytes[size - 768 + size_t(i) * 3];
        b.palette[i] = 0xFF000000u | uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
      }
    } else if (h.bits == 1 && h.planes == 1) {
      // Monochrome files are black and white whatever their header palette says.
      b.palette[0] = 0xFF000000u;
      b.palette[1] = 0xFFFFFFFFu;
    } else if (h.bits == 8 && h.planes == 1) {
      for (int i = 0; i < 256; ++i) b.palette[i] = 0xFF000000u | uint32_t(i) * 0x010101u;
    } else {
      for (int i = 0; i < 16; ++i) {
        const uint8_t* e = h.egaPalette + i * 3;
        b.palette[i] = 0xFF000000u | uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
      }
    }
  }
  Reader in(bytes);
  in.Seek(128);
  uint64_t lineBytes = uint64_t(h.bytesPerLine) * h.planes;
  std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
  uint32_t pending = 0, value = 0;  // runs may cross line ends
  for (int32_t y = 0; y < h.height; ++y) {
    size_t at = 0;
    while (at < line.size()) {
      if (pending == 0) {
        if (in.Left() == 0) break;
        uint32_t c = in.U8();
        if ((c & 0xC0) == 0xC0) {
          pending = c & 0x3F;
          value = in.U8();
        } else {
          pending = 1;
          value = c;
        }
      }
      uint32_t n = std::min<uint64_t>(pending, line.size() - at);
      std::fill_n(line.begin() + ptrdiff_t(at), n, uint8_t(value));
      at += n;
      pending -= n;
    }
    if (at < line.size()) std::fill(line.begin() + ptrdiff_t(at), line.end(), 0);
    uint8_t* out = PixelRow(b, y);
    if (type == glib::kPixelRGB24 || type == glib::kPixelRGBA32) {
      int n = type == glib::kPixelRGB24 ? 3 : 4;
      static const int kChannel[] = {2, 1, 0, 3};  // planes are red, green, blue, alpha
      for (int p = 0; p < n; ++p) {
        for (int32_t x = 0; x < h.width; ++x)
          out[x * n + kChannel[p]] = line[size_t(p) * h.bytesPerLine + size_t(x)];
      }
    } else if (h.planes == 1 && (h.bits == 1 || h.bits == 4 || h.bits == 8)) {
      std::memcpy(out, line.data(), std::min<size_t>(h.bytesPerLine, size_t(glib::RowBytes(b))));
    } else {
      // Bit planes or 2-bit pixels: gathered into 4-bit indices.
      for (int32_t x = 0; x < h.width; ++x) {
        uint32_t index = 0;
        if (h.bits == 2) {
          index = (line[size_t(x / 4)] >> (6 - 2 * (x % 4))) & 3;
        } else {
          for (uint32_t p = 0; p < h.planes; ++p)
            index |= ((line[p * h.bytesPerLine + size_t(x / 8)] >> (7 - x % 8)) & 1u) << p;
        }
        out[x / 2] |= uint8_t(x % 2 ? index : index << 4);
      }
    }
    if (in.Left() == 0 && pending == 0 && y + 1 < h.height) break;  // missing rows stay empty
  }
  if (h.dpiX > 0 && h.dpiY > 0 && h.dpiX < 10000 && h.dpiY < 10000) {
    page->resolutionX = h.dpiX;
    page->resolutionY = h.dpiY;
  }
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoPcx(const Source& source, InfoRecord& info) {
  PcxHeader h;
  uint32_t rc = ReadHeader(source.Bytes(), h);
  if (rc != RCOK) return rc;
  info.SetType("ZSoft Paintbrush");
  info.width = h.width;
  info.height = h.height;
  info.bitsPerPixel = int32_t(h.bits * h.planes);
  info.pixelType = PageType(h);
  info.resolutionX = h.dpiX;
  info.resolutionY = h.dpiY;
  info.compression = 1;
  info.pageCount = 1;
  return RCOK;
}

namespace {

void PutRle(Writer& w, const uint8_t* data, size_t n) {
  for (size_t i = 0; i < n;) {
    size_t run = 1;
    while (i + run < n && run < 63 && data[i + run] == data[i]) ++run;
    if (run > 1 || (data[i] & 0xC0) == 0xC0) {
      w.U8(0xC0 | uint32_t(run));
    }
    w.U8(data[i]);
    i += run;
  }
}

}  // namespace

uint32_t SavePcx(SaveJob& job) {
  const glib::IDEPage* page = SavePages(job.request).front();
  const glib::ImageSave& params = *job.params;
  uint32_t type = params.pixelType;
  uint32_t prepareAs = type == glib::kPixelIndexed8    ? glib::kPixelIndexed8
                       : type == glib::kPixelIndexed4  ? glib::kPixelIndexed4
                       : glib::BitsPerPixel(type) == 1 ? glib::kPixelIndexed1
                                                       : glib::kPixelRGB24;
  bool mono = type == glib::kPixelBW1 || type == glib::kPixelIndexed1;
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(page->bitmap, prepareAs, params.dither != 0,
                               params.grayscale != 0 || (mono && type == glib::kPixelBW1),
                               mono ? 2 : params.colorCount);
  if (rc != RCOK) return rc;
  int32_t w = pixels.Width(), h = pixels.Height();
  // Monochrome readers take 0 for black.
  auto luma = [](uint32_t c) {
    return ((c >> 16) & 255) * 77 + ((c >> 8) & 255) * 150 + (c & 255) * 29;
  };
  bool invert =
      prepareAs == glib::kPixelIndexed1 && luma(pixels.Palette()[0]) > luma(pixels.Palette()[1]);
  if (w > 65535 || h > 65535) return BADA;
  uint32_t planes = prepareAs == glib::kPixelRGB24 ? 3 : prepareAs == glib::kPixelIndexed4 ? 4 : 1;
  uint32_t bits = prepareAs == glib::kPixelIndexed8 || prepareAs == glib::kPixelRGB24 ? 8 : 1;
  uint32_t bytesPerLine = ((uint32_t(w) * bits + 15) / 16) * 2;
  Writer out;
  out.U8(10);
  out.U8(5);
  out.U8(1);
  out.U8(bits);
  out.U16LE(0);
  out.U16LE(0);
  out.U16LE(uint32_t(w - 1));
  out.U16LE(uint32_t(h - 1));
  out.U16LE(uint32_t(std::clamp(page->resolutionX, 1.0f, 65535.0f)));
  out.U16LE(uint32_t(std::clamp(page->resolutionY, 1.0f, 65535.0f)));
  for (int i = 0; i < 16; ++i) {
    uint32_t c =
        i < pixels.PaletteEntries() && prepareAs != glib::kPixelIndexed8 ? pixels.Palette()[i] : 0;
    // Monochrome: the header says what the bits mean, 0 black and 1 white, as written.
    if (prepareAs == glib::kPixelIndexed1 && i < 2) c = i == 0 ? 0 : 0xFFFFFF;
    out.U8(c >> 16);
    out.U8(c >> 8);
    out.U8(c);
  }
  out.U8(0);
  out.U8(planes);
  out.U16LE(bytesPerLine);
  out.U16LE(1);
  while (out.Size() < 128) out.U8(0);
  std::vector<uint8_t> line(size_t(bytesPerLine) * planes);
  for (int32_t y = 0; y < h; ++y) {
    std::fill(line.begin(), line.end(), 0);
    const uint8_t* in = pixels.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      if (planes == 3) {
        line[size_t(x)] = in[x * 3 + 2];
        line[bytesPerLine + size_t(x)] = in[x * 3 + 1];
        line[2 * bytesPerLine + size_t(x)] = in[x * 3];
      } else if (planes == 4) {
        uint32_t index = (in[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        for (uint32_t p = 0; p < 4; ++p) {
          if (index >> p & 1) line[p * bytesPerLine + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
      }
    }
    if (planes == 1)
      std::memcpy(line.data(), in, std::min<size_t>(line.size(), size_t(pixels.RowBytes())));
    if (invert) {
      for (uint8_t& byte : line) byte = uint8_t(~byte);
    }
    PutRle(out, line.data(), line.size());
  }
  if (prepareAs == glib::kPixelIndexed8) {
    out.U8(0x0C);
    for (int i = 0; i < 256; ++i) {
      uint32_t c = i < pixels.PaletteEntries() ? pixels.Palette()[i] : 0;
      out.U8(c >> 16);
      out.U8(c >> 8);
      out.U8(c);
    }
  }
  return job.sink.Write(out.Bytes()) ? RCOK : WERR;
}

}  // namespace vexlo
