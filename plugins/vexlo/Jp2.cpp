// JPEG 2000 through OpenJPEG: JP2 files (boxes) and bare codestreams (.j2k, .j2c),
// decoded from the bytes in memory. Grey, RGB (also sYCC and CMYK sources) with or
// without alpha; samples of up to 8 bits give 8-bit pages, deeper ones 16-bit pages.
// Reduced resolutions of the wavelet serve thumbnails and a wanted size. Writes JP2
// or a codestream, lossless or at a compression ratio taken from the record's quality,
// and the page's density as the display resolution of a JP2 file.
#include <openjpeg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

#include "runtime/ParallelRows.h"
#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/Ssse3.h"

namespace vexlo {
namespace {

// OpenJPEG's messages: never printed; the first error is kept for the log of a test.
struct Messages {
  char error[160] = {};
  static void Error(const char* text, void* self) {
    auto* m = static_cast<Messages*>(self);
    if (!m->error[0]) std::snprintf(m->error, sizeof m->error, "%s", text);
  }
  static void Quiet(const char*, void*) {}
};

void Install(opj_codec_t* codec, Messages& messages) {
  opj_set_error_handler(codec, &Messages::Error, &messages);
  opj_set_warning_handler(codec, &Messages::Quiet, &messages);
  opj_set_info_handler(codec, &Messages::Quiet, &messages);
}

struct CodecCloser {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct StreamCloser {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct ImageCloser {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};
using CodecPtr = std::unique_ptr<opj_codec_t, CodecCloser>;
using StreamPtr = std::unique_ptr<opj_stream_t, StreamCloser>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageCloser>;

// ---------------------------------------------------------------------------
// Reading

OPJ_SIZE_T ReadBytes(void* out, OPJ_SIZE_T n, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (in->Left() == 0) return OPJ_SIZE_T(-1);
  return in->Read(out, n);
}
OPJ_OFF_T SkipBytes(OPJ_OFF_T n, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (n < 0) {
    if (uint64_t(-n) > in->pos) return -1;
  } else if (uint64_t(n) > in->Left()) {
    n = OPJ_OFF_T(in->Left());  // OpenJPEG treats a short skip as the end
  }
  in->pos = size_t(int64_t(in->pos) + n);
  return n;
}
OPJ_BOOL SeekBytes(OPJ_OFF_T pos, void* user) {
  auto* in = static_cast<MemoryInput*>(user);
  if (pos < 0 || uint64_t(pos) > in->size) return OPJ_FALSE;
  in->pos = size_t(pos);
  return OPJ_TRUE;
}

StreamPtr InputStream(MemoryInput& input) {
  StreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
  if (!stream) return stream;
  opj_stream_set_user_data(stream.get(), &input, nullptr);
  opj_stream_set_user_data_length(stream.get(), input.size);
  opj_stream_set_read_function(stream.get(), &ReadBytes);
  opj_stream_set_skip_function(stream.get(), &SkipBytes);
  opj_stream_set_seek_function(stream.get(), &SeekBytes);
  return stream;
}

constexpr uint8_t kJp2Signature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};

bool IsJp2(std::span<const uint8_t> bytes) {
  return bytes.size() >= 12 && std::memcmp(bytes.data(), kJp2Signature, 12) == 0;
}

// The resolution of a JP2 file in dots per inch: the display resolution box, else the
// capture one, inside the header box; zeros when neither is there.
struct Density {
  float x = 0, y = 0;
};

// The body of the first box of the type among the boxes of `bytes` (empty if none).
std::span<const uint8_t> FindBox(std::span<const uint8_t> bytes, uint32_t type) {
  Reader in(bytes);
  while (in.Left() >= 8) {
    size_t start = in.Pos();
    uint64_t size = in.U32BE();
    uint32_t id = in.U32BE();
    size_t header = 8;
    if (size == 1) {
      size = uint64_t(in.U32BE()) << 32;
      size |= in.U32BE();
      header = 16;
    } else if (size == 0) {
      size = bytes.size() - start;  // to the end
    }
    if (in.Failed() || size < header || size > bytes.size() - start) break;
    if (id == type) return bytes.subspan(start + header, size_t(size) - header);
    in.Seek(start + size);
  }
  return {};
}

Density ReadDensity(std::span<const uint8_t> file) {
  Density d;
  std::span<const uint8_t> res = FindBox(FindBox(file, glib::FourCC("jp2h")), glib::FourCC("res "));
  std::span<const uint8_t> box = FindBox(res, glib::FourCC("resd"));
  if (box.empty()) box = FindBox(res, glib::FourCC("resc"));
  Reader in(box);
  // Grid points per metre as numerator, denominator and a power of ten; vertical first.
  double vn = in.U16BE(), vd = in.U16BE(), hn = in.U16BE(), hd = in.U16BE();
  int ve = int8_t(in.U8()), he = int8_t(in.U8());
  if (in.Failed() || !vn || !vd || !hn || !hd) return d;
  double x = hn / hd * std::pow(10.0, he) * 0.0254, y = vn / vd * std::pow(10.0, ve) * 0.0254;
  if (x > 0 && y > 0 && x < 1e6 && y < 1e6) d = {float(x), float(y)};
  return d;
}

// Worker threads of the wavelet and code-block work for pictures of a megapixel or
// more (a pool costs more than it saves on small ones): the machine's cores, four at
// most, so that a file manager's process stays responsive.
int Threads(uint64_t pixels) {
  if (pixels < (uint64_t(1) << 20) || !opj_has_thread_support()) return 0;
  return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// The picture size a codestream's SIZ segment claims (0 when there is none).
uint64_t CodestreamPixels(std::span<const uint8_t> codestream) {
  Reader in(codestream);
  if (in.U32BE() != 0xFF4FFF51u) return 0;
  in.Skip(4);  // Lsiz, Rsiz
  uint32_t x1 = in.U32BE(), y1 = in.U32BE(), x0 = in.U32BE(), y0 = in.U32BE();
  if (in.Failed() || x1 <= x0 || y1 <= y0) return 0;
  return uint64_t(x1 - x0) * (y1 - y0);
}

// An opened file: its header read, nothing decoded yet.
struct Opened {
  MemoryInput input;
  Messages messages;
  StreamPtr stream;
  CodecPtr codec;
  ImagePtr image;
  uint32_t width = 0, height = 0;  // of the full resolution
  uint32_t resolutions = 1;        // levels the codestream keeps (1: the full one only)
  int threads = 0;                 // the decoder's worker threads
};

// `decoding` asks for the worker threads a decode of the whole picture uses.
uint32_t OpenImage(std::span<const uint8_t> bytes, Opened& o, bool decoding) {
  o.input = {bytes.data(), bytes.size(), 0};
  // A codestream starts with SOC and SIZ.
  bool jp2 = IsJp2(bytes);
  if (!jp2 && !(bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0x4F && bytes[2] == 0xFF &&
                bytes[3] == 0x51))
    return BADI;
  o.stream = InputStream(o.input);
  o.codec.reset(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!o.stream || !o.codec) return OMEM;
  Install(o.codec.get(), o.messages);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(o.codec.get(), &params)) return IERR;
  // Threads are set before the header is read: the size comes from a look at SIZ.
  int threads =
      decoding ? Threads(CodestreamPixels(jp2 ? FindBox(bytes, glib::FourCC("jp2c")) : bytes)) : 0;
  if (threads > 1 && opj_codec_set_threads(o.codec.get(), threads)) o.threads = threads;
  opj_image_t* image = nullptr;
  if (!opj_read_header(o.stream.get(), o.codec.get(), &image)) {
    opj_image_destroy(image);
    return BADI;
  }
  o.image.reset(image);
  if (image->numcomps == 0 || !image->comps || image->x1 <= image->x0 || image->y1 <= image->y0)
    return BADI;
  o.width = image->x1 - image->x0;
  o.height = image->y1 - image->y0;
  uint32_t rc = CheckSize(o.width, o.height);
  if (rc != RCOK) return rc;
  for (uint32_t c = 0; c < image->numcomps; ++c) {
    const opj_image_comp_t& comp = image->comps[c];
    if (comp.prec < 1 || comp.prec > 16 || comp.dx == 0 || comp.dy == 0) return UNSF;
  }
  if (opj_codestream_info_v2_t* info = opj_get_cstr_info(o.codec.get())) {
    if (info->m_default_tile_info.tccp_info)
      o.resolutions = std::max<uint32_t>(info->m_default_tile_info.tccp_info[0].numresolutions, 1);
    opj_destroy_cstr_info(&info);
  }
  return RCOK;
}

// How a decoded image maps onto a page.
struct Layout {
  uint32_t colour = 1;  // colour components used: 1 grey, 3 RGB
  int alpha = -1;       // the alpha component, -1 none
  bool wide = false;    // 16-bit samples
  bool ycc = false, cmyk = false;
  uint32_t Type() const {
    if (colour == 1 && alpha < 0) return wide ? uint32_t(glib::kPixelGray16) : kGray8;
    if (alpha >= 0) return wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32;
    return wide ? glib::kPixelRGB48 : glib::kPixelRGB24;
  }
};

Layout LayoutOf(const opj_image_t& image) {
  Layout l;
  uint32_t n = image.numcomps;
  for (uint32_t c = 0; c < n; ++c) {
    if (image.comps[c].alpha && l.alpha < 0) l.alpha = int(c);
  }
  l.cmyk = image.color_space == OPJ_CLRSPC_CMYK && n >= 4;
  if (l.cmyk) {
    l.colour = 4;
    if (l.alpha < 4) l.alpha = n > 4 ? 4 : -1;
  } else {
    // Without channel definitions (bare codestreams) the component after the colours
    // is alpha: two components are grey and alpha, four RGB and alpha.
    bool grey = image.color_space == OPJ_CLRSPC_GRAY || n < 3 || (l.alpha >= 0 && l.alpha < 3);
    l.colour = grey ? 1 : 3;
    if (l.alpha < 0 && n > l.colour) l.alpha = int(l.colour);
    l.ycc = !grey && image.color_space == OPJ_CLRSPC_SYCC;
  }
  uint32_t used = l.colour + (l.alpha >= 0 ? 1 : 0);
  for (uint32_t c = 0; c < std::min(used, n); ++c) l.wide |= image.comps[c].prec > 8;
  if (l.cmyk) l.wide = false;  // CMYK goes through the 8-bit formula
  return l;
}

// One component's samples for one output row, scaled to 8 or 16 bits and unsigned.
void ComponentRow(const opj_image_comp_t& comp, uint32_t y, uint32_t width, bool wide,
                  uint16_t* out) {
  uint32_t cy = std::min(y / comp.dy, comp.h - 1);
  const OPJ_INT32* row = comp.data + uint64_t(cy) * comp.w;
  int32_t offset = comp.sgnd ? 1 << (comp.prec - 1) : 0;
  int32_t top = (1 << comp.prec) - 1;
  uint32_t target = wide ? 65535 : 255;
  bool same = comp.prec == (wide ? 16u : 8u);
  for (uint32_t x = 0; x < width; ++x) {
    uint32_t cx = std::min(x / comp.dx, comp.w - 1);
    int32_t v = std::clamp(row[cx] + offset, 0, top);
    out[x] =
        same ? uint16_t(v) : uint16_t((uint64_t(v) * target + uint32_t(top) / 2) / uint32_t(top));
  }
}

uint8_t Clamp8(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// Whether the components are plain unsigned bytes at full size, the common case that
// goes straight into the rows.
bool DirectBytes(const opj_image_t& image, const Layout& l, uint32_t width, uint32_t height) {
  if (l.wide || l.ycc || l.cmyk || (l.colour == 1 && l.alpha >= 0)) return false;
  for (uint32_t c = 0; c < l.colour + (l.alpha >= 0 ? 1 : 0); ++c) {
    const opj_image_comp_t& comp = image.comps[c == l.colour ? uint32_t(l.alpha) : c];
    if (comp.prec != 8 || comp.sgnd || comp.dx != 1 || comp.dy != 1 || comp.w != width ||
        comp.h < height)
      return false;
  }
  return true;
}

#if VEXLO_SSSE3
// Sixteen samples as bytes, clamped to 0..255 by the saturating packs.
__attribute__((target("ssse3"))) inline __m128i Bytes16(const OPJ_INT32* p) {
  const auto* v = reinterpret_cast<const __m128i*>(p);
  __m128i low = _mm_packs_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
  __m128i high = _mm_packs_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
  return _mm_packus_epi16(low, high);
}

// Sixteen pixels of blue, green and red bytes interleaved.
constexpr Gather48 kInterleave([](int i) { return i % 3 * 16 + i / 3; });

// Sixteen pixels at a time of one row; returns the pixels done, the rest is the
// caller's. `planes` are blue, green, red and alpha (as many as `channels`).
__attribute__((target("ssse3"))) uint32_t BytesRowSsse3(const OPJ_INT32* const* planes,
                                                        uint32_t channels, uint32_t width,
                                                        uint8_t* out) {
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i b = Bytes16(planes[0] + x);
    auto* o = reinterpret_cast<__m128i*>(out + size_t(x) * channels);
    if (channels == 1) {
      _mm_storeu_si128(o, b);
      continue;
    }
    __m128i g = Bytes16(planes[1] + x), r = Bytes16(planes[2] + x);
    if (channels == 4) {
      __m128i a = Bytes16(planes[3] + x);
      __m128i bgLow = _mm_unpacklo_epi8(b, g), bgHigh = _mm_unpackhi_epi8(b, g);
      __m128i raLow = _mm_unpacklo_epi8(r, a), raHigh = _mm_unpackhi_epi8(r, a);
      _mm_storeu_si128(o, _mm_unpacklo_epi16(bgLow, raLow));
      _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLow, raLow));
      _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
      _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
      continue;
    }
    const __m128i sources[3] = {b, g, r};
    StoreGathered(sources, kInterleave, out + size_t(x) * 3);
  }
  return x;
}
#endif

// One row of plain byte components into the page (blue, green, red, alpha order).
void BytesRow(const OPJ_INT32* const* planes, uint32_t channels, uint32_t width, uint8_t* out) {
  uint32_t x = 0;
#if VEXLO_SSSE3
  static const bool ssse3 = HaveSsse3();
  if (ssse3) x = BytesRowSsse3(planes, channels, width, out);
#endif
  for (; x < width; ++x)
    for (uint32_t c = 0; c < channels; ++c) out[size_t(x) * channels + c] = Clamp8(planes[c][x]);
}

void FillBytes(const opj_image_t& image, const Layout& l, glib::CoreBitmap& bitmap, uint32_t top,
               uint32_t bottom) {
  uint32_t width = uint32_t(bitmap.width);
  // The page's order: blue, green, red, alpha; grey alone.
  uint32_t order[4] = {2, 1, 0, uint32_t(l.alpha)};
  uint32_t channels = l.colour == 1 ? 1 : l.alpha >= 0 ? 4 : 3;
  if (channels == 1) order[0] = 0;
  for (int32_t y = int32_t(top); y < int32_t(bottom); ++y) {
    const OPJ_INT32* planes[4] = {};
    for (uint32_t c = 0; c < channels; ++c)
      planes[c] = image.comps[order[c]].data + size_t(y) * width;
    BytesRow(planes, channels, width, PixelRow(bitmap, y));
  }
}

// The decoded components into the page's rows (blue, green, red, alpha order).
void FillRows(const opj_image_t& image, const Layout& l, glib::CoreBitmap& bitmap, uint32_t top,
              uint32_t bottom) {
  uint32_t width = uint32_t(bitmap.width);
  uint32_t used = l.colour + (l.alpha >= 0 ? 1 : 0);
  std::vector<std::vector<uint16_t>> rows(used, std::vector<uint16_t>(width));
  uint32_t channels = l.Type() == kGray8 || l.Type() == glib::kPixelGray16 ? 1
                      : l.alpha >= 0                                       ? 4
                                                                           : 3;
  for (uint32_t y = top; y < bottom; ++y) {
    for (uint32_t c = 0; c < l.colour; ++c)
      ComponentRow(image.comps[c], y, width, l.wide, rows[c].data());
    if (l.alpha >= 0) ComponentRow(image.comps[l.alpha], y, width, l.wide, rows[l.colour].data());
    uint8_t* out = PixelRow(bitmap, int32_t(y));
    if (l.colour == 1) {
      for (uint32_t x = 0; x < width; ++x) {
        uint16_t g = rows[0][x];
        if (l.wide) {
          auto* o = reinterpret_cast<uint16_t*>(out) + size_t(x) * channels;
          for (uint32_t k = 0; k < std::min(channels, 3u); ++k) o[k] = g;
          if (channels == 4) o[3] = rows[1][x];
        } else {
          uint8_t* o = out + size_t(x) * channels;
          for (uint32_t k = 0; k < std::min(channels, 3u); ++k) o[k] = uint8_t(g);
          if (channels == 4) o[3] = uint8_t(rows[1][x]);
        }
      }
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      int r = rows[0][x], g = rows[1][x], b = rows[2][x];
      if (l.cmyk) {
        int k = 255 - rows[3][x];
        r = (255 - r) * k / 255;
        g = (255 - g) * k / 255;
        b = (255 - b) * k / 255;
      } else if (l.ycc) {
        // sYCC (full range) to RGB.
        int half = l.wide ? 32768 : 128, peak = l.wide ? 65535 : 255;
        double y0 = r, cb = g - half, cr = b - half;
        r = std::clamp(int(y0 + 1.402 * cr + 0.5), 0, peak);
        g = std::clamp(int(y0 - 0.344136 * cb - 0.714136 * cr + 0.5), 0, peak);
        b = std::clamp(int(y0 + 1.772 * cb + 0.5), 0, peak);
      }
      if (l.wide) {
        auto* o = reinterpret_cast<uint16_t*>(out) + size_t(x) * channels;
        o[0] = uint16_t(b), o[1] = uint16_t(g), o[2] = uint16_t(r);
        if (channels == 4) o[3] = rows[l.colour][x];
      } else {
        uint8_t* o = out + size_t(x) * channels;
        o[0] = Clamp8(b), o[1] = Clamp8(g), o[2] = Clamp8(r);
        if (channels == 4) o[3] = uint8_t(rows[l.colour][x]);
      }
    }
  }
}

// Runs fill(top, bottom) over bands of rows on `threads` threads (this one included);
// false when memory ran short in one of them.
template <class Fill>
bool ForBands(uint32_t height, int threads, const Fill& fill) {
  std::atomic<bool> failed{false};
  auto body = [&](int32_t first, int32_t end, int) {
    try {
      fill(uint32_t(first), uint32_t(end));
    } catch (...) {
      failed = true;
    }
  };
  glib::RunRowChunks(int32_t(height), 64, std::max(threads, 1), nullptr, body);
  return !failed;
}

// The decoded components into the page's rows, in bands on the decoder's threads.
uint32_t FillPage(const opj_image_t& image, const Layout& l, glib::CoreBitmap& bitmap,
                  int threads) {
  uint32_t width = uint32_t(bitmap.width), height = uint32_t(bitmap.height);
  for (uint32_t c = 0; c < image.numcomps; ++c) {
    const opj_image_comp_t& comp = image.comps[c];
    if (!comp.data || comp.w == 0 || comp.h == 0) return BADI;
  }
  bool filled = DirectBytes(image, l, width, height)
                    ? ForBands(height, threads,
                               [&](uint32_t top, uint32_t bottom) {
                                 FillBytes(image, l, bitmap, top, bottom);
                               })
                    : ForBands(height, threads, [&](uint32_t top, uint32_t bottom) {
                        FillRows(image, l, bitmap, top, bottom);
                      });
  return filled ? RCOK : OMEM;
}

// The reduction (a power of two) whose picture still covers the wanted size; 0 when
// none is wanted.
uint32_t ReductionFor(const Opened& o, uint32_t wantW, uint32_t wantH) {
  if (!wantW || !wantH) return 0;
  uint32_t r = 0;
  while (r + 1 < o.resolutions && r + 1 < 31) {
    uint32_t w = (o.width + (1u << (r + 1)) - 1) >> (r + 1);
    uint32_t h = (o.height + (1u << (r + 1)) - 1) >> (r + 1);
    if (w < wantW || h < wantH) break;
    ++r;
  }
  return r;
}

uint32_t Decode(LoadJob& job, uint32_t wantW, uint32_t wantH) {
  if (!job.options.Wants(0)) return glib::BADA;
  Opened o;
  uint32_t rc = OpenImage(job.source.Bytes(), o, true);
  if (rc != RCOK) return rc;
  uint32_t reduce = ReductionFor(o, wantW, wantH);
  if (reduce && !opj_set_decoded_resolution_factor(o.codec.get(), reduce)) reduce = 0;
  // OpenJPEG keeps every component as 32-bit samples; the page comes on top.
  uint32_t width = (o.width + (1u << reduce) - 1) >> reduce;
  uint32_t height = (o.height + (1u << reduce) - 1) >> reduce;
  uint64_t planes = uint64_t(width) * height * std::min<uint32_t>(o.image->numcomps, 5) * 4;
  if (planes > (sizeof(void*) == 4 ? uint64_t(0x30000000) : uint64_t(1) << 34)) return OMEM;
  if (o.image->numcomps > 5) return UNSF;
  if (!opj_decode(o.codec.get(), o.stream.get(), o.image.get()) ||
      !opj_end_decompress(o.codec.get(), o.stream.get()))
    return BADI;
  const opj_image_t& image = *o.image;
  // The decoded area, which a reduction rounds on the reference grid.
  width = image.comps[0].w * image.comps[0].dx;
  height = image.comps[0].h * image.comps[0].dy;
  if (width == 0 || height == 0) return BADI;
  width = std::min(width, o.width);
  height = std::min(height, o.height);
  Layout layout = LayoutOf(image);
  PagePtr page;
  rc = NewPage(job.request, int32_t(width), int32_t(height), layout.Type(), page);
  if (rc != RCOK) return rc;
  rc = FillPage(image, layout, page->bitmap, o.threads);
  if (rc != RCOK) return rc;
  std::span<const uint8_t> icc(image.icc_profile_buf, image.icc_profile_len);
  if (!icc.empty() && !layout.cmyk && !layout.ycc && job.options.UseProfile(layout.colour == 3)) {
    rc = ApplyProfile(job.request, *page, icc);
    if (rc != RCOK) return rc;
  }
  AppendMetadata(page->slideMetadata, kTagIcc, icc);
  Density density = ReadDensity(job.source.Bytes());
  if (density.x > 0) {
    page->resolutionX = density.x;
    page->resolutionY = density.y;
  }
  return AddPage(job.request, std::move(page), job.options);
}

// ---------------------------------------------------------------------------
// Writing

struct MemoryOutput {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
};

OPJ_SIZE_T WriteBytes(void* data, OPJ_SIZE_T n, void* user) {
  auto* out = static_cast<MemoryOutput*>(user);
  if (out->pos + n > out->bytes.size()) out->bytes.resize(out->pos + n);
  std::memcpy(out->bytes.data() + out->pos, data, n);
  out->pos += n;
  return n;
}
OPJ_OFF_T SkipOut(OPJ_OFF_T n, void* user) {
  auto* out = static_cast<MemoryOutput*>(user);
  if (n < 0 && uint64_t(-n) > out->pos) return -1;
  out->pos = size_t(int64_t(out->pos) + n);
  if (out->pos > out->bytes.size()) out->bytes.resize(out->pos);
  return n;
}
OPJ_BOOL SeekOut(OPJ_OFF_T pos, void* user) {
  auto* out = static_cast<MemoryOutput*>(user);
  if (pos < 0) return OPJ_FALSE;
  out->pos = size_t(pos);
  if (out->pos > out->bytes.size()) out->bytes.resize(out->pos);
  return OPJ_TRUE;
}

// What a save writes from the record's pixel type: 8 or 16 bits, grey or RGB, alpha.
uint32_t SaveType(const glib::ImageSave& params, const glib::CoreBitmap& page) {
  uint32_t type = params.pixelType;
  bool wide = glib::BitsPerSample(type) == 16;
  bool grey = params.grayscale != 0 || (type >> 24 & 0x0F) == 1;
  bool alpha = glib::HasAlpha(type) && !grey && glib::HasAlpha(page.pixelType) && !IsOpaque(page);
  if (grey) return wide ? uint32_t(glib::kPixelGray16) : kGray8;
  if (alpha) return wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32;
  return wide ? glib::kPixelRGB48 : glib::kPixelRGB24;
}

// A density in grid points per metre as JP2 keeps it: numerator and denominator of
// 16 bits and a power of ten, the denominator as large as the numerator allows.
struct GridRatio {
  uint16_t numerator = 0, denominator = 1;
  int8_t exponent = 0;
};

GridRatio RatioFor(double perMetre) {
  GridRatio r;
  while (perMetre >= 65535.5 && r.exponent < 127) {
    perMetre /= 10;
    ++r.exponent;
  }
  double denominator = std::clamp(std::floor(65535.0 / std::max(perMetre, 1.0)), 1.0, 65535.0);
  r.denominator = uint16_t(denominator);
  r.numerator = uint16_t(std::clamp(std::round(perMetre * denominator), 1.0, 65535.0));
  return r;
}

// The resolution superbox ('res ') with the display resolution ('resd') of a density
// in dots per inch.
std::vector<uint8_t> ResolutionBox(float dpiX, float dpiY) {
  GridRatio v = RatioFor(dpiY / 0.0254), h = RatioFor(dpiX / 0.0254);
  Writer w;
  w.U32BE(8 + 18);
  w.U32BE(glib::FourCC("res "));
  w.U32BE(18);
  w.U32BE(glib::FourCC("resd"));
  w.U16BE(v.numerator), w.U16BE(v.denominator), w.U16BE(h.numerator), w.U16BE(h.denominator);
  w.U8(uint8_t(v.exponent)), w.U8(uint8_t(h.exponent));
  return std::move(w.Bytes());
}

// Puts a box at the end of the header box ('jp2h') of a JP2 file that OpenJPEG wrote.
// What follows the header moves, which is safe: OpenJPEG writes no box that points at
// file offsets (the codestream's own markers count from its start). False when the
// file has no header box before the codestream.
bool InsertIntoHeader(std::vector<uint8_t>& file, std::span<const uint8_t> box) {
  Reader in(file.data(), file.size());
  while (in.Left() >= 8) {
    size_t start = in.Pos();
    uint32_t size = in.U32BE();
    uint32_t type = in.U32BE();
    // Only plain 32-bit sizes are patched; the header box is small.
    if (size < 8 || size > file.size() - start) return false;
    if (type == glib::FourCC("jp2c")) return false;
    if (type == glib::FourCC("jp2h")) {
      if (uint64_t(size) + box.size() > 0xFFFFFFFFu) return false;
      file.insert(file.begin() + std::ptrdiff_t(start + size), box.begin(), box.end());
      uint32_t grown = size + uint32_t(box.size());
      for (int i = 0; i < 4; ++i) file[start + size_t(i)] = uint8_t(grown >> (24 - 8 * i));
      return true;
    }
    in.Seek(start + size);
  }
  return false;
}

}  // namespace

uint32_t LoadJp2(LoadJob& job) {
  return Decode(job, job.options.wantedWidth, job.options.wantedHeight);
}

uint32_t ThumbnailJp2(LoadJob& job) {
  return Decode(job, job.request->thumbnailMaxWidth, job.request->thumbnailMaxHeight);
}

uint32_t InfoJp2(const Source& source, InfoRecord& info) {
  Opened o;
  uint32_t rc = OpenImage(source.Bytes(), o, false);
  if (rc != RCOK) return rc;
  const opj_image_t& image = *o.image;
  Layout l = LayoutOf(image);
  bool jp2 = IsJp2(source.Bytes());
  info.SetType(jp2 ? "JPEG 2000" : "JPEG 2000 codestream");
  if (!jp2) info.format = kFormatJ2K;  // the entries serve both
  info.width = int32_t(o.width);
  info.height = int32_t(o.height);
  int bits = 0;
  uint32_t used = std::min<uint32_t>(l.colour + (l.alpha >= 0 ? 1 : 0), image.numcomps);
  for (uint32_t c = 0; c < used; ++c) bits += int(image.comps[c].prec);
  info.bitsPerPixel = bits;
  info.pixelType = l.Type();
  info.pageCount = 1;
  info.compression = 9;  // "JPEG-2000" of the general table
  Density density = ReadDensity(source.Bytes());
  info.resolutionX = density.x;
  info.resolutionY = density.y;
  info.SetProfile({image.icc_profile_buf, image.icc_profile_len});
  return RCOK;
}

// Quality 100 is lossless (the reversible 5/3 wavelet); below it the irreversible 9/7
// wavelet at a compression ratio of 2^((100 - quality) / 10): 60 gives 16:1, 90 2:1.
// The record's format picks JP2 boxes or a bare codestream.
uint32_t SaveJp2(SaveJob& job) {
  const auto& params = *static_cast<const glib::JP2Save*>(job.params);
  const glib::IDEPage* source = SavePages(job.request).front();
  uint32_t target = SaveType(params, source->bitmap);
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(source->bitmap, target, params);
  if (rc != RCOK) return rc;
  uint32_t width = uint32_t(pixels.Width()), height = uint32_t(pixels.Height());
  rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  bool wide = glib::BitsPerSample(target) == 16;
  uint32_t channels = glib::BitsPerPixel(target) / (wide ? 16 : 8);
  opj_image_cmptparm_t comps[4] = {};
  for (uint32_t c = 0; c < channels; ++c) {
    comps[c].dx = comps[c].dy = 1;
    comps[c].w = width;
    comps[c].h = height;
    comps[c].prec = wide ? 16 : 8;
  }
  ImagePtr image(
      opj_image_create(channels, comps, channels >= 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY));
  if (!image) return OMEM;
  image->x1 = width;
  image->y1 = height;
  if (channels == 4) image->comps[3].alpha = 1;
  // Page rows are blue, green, red, alpha; components red, green, blue, alpha.
  static const uint32_t kOrder[4][4] = {{0}, {0, 1}, {2, 1, 0}, {2, 1, 0, 3}};
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels.Row(int32_t(y));
    for (uint32_t c = 0; c < channels; ++c) {
      OPJ_INT32* out = image->comps[c].data + size_t(y) * width;
      uint32_t from = kOrder[channels - 1][c];
      if (wide) {
        const auto* in = reinterpret_cast<const uint16_t*>(row);
        for (uint32_t x = 0; x < width; ++x) out[x] = in[size_t(x) * channels + from];
      } else {
        for (uint32_t x = 0; x < width; ++x) out[x] = row[size_t(x) * channels + from];
      }
    }
  }
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  uint32_t quality = std::clamp<uint32_t>(params.quality, 1, 100);
  cp.tcp_numlayers = 1;
  cp.cp_disto_alloc = 1;
  cp.tcp_rates[0] = quality >= 100 ? 0.0f : float(std::exp2((100.0 - quality) / 10.0));
  cp.irreversible = quality >= 100 ? 0 : 1;
  cp.tcp_mct = channels >= 3 ? 1 : 0;
  // Every level of the wavelet must leave at least one sample on either side.
  uint32_t smaller = std::min(width, height);
  while (cp.numresolution > 1 && (smaller >> (cp.numresolution - 1)) == 0) --cp.numresolution;
  bool codestream = params.format == kFormatJ2K;
  Messages messages;
  CodecPtr codec(opj_create_compress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
  if (!codec) return OMEM;
  Install(codec.get(), messages);
  if (!opj_setup_encoder(codec.get(), &cp, image.get())) return IERR;
  int threads = Threads(uint64_t(width) * height);
  if (threads > 1) opj_codec_set_threads(codec.get(), threads);
  MemoryOutput output;
  output.bytes.reserve(size_t(std::min<uint64_t>(uint64_t(width) * height * channels, 1u << 26)));
  StreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
  if (!stream) return OMEM;
  opj_stream_set_user_data(stream.get(), &output, nullptr);
  opj_stream_set_write_function(stream.get(), &WriteBytes);
  opj_stream_set_skip_function(stream.get(), &SkipOut);
  opj_stream_set_seek_function(stream.get(), &SeekOut);
  if (!opj_start_compress(codec.get(), image.get(), stream.get()) ||
      !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get()))
    return IERR;
  stream.reset();
  // OpenJPEG has no call for the resolution box: it goes into the header afterwards
  // (a bare codestream has no boxes and no place for it).
  float dpiX = params.resolutionX > 0 ? params.resolutionX : source->resolutionX;
  float dpiY = params.resolutionY > 0 ? params.resolutionY : source->resolutionY;
  if (!codestream && std::isfinite(dpiX) && std::isfinite(dpiY) && dpiX > 0 && dpiY > 0) {
    if (!InsertIntoHeader(output.bytes, ResolutionBox(dpiX, dpiY))) return IERR;
  }
  return job.sink.Write(output.bytes) ? RCOK : WERR;
}

}  // namespace vexlo
