// PNG through libpng: every colour type and depth, palettes with transparency,
// interlacing, 16-bit samples kept or reduced; text, gamma, time, density, ICC and
// EXIF chunks. libpng reports errors with longjmp; the frames that call setjmp hold
// plain data only.
#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <ctime>

#include <png.h>
#include <zlib.h>

#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/Png.h"

namespace vexlo {
namespace {

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (length > in->Left()) png_error(png, "read past the end");
  in->Read(out, length);
}

void Silent(png_structp, png_const_charp) {}

// Keywords of the text chunks that hold hex dumps of profiles.
constexpr std::string_view kRawProfile = "Raw profile type ";
// The longest hex dump of a profile read (8 MiB of profile).
constexpr size_t kMaxProfileHex = size_t(16) << 20;
// Texts for the panel are cut at this length.
constexpr size_t kMaxShownText = 64 * 1024;
// libpng prints and aborts unless the error function leaves by itself.
void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// What the reader learns from the chunks before the image data.
struct PngHeader {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  bool hasTrns = false;
  double gamma = -1;
  bool hasTime = false;
  png_time time{};
  float dpiX = 0, dpiY = 0;
  std::vector<uint8_t> icc, exif, iptc;
  std::vector<std::pair<std::string, std::string>> texts;
};

// Everything the reading frame touches: plain data.
struct ReadState {
  MemoryInput input;
  PngHeader* header;
  bool pixels;  // read the image, not only the chunks
  bool reduceTo8Bits;
  uint32_t (*prepare)(ReadState* s);  // allocates the page once the layout is known
  uint8_t* (*row)(ReadState* s, int32_t y);
  void* context;
  uint32_t pixelType;
  int32_t rowsDone;
  uint32_t rc;
  const glib::ImageDataExchange* request;
};

void CollectHeader(png_structp png, png_infop info, PngHeader& h) {
  png_get_IHDR(png, info, &h.width, &h.height, &h.bitDepth, &h.colorType, &h.interlace, nullptr,
               nullptr);
  h.hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  double gamma;
  if (png_get_gAMA(png, info, &gamma)) h.gamma = gamma;
  png_timep time;
  if (png_get_tIME(png, info, &time)) {
    h.hasTime = true;
    h.time = *time;
  }
  png_uint_32 resX, resY;
  int unit;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) {
    h.dpiX = float(resX * 0.0254);
    h.dpiY = float(resY * 0.0254);
  }
  png_charp name;
  int compression;
  png_bytep profile;
  png_uint_32 profileLength;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength))
    h.icc.assign(profile, profile + profileLength);
  png_uint_32 exifLength;
  png_bytep exif;
  if (png_get_eXIf_1(png, info, &exifLength, &exif)) h.exif.assign(exif, exif + exifLength);
}

// The transformations that make libpng deliver one of the page types.
uint32_t SetOutput(png_structp png, const PngHeader& h, bool reduce) {
  int type = h.colorType;
  bool wide = h.bitDepth == 16 && !reduce;
  if (h.bitDepth == 16 && !wide) png_set_strip_16(png);
  if (wide) png_set_swap(png);  // our 16-bit samples are little-endian
  if (type == PNG_COLOR_TYPE_PALETTE) {
    if (h.hasTrns) {
      png_set_palette_to_rgb(png);
      png_set_tRNS_to_alpha(png);
      png_set_bgr(png);
      return glib::kPixelRGBA32;
    }
    if (h.bitDepth == 2) png_set_packing(png);
    return h.bitDepth == 1   ? uint32_t(glib::kPixelIndexed1)
           : h.bitDepth == 4 ? uint32_t(glib::kPixelIndexed4)
                             : uint32_t(glib::kPixelIndexed8);
  }
  if (type == PNG_COLOR_TYPE_GRAY && !h.hasTrns) {
    if (h.bitDepth == 1) return glib::kPixelIndexed1;
    if (h.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    return wide ? uint32_t(glib::kPixelGray16) : kGray8;
  }
  // Everything else becomes blue, green, red (and alpha).
  if (h.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  bool alpha = (type & PNG_COLOR_MASK_ALPHA) || h.hasTrns;
  if (h.hasTrns) png_set_tRNS_to_alpha(png);
  if (alpha) return wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32;
  return wide ? glib::kPixelRGB48 : glib::kPixelRGB24;
}

uint32_t RunReader(ReadState* s) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &Fail, &Silent);
  if (!png) return OMEM;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return OMEM;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (s->rc != RCOK) return s->rc;
    // Rows that arrived before damaged or missing data are still a picture.
    return s->rowsDone > 0 && s->header->interlace == PNG_INTERLACE_NONE ? RCOK : BADI;
  }
  png_set_read_fn(png, &s->input, &ReadFromMemory);
  png_set_user_limits(png, uint32_t(kMaxSide), uint32_t(kMaxSide));
  png_set_chunk_malloc_max(png, 64u << 20);  // text, profile and other chunks
  png_read_info(png, info);
  CollectHeader(png, info, *s->header);
  if (!s->pixels) {
    png_destroy_read_struct(&png, &info, nullptr);
    return RCOK;
  }
  s->pixelType = SetOutput(png, *s->header, s->reduceTo8Bits);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  s->rc = s->prepare(s);
  if (s->rc != RCOK) {
    png_destroy_read_struct(&png, &info, nullptr);
    return s->rc;
  }
  int32_t height = int32_t(s->header->height);
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t y = 0; y < height; ++y) {
      png_read_row(png, s->row(s, y), nullptr);
      if (pass == passes - 1) s->rowsDone = y + 1;
      if ((y & 511) == 0 && !Progress(s->request, y + 1 + pass * height, passes * height)) {
        s->rc = USRA;
        png_destroy_read_struct(&png, &info, nullptr);
        return USRA;
      }
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return RCOK;
}

struct PageTarget {
  LoadJob* job;
  PagePtr page;
};

uint32_t PreparePage(ReadState* s) {
  auto* t = static_cast<PageTarget*>(s->context);
  uint32_t rc = CheckSize(s->header->width, s->header->height);
  if (rc != RCOK) return rc;
  return NewPage(t->job->request, int32_t(s->header->width), int32_t(s->header->height),
                 s->pixelType, t->page);
}

uint8_t* PageRow(ReadState* s, int32_t y) {
  return PixelRow(static_cast<PageTarget*>(s->context)->page->bitmap, y);
}

// The palette of an indexed page: the file's, or black and white for 1-bit grey.
void SetPalette(std::span<const uint8_t> bytes, const PngHeader& h, glib::CoreBitmap& bitmap) {
  if (h.colorType != PNG_COLOR_TYPE_PALETTE) {
    bitmap.palette[0] = 0xFF000000u;
    bitmap.palette[1] = 0xFFFFFFFFu;
    bitmap.paletteSize = 2;
    return;
  }
  // PLTE straight from the chunk list: libpng checked it while reading.
  Reader in(bytes);
  in.Skip(8);
  while (in.Left() >= 12) {
    uint32_t length = in.U32BE();
    uint32_t type = in.U32BE();
    const uint8_t* body = in.Take(length);
    in.Skip(4);
    if (!body) break;
    if (type == glib::FourCC("PLTE")) {
      uint32_t entries = std::min<uint32_t>(length / 3, 256);
      for (uint32_t i = 0; i < entries; ++i)
        bitmap.palette[i] = 0xFF000000u | uint32_t(body[i * 3]) << 16 |
                            uint32_t(body[i * 3 + 1]) << 8 | body[i * 3 + 2];
      bitmap.paletteSize = 1u << std::min(h.bitDepth, 8);
      return;
    }
    if (type == glib::FourCC("IDAT")) return;
  }
}

// The bytes up to the first chunk (other than image data, which libpng streams)
// that claims more bytes than the file has left: libpng would allocate what such a
// chunk claims, up to 2 GiB, before it finds out.
std::span<const uint8_t> WithoutOversizedChunks(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  in.Skip(8);
  for (int chunks = 0; in.Left() >= 8 && chunks < 1000000; ++chunks) {
    size_t start = in.Pos();
    uint32_t length = in.U32BE();
    uint32_t type = in.U32BE();
    if (uint64_t(length) + 4 > in.Left()) {
      return type == glib::FourCC("IDAT") ? bytes : bytes.first(start);
    }
    in.Skip(uint64_t(length) + 4);
    if (type == glib::FourCC("IEND")) break;
  }
  return bytes;
}

uint32_t ReadPng(std::span<const uint8_t> bytes, PngHeader& header, LoadJob* job, PagePtr* page) {
  PageTarget target{job, nullptr};
  ReadState s{};
  bytes = WithoutOversizedChunks(bytes);
  s.input = {bytes.data(), bytes.size(), 0};
  s.header = &header;
  s.pixels = job != nullptr;
  s.reduceTo8Bits = job && job->options.reduceTo8Bits;
  s.prepare = &PreparePage;
  s.row = &PageRow;
  s.context = &target;
  s.rc = RCOK;
  s.request = job ? job->request : nullptr;
  uint32_t rc = RunReader(&s);
  if (rc == RCOK && page) *page = std::move(target.page);
  return rc;
}

// Inflates a zlib stream into at most `limit` bytes, growing the output as it goes.
// With `whole`, a stream that does not end within the limit (or is damaged) gives
// false; otherwise what arrived before the limit or the damage is kept.
bool Inflate(std::string_view in, size_t limit, bool whole, std::string& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = uInt(in.size());
  out.clear();
  int status = Z_OK;
  while (status == Z_OK && out.size() < limit) {
    size_t done = out.size();
    out.resize(std::min(limit, std::max<size_t>(done * 2, 64 * 1024)));
    z.next_out = reinterpret_cast<Bytef*>(out.data() + done);
    z.avail_out = uInt(out.size() - done);
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(out.size() - z.avail_out);
    if (status == Z_BUF_ERROR && z.avail_out != 0) break;  // the input ran out
  }
  inflateEnd(&z);
  return status == Z_STREAM_END || (!whole && !out.empty());
}

// ImageMagick keeps profiles it has no chunk for in text chunks named
// "Raw profile type <name>": a newline, the name, a newline, the byte count in
// decimal, then the bytes as hexadecimal digits broken into lines. The bytes, or
// empty when the dump is damaged or shorter than it says.
std::vector<uint8_t> DecodeRawProfile(std::string_view text) {
  constexpr size_t kMaxBytes = kMaxProfileHex / 2;
  size_t at = 0;
  auto skipSpace = [&] {
    while (at < text.size() && std::isspace(uint8_t(text[at]))) ++at;
  };
  skipSpace();
  while (at < text.size() && text[at] != '\n') ++at;  // the profile's name
  skipSpace();
  uint64_t count = 0;
  size_t digits = 0;
  for (; at < text.size() && std::isdigit(uint8_t(text[at])) && digits < 10; ++at, ++digits)
    count = count * 10 + uint64_t(text[at] - '0');
  if (digits == 0 || count == 0 || count > kMaxBytes) return {};
  std::vector<uint8_t> bytes;
  bytes.reserve(size_t(std::min<uint64_t>(count, (text.size() - at) / 2)));
  int high = -1;
  for (; at < text.size() && bytes.size() < count; ++at) {
    char c = text[at];
    if (std::isspace(uint8_t(c))) continue;
    int nibble = c >= '0' && c <= '9'   ? c - '0'
                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                        : -1;
    if (nibble < 0) return {};
    if (high < 0) {
      high = nibble;
    } else {
      bytes.push_back(uint8_t(high << 4 | nibble));
      high = -1;
    }
  }
  if (bytes.size() != count) return {};
  return bytes;
}

// The IPTC records of a raw "iptc" profile: IIM records as they are, or the IPTC
// resource (0x0404) of a Photoshop resource block.
std::span<const uint8_t> IptcRecords(std::span<const uint8_t> bytes) {
  if (!bytes.empty() && bytes[0] == 0x1C) return bytes;
  Reader in(bytes);
  while (in.Left() >= 12) {
    const uint8_t* sign = in.Take(4);
    if (!sign || std::memcmp(sign, "8BIM", 4) != 0) break;
    uint16_t id = in.U16BE();
    uint8_t nameLength = in.U8();
    in.Skip(nameLength + ((nameLength + 1) & 1));  // the name, padded to an even length
    uint32_t size = in.U32BE();
    const uint8_t* data = in.Take(size);
    if (!data) break;
    if (id == 0x0404) return {data, size};
    in.Skip(size & 1);
  }
  return {};
}

// The metadata a PNG keeps in text chunks besides the text itself.
void TakeRawProfile(std::string_view key, std::string_view text, PngHeader& h) {
  std::string_view name = key.substr(kRawProfile.size());
  if (name == "exif" && h.exif.empty()) {
    h.exif = DecodeRawProfile(text);  // the JPEG-style header goes when the record gets it
  } else if ((name == "iptc" || name == "8bim") && h.iptc.empty()) {
    std::vector<uint8_t> bytes = DecodeRawProfile(text);
    std::span<const uint8_t> records = IptcRecords(bytes);
    h.iptc.assign(records.begin(), records.end());
  }
}

// One text chunk's keyword and text (inflated); false for a damaged chunk.
bool ReadTextChunk(uint32_t type, std::string_view all, std::string& key, std::string& value) {
  size_t nul = all.find('\0');
  if (nul == std::string_view::npos || nul == 0 || nul > 79) return false;
  key.assign(all.substr(0, nul));
  std::string_view rest = all.substr(nul + 1);
  bool compressed = type == glib::FourCC("zTXt");
  if (type == glib::FourCC("iTXt")) {
    if (rest.size() < 2) return false;
    compressed = rest[0] != 0;
    rest.remove_prefix(2);
    for (int skip = 0; skip < 2; ++skip) {  // language tag, translated keyword
      size_t end = rest.find('\0');
      if (end == std::string_view::npos) return false;
      rest.remove_prefix(end + 1);
    }
  } else if (compressed) {
    if (rest.empty()) return false;
    rest.remove_prefix(1);  // compression method
  }
  bool profile = key.starts_with(kRawProfile);
  if (!compressed) {
    value.assign(rest);
    return true;
  }
  // Hex dumps of profiles may be large; texts shown in the panel are cut short.
  return Inflate(rest, profile ? kMaxProfileHex : kMaxShownText, profile, value);
}

// Chunks anywhere in the file (many writers put text, eXIf and tIME after the image
// data, where the header read does not look): text chunks as they are, zTXt and
// iTXt inflated up to a limit, ImageMagick's raw profiles decoded.
void CollectChunks(std::span<const uint8_t> bytes, PngHeader& h) {
  Reader in(bytes);
  in.Skip(8);
  std::string key, value;
  for (int chunks = 0; in.Left() >= 12 && chunks < 100000 && h.texts.size() < 1000; ++chunks) {
    uint32_t length = in.U32BE();
    uint32_t type = in.U32BE();
    const uint8_t* body = in.Take(length);
    in.Skip(4);
    if (!body) break;
    if (type == glib::FourCC("eXIf") && h.exif.empty()) {
      h.exif.assign(body, body + length);
      continue;
    }
    if (type == glib::FourCC("tIME") && !h.hasTime && length == 7) {
      Reader t(body, length);
      h.time.year = t.U16BE();
      h.time.month = t.U8();
      h.time.day = t.U8();
      h.time.hour = t.U8();
      h.time.minute = t.U8();
      h.time.second = t.U8();
      h.hasTime = true;
      continue;
    }
    if (type != glib::FourCC("tEXt") && type != glib::FourCC("zTXt") &&
        type != glib::FourCC("iTXt"))
      continue;
    std::string_view all(reinterpret_cast<const char*>(body), length);
    if (!ReadTextChunk(type, all, key, value)) continue;
    if (key.starts_with(kRawProfile)) {
      TakeRawProfile(key, value, h);  // a hex dump, not text for the panel
    } else {
      h.texts.emplace_back(key, value);
    }
  }
}

}  // namespace

bool IsPng(std::span<const uint8_t> bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1A\n", 8) == 0;
}

uint32_t DecodePngPage(LoadJob& job, std::span<const uint8_t> bytes, PagePtr& page) {
  if (!IsPng(bytes)) return BADI;
  PngHeader header;
  uint32_t rc = ReadPng(bytes, header, &job, &page);
  if (rc != RCOK) return rc;
  glib::CoreBitmap& bitmap = page->bitmap;
  if (glib::IsIndexed(bitmap.pixelType)) SetPalette(bytes, header, bitmap);
  if (!header.icc.empty()) {
    bool rgb = header.colorType & PNG_COLOR_MASK_COLOR;
    if (job.options.UseProfile(rgb)) {
      rc = ApplyProfile(job.request, *page, header.icc);
      if (rc != RCOK) return rc;
    }
    AppendMetadata(page->slideMetadata, kTagIcc, header.icc);
  }
  AppendMetadata(page->slideMetadata, kTagExif, header.exif);
  if (header.dpiX > 0 && header.dpiY > 0) {
    page->resolutionX = header.dpiX;
    page->resolutionY = header.dpiY;
  }
  return RCOK;
}

uint32_t LoadPng(LoadJob& job) {
  if (!job.options.Wants(0)) return BADA;
  PagePtr page;
  uint32_t rc = DecodePngPage(job, job.source.Bytes(), page);
  if (rc != RCOK) return rc;
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoPng(const Source& source, InfoRecord& info) {
  if (!IsPng(source.Bytes())) return BADI;
  PngHeader h;
  uint32_t rc = ReadPng(source.Bytes(), h, nullptr, nullptr);
  if (rc != RCOK) return rc;
  CollectChunks(source.Bytes(), h);
  info.SetType("Portable Network Graphics");
  info.width = int32_t(h.width);
  info.height = int32_t(h.height);
  int channels = h.colorType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                 : h.colorType == PNG_COLOR_TYPE_RGB        ? 3
                 : h.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                            : 1;
  info.bitsPerPixel = h.bitDepth * channels;
  info.pixelType = h.colorType == PNG_COLOR_TYPE_PALETTE ? 0x02010100u | uint32_t(h.bitDepth)
                   : channels == 1                       ? 0x01010100u | uint32_t(h.bitDepth)
                   : channels == 2                       ? 0x81010200u | uint32_t(h.bitDepth)
                   : channels == 3                       ? 0x03010300u | uint32_t(h.bitDepth)
                                                         : 0x83010400u | uint32_t(h.bitDepth);
  info.pageCount = 1;
  info.compression = 3;  // Flate
  info.resolutionX = h.dpiX;
  info.resolutionY = h.dpiY;
  info.interlaced = h.interlace != PNG_INTERLACE_NONE;
  info.gamma = float(h.gamma);
  if (h.hasTime) {
    std::tm t{};
    t.tm_year = h.time.year - 1900;
    t.tm_mon = h.time.month - 1;
    t.tm_mday = h.time.day;
    t.tm_hour = h.time.hour;
    t.tm_min = h.time.minute;
    t.tm_sec = h.time.second;
#if defined(_WIN32)
    info.lastModified = int64_t(_mkgmtime(&t));
#else
    info.lastModified = int64_t(timegm(&t));
#endif
    info.hasLastModified = 1;
  }
  for (const auto& [key, value] : h.texts) info.AddPair(key, value);
  info.SetProfile(h.icc);
  info.SetExif(TiffExif(h.exif));
  info.SetIptc(h.iptc);
  return RCOK;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

struct WriteState {
  Sink* sink;
  int32_t width, height;
  int bitDepth, colorType;
  int level;
  const uint8_t* (*row)(WriteState* s, int32_t y);
  void* context;
  png_color palette[256];
  int paletteEntries;
  png_byte trns[256];
  int trnsEntries;
  float dpiX, dpiY;
  bool failed;
};

void WriteToSink(png_structp png, png_bytep data, size_t length) {
  auto* s = static_cast<WriteState*>(png_get_io_ptr(png));
  if (!s->sink->Write(data, length)) s->failed = true;
}
void FlushSink(png_structp) {}

uint32_t RunWriter(WriteState* s) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &Fail, &Silent);
  if (!png) return OMEM;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return WERR;
  }
  png_set_write_fn(png, s, &WriteToSink, &FlushSink);
  png_set_compression_level(png, std::clamp(s->level, 0, 9));
  png_set_IHDR(png, info, png_uint_32(s->width), png_uint_32(s->height), s->bitDepth, s->colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (s->colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, s->palette, s->paletteEntries);
    if (s->trnsEntries > 0) png_set_tRNS(png, info, s->trns, s->trnsEntries, nullptr);
  }
  if (s->dpiX > 0 && s->dpiY > 0)
    png_set_pHYs(png, info, png_uint_32(s->dpiX / 0.0254f + 0.5f),
                 png_uint_32(s->dpiY / 0.0254f + 0.5f), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  if (s->bitDepth == 16) png_set_swap(png);
  for (int32_t y = 0; y < s->height && !s->failed; ++y)
    png_write_row(png, const_cast<png_bytep>(s->row(s, y)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return s->failed ? WERR : RCOK;
}

// Rows as the file stores them, made one at a time from the prepared pixels.
struct RowMaker {
  SavePixels pixels;
  const glib::CoreBitmap* alphaSource = nullptr;  // for grey with alpha and indexed alpha
  std::vector<uint8_t> row;
  std::vector<int16_t> error;  // dithering of 1-bit grey
  int kind = 0;
  int bits = 8;
  int transparentIndex = -1;
  bool dither = false;
};

enum RowKind { kDirect, kSwapRgb, kSwapRgb16, kGreyAlpha8, kGreyAlpha16, kPackIndex, kPackGrey };

const uint8_t* MakeRow(WriteState* s, int32_t y) {
  auto* m = static_cast<RowMaker*>(s->context);
  const uint8_t* in = m->pixels.Row(y);
  int32_t w = s->width;
  uint8_t* out = m->row.data();
  switch (m->kind) {
    case kDirect:
      return in;
    case kSwapRgb:  // BGR(A) to RGB(A)
      SwapRedBlue(in, out, size_t(w), s->colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3);
      return out;
    case kSwapRgb16:
      SwapRedBlue(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(out),
                  size_t(w), s->colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3);
      return out;
    case kGreyAlpha8:  // from grey-valued RGBA32
      for (int32_t x = 0; x < w; ++x) {
        out[x * 2] = in[x * 4 + 1];
        out[x * 2 + 1] = in[x * 4 + 3];
      }
      return out;
    case kGreyAlpha16: {
      const uint16_t* p = reinterpret_cast<const uint16_t*>(in);
      uint16_t* o = reinterpret_cast<uint16_t*>(out);
      for (int32_t x = 0; x < w; ++x) {
        o[x * 2] = p[x * 4 + 1];
        o[x * 2 + 1] = p[x * 4 + 3];
      }
      return out;
    }
    case kPackIndex:
    case kPackGrey: {
      std::fill(out, out + m->row.size(), 0);
      const uint8_t* alpha = m->alphaSource ? PixelRow(*m->alphaSource, y) : nullptr;
      for (int32_t x = 0; x < w; ++x) {
        int v = in[x];
        if (m->kind == kPackGrey && m->bits == 1 && m->dither) {
          // Error carried along the row.
          int want = v + (x ? m->error[0] : 0);
          v = want >= 128 ? 1 : 0;
          m->error[0] = int16_t(std::clamp(want - v * 255, -255, 255));
        } else if (m->kind == kPackGrey) {
          v >>= 8 - m->bits;
        }
        if (alpha && m->transparentIndex >= 0 && alpha[x * 4 + 3] < 128) v = m->transparentIndex;
        int perByte = 8 / m->bits;
        out[x / perByte] |= uint8_t(v << (8 - m->bits * (x % perByte + 1)));
      }
      return out;
    }
  }
  return in;
}

}  // namespace

uint32_t SavePng(SaveJob& job) {
  const auto& params = *static_cast<const glib::PNGSave*>(job.params);
  const glib::IDEPage* page = SavePages(job.request).front();
  uint32_t type = params.pixelType;
  uint32_t model = glib::ColourModel(type);
  int bits = int(glib::BitsPerSample(type));
  bool grey = params.grayscale != 0;
  RowMaker maker;
  maker.dither = params.dither != 0;
  WriteState s{};
  s.sink = &job.sink;
  s.level = int(params.compressionLevel);
  s.row = &MakeRow;
  s.context = &maker;
  s.dpiX = params.resolutionX > 0 ? params.resolutionX : page->resolutionX;
  s.dpiY = params.resolutionY > 0 ? params.resolutionY : page->resolutionY;
  uint32_t rc;
  if (model == 2 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) {
    // Indexed: one palette slot is kept for transparency when the page has some and
    // the record asks for it.
    bool alpha = params.useAlphaForIndexed && !IsOpaque(page->bitmap);
    uint32_t colours = std::min<uint32_t>(params.colorCount, 1u << bits);
    if (alpha) colours = std::max<uint32_t>(colours, 2) - 1;
    rc = maker.pixels.Prepare(page->bitmap, glib::kPixelIndexed8, params.dither != 0, grey,
                              std::max<uint32_t>(colours, 2));
    if (rc != RCOK) return rc;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.paletteEntries = std::min(maker.pixels.PaletteEntries(), 1 << bits);
    for (int i = 0; i < s.paletteEntries; ++i) {
      uint32_t c = maker.pixels.Palette()[i];
      s.palette[i] = {png_byte(c >> 16), png_byte(c >> 8), png_byte(c)};
    }
    if (alpha) {
      maker.transparentIndex = std::min(s.paletteEntries, (1 << bits) - 1);
      s.paletteEntries = std::max(s.paletteEntries, maker.transparentIndex + 1);
      s.palette[maker.transparentIndex] = {0, 0, 0};
      std::fill(s.trns, s.trns + 256, png_byte(255));
      s.trns[maker.transparentIndex] = 0;
      s.trnsEntries = maker.transparentIndex + 1;
      maker.alphaSource = &page->bitmap;
      if (page->bitmap.pixelType != glib::kPixelRGBA32) maker.alphaSource = nullptr;
    }
    maker.kind = kPackIndex;
  } else if (model == 1 && !glib::HasAlpha(type) && bits <= 16) {
    s.colorType = PNG_COLOR_TYPE_GRAY;
    rc = maker.pixels.Prepare(page->bitmap, bits == 16 ? uint32_t(glib::kPixelGray16) : kGray8,
                              false, true);
    if (rc != RCOK) return rc;
    maker.kind = bits >= 8 ? kDirect : kPackGrey;
  } else if ((type & 0x80000000u) && model == 1) {
    s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    rc = maker.pixels.Prepare(page->bitmap, bits == 16 ? glib::kPixelRGBA64 : glib::kPixelRGBA32,
                              false, true);
    if (rc != RCOK) return rc;
    maker.kind = bits == 16 ? kGreyAlpha16 : kGreyAlpha8;
  } else {
    bool alpha = glib::HasAlpha(type);
    bits = bits == 16 ? 16 : 8;
    s.colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    uint32_t target = bits == 16 ? (alpha ? glib::kPixelRGBA64 : glib::kPixelRGB48)
                                 : (alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24);
    rc = maker.pixels.Prepare(page->bitmap, target, false, grey);
    if (rc != RCOK) return rc;
    maker.kind = bits == 16 ? kSwapRgb16 : kSwapRgb;
  }
  s.bitDepth = bits;
  s.width = maker.pixels.Width();
  s.height = maker.pixels.Height();
  int channels = s.colorType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                 : s.colorType == PNG_COLOR_TYPE_RGB        ? 3
                 : s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                            : 1;
  maker.bits = bits;
  maker.row.resize(size_t((uint64_t(s.width) * channels * bits + 7) / 8) + 8);
  maker.error.assign(size_t(s.width) + 2, 0);
  return RunWriter(&s);
}

}  // namespace vexlo
