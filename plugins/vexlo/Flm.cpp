// The film format: Orbisk's own layered document, used for saved documents and the
// swap files of slides. Every page keeps its slide group, layer attributes,
// metadata blocks, delay, resolution, background and canvas, and its pixels raw or,
// for true colour, JPEG-coded (alpha kept raw).
//
// Layout (little-endian): "ORBISKFL", major and minor version (16 bits each), the
// creation time (64-bit seconds), the page count, then per page its byte length and
// the page record. Readers accept newer minor versions (a page's length lets them
// skip fields they do not know) and refuse other major versions.
#include <algorithm>
#include <cmath>
#include <ctime>

#include "runtime/PixelLayout.h"
#include "vexlo/Formats.h"
#include "vexlo/Jpeg.h"

namespace vexlo {
namespace {

constexpr char kMagic[] = "ORBISKFL";
constexpr uint32_t kMajor = 1, kMinor = 0;
constexpr uint32_t kRawPixels = 0, kJpegPixels = 8;

struct FilmHeader {
  uint32_t major = 0, minor = 0;
  int64_t created = 0;
  uint32_t pages = 0;
};

uint32_t ReadHeader(Reader& in, FilmHeader& h) {
  const uint8_t* magic = in.Take(8);
  if (!magic || std::memcmp(magic, kMagic, 8) != 0) return BADI;
  h.major = in.U16LE();
  h.minor = in.U16LE();
  h.created = int64_t(in.U64LE());
  h.pages = in.U32LE();
  if (in.Failed()) return BADI;
  if (h.major != kMajor) return UNSF;
  return h.pages == 0 || h.pages > kMaxPages ? BADI : RCOK;
}

bool ReadBlock(Reader& in, std::string_view& out) {
  uint32_t size = in.U32LE();
  const uint8_t* data = in.Take(size);
  if (!data) return false;
  out = {reinterpret_cast<const char*>(data), size};
  return true;
}

uint32_t ReadPixels(LoadJob& job, Reader& in, glib::IDEPage& page) {
  int32_t width = int32_t(in.U32LE()), height = int32_t(in.U32LE());
  uint32_t type = in.U32LE();
  uint32_t paletteSize = in.U32LE();
  if (in.Failed() || paletteSize > 256) return BADI;
  uint32_t palette[256] = {};
  for (uint32_t i = 0; i < paletteSize; ++i) palette[i] = in.U32LE();
  uint32_t compression = in.U32LE();
  uint64_t length = in.U64LE();
  if (in.Failed() || length > in.Left()) return BADI;
  const uint8_t* data = in.Take(size_t(length));
  if (type == glib::kPixelNone) return RCOK;  // an empty layer
  if (!glib::FindPixelLayout(type)) return BADI;
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  PagePtr pixels;
  if (compression == kJpegPixels) {
    // Colours as JPEG, then one alpha byte per pixel when the type has alpha.
    if (type != glib::kPixelRGB24 && type != glib::kPixelRGBA32) return BADI;
    Reader parts(data, size_t(length));
    std::string_view jpeg;
    if (!ReadBlock(parts, jpeg)) return BADI;
    PagePtr colours;
    rc = DecodeJpegPage(job.request, {reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()},
                        colours);
    if (rc != RCOK) return rc;
    if (colours->bitmap.width != width || colours->bitmap.height != height) return BADI;
    rc = ConvertPage(job.request, *colours, type);
    if (rc != RCOK) return rc;
    if (type == glib::kPixelRGBA32) {
      const uint8_t* alpha = parts.Take(size_t(width) * size_t(height));
      if (!alpha) return BADI;
      for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = PixelRow(colours->bitmap, y);
        for (int32_t x = 0; x < width; ++x) row[x * 4 + 3] = alpha[size_t(y) * width + x];
      }
    }
    pixels = std::move(colours);
  } else if (compression == kRawPixels) {
    uint64_t packed = glib::RowBytes(width, glib::BitsPerPixel(type), glib::kStridePacked);
    if (packed == 0 || length < packed * uint64_t(height)) return BADI;
    rc = NewPage(job.request, width, height, type, pixels);
    if (rc != RCOK) return rc;
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(PixelRow(pixels->bitmap, y), data + packed * uint64_t(y), size_t(packed));
  } else {
    return UNSF;
  }
  std::memcpy(pixels->bitmap.palette, palette, sizeof palette);
  pixels->bitmap.paletteSize = paletteSize ? paletteSize : 256;
  // The rows move into the page being read.
  std::swap(page.bitmap.pixels, pixels->bitmap.pixels);
  std::swap(page.bitmap.freePixels, pixels->bitmap.freePixels);
  std::swap(page.bitmap.ownsPixels, pixels->bitmap.ownsPixels);
  page.bitmap.width = width;
  page.bitmap.height = height;
  page.bitmap.stride = glib::kStridePadded;
  page.bitmap.pixelType = type;
  std::memcpy(page.bitmap.palette, pixels->bitmap.palette, sizeof palette);
  page.bitmap.paletteSize = pixels->bitmap.paletteSize;
  return RCOK;
}

uint32_t ReadPage(LoadJob& job, Reader& in, glib::IDEPage& page) {
  page.group = int32_t(in.U32LE());
  page.offsetX = int32_t(in.U32LE());
  page.offsetY = int32_t(in.U32LE());
  page.delay = in.U32LE();
  page.resolutionX = in.F32LE();
  page.resolutionY = in.F32LE();
  page.background = in.U32LE();
  page.canvasLeft = int32_t(in.U32LE());
  page.canvasTop = int32_t(in.U32LE());
  page.canvasRight = int32_t(in.U32LE());
  page.canvasBottom = int32_t(in.U32LE());
  page.blendMode = in.U32LE();
  page.base = in.U8();
  page.visible = in.U8();
  page.enabled = in.U8();
  in.Skip(1);
  std::string_view name, layerMeta, slideMeta;
  if (!ReadBlock(in, name) || !ReadBlock(in, layerMeta) || !ReadBlock(in, slideMeta)) return BADI;
  page.name.assign(name);
  page.layerMetadata.assign(layerMeta.data(), layerMeta.size());
  page.slideMetadata.assign(slideMeta.data(), slideMeta.size());
  if (!std::isfinite(page.resolutionX) || page.resolutionX <= 0) page.resolutionX = 96;
  if (!std::isfinite(page.resolutionY) || page.resolutionY <= 0) page.resolutionY = 96;
  return ReadPixels(job, in, page);
}

}  // namespace

uint32_t LoadFlm(LoadJob& job) {
  Reader in(job.source.Bytes());
  FilmHeader h;
  uint32_t rc = ReadHeader(in, h);
  if (rc != RCOK) return rc;
  // Page ranges count slides: consecutive pages of one group.
  uint32_t slide = 0;
  int32_t previousGroup = 0;
  for (uint32_t i = 0; i < h.pages; ++i) {
    uint32_t length = in.U32LE();
    const uint8_t* body = in.Take(length);
    if (!body) return job.request->pages.empty() ? BADI : RCOK;
    Reader record(body, length);
    PagePtr page(new glib::IDEPage);
    rc = ReadPage(job, record, *page);
    if (rc != RCOK) return rc;
    if (i > 0 && (page->group == -1 || page->group != previousGroup)) ++slide;
    previousGroup = page->group;
    if (job.options.PastRange(slide)) break;
    if (!job.options.Wants(slide)) continue;
    gen::ArrayRecord* pages = job.request->pages.record();
    if (!pages->table->Add(pages, page.get())) return OMEM;
    page.release();
  }
  return job.request->pages.empty() ? glib::BADA : RCOK;
}

uint32_t InfoFlm(const Source& source, InfoRecord& info) {
  Reader in(source.Bytes());
  FilmHeader h;
  uint32_t rc = ReadHeader(in, h);
  if (rc != RCOK) return rc;
  info.SetType("Orbisk Film");
  info.versionMajor = int32_t(h.major);
  info.versionMinor = int32_t(h.minor);
  if (h.created > 0) {
    std::time_t t = std::time_t(h.created);
    char text[64];
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &t);
#else
    gmtime_r(&t, &parts);
#endif
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    info.SetText(glib::kInfoCreated, text);
  }
  uint32_t slides = 0;
  int32_t previous = 0;
  for (uint32_t i = 0; i < h.pages; ++i) {
    uint32_t length = in.U32LE();
    const uint8_t* body = in.Take(length);
    if (!body) break;
    Reader record(body, length);
    int32_t group = int32_t(record.U32LE());
    if (i == 0 || group == -1 || group != previous) ++slides;
    previous = group;
    if (i == 0) {
      // Skip to the first page's size.
      record.Skip(4 * 11 + 4);
      for (int block = 0; block < 3; ++block) record.Skip(record.U32LE());
      info.width = int32_t(record.U32LE());
      info.height = int32_t(record.U32LE());
      info.pixelType = record.U32LE();
      info.bitsPerPixel = int32_t(glib::BitsPerPixel(info.pixelType));
    }
  }
  info.pageCount = slides;
  return RCOK;
}

uint32_t SaveFlm(SaveJob& job) {
  const auto& params = *static_cast<const glib::FLMSave*>(job.params);
  std::vector<const glib::IDEPage*> pages = SavePages(job.request);
  Writer head;
  head.Append(kMagic, 8);
  head.U16LE(kMajor);
  head.U16LE(kMinor);
  head.U64LE(uint64_t(std::time(nullptr)));
  head.U32LE(uint32_t(pages.size()));
  if (!job.sink.Write(head.Bytes())) return WERR;
  for (size_t i = 0; i < pages.size(); ++i) {
    const glib::IDEPage& p = *pages[i];
    Writer w;
    w.U32LE(uint32_t(p.group));
    w.U32LE(uint32_t(p.offsetX));
    w.U32LE(uint32_t(p.offsetY));
    w.U32LE(p.delay);
    w.F32LE(params.resolutionX > 0 ? params.resolutionX : p.resolutionX);
    w.F32LE(params.resolutionY > 0 ? params.resolutionY : p.resolutionY);
    w.U32LE(p.background);
    w.U32LE(uint32_t(p.canvasLeft));
    w.U32LE(uint32_t(p.canvasTop));
    w.U32LE(uint32_t(p.canvasRight));
    w.U32LE(uint32_t(p.canvasBottom));
    w.U32LE(p.blendMode);
    w.U8(p.base);
    w.U8(p.visible);
    w.U8(p.enabled);
    w.U8(0);
    w.U32LE(p.name.size());
    w.Append(p.name.view());
    w.U32LE(p.layerMetadata.size());
    w.Append(p.layerMetadata.view());
    w.U32LE(p.slideMetadata.size());
    w.Append(p.slideMetadata.view());
    const glib::CoreBitmap& b = p.bitmap;
    bool raster = b.pixels && glib::FindPixelLayout(b.pixelType);
    uint32_t type = raster ? b.pixelType : uint32_t(glib::kPixelNone);
    w.U32LE(raster ? uint32_t(b.width) : 0);
    w.U32LE(raster ? uint32_t(b.height) : 0);
    w.U32LE(type);
    uint32_t paletteSize = raster && glib::IsIndexed(type) | (type == glib::kPixelBW1) ? 256 : 0;
    w.U32LE(paletteSize);
    for (uint32_t k = 0; k < paletteSize; ++k) w.U32LE(b.palette[k]);
    bool jpeg = raster && params.compression == kJpegPixels &&
                (type == glib::kPixelRGB24 || type == glib::kPixelRGBA32);
    w.U32LE(jpeg ? kJpegPixels : kRawPixels);
    if (!raster) {
      w.U64LE(0);
    } else if (jpeg) {
      std::vector<uint8_t> coded;
      uint32_t rc = EncodeJpegPicture(b, std::clamp<uint32_t>(params.jpegQuality, 1, 100), coded);
      if (rc != RCOK) return rc;
      uint64_t alpha = type == glib::kPixelRGBA32 ? uint64_t(b.width) * uint64_t(b.height) : 0;
      w.U64LE(4 + coded.size() + alpha);
      w.U32LE(uint32_t(coded.size()));
      w.Append(coded.data(), coded.size());
      for (int32_t y = 0; alpha && y < b.height; ++y) {
        const uint8_t* row = PixelRow(b, y);
        for (int32_t x = 0; x < b.width; ++x) w.U8(row[x * 4 + 3]);
      }
    } else {
      uint64_t packed = glib::RowBytes(b.width, glib::BitsPerPixel(type), glib::kStridePacked);
      w.U64LE(packed * uint64_t(b.height));
      for (int32_t y = 0; y < b.height; ++y) w.Append(PixelRow(b, y), size_t(packed));
    }
    if (w.Size() > 0xFFFFFFFFu) return OMEM;
    Writer length;
    length.U32LE(uint32_t(w.Size()));
    if (!job.sink.Write(length.Bytes()) || !job.sink.Write(w.Bytes())) return WERR;
    if (!Progress(job.request, int32_t(i + 1), int32_t(pages.size()))) return USRA;
  }
  return RCOK;
}

}  // namespace vexlo
