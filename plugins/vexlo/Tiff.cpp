// TIFF through libtiff: every page (or a range of them), strips and tiles, 1 to 16
// bits, palette, grey (either polarity), RGB(A), CMYK, YCbCr, Lab and every
// compression libtiff decodes; reduced-resolution images for the multi-resolution
// choice and thumbnails. Common layouts are read directly into page rows (bilevel
// pages stay one bit deep); the rest goes through libtiff's RGBA reader.
#include <algorithm>
#include <bit>
#include <cstdarg>
#include <optional>
#include <string>

#include <tiffio.h>

#include "formats/MemStream.h"
#include "runtime/TiffWriter.h"

#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/Jpeg.h"

namespace vexlo {
namespace {

// libtiff reads and writes through these, over a memory block or a Sink.
struct MemoryFile {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemoryFile*>(h);
  if (n < 0 || f->pos >= f->size) return 0;
  uint64_t count = std::min<uint64_t>(uint64_t(n), f->size - f->pos);
  std::memcpy(buf, f->data + f->pos, size_t(count));
  f->pos += count;
  return tmsize_t(count);
}
tmsize_t NoWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
  f->pos = base + off;
  return f->pos;
}
int NoClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TIFF* OpenClient(const char* mode, thandle_t handle, TIFFReadWriteProc read,
                 TIFFReadWriteProc write, TIFFSeekProc seek, TIFFSizeProc size) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  // No single allocation of libtiff's beyond what a page of our size limit needs.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options,
                                      tmsize_t(std::min<uint64_t>(PixelLimit() * 8, SIZE_MAX / 2)));
  TIFFOpenOptionsSetErrorHandlerExtR(options, &Quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, &Quiet, nullptr);
  TIFF* tif = TIFFClientOpenExt("vexlo", mode, handle, read, write, seek, &NoClose, size, &NoMap,
                                &NoUnmap, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

template <class T>
T Field(TIFF* tif, ttag_t tag, T fallback) {
  T value = fallback;
  if (!TIFFGetField(tif, tag, &value)) return fallback;
  return value;
}

struct Directory {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = 1;
  uint16_t compression = 1, orientation = 1, fillOrder = 1, inkSet = INKSET_CMYK;
  uint16_t extraCount = 0, extraKind = 0, sampleFormat = SAMPLEFORMAT_UINT;
  uint32_t subfileType = 0;
  bool tiled = false, hasPhotometric = false;
  float dpiX = 0, dpiY = 0;
  std::vector<uint8_t> icc, iptc, exif;
};

// libtiff counts the IPTC tag in bytes or in 32-bit words, as its field table says.
size_t IptcUnit(TIFF* tif) {
  const TIFFField* field = TIFFFieldWithTag(tif, TIFFTAG_RICHTIFFIPTC);
  return field && TIFFFieldDataType(field) == TIFF_LONG ? 4 : 1;
}

// The metadata of one TIFF directory as an EXIF block (the form JPEG files carry in
// APP1): IFD0 with the directory's descriptive tags, then the EXIF directory with its
// interoperability directory, and the GPS directory, each copied entry by entry with
// its values and the pointers set to where the copies went.
constexpr uint16_t kOrientationTag = 274;
constexpr uint16_t kExifPointer = 34665, kGpsPointer = 34853, kInteropPointer = 40965;
// Values over these sizes are left out: IFD0's big values are blobs (layers, private
// data), and no camera writes an EXIF value near a megabyte. The block as a whole is
// bounded too, since entries may share one big value.
constexpr uint32_t kMaxIfd0Value = 64u << 10;
constexpr uint32_t kMaxExifValue = 1u << 20;
constexpr uint64_t kMaxExifBlock = 8u << 20;

// IFD0 tags that lay out the pixels or hold blocks handed over on their own (ICC,
// XMP, IPTC, Photoshop): not part of the picture's description.
bool IsLayoutTag(uint16_t tag) {
  static constexpr uint16_t kTags[] = {254, 255, 256, 257, 258, 259, 262,   263,   264,  265, 266,
                                       273, 277, 278, 279, 280, 281, 284,   288,   289,  290, 291,
                                       292, 293, 317, 320, 322, 323, 324,   325,   330,  332, 338,
                                       339, 340, 341, 347, 530, 700, 33723, 34377, 34675};
  // 512-521: the old JPEG compression's tables and offsets.
  return (tag >= 512 && tag <= 521) ||
         std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags);
}

// IFD0 tags kept in the block that alone do not make it worth handing over: nearly
// every TIFF has them.
bool IsPlacementTag(uint16_t tag) {
  static constexpr uint16_t kTags[] = {
      kOrientationTag, 282, 283, 286, 287, 296, 297, 529, 531, 532};
  return std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags);
}

class ExifCopier {
 public:
  ExifCopier(glib::Libtiff::Reader& in, glib::Libtiff::Writer& out) : in_(in), out_(out) {}

  // Adds the entry with its values to the writer's current directory; false when it
  // is left out (no values, too big, the block's budget spent).
  bool Copy(const glib::Libtiff::Entry& entry, uint32_t maxBytes) {
    std::span<const uint8_t> raw = in_.Bytes(entry);
    if (raw.empty() || raw.size() > maxBytes || raw.size() > kMaxExifBlock - spent_) return false;
    spent_ += raw.size();
    // The writer takes values in host order; rationals as two 32-bit terms.
    const bool rational =
        entry.type == glib::Libtiff::kRational || entry.type == glib::Libtiff::kSRational;
    const size_t unit = rational ? 4 : glib::Libtiff::TypeSize(entry.type);
    std::vector<uint8_t> host(raw.begin(), raw.end());
    if (unit > 1 && in_.BigEndian() != (std::endian::native == std::endian::big)) {
      for (size_t i = 0; i + unit <= host.size(); i += unit)
        std::reverse(host.begin() + ptrdiff_t(i), host.begin() + ptrdiff_t(i + unit));
    }
    return out_.SetField(entry.tag, entry.type, entry.count, host.data());
  }

  // Copies the directory a pointer entry leads to (its interoperability directory
  // before it when asked) as a sub-directory; its offset in the block, or 0 when it
  // is unreadable or holds nothing.
  uint32_t CopySubDirectory(const glib::Libtiff::Entry* pointer, bool withInterop) {
    if (!pointer) return 0;
    std::optional<glib::Libtiff::Directory> directory = in_.SubDirectory(*pointer);
    if (!directory) return 0;
    const glib::Libtiff::Entry* interopEntry =
        withInterop ? glib::Libtiff::Reader::Find(*directory, kInteropPointer) : nullptr;
    uint32_t interop = CopySubDirectory(interopEntry, false);
    bool any = false;
    for (const glib::Libtiff::Entry& entry : directory->entries) {
      // Offsets into the file mean nothing in the block.
      if (IsPointer(entry)) continue;
      any |= Copy(entry, kMaxExifValue);
    }
    if (interop) any |= out_.SetField(kInteropPointer, glib::Libtiff::kLong, 1, &interop);
    return any ? out_.FlushSubIFD() : 0;
  }

  static bool IsPointer(const glib::Libtiff::Entry& entry) {
    return entry.type == glib::Libtiff::kIfd || entry.tag == kExifPointer ||
           entry.tag == kGpsPointer || entry.tag == kInteropPointer || entry.tag == 330;
  }

 private:
  glib::Libtiff::Reader& in_;
  glib::Libtiff::Writer& out_;
  uint64_t spent_ = 0;
};

// The directory at `at` of the file (one of the main chain, usually IFD0) as an EXIF
// block in the file's byte order. Empty when the file is not a classic TIFF, the
// directory is unreadable, or it has neither EXIF nor GPS data nor a descriptive
// tag. Orientation is left out for pages whose pixels are delivered upright.
std::vector<uint8_t> ExifBlock(std::span<const uint8_t> file, uint64_t at, bool keepOrientation) {
  glib::Libtiff::Reader in;
  if (at > UINT32_MAX || !in.Open(file)) return {};
  std::optional<glib::Libtiff::Directory> ifd;
  for (const glib::Libtiff::Directory& d : in.Directories()) {
    if (d.offset == at) ifd = d;
  }
  if (!ifd) ifd = in.ReadDirectory(uint32_t(at));
  if (!ifd) return {};
  VMemStream stream;
  glib::Libtiff::Writer out;
  if (!out.Open(&stream, in.BigEndian())) return {};
  ExifCopier copier(in, out);
  // Sub-directories go first: each is written before the directory pointing at it.
  uint32_t gps = copier.CopySubDirectory(glib::Libtiff::Reader::Find(*ifd, kGpsPointer), false);
  uint32_t exif = copier.CopySubDirectory(glib::Libtiff::Reader::Find(*ifd, kExifPointer), true);
  bool described = false;
  for (const glib::Libtiff::Entry& entry : ifd->entries) {
    if (IsLayoutTag(entry.tag) || ExifCopier::IsPointer(entry)) continue;
    if (entry.tag == kOrientationTag && !keepOrientation) continue;
    if (copier.Copy(entry, kMaxIfd0Value) && !IsPlacementTag(entry.tag)) described = true;
  }
  if (!described && !exif && !gps) return {};
  if (exif) out.SetField(kExifPointer, glib::Libtiff::kLong, 1, &exif);
  if (gps) out.SetField(kGpsPointer, glib::Libtiff::kLong, 1, &gps);
  if (!out.FlushIFD() || out.Failed() || stream.Error()) return {};
  return {stream.Data(), stream.Data() + stream.Length()};
}

// With `keepOrientation`, the EXIF block keeps the directory's orientation (the
// information panel); a decoded page is delivered upright and leaves it out.
Directory ReadDirectory(TIFF* tif, bool keepOrientation) {
  Directory d;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.height);
  d.bits = Field<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
  d.samples = Field<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  d.hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &d.photometric) != 0;
  d.planar = Field<uint16_t>(tif, TIFFTAG_PLANARCONFIG, 1);
  d.compression = Field<uint16_t>(tif, TIFFTAG_COMPRESSION, 1);
  d.orientation = Field<uint16_t>(tif, TIFFTAG_ORIENTATION, 1);
  d.fillOrder = Field<uint16_t>(tif, TIFFTAG_FILLORDER, 1);
  d.inkSet = Field<uint16_t>(tif, TIFFTAG_INKSET, INKSET_CMYK);
  d.sampleFormat = Field<uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
  d.subfileType = Field<uint32_t>(tif, TIFFTAG_SUBFILETYPE, 0);
  d.tiled = TIFFIsTiled(tif) != 0;
  uint16_t* extra = nullptr;
  if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &d.extraCount, &extra) && d.extraCount && extra)
    d.extraKind = extra[0];
  float x = 0, y = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) &&
      x > 0 && y > 0 && unit != RESUNIT_NONE) {
    float scale = unit == RESUNIT_CENTIMETER ? 2.54f : 1.0f;
    d.dpiX = x * scale;
    d.dpiY = y * scale;
  }
  uint32_t count = 0;
  void* data = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &count, &data) && data)
    d.icc.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + count);
  if (TIFFGetField(tif, TIFFTAG_RICHTIFFIPTC, &count, &data) && data && count < (1u << 28))
    d.iptc.assign(static_cast<uint8_t*>(data),
                  static_cast<uint8_t*>(data) + size_t(count) * IptcUnit(tif));
  if (d.iptc.empty() && TIFFGetField(tif, TIFFTAG_PHOTOSHOP, &count, &data) && data)
    d.iptc = IptcFromPhotoshop({static_cast<uint8_t*>(data), count});
  auto* file = static_cast<MemoryFile*>(TIFFClientdata(tif));
  if (!TIFFIsBigTIFF(tif) && file)
    d.exif =
        ExifBlock({file->data, size_t(file->size)}, TIFFCurrentDirOffset(tif), keepOrientation);
  return d;
}

// The page type of the direct readers, or 0 when libtiff's RGBA reader must serve.
uint32_t DirectType(const Directory& d, bool reduce) {
  if (d.orientation != 1 || d.sampleFormat != SAMPLEFORMAT_UINT) return 0;
  if (d.planar != PLANARCONFIG_CONTIG && d.samples > 1) return 0;
  bool wide = d.bits == 16 && !reduce;
  switch (d.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      if (d.samples == 1 && d.bits == 1) return glib::kPixelIndexed1;
      if (d.samples == 1 && d.bits == 8 && d.photometric == PHOTOMETRIC_MINISBLACK) return kGray8;
      if (d.samples == 1 && wide && d.photometric == PHOTOMETRIC_MINISBLACK)
        return glib::kPixelGray16;
      return 0;
    case PHOTOMETRIC_PALETTE:
      if (d.samples != 1) return 0;
      return d.bits == 8   ? uint32_t(glib::kPixelIndexed8)
             : d.bits == 4 ? uint32_t(glib::kPixelIndexed4)
             : d.bits == 1 ? uint32_t(glib::kPixelIndexed1)
                           : 0u;
    case PHOTOMETRIC_RGB:
      if (d.compression == COMPRESSION_OJPEG) return 0;
      if (d.bits == 8 && d.samples == 3) return glib::kPixelRGB24;
      if (d.bits == 8 && d.samples == 4) return glib::kPixelRGBA32;
      if (wide && d.samples == 3) return glib::kPixelRGB48;
      if (wide && d.samples == 4) return glib::kPixelRGBA64;
      return 0;
    case PHOTOMETRIC_SEPARATED:
      // Four 8-bit inks: converted here so that a profile can take part.
      return (d.bits == 8 || d.bits == 16) && d.samples == 4 && d.inkSet == INKSET_CMYK
                 ? uint32_t(glib::kPixelRGB24)
                 : 0u;
    case PHOTOMETRIC_YCBCR:
      // JPEG-compressed YCbCr: libjpeg returns RGB.
      if (d.compression == COMPRESSION_JPEG && d.bits == 8 && d.samples == 3)
        return glib::kPixelRGB24;
      return 0;
    default:
      return 0;
  }
}

// Source samples of one row turned into page pixels.
void ConvertRow(const Directory& d, uint32_t type, const uint8_t* in, uint8_t* out, uint32_t width,
                const ProfileTransform* cmyk) {
  switch (type) {
    case glib::kPixelRGB24:
      if (d.photometric == PHOTOMETRIC_SEPARATED) {
        uint8_t narrow[4 * 256];
        if (d.bits == 16) {
          // 16-bit inks: the high bytes, a chunk at a time.
          const uint16_t* wide = reinterpret_cast<const uint16_t*>(in);
          for (uint32_t x0 = 0; x0 < width; x0 += 256) {
            uint32_t n = std::min<uint32_t>(256, width - x0);
            for (uint32_t i = 0; i < n * 4; ++i) narrow[i] = uint8_t(wide[x0 * 4 + i] >> 8);
            if (cmyk) {
              cmyk->Convert(narrow, out + x0 * 3, n);
            } else {
              CmykToBgr(narrow, out + x0 * 3, n, false);
            }
          }
          return;
        }
        if (cmyk) {
          cmyk->Convert(in, out, width);
        } else {
          CmykToBgr(in, out, width, false);
        }
        return;
      }
      for (uint32_t x = 0; x < width; ++x) {
        out[x * 3] = in[x * 3 + 2];
        out[x * 3 + 1] = in[x * 3 + 1];
        out[x * 3 + 2] = in[x * 3];
      }
      return;
    case glib::kPixelRGBA32: {
      bool associated = d.extraKind == EXTRASAMPLE_ASSOCALPHA;
      for (uint32_t x = 0; x < width; ++x) {
        uint32_t a = in[x * 4 + 3];
        auto un = [&](uint32_t v) {
          return associated && a ? std::min<uint32_t>(255, (v * 255 + a / 2) / a) : v;
        };
        out[x * 4] = uint8_t(un(in[x * 4 + 2]));
        out[x * 4 + 1] = uint8_t(un(in[x * 4 + 1]));
        out[x * 4 + 2] = uint8_t(un(in[x * 4]));
        out[x * 4 + 3] = uint8_t(d.extraCount ? a : 255);
      }
      return;
    }
    case glib::kPixelRGB48:
    case glib::kPixelRGBA64: {
      int n = type == glib::kPixelRGB48 ? 3 : 4;
      const uint16_t* s = reinterpret_cast<const uint16_t*>(in);
      uint16_t* o = reinterpret_cast<uint16_t*>(out);
      for (uint32_t x = 0; x < width; ++x) {
        o[x * n] = s[x * n + 2];
        o[x * n + 1] = s[x * n + 1];
        o[x * n + 2] = s[x * n];
        if (n == 4) o[x * 4 + 3] = d.extraCount ? s[x * 4 + 3] : 0xFFFF;
      }
      return;
    }
    default:  // bits as stored
      std::memcpy(out, in, size_t((uint64_t(width) * d.bits * d.samples + 7) / 8));
      return;
  }
}

void SetPalette(TIFF* tif, const Directory& d, uint32_t type, glib::CoreBitmap& bitmap) {
  if (type == glib::kPixelIndexed1 && d.photometric != PHOTOMETRIC_PALETTE) {
    bool whiteZero = d.photometric == PHOTOMETRIC_MINISWHITE;
    bitmap.palette[0] = whiteZero ? 0xFFFFFFFFu : 0xFF000000u;
    bitmap.palette[1] = whiteZero ? 0xFF000000u : 0xFFFFFFFFu;
    bitmap.paletteSize = 2;
    return;
  }
  uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) return;
  uint32_t entries = 1u << d.bits;
  // Some writers store 8-bit values in the 16-bit table.
  bool eight = true;
  for (uint32_t i = 0; i < entries; ++i) eight &= r[i] < 256 && g[i] < 256 && b[i] < 256;
  for (uint32_t i = 0; i < entries; ++i) {
    uint32_t rr = eight ? r[i] : r[i] >> 8, gg = eight ? g[i] : g[i] >> 8,
             bb = eight ? b[i] : b[i] >> 8;
    bitmap.palette[i] = 0xFF000000u | rr << 16 | gg << 8 | bb;
  }
  bitmap.paletteSize = entries;
}

uint32_t ReadDirect(TIFF* tif, const Directory& d, uint32_t type, glib::CoreBitmap& bitmap,
                    const ProfileTransform* cmyk, const glib::ImageDataExchange* request) {
  uint32_t width = d.width, height = d.height;
  if (!d.tiled) {
    tmsize_t size = TIFFScanlineSize(tif);
    if (size <= 0) return BADI;
    std::vector<uint8_t> line(size_t(size) + 16);
    for (uint32_t y = 0; y < height; ++y) {
      // A damaged strip leaves its rows empty; the rest of the page still shows.
      if (TIFFReadScanline(tif, line.data(), y, 0) < 0) continue;
      ConvertRow(d, type, line.data(), PixelRow(bitmap, int32_t(y)), width, cmyk);
      if ((y & 1023) == 0 && !Progress(request, int32_t(y + 1), int32_t(height))) return USRA;
    }
    return RCOK;
  }
  uint32_t tw = 0, th = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
  tmsize_t tileSize = TIFFTileSize(tif);
  if (tw == 0 || th == 0 || tileSize <= 0) return BADI;
  uint64_t tileRow = (uint64_t(tw) * d.bits * d.samples + 7) / 8;
  if (tileRow * th > uint64_t(tileSize)) return BADI;
  std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
  std::vector<uint8_t> converted(size_t(uint64_t(tw) * 8) + 16);
  int bpp = int(glib::BitsPerPixel(type));
  for (uint32_t ty = 0; ty < height; ty += th) {
    for (uint32_t tx = 0; tx < width; tx += tw) {
      if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0) continue;
      uint32_t w = std::min(tw, width - tx);
      for (uint32_t y = 0; y < th && ty + y < height; ++y) {
        ConvertRow(d, type, tile.data() + tileRow * y, converted.data(), w, cmyk);
        uint8_t* out = PixelRow(bitmap, int32_t(ty + y));
        if (bpp >= 8) {
          std::memcpy(out + uint64_t(tx) * bpp / 8, converted.data(),
                      size_t(uint64_t(w) * bpp / 8));
        } else {
          // Sub-byte pixels may start inside a byte.
          for (uint32_t x = 0; x < w; ++x) {
            uint32_t bit = x * uint32_t(bpp), at = (tx + x) * uint32_t(bpp);
            uint32_t mask = (1u << bpp) - 1;
            uint32_t v = (converted[bit / 8] >> (8 - bpp - bit % 8)) & mask;
            out[at / 8] =
                uint8_t((out[at / 8] & ~(mask << (8 - bpp - at % 8))) | v << (8 - bpp - at % 8));
          }
        }
      }
    }
    if (!Progress(request, int32_t(ty + 1), int32_t(height))) return USRA;
  }
  return RCOK;
}

uint32_t ReadRgba(TIFF* tif, const Directory& d, glib::CoreBitmap& bitmap) {
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message)) return glib::UNSF;
  TIFFRGBAImage image;
  if (!TIFFRGBAImageBegin(&image, tif, 0, message)) return BADI;
  image.req_orientation = ORIENTATION_TOPLEFT;
  bool premultiplied = image.alpha != 0;
  // Rows are read straight into the page: libtiff's ABGR words are RGBA bytes.
  std::vector<uint32_t> raster;
  bool ok = true;
  uint32_t rowsPer =
      std::max<uint32_t>(1, uint32_t((uint64_t(1) << 22) / std::max<uint32_t>(1, d.width)));
  for (uint32_t y = 0; y < d.height && ok; y += rowsPer) {
    uint32_t rows = std::min(rowsPer, d.height - y);
    raster.assign(size_t(d.width) * rows, 0);
    image.row_offset = int(y);
    image.col_offset = 0;
    ok = TIFFRGBAImageGet(&image, raster.data(), d.width, rows) != 0;
    for (uint32_t r = 0; r < rows; ++r) {
      uint8_t* out = PixelRow(bitmap, int32_t(y + r));
      const uint32_t* in = &raster[size_t(r) * d.width];
      for (uint32_t x = 0; x < d.width; ++x) {
        // libtiff hands alpha pictures over premultiplied.
        uint32_t p = in[x], a = TIFFGetA(p);
        auto un = [&](uint32_t v) {
          return premultiplied && a ? std::min<uint32_t>(255, (v * 255 + a / 2) / a) : v;
        };
        out[x * 4] = uint8_t(un(TIFFGetB(p)));
        out[x * 4 + 1] = uint8_t(un(TIFFGetG(p)));
        out[x * 4 + 2] = uint8_t(un(TIFFGetR(p)));
        out[x * 4 + 3] = uint8_t(a);
      }
    }
  }
  TIFFRGBAImageEnd(&image);
  return ok ? RCOK : BADI;
}

uint32_t DecodeDirectory(LoadJob& job, TIFF* tif, PagePtr& page) {
  Directory d = ReadDirectory(tif, false);
  uint32_t rc = CheckSize(d.width, d.height);
  if (rc != RCOK) return rc;
  uint32_t type = DirectType(d, job.options.reduceTo8Bits);
  rc = NewPage(job.request, int32_t(d.width), int32_t(d.height),
               type ? type : uint32_t(glib::kPixelRGBA32), page);
  if (rc != RCOK) return rc;
  if (type) {
    if (glib::IsIndexed(type)) SetPalette(tif, d, type, page->bitmap);
    std::unique_ptr<ProfileTransform> cmyk;
    if (d.photometric == PHOTOMETRIC_SEPARATED && !d.icc.empty() && job.options.UseProfile(false))
      cmyk = ProfileTransform::Create(d.icc, CmsLayout::kCmyk8, CmsLayout::kBgr8);
    if (d.photometric == PHOTOMETRIC_YCBCR)
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    rc = ReadDirect(tif, d, type, page->bitmap, cmyk.get(), job.request);
  } else {
    rc = ReadRgba(tif, d, page->bitmap);
  }
  if (rc != RCOK) return rc;
  bool rgb = d.photometric == PHOTOMETRIC_RGB || d.photometric == PHOTOMETRIC_YCBCR ||
             d.photometric == PHOTOMETRIC_PALETTE;
  if (!d.icc.empty() && d.photometric != PHOTOMETRIC_SEPARATED && job.options.UseProfile(rgb)) {
    rc = ApplyProfile(job.request, *page, d.icc);
    if (rc != RCOK) return rc;
  }
  if (d.dpiX > 0) {
    page->resolutionX = d.dpiX;
    page->resolutionY = d.dpiY;
  }
  AppendMetadata(page->slideMetadata, kTagExif, d.exif);
  AppendMetadata(page->slideMetadata, kTagIptc, d.iptc);
  AppendMetadata(page->slideMetadata, kTagIcc, d.icc);
  return RCOK;
}

bool IsReduced(TIFF* tif) {
  return (Field<uint32_t>(tif, TIFFTAG_SUBFILETYPE, 0) & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK)) !=
         0;
}

// The directory whose size suits a wanted size: an exact match, else the smallest
// that covers it, else the largest; -1 when none can be read.
int PickResolution(TIFF* tif, uint32_t wantW, uint32_t wantH, bool smallestCovering) {
  int best = -1;
  uint64_t bestArea = 0;
  for (int index = 0; index < int(kMaxPages); ++index) {
    if (!TIFFSetDirectory(tif, tdir_t(index))) break;
    if (Field<uint32_t>(tif, TIFFTAG_SUBFILETYPE, 0) & FILETYPE_MASK) continue;
    uint32_t w = Field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0),
             h = Field<uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
    if (w == wantW && h == wantH) return index;
    uint64_t area = uint64_t(w) * h;
    bool covers = w >= wantW && h >= wantH;
    if (smallestCovering ? covers && (best < 0 || area < bestArea) : area > bestArea) {
      best = index;
      bestArea = area;
    }
    if (index > 0 && !IsReduced(tif) && smallestCovering) break;  // the next page begins
  }
  return best;
}

uint32_t LoadFrom(LoadJob& job, bool thumbnail) {
  MemoryFile file{job.source.Data(), job.source.Size(), 0};
  TiffPtr tif(OpenClient("rm", &file, &MemRead, &NoWrite, &MemSeek, &MemSize));
  if (!tif) return BADI;
  uint32_t wantW = thumbnail ? job.request->thumbnailMaxWidth : job.options.wantedWidth;
  uint32_t wantH = thumbnail ? job.request->thumbnailMaxHeight : job.options.wantedHeight;
  if (thumbnail || (wantW && wantH)) {
    int index = PickResolution(tif.get(), wantW, wantH, thumbnail);
    if (index < 0) return thumbnail ? glib::TMIS : BADI;
    if (thumbnail && index == 0) return glib::TMIS;  // no reduced image: the caller loads the page
    if (!TIFFSetDirectory(tif.get(), tdir_t(index))) return BADI;
    PagePtr page;
    uint32_t rc = DecodeDirectory(job, tif.get(), page);
    if (rc != RCOK) return rc;
    return AddPage(job.request, std::move(page), job.options);
  }
  uint32_t pageIndex = 0;
  uint32_t rc = RCOK;
  for (uint32_t directories = 0; directories < kMaxPages * 4; ++directories) {
    if (!IsReduced(tif.get())) {
      if (job.options.Wants(pageIndex)) {
        PagePtr page;
        rc = DecodeDirectory(job, tif.get(), page);
        if (rc == RCOK) rc = AddPage(job.request, std::move(page), job.options);
        if (rc != RCOK && (rc == USRA || rc == OMEM || job.request->pages.empty())) return rc;
      }
      ++pageIndex;
      if (job.options.PastRange(pageIndex)) break;
    }
    // libtiff refuses directory chains that loop back.
    if (!TIFFReadDirectory(tif.get())) break;
  }
  if (job.request->pages.empty()) return pageIndex == 0 ? BADI : glib::BADA;
  return RCOK;
}

}  // namespace

// Camera raw files in TIFF form are the camera RAW reader's.
uint32_t LoadTif(LoadJob& job) {
  if (!IsCameraRawTiff(job.source.Bytes())) return LoadFrom(job, false);
  job.request->format = kFormatDCR;
  job.format = kFormatDCR;
  return LoadCameraRaw(job);
}
uint32_t ThumbnailTif(LoadJob& job) {
  if (!IsCameraRawTiff(job.source.Bytes())) return LoadFrom(job, true);
  job.request->format = kFormatDCR;
  job.format = kFormatDCR;
  return ThumbnailCameraRaw(job);
}

uint32_t InfoTif(const Source& source, InfoRecord& info) {
  if (IsCameraRawTiff(source.Bytes())) return InfoCameraRaw(source, info);
  MemoryFile file{source.Data(), source.Size(), 0};
  // Without strip chopping, so that the strip count is the file's.
  TiffPtr tif(OpenClient("rmc", &file, &MemRead, &NoWrite, &MemSeek, &MemSize));
  if (!tif) return BADI;
  Directory d = ReadDirectory(tif.get(), true);
  info.SetType("Tagged Image File Format");
  info.width = int32_t(d.width);
  info.height = int32_t(d.height);
  info.bitsPerPixel = int32_t(std::min<uint32_t>(uint32_t(d.bits) * d.samples, 0x7FFFFFFF));
  info.pixelType = DirectType(d, false);
  if (info.pixelType == 0) info.pixelType = glib::kPixelRGBA32;
  info.compression = d.compression;
  info.resolutionX = d.dpiX;
  info.resolutionY = d.dpiY;
  info.bigEndian = TIFFIsBigEndian(tif.get()) ? 1 : 0;
  info.SetProfile(d.icc);
  info.SetIptc(d.iptc);
  info.SetExif(d.exif);
  glib::TiffFileInfo& t = info.tiff;
  t.bitsPerSample = d.bits;
  t.samplesPerPixel = d.samples;
  t.photometric = d.hasPhotometric ? d.photometric : -1;
  uint16_t sh = 0, sv = 0;
  if (d.photometric == PHOTOMETRIC_YCBCR &&
      TIFFGetField(tif.get(), TIFFTAG_YCBCRSUBSAMPLING, &sh, &sv)) {
    t.ycbcrSubsampling[0] = sh;
    t.ycbcrSubsampling[1] = sv;
  }
  t.segmentation = d.tiled ? 2 : TIFFNumberOfStrips(tif.get()) == 1 ? 1 : 0;
  t.extraSamples = d.extraCount ? d.extraKind : -1;
  uint16_t orientation = 0;
  if (TIFFGetField(tif.get(), TIFFTAG_ORIENTATION, &orientation)) t.orientation = orientation;
  t.planarConfig = d.planar;
  t.fillOrder = d.fillOrder;
  uint16_t low = 0, high = 0;
  if (TIFFGetField(tif.get(), TIFFTAG_DOTRANGE, &low, &high)) {
    t.hasDotRange = 1;
    t.dotRange[0] = low;
    t.dotRange[1] = high;
  }
  uint16_t page = 0, total = 0;
  if (TIFFGetField(tif.get(), TIFFTAG_PAGENUMBER, &page, &total)) {
    t.pageNumber = page;
    t.pageTotal = total;
  }
  struct TextTag {
    ttag_t tag;
    glib::InfoText text;
  };
  const TextTag texts[] = {
      {TIFFTAG_DATETIME, glib::kInfoDate},       {TIFFTAG_IMAGEDESCRIPTION, glib::kInfoDescription},
      {TIFFTAG_MAKE, glib::kInfoMake},           {TIFFTAG_MODEL, glib::kInfoModel},
      {TIFFTAG_SOFTWARE, glib::kInfoSoftware},   {TIFFTAG_ARTIST, glib::kInfoArtist},
      {TIFFTAG_COPYRIGHT, glib::kInfoCopyright}, {TIFFTAG_DOCUMENTNAME, glib::kInfoDocumentName},
      {TIFFTAG_PAGENAME, glib::kInfoPageName},
  };
  for (const TextTag& tag : texts) {
    char* value = nullptr;
    if (TIFFGetField(tif.get(), tag.tag, &value) && value) info.SetText(tag.text, value);
  }
  uint32_t pages = 0;
  for (uint32_t n = 0; n < kMaxPages * 4; ++n) {
    if (!IsReduced(tif.get())) ++pages;
    if (!TIFFReadDirectory(tif.get())) break;
  }
  info.pageCount = pages;
  return RCOK;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

tmsize_t SinkRead(thandle_t h, void* buf, tmsize_t n) {
  return n > 0 ? tmsize_t(static_cast<Sink*>(h)->Read(buf, size_t(n))) : 0;
}
tmsize_t SinkWrite(thandle_t h, void* buf, tmsize_t n) {
  return n >= 0 && static_cast<Sink*>(h)->Write(buf, size_t(n)) ? n : 0;
}
toff_t SinkSeek(thandle_t h, toff_t off, int whence) {
  auto* sink = static_cast<Sink*>(h);
  uint64_t base = whence == SEEK_CUR ? sink->Tell() : whence == SEEK_END ? sink->Size() : 0;
  return sink->Seek(base + off) ? sink->Tell() : toff_t(-1);
}
toff_t SinkSize(thandle_t h) { return static_cast<Sink*>(h)->Size(); }

bool IsBilevelCompression(uint32_t c) {
  return c == COMPRESSION_CCITTRLE || c == COMPRESSION_CCITTRLEW || c == COMPRESSION_CCITTFAX3 ||
         c == COMPRESSION_CCITTFAX4;
}

// The record's EXIF block (TIFF-structured, as JPEG files carry it) goes into the
// first page: its descriptive texts into the page's directory, its EXIF and GPS
// directories after the pages, with the page's pointers (written as placeholders)
// patched to them once libtiff is done. Classic TIFF only: BigTIFF files keep none.
class ExifForTiff {
 public:
  bool Open(const glib::TIFSave& p) {
    if (!p.exif || p.exifSize < 8 || p.exifSize > kMaxExifBlock || p.bigTiff) return false;
    if (!in_.Open({p.exif, p.exifSize})) return false;
    std::vector<glib::Libtiff::Directory> chain = in_.Directories();
    if (chain.empty()) return false;
    ifd0_ = chain.front();
    return true;
  }
  bool HasExif() const { return glib::Libtiff::Reader::Find(ifd0_, kExifPointer) != nullptr; }
  bool HasGps() const { return glib::Libtiff::Reader::Find(ifd0_, kGpsPointer) != nullptr; }

  // The block's texts libtiff knows as fields of a page, and the placeholders.
  void SetPageFields(TIFF* tif) {
    static constexpr uint16_t kTexts[] = {270, 271, 272, 306, 315, 316, 33432};
    for (uint16_t tag : kTexts) {
      const glib::Libtiff::Entry* entry = glib::Libtiff::Reader::Find(ifd0_, tag);
      if (!entry || entry->type != glib::Libtiff::kAscii) continue;
      std::span<const uint8_t> raw = in_.Bytes(*entry);
      std::string text(raw.begin(), std::find(raw.begin(), raw.end(), uint8_t(0)));
      if (!text.empty()) TIFFSetField(tif, tag, text.c_str());
    }
    if (HasExif()) TIFFSetField(tif, TIFFTAG_EXIFIFD, uint64_t(0));
    if (HasGps()) TIFFSetField(tif, TIFFTAG_GPSIFD, uint64_t(0));
  }

  // After the pages: the directories at the end of the file and the pointers of the
  // first page set to them. False when the file is left with empty pointers.
  bool Append(Sink& sink, bool bigEndian) {
    VMemStream stream;
    glib::Libtiff::Writer out;
    if (!out.Open(&stream, bigEndian)) return false;
    ExifCopier copier(in_, out);
    uint32_t gps = copier.CopySubDirectory(glib::Libtiff::Reader::Find(ifd0_, kGpsPointer), false);
    uint32_t exif = copier.CopySubDirectory(glib::Libtiff::Reader::Find(ifd0_, kExifPointer), true);
    if (out.Failed() || stream.Error() || (!gps && !exif)) return false;
    std::vector<uint8_t> block(stream.Data(), stream.Data() + stream.Length());
    uint64_t base = sink.Size();
    base += base & 1;  // directories start on a word boundary
    if (base + block.size() > UINT32_MAX) return false;
    Bytes bytes{block, bigEndian};
    if ((exif && !bytes.Relocate(exif, uint32_t(base), 1)) ||
        (gps && !bytes.Relocate(gps, uint32_t(base), 0)))
      return false;
    static const uint8_t kPad = 0;
    if (!sink.Seek(sink.Size())) return false;
    if ((sink.Size() & 1) != 0 && !sink.Write(&kPad, 1)) return false;
    if (!sink.Write(block)) return false;
    return (!exif || PatchPointer(sink, kExifPointer, uint32_t(base) + exif, bigEndian)) &&
           (!gps || PatchPointer(sink, kGpsPointer, uint32_t(base) + gps, bigEndian));
  }

 private:
  // Reads and writes numbers of the block in its byte order, bounds checked.
  struct Bytes {
    std::vector<uint8_t>& data;
    bool bigEndian;
    bool Get(uint32_t at, int size, uint32_t& value) const {
      if (at > data.size() || size_t(size) > data.size() - at) return false;
      value = 0;
      for (int i = 0; i < size; ++i) {
        uint32_t byte = data[at + uint32_t(bigEndian ? i : size - 1 - i)];
        value = (value << 8) | byte;
      }
      return true;
    }
    void Put32(uint32_t at, uint32_t value) {
      for (int i = 0; i < 4; ++i)
        data[at + uint32_t(bigEndian ? 3 - i : i)] = uint8_t(value >> (8 * i));
    }
    // Adds `base` to every offset of the directory at `at` (and, `depth` levels down,
    // of the directories it points at): the block moves to `base` in the file.
    bool Relocate(uint32_t at, uint32_t base, int depth) {
      uint32_t count = 0;
      if (!Get(at, 2, count)) return false;
      for (uint32_t i = 0; i < count; ++i) {
        uint32_t entry = at + 2 + 12 * i, tag = 0, type = 0, values = 0, offset = 0;
        if (!Get(entry, 2, tag) || !Get(entry + 2, 2, type) || !Get(entry + 4, 4, values) ||
            !Get(entry + 8, 4, offset))
          return false;
        if (tag == kInteropPointer) {
          if (depth <= 0 || !Relocate(offset, base, depth - 1)) return false;
          Put32(entry + 8, offset + base);
        } else if (uint64_t(values) * glib::Libtiff::TypeSize(uint16_t(type)) > 4) {
          Put32(entry + 8, offset + base);
        }
      }
      return true;
    }
  };

  // Sets the value of the first page's pointer entry `tag` in the written file.
  static bool PatchPointer(Sink& sink, uint16_t tag, uint32_t offset, bool bigEndian) {
    std::vector<uint8_t> header(8);
    if (!sink.Seek(0) || sink.Read(header.data(), 8) != 8) return false;
    uint32_t first = 0, count = 0;
    if (!Bytes{header, bigEndian}.Get(4, 4, first)) return false;
    std::vector<uint8_t> head(2);
    if (!sink.Seek(first) || sink.Read(head.data(), 2) != 2) return false;
    Bytes{head, bigEndian}.Get(0, 2, count);
    std::vector<uint8_t> entries(size_t(count) * 12);
    if (sink.Read(entries.data(), entries.size()) != entries.size()) return false;
    Bytes table{entries, bigEndian};
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t entryTag = 0;
      table.Get(i * 12, 2, entryTag);
      if (entryTag != tag) continue;
      table.Put32(i * 12 + 8, offset);
      return sink.Seek(uint64_t(first) + 2 + i * 12 + 8) && sink.Write(&entries[i * 12 + 8], 4) &&
             sink.Seek(sink.Size());
    }
    return false;
  }

  glib::Libtiff::Reader in_;
  glib::Libtiff::Directory ifd0_;
};

uint32_t WritePage(TIFF* tif, const glib::IDEPage& page, const glib::TIFSave& p, uint32_t index,
                   uint32_t count, const glib::ImageDataExchange* request, ExifForTiff* exif) {
  uint32_t compression = p.compression;
  if (compression == 6) compression = COMPRESSION_JPEG;  // old-style JPEG cannot be written
  if (!TIFFIsCODECConfigured(uint16_t(compression))) return UNSF;
  bool cmyk = p.cmyk == 5;
  uint32_t type = cmyk ? glib::kPixelRGB24 : p.pixelType;
  if (IsBilevelCompression(compression)) type = glib::kPixelBW1;
  // JPEG takes grey or colour bytes; an alpha channel beside them is read back by
  // few readers, so JPEG-compressed pages are written without it.
  if (compression == COMPRESSION_JPEG && (glib::IsIndexed(type) || glib::BitsPerPixel(type) == 1 ||
                                          glib::BitsPerSample(type) == 16 || glib::HasAlpha(type)))
    type = p.grayscale ? kGray8 : uint32_t(glib::kPixelRGB24);
  bool grey = p.grayscale != 0;
  if (grey && type == glib::kPixelRGB24) type = kGray8;
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(page.bitmap, type == kGray8 ? kGray8 : type, p.dither != 0, grey,
                               p.colorCount);
  if (rc != RCOK) return rc;
  uint32_t width = uint32_t(pixels.Width()), height = uint32_t(pixels.Height());
  uint16_t bits = uint16_t(glib::BitsPerSample(type)),
           samples = uint16_t(glib::SamplesPerPixel(type));
  uint16_t photometric = PHOTOMETRIC_RGB;
  bool invertMono = false;
  if (type == glib::kPixelBW1) {
    // Which index is the darker one decides the polarity of the stored bits.
    auto luma = [](uint32_t c) {
      return ((c >> 16) & 255) * 77 + ((c >> 8) & 255) * 150 + (c & 255) * 29;
    };
    bool zeroIsBlack = luma(pixels.Palette()[0]) <= luma(pixels.Palette()[1]);
    bool wantWhiteZero =
        p.photometricMono == 1 || (p.photometricMono == 0 && IsBilevelCompression(compression));
    photometric = wantWhiteZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
    invertMono = wantWhiteZero == zeroIsBlack;
  } else if (glib::IsIndexed(type)) {
    photometric = PHOTOMETRIC_PALETTE;
  } else if (type == kGray8 || type == glib::kPixelGray16) {
    photometric = PHOTOMETRIC_MINISBLACK;
  } else if (cmyk) {
    photometric = PHOTOMETRIC_SEPARATED;
    samples = 4;
  }
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(compression));
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  if (samples == 4 && !cmyk) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  if (cmyk) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
  if (compression == COMPRESSION_JPEG) {
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, int(std::clamp<uint32_t>(p.jpegQuality, 1, 100)));
    if (photometric == PHOTOMETRIC_RGB && samples == 3) {
      uint32_t first = p.jpegSubsample & 0xFF;
      uint16_t h = uint16_t(std::clamp<uint32_t>(first >> 4, 1, 4)),
               v = uint16_t(std::clamp<uint32_t>(first & 15, 1, 4));
      photometric = PHOTOMETRIC_YCBCR;
      TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, h, v);
    }
  }
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE)
    TIFFSetField(tif, TIFFTAG_ZIPQUALITY, int(std::min<uint32_t>(p.deflateLevel, 9)));
  bool predictable = bits >= 8 && photometric != PHOTOMETRIC_PALETTE;
  if (p.predictor && predictable &&
      (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
       compression == COMPRESSION_DEFLATE))
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (p.fillOrder == FILLORDER_LSB2MSB) TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  if (photometric == PHOTOMETRIC_PALETTE) {
    std::vector<uint16_t> r(1u << bits), g(r.size()), b(r.size());
    for (size_t i = 0; i < r.size(); ++i) {
      uint32_t c = int(i) < pixels.PaletteEntries() ? pixels.Palette()[i] : 0;
      r[i] = uint16_t(((c >> 16) & 255) * 257);
      g[i] = uint16_t(((c >> 8) & 255) * 257);
      b[i] = uint16_t((c & 255) * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
  float dpiX = p.resolutionX > 0 ? p.resolutionX : page.resolutionX;
  float dpiY = p.resolutionY > 0 ? p.resolutionY : page.resolutionY;
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, dpiX);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, dpiY);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_SOFTWARE, "Orbisk");
  if (count > 1) {
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(index), uint16_t(count));
  }
  if (index == 0 && exif) exif->SetPageFields(tif);
  if (index == 0 && p.iptc && p.iptcSize && p.iptcSize < (1u << 24)) {
    std::vector<uint32_t> words((p.iptcSize + 3) / 4, 0);
    std::memcpy(words.data(), p.iptc, p.iptcSize);
    uint32_t units = IptcUnit(tif) == 4 ? uint32_t(words.size()) : uint32_t(words.size() * 4);
    TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, units, words.data());
  }
  uint64_t rowBytes = (uint64_t(width) * bits * samples + 7) / 8;
  std::vector<uint8_t> row(size_t(rowBytes) + 16);
  auto makeRow = [&](uint32_t y) {
    const uint8_t* in = pixels.Row(int32_t(y));
    if (cmyk) {
      // Plain CMYK from RGB: black from the brightest channel.
      for (uint32_t x = 0; x < width; ++x) {
        uint32_t b = in[x * 3], g = in[x * 3 + 1], r = in[x * 3 + 2];
        uint32_t k = 255 - std::max({r, g, b});
        uint32_t scale = 255 - k;
        row[x * 4] = uint8_t(scale ? (scale - r) * 255 / scale : 0);
        row[x * 4 + 1] = uint8_t(scale ? (scale - g) * 255 / scale : 0);
        row[x * 4 + 2] = uint8_t(scale ? (scale - b) * 255 / scale : 0);
        row[x * 4 + 3] = uint8_t(k);
      }
    } else if (samples >= 3) {
      if (bits == 16) {
        SwapRedBlue(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(row.data()),
                    width, samples);
      } else {
        SwapRedBlue(in, row.data(), width, samples);
      }
    } else {
      std::memcpy(row.data(), in, size_t(rowBytes));
      if (invertMono) {
        for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(~row[i]);
      }
    }
    return row.data();
  };
  if (p.tiled) {
    uint32_t tw = p.multiStrip ? 256 : (width + 15) / 16 * 16,
             th = p.multiStrip ? 256 : (height + 15) / 16 * 16;
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, tw);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, th);
    uint64_t tileRow = (uint64_t(tw) * bits * samples + 7) / 8;
    std::vector<uint8_t> tile(static_cast<size_t>(tileRow * th));
    for (uint32_t ty = 0; ty < height; ty += th) {
      for (uint32_t tx = 0; tx < width; tx += tw) {
        std::fill(tile.begin(), tile.end(), 0);
        uint32_t w = std::min(tw, width - tx);
        uint32_t h = std::min(th, height - ty);
        uint64_t pixelBytes = uint64_t(bits) * samples / 8;
        for (uint32_t y = 0; y < h; ++y) {
          const uint8_t* src = makeRow(ty + y);
          uint8_t* dst = &tile[tileRow * y];
          std::memcpy(dst, src + uint64_t(tx) * bits * samples / 8,
                      size_t((uint64_t(w) * bits * samples + 7) / 8));
          // Edge tiles repeat the last pixel and row, so that lossy coding of the
          // padding does not ring into the picture.
          for (uint32_t x = w; pixelBytes && x < tw; ++x)
            std::memcpy(dst + x * pixelBytes, dst + (w - 1) * pixelBytes, size_t(pixelBytes));
        }
        for (uint32_t y = h; y < th; ++y)
          std::memcpy(&tile[tileRow * y], &tile[tileRow * (h - 1)], size_t(tileRow));
        if (TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0) < 0) return WERR;
      }
      if (!Progress(request, int32_t(ty + 1), int32_t(height))) return USRA;
    }
  } else {
    uint32_t rows = p.multiStrip ? TIFFDefaultStripSize(tif, 0) : height;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFWriteScanline(tif, makeRow(y), y, 0) < 0) return WERR;
      if ((y & 1023) == 0 && !Progress(request, int32_t(y + 1), int32_t(height))) return USRA;
    }
  }
  return TIFFWriteDirectory(tif) ? RCOK : WERR;
}

}  // namespace

uint32_t SaveTif(SaveJob& job) {
  const auto& params = *static_cast<const glib::TIFSave*>(job.params);
  std::vector<const glib::IDEPage*> pages = SavePages(job.request);
  // An existing file takes the pages at its end (batch scans into one file).
  bool append = params.keepPartialFile && job.sink.Size() > 0;
  std::string mode = append ? "a" : "w";
  if (!append) {
    mode += params.littleEndian ? "l" : "b";
    if (params.bigTiff) mode += "8";
  }
  TIFF* tif = OpenClient(mode.c_str(), &job.sink, &SinkRead, &SinkWrite, &SinkSeek, &SinkSize);
  if (!tif) return append ? BADI : WERR;
  TiffPtr owner(tif);
  uint32_t count = append ? 1 : uint32_t(pages.size());
  // Pages appended to a file leave its metadata as it is.
  ExifForTiff exif;
  bool withExif = !append && exif.Open(params);
  for (uint32_t i = 0; i < pages.size(); ++i) {
    uint32_t rc = WritePage(tif, *pages[i], params, append ? 0 : i, count, job.request,
                            withExif ? &exif : nullptr);
    if (rc != RCOK) return rc;
  }
  owner.reset();
  if (withExif && (exif.HasExif() || exif.HasGps()) && !exif.Append(job.sink, !params.littleEndian))
    return WERR;
  return RCOK;
}

}  // namespace vexlo
