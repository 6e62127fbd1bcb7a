// Windows icons and cursors: every image of the file becomes a page (bitmap images
// with their AND mask, PNG images through libpng); cursors carry a hot spot.
#include <algorithm>

#include "vexlo/Formats.h"
#include "vexlo/Png.h"

namespace vexlo {
namespace {

struct IconEntry {
  uint32_t width, height;  // from the directory; 0 means 256
  uint16_t hotX, hotY;     // cursors; planes and bit count for icons
  uint32_t size, offset;
};

uint32_t ReadDirectory(std::span<const uint8_t> bytes, uint16_t kind, std::vector<IconEntry>& out) {
  Reader in(bytes);
  if (in.U16LE() != 0 || in.U16LE() != kind) return BADI;
  uint16_t count = in.U16LE();
  if (count == 0) return BADI;
  for (uint16_t i = 0; i < count; ++i) {
    IconEntry e;
    e.width = in.U8();
    e.height = in.U8();
    in.Skip(2);
    e.hotX = in.U16LE();
    e.hotY = in.U16LE();
    e.size = in.U32LE();
    e.offset = in.U32LE();
    if (in.Failed()) return out.empty() ? BADI : RCOK;
    if (e.offset >= bytes.size() || e.size > bytes.size() - e.offset)
      continue;  // skip damaged entries
    out.push_back(e);
  }
  return out.empty() ? BADI : RCOK;
}

// A bitmap image: header, palette, colour rows (bottom-up), then the 1-bit AND mask.
uint32_t DecodeDib(LoadJob& job, std::span<const uint8_t> bytes, PagePtr& page) {
  Reader in(bytes);
  uint32_t headerSize = in.U32LE();
  int32_t width = int32_t(in.U32LE());
  int32_t height = int32_t(in.U32LE()) / 2;  // colour rows and mask rows
  in.Skip(2);
  uint32_t bits = in.U16LE();
  uint32_t compression = in.U32LE();
  in.Skip(12);
  uint32_t used = in.U32LE();
  if (in.Failed() || headerSize < 40 || headerSize > bytes.size() || compression != 0) return BADI;
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return BADI;
  uint32_t palette[256] = {};
  uint32_t entries = bits <= 8 ? (used && used < (1u << bits) ? used : 1u << bits) : 0;
  in.Seek(headerSize);
  for (uint32_t i = 0; i < entries; ++i) palette[i] = in.U32LE() | 0xFF000000u;
  uint64_t colourRow = (uint64_t(width) * bits + 31) / 32 * 4;
  uint64_t maskRow = (uint64_t(width) + 31) / 32 * 4;
  const uint8_t* colour = in.Take(size_t(colourRow * uint64_t(height)));
  if (!colour) return BADI;
  const uint8_t* mask = in.Take(size_t(maskRow * uint64_t(height)));  // may be missing
  rc = NewPage(job.request, width, height, glib::kPixelRGBA32, page);
  if (rc != RCOK) return rc;
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = colour + colourRow * uint64_t(height - 1 - y);
    uint8_t* out = PixelRow(page->bitmap, y);
    for (int32_t x = 0; x < width; ++x) {
      uint32_t c;
      switch (bits) {
        case 32:
          c = uint32_t(src[x * 4]) | uint32_t(src[x * 4 + 1]) << 8 |
              uint32_t(src[x * 4 + 2]) << 16 | uint32_t(src[x * 4 + 3]) << 24;
          anyAlpha |= src[x * 4 + 3] != 0;
          break;
        case 24:
          c = 0xFF000000u | uint32_t(src[x * 3]) | uint32_t(src[x * 3 + 1]) << 8 |
              uint32_t(src[x * 3 + 2]) << 16;
          break;
        case 16: {
          uint32_t p = uint32_t(src[x * 2] | src[x * 2 + 1] << 8);
          uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
          c = 0xFF000000u | (r * 255 / 31) << 16 | (g * 255 / 31) << 8 | (b * 255 / 31);
          break;
        }
        default: {
          uint32_t bit = uint32_t(x) * bits;
          uint32_t index = (src[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
          c = palette[index];
        }
      }
      std::memcpy(out + x * 4, &c, 4);
    }
  }
  // Without alpha in the colours, the mask says which pixels are transparent.
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = PixelRow(page->bitmap, y);
    const uint8_t* m = mask ? mask + maskRow * uint64_t(height - 1 - y) : nullptr;
    for (int32_t x = 0; x < width; ++x) {
      if (bits == 32 && anyAlpha) continue;
      bool transparent = m && (m[x / 8] >> (7 - x % 8)) & 1;
      out[x * 4 + 3] = transparent ? 0 : 255;
    }
  }
  return RCOK;
}

uint32_t LoadIcons(LoadJob& job, uint16_t kind) {
  std::vector<IconEntry> entries;
  uint32_t rc = ReadDirectory(job.source.Bytes(), kind, entries);
  if (rc != RCOK) return rc;
  uint32_t added = 0;
  for (uint32_t i = 0; i < entries.size(); ++i) {
    if (!job.options.Wants(i)) continue;
    if (job.options.PastRange(i)) break;
    std::span<const uint8_t> image = job.source.Bytes().subspan(entries[i].offset, entries[i].size);
    PagePtr page;
    rc = IsPng(image) ? DecodePngPage(job, image, page) : DecodeDib(job, image, page);
    if (rc == OMEM || rc == USRA) return rc;
    if (rc != RCOK) continue;  // one damaged image does not hide the others
    page->name = std::to_string(page->bitmap.width) + "x" + std::to_string(page->bitmap.height);
    rc = AddPage(job.request, std::move(page), job.options);
    if (rc != RCOK) return rc;
    ++added;
  }
  return added ? RCOK : job.options.firstPage >= entries.size() ? glib::BADA : BADI;
}

uint32_t InfoIcons(const Source& source, InfoRecord& info, uint16_t kind) {
  std::vector<IconEntry> entries;
  uint32_t rc = ReadDirectory(source.Bytes(), kind, entries);
  if (rc != RCOK) return rc;
  const IconEntry& e = entries.front();
  info.SetType(kind == 1 ? "Windows Icon" : "Windows Cursor");
  info.width = e.width ? int32_t(e.width) : 256;
  info.height = e.height ? int32_t(e.height) : 256;
  std::span<const uint8_t> body = source.Bytes().subspan(e.offset, e.size);
  Reader image(body);
  if (IsPng(body)) {
    // The IHDR chunk right after the signature has the true size and depth.
    image.Skip(8 + 8);
    uint32_t width = image.U32BE(), height = image.U32BE();
    uint32_t depth = image.U8(), colorType = image.U8();
    static const uint8_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    uint32_t channels = colorType < 7 ? kChannels[colorType] : 0;
    if (!image.Failed() && channels && width && height && width <= 256 && height <= 256) {
      info.width = int32_t(width);
      info.height = int32_t(height);
      info.bitsPerPixel = int32_t(depth * channels);
    } else {
      info.bitsPerPixel = 32;
    }
  } else if (image.Left() >= 16) {
    image.Skip(14);
    info.bitsPerPixel = image.U16LE();
  }
  info.pixelType = glib::kPixelRGBA32;
  info.pageCount = uint32_t(entries.size());
  if (kind == 2) {
    info.hotSpotX = e.hotX;
    info.hotSpotY = e.hotY;
  }
  return RCOK;
}

uint32_t SaveIcons(SaveJob& job, uint16_t kind, uint32_t hotX, uint32_t hotY) {
  std::vector<const glib::IDEPage*> pages = SavePages(job.request);
  uint32_t type = job.params->pixelType;
  // Icons keep 32-bit colour with alpha, 24-bit, 16-bit 5:5:5 or palettes.
  uint32_t bits = type == glib::kPixelRGB24        ? 24
                  : glib::BitsPerPixel(type) == 16 ? 16
                  : glib::IsIndexed(type)          ? glib::BitsPerSample(type)
                  : glib::BitsPerPixel(type) == 1  ? 1
                                                   : 32;
  uint32_t prepareAs = bits == 32   ? glib::kPixelRGBA32
                       : bits == 24 ? glib::kPixelRGB24
                       : bits == 16 ? glib::kPixelRGB5551
                       : bits == 8  ? glib::kPixelIndexed8
                       : bits == 4  ? glib::kPixelIndexed4
                                    : glib::kPixelIndexed1;
  Writer dir;
  dir.U16LE(0);
  dir.U16LE(kind);
  dir.U16LE(uint32_t(pages.size()));
  std::vector<std::vector<uint8_t>> images;
  for (const glib::IDEPage* page : pages) {
    const glib::CoreBitmap& b = page->bitmap;
    if (b.width <= 0 || b.height <= 0 || b.width > 256 || b.height > 256) return BADA;
    SavePixels pixels;
    uint32_t rc = pixels.Prepare(b, prepareAs, *job.params);
    if (rc != RCOK) return rc;
    // The mask from the page's own alpha.
    SavePixels alpha;
    rc = alpha.Prepare(b, glib::kPixelRGBA32, false, false);
    if (rc != RCOK) return rc;
    int32_t w = b.width, h = b.height;
    uint64_t colourRow = (uint64_t(w) * bits + 31) / 32 * 4, maskRow = (uint64_t(w) + 31) / 32 * 4;
    uint32_t entries = bits <= 8 ? 1u << bits : 0;
    Writer img;
    img.U32LE(40);
    img.U32LE(uint32_t(w));
    img.U32LE(uint32_t(h * 2));
    img.U16LE(1);
    img.U16LE(bits);
    img.U32LE(0);
    img.U32LE(uint32_t((colourRow + maskRow) * uint64_t(h)));
    for (int i = 0; i < 4; ++i) img.U32LE(0);
    for (uint32_t i = 0; i < entries; ++i)
      img.U32LE(int(i) < pixels.PaletteEntries() ? pixels.Palette()[i] & 0x00FFFFFF : 0);
    std::vector<uint8_t> row(static_cast<size_t>(colourRow));
    for (int32_t y = h - 1; y >= 0; --y) {
      std::fill(row.begin(), row.end(), 0);
      std::memcpy(row.data(), pixels.Row(y),
                  std::min<size_t>(row.size(), size_t(pixels.RowBytes())));
      img.Append(row.data(), row.size());
    }
    for (int32_t y = h - 1; y >= 0; --y) {
      std::vector<uint8_t> m(size_t(maskRow), 0);
      const uint8_t* a = alpha.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        if (a[x * 4 + 3] < 128) m[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
      }
      img.Append(m.data(), m.size());
    }
    images.push_back(std::move(img.Bytes()));
  }
  uint32_t offset = 6 + 16 * uint32_t(pages.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    const glib::CoreBitmap& b = pages[i]->bitmap;
    dir.U8(b.width == 256 ? 0 : uint32_t(b.width));
    dir.U8(b.height == 256 ? 0 : uint32_t(b.height));
    dir.U8(bits <= 8 ? (bits == 8 ? 0 : 1u << bits) : 0);
    dir.U8(0);
    dir.U16LE(kind == 2 ? std::min<uint32_t>(hotX, uint32_t(b.width - 1)) : 1);
    dir.U16LE(kind == 2 ? std::min<uint32_t>(hotY, uint32_t(b.height - 1)) : bits);
    dir.U32LE(uint32_t(images[i].size()));
    dir.U32LE(offset);
    offset += uint32_t(images[i].size());
  }
  if (!job.sink.Write(dir.Bytes())) return WERR;
  for (const auto& image : images) {
    if (!job.sink.Write(image)) return WERR;
  }
  return RCOK;
}

}  // namespace

uint32_t LoadIco(LoadJob& job) { return LoadIcons(job, 1); }
uint32_t InfoIco(const Source& source, InfoRecord& info) { return InfoIcons(source, info, 1); }
uint32_t SaveIco(SaveJob& job) { return SaveIcons(job, 1, 0, 0); }
uint32_t LoadCur(LoadJob& job) { return LoadIcons(job, 2); }
uint32_t InfoCur(const Source& source, InfoRecord& info) { return InfoIcons(source, info, 2); }
uint32_t SaveCur(SaveJob& job) {
  const auto& params = *static_cast<const glib::CURSave*>(job.params);
  return SaveIcons(job, 2, params.hotSpotX, params.hotSpotY);
}

}  // namespace vexlo
