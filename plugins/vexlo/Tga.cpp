// Truevision TGA: colour-mapped, true-colour and grey images, raw or run-length
// coded, 15/16/24/32-bit pixels, either row order.
#include <algorithm>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

struct TgaHeader {
  uint32_t idLength, mapType, imageType, mapFirst, mapLength, mapBits;
  int32_t width, height;
  uint32_t bits, descriptor;
  std::string id;
};

uint32_t ReadHeader(std::span<const uint8_t> bytes, TgaHeader& h) {
  Reader in(bytes);
  h.idLength = in.U8();
  h.mapType = in.U8();
  h.imageType = in.U8();
  h.mapFirst = in.U16LE();
  h.mapLength = in.U16LE();
  h.mapBits = in.U8();
  in.Skip(4);
  h.width = in.U16LE();
  h.height = in.U16LE();
  h.bits = in.U8();
  h.descriptor = in.U8();
  const uint8_t* id = in.Take(h.idLength);
  if (in.Failed() || !id) return BADI;
  h.id.assign(reinterpret_cast<const char*>(id),
              strnlen(reinterpret_cast<const char*>(id), h.idLength));
  uint32_t base = h.imageType & ~8u;
  if ((h.imageType & 8) && base == 0) return BADI;
  if (base != 1 && base != 2 && base != 3) return BADI;
  if (h.mapType > 1 || (base == 1 && (h.mapType != 1 || h.bits != 8))) return BADI;
  if (base == 2 && h.bits != 15 && h.bits != 16 && h.bits != 24 && h.bits != 32) return BADI;
  if (base == 3 && h.bits != 8 && h.bits != 16) return BADI;
  if (h.mapType == 1 && h.mapBits != 15 && h.mapBits != 16 && h.mapBits != 24 && h.mapBits != 32)
    return BADI;
  return CheckSize(h.width, h.height);
}

// The comment lines of a TGA 2.0 extension area: the footer's signature marks a file
// that has one, the footer's first word gives its offset, and four lines of 81 bytes
// (80 characters and a terminating zero) follow the size word and the author's name.
std::string ExtensionComments(std::span<const uint8_t> bytes) {
  constexpr size_t kFooter = 26, kLine = 81, kAreaSize = 495;
  if (bytes.size() < kFooter ||
      std::memcmp(bytes.data() + bytes.size() - 18, "TRUEVISION-XFILE.\0", 18) != 0)
    return {};
  Reader footer(bytes.last(kFooter));
  uint32_t area = footer.U32LE();
  if (area == 0 || area >= bytes.size() - kFooter) return {};
  Reader in(bytes.subspan(area, bytes.size() - kFooter - area));
  if (in.U16LE() < kAreaSize || !in.Skip(41)) return {};
  std::string comments;
  for (int line = 0; line < 4; ++line) {
    const uint8_t* text = in.Take(kLine);
    if (!text) return {};
    std::string_view chars(reinterpret_cast<const char*>(text),
                           strnlen(reinterpret_cast<const char*>(text), kLine - 1));
    while (!chars.empty() && chars.back() == ' ') chars.remove_suffix(1);
    if (chars.empty()) continue;
    if (!comments.empty()) comments += '\n';
    comments += chars;
  }
  return comments;
}

uint32_t PageType(const TgaHeader& h) {
  uint32_t base = h.imageType & ~8u;
  if (base == 1) return glib::kPixelIndexed8;
  if (base == 3) return h.bits == 8 ? kGray8 : uint32_t(glib::kPixelRGBA32);
  if (h.bits == 24) return glib::kPixelRGB24;
  if (h.bits == 32) return glib::kPixelRGBA32;
  return (h.descriptor & 15) && h.bits == 16 ? uint32_t(glib::kPixelRGBA5551)
                                             : uint32_t(glib::kPixelRGB5551);
}

uint32_t Colour(const uint8_t* p, uint32_t bits, bool alpha) {
  switch (bits) {
    case 32:
      return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
             uint32_t(alpha ? p[3] : 255) << 24;
    case 24:
      return 0xFF000000u | uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: {
      uint32_t v = uint32_t(p[0] | p[1] << 8);
      uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      uint32_t a = alpha && bits == 16 ? (v & 0x8000 ? 255 : 0) : 255;
      return a << 24 | (r * 255 / 31) << 16 | (g * 255 / 31) << 8 | (b * 255 / 31);
    }
  }
}

}  // namespace

uint32_t LoadTga(LoadJob& job) {
  TgaHeader h;
  PagePtr page;
  uint32_t rc = OpenPage(job, h, ReadHeader, PageType, page);
  if (rc != RCOK) return rc;
  std::span<const uint8_t> bytes = job.source.Bytes();
  uint32_t type = PageType(h);
  glib::CoreBitmap& b = page->bitmap;
  Reader in(bytes);
  in.Seek(18 + h.idLength);
  if (h.mapType == 1) {
    uint32_t entryBytes = (h.mapBits + 7) / 8;
    for (uint32_t i = 0; i < h.mapLength; ++i) {
      const uint8_t* e = in.Take(entryBytes);
      if (!e) return BADI;
      uint32_t index = h.mapFirst + i;
      if (index < 256) b.palette[index] = Colour(e, h.mapBits, false);
    }
  }
  bool rle = h.imageType & 8;
  bool alpha = (h.descriptor & 15) != 0 || h.bits == 32;
  bool topDown = h.descriptor & 0x20, rightToLeft = h.descriptor & 0x10;
  uint32_t pixelBytes = (h.bits + 7) / 8;
  uint32_t outBytes = glib::BitsPerPixel(type) / 8;
  uint32_t count = 0;  // pixels left in the current packet
  bool repeat = false;
  const uint8_t* value = nullptr;
  for (int32_t row = 0; row < h.height; ++row) {
    uint8_t* out = PixelRow(b, topDown ? row : h.height - 1 - row);
    for (int32_t col = 0; col < h.width; ++col) {
      const uint8_t* p;
      if (rle) {
        if (count == 0) {
          uint32_t packet = in.U8();
          count = (packet & 0x7F) + 1;
          repeat = packet & 0x80;
          if (repeat) value = in.Take(pixelBytes);
        }
        p = repeat ? value : in.Take(pixelBytes);
        --count;
      } else {
        p = in.Take(pixelBytes);
      }
      if (!p) break;  // the rest stays empty
      int32_t x = rightToLeft ? h.width - 1 - col : col;
      if (type == glib::kPixelRGBA32 && h.bits == 16 && (h.imageType & ~8u) == 3) {
        uint32_t c = 0x010101u * p[0] | uint32_t(p[1]) << 24;  // grey with alpha
        std::memcpy(out + x * 4, &c, 4);
      } else if (outBytes == 4 && h.bits != 32) {
        uint32_t c = Colour(p, h.bits, alpha);
        std::memcpy(out + x * 4, &c, 4);
      } else {
        std::memcpy(out + x * outBytes, p, outBytes);
        if (type == glib::kPixelRGBA32 && !alpha) out[x * 4 + 3] = 255;
      }
    }
    if (in.Failed()) break;
  }
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoTga(const Source& source, InfoRecord& info) {
  TgaHeader h;
  uint32_t rc = ReadHeader(source.Bytes(), h);
  if (rc != RCOK) return rc;
  info.SetType("Truevision Targa");
  info.width = h.width;
  info.height = h.height;
  info.bitsPerPixel = int32_t(h.bits);
  info.pixelType = PageType(h);
  info.compression = h.imageType & 8 ? 1 : 0;
  info.pageCount = 1;
  std::string comments = ExtensionComments(source.Bytes());
  if (!comments.empty()) {
    info.SetText(glib::kInfoComment, comments);
  } else if (!h.id.empty()) {
    info.SetText(glib::kInfoComment, h.id);
  }
  return RCOK;
}

uint32_t SaveTga(SaveJob& job) {
  const glib::IDEPage* page = SavePages(job.request).front();
  const auto& params = *static_cast<const glib::TGASave*>(job.params);
  uint32_t type = params.pixelType;
  uint32_t prepareAs = type == glib::kPixelRGBA32     ? glib::kPixelRGBA32
                       : type == glib::kPixelRGBA5551 ? glib::kPixelRGBA5551
                       : type == glib::kPixelRGB5551  ? glib::kPixelRGB5551
                       : type == glib::kPixelIndexed8 ? glib::kPixelIndexed8
                                                      : glib::kPixelRGB24;
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(page->bitmap, prepareAs, params);
  if (rc != RCOK) return rc;
  int32_t w = pixels.Width(), h = pixels.Height();
  if (w > 65535 || h > 65535) return BADA;
  bool indexed = prepareAs == glib::kPixelIndexed8;
  uint32_t bits = glib::BitsPerPixel(prepareAs);
  uint32_t pixelBytes = bits / 8;
  Writer out;
  out.U8(0);
  out.U8(indexed ? 1 : 0);
  out.U8((indexed ? 1 : 2) | (params.rleCompression ? 8 : 0));
  out.U16LE(0);
  out.U16LE(indexed ? 256 : 0);
  out.U8(indexed ? 24 : 0);
  out.U32LE(0);
  out.U16LE(uint32_t(w));
  out.U16LE(uint32_t(h));
  out.U8(bits == 16 ? 16 : bits);
  uint32_t alphaBits = prepareAs == glib::kPixelRGBA32     ? 8
                       : prepareAs == glib::kPixelRGBA5551 ? 1
                                                           : 0;
  out.U8(alphaBits | 0x20);  // rows top to bottom
  if (indexed) {
    for (int i = 0; i < 256; ++i) {
      uint32_t c = i < pixels.PaletteEntries() ? pixels.Palette()[i] : 0;
      out.U8(c);
      out.U8(c >> 8);
      out.U8(c >> 16);
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = pixels.Row(y);
    if (!params.rleCompression) {
      out.Append(row, size_t(w) * pixelBytes);
      continue;
    }
    // Packets stay within a row, as the format recommends.
    for (int32_t x = 0; x < w;) {
      int32_t run = 1;
      while (x + run < w && run < 128 &&
             std::memcmp(row + (x + run) * pixelBytes, row + x * pixelBytes, pixelBytes) == 0)
        ++run;
      if (run > 1) {
        out.U8(0x80 | uint32_t(run - 1));
        out.Append(row + x * pixelBytes, pixelBytes);
        x += run;
        continue;
      }
      int32_t literal = 1;
      while (x + literal < w && literal < 128 &&
             (x + literal + 1 >= w ||
              std::memcmp(row + (x + literal) * pixelBytes, row + (x + literal + 1) * pixelBytes,
                          pixelBytes) != 0))
        ++literal;
      out.U8(uint32_t(literal - 1));
      out.Append(row + x * pixelBytes, size_t(literal) * pixelBytes);
      x += literal;
    }
  }
  // TGA 2.0 footer without extension or developer areas.
  out.U32LE(0);
  out.U32LE(0);
  out.Append("TRUEVISION-XFILE.", 17);
  out.U8(0);
  return job.sink.Write(out.Bytes()) ? RCOK : WERR;
}

}  // namespace vexlo
