// Camera RAW through LibRaw: DNG and the camera makers' own formats (Canon, Nikon,
// Sony, Olympus, Panasonic, Fujifilm, Pentax, Samsung and others), read from the
// bytes in memory. Loads demosaic to 16-bit RGB (sRGB primaries and curve, LibRaw's
// automatic brightness), fast bilinear or slow adaptive as the load parameters ask,
// with the camera's or an automatic white balance; thumbnails use the embedded
// preview. Sizes are checked against the plug-in's limits before anything is
// unpacked, and LibRaw's own allocation limit is set to the same budget.
#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "vexlo/Formats.h"
#include "vexlo/Jpeg.h"

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace vexlo {
namespace {

// The memory a load may use: the pixel limit's budget of 16 bytes a pixel, 1.5 GiB at
// most in the 32-bit build.
uint64_t MemoryBudget() {
  uint64_t budget = PixelLimit() * 16;
  if (sizeof(void*) == 4) budget = std::min<uint64_t>(budget, uint64_t(3) << 29);
  return budget;
}

void IgnoreDataError(void*, const char*, const int) {}

// Progress of LibRaw's stages through the request's callback; a user's stop cancels.
int StageProgress(void* data, enum LibRaw_progress, int, int) {
  auto* request = static_cast<glib::ImageDataExchange*>(data);
  return request && !Progress(request, 1, 0) ? 1 : 0;
}

uint32_t Code(int error) {
  switch (error) {
    case LIBRAW_SUCCESS:
      return RCOK;
    case LIBRAW_UNSUFFICIENT_MEMORY:
    case LIBRAW_TOO_BIG:
      return OMEM;
    case LIBRAW_CANCELLED_BY_CALLBACK:
      return USRA;
    case LIBRAW_NO_THUMBNAIL:
      return glib::TMIS;
    default:
      return BADI;
  }
}

// The shown size of the picture: the visible area, turned as the camera stood.
void ShownSize(const libraw_data_t& d, int64_t& width, int64_t& height) {
  width = d.sizes.width;
  height = d.sizes.height;
  if (d.sizes.flip & 4) std::swap(width, height);
}

// What decoding will need at most: the raw samples (four per pixel for some sensors),
// the working image of four 16-bit channels and the picture handed out.
uint64_t DecodeBytes(const libraw_data_t& d, bool half) {
  uint64_t rawPixels = uint64_t(d.sizes.raw_width) * d.sizes.raw_height;
  uint64_t pixels = uint64_t(d.sizes.width) * d.sizes.height;
  if (half) pixels /= 4;
  return rawPixels * 8 + pixels * 8 + pixels * 6;
}

// Debian's LibRaw runs its demosaicing on OpenMP threads, which stay idle inside the
// OpenMP runtime after a load. The runtime must then outlive the plug-in: when the
// module is unloaded its libraries would go with it under those threads. (The Windows
// build of LibRaw has no OpenMP.)
void KeepThreadRuntime() {
#if defined(__linux__)
  static const bool kept = [] {
    dlopen("libgomp.so.1", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return true;
  }();
  (void)kept;
#endif
}

class RawFile {
 public:
  RawFile() : raw_(new LibRaw(LIBRAW_OPIONS_NO_DATAERR_CALLBACK)) {
    KeepThreadRuntime();
    raw_->set_dataerror_handler(&IgnoreDataError, nullptr);
  }
  ~RawFile() { raw_->recycle(); }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  LibRaw& Raw() { return *raw_; }
  libraw_data_t& Data() { return raw_->imgdata; }

  // Reads the metadata (no pixels) and checks the sizes against the limits.
  uint32_t Open(const Source& source) {
    if (source.Size() < 16) return BADI;
    raw_->imgdata.params.max_raw_memory_mb = unsigned(std::max<uint64_t>(MemoryBudget() >> 20, 1));
    uint32_t rc = Code(raw_->open_buffer(const_cast<uint8_t*>(source.Data()), source.Size()));
    if (rc != RCOK) return rc;
    const libraw_data_t& d = raw_->imgdata;
    if (!d.sizes.raw_width || !d.sizes.raw_height) return BADI;
    rc = CheckSize(d.sizes.raw_width, d.sizes.raw_height);
    if (rc != RCOK) return rc;
    int64_t width, height;
    ShownSize(d, width, height);
    return CheckSize(width, height);
  }

 private:
  std::unique_ptr<LibRaw> raw_;
};

// A decoded picture into a new page: 16-bit RGB, or 16-bit grey for sensors without
// colour filters.
uint32_t DecodePage(LoadJob& job, RawFile& file, bool half, PagePtr& page) {
  libraw_data_t& d = file.Data();
  if (DecodeBytes(d, half) > MemoryBudget()) return OMEM;
  libraw_output_params_t& p = d.params;
  p.output_bps = 16;
  p.output_color = 1;  // sRGB
  p.half_size = half ? 1 : 0;
  // 0 bilinear, 1 VNG, 2 PPG, 3 AHD: the load record's scale is LibRaw's.
  p.user_qual = int(std::min<uint32_t>(job.options.rawQuality, 3));
  p.use_camera_wb = job.options.cameraWhiteBalance ? 1 : 0;
  p.use_auto_wb = job.options.cameraWhiteBalance ? 0 : 1;
  p.use_camera_matrix = 1;
  file.Raw().set_progress_handler(&StageProgress, job.request);
  uint32_t rc = Code(file.Raw().unpack());
  if (rc != RCOK) return rc;
  rc = Code(file.Raw().dcraw_process());
  if (rc != RCOK) return rc;
  int width = 0, height = 0, colors = 0, bps = 0;
  file.Raw().get_mem_image_format(&width, &height, &colors, &bps);
  if (bps != 16 || (colors != 1 && colors != 3)) return BADI;
  rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  rc = NewPage(job.request, width, height, colors == 1 ? glib::kPixelGray16 : glib::kPixelRGB48,
               page);
  if (rc != RCOK) return rc;
  // Blue, green, red in the host's order: little-endian on every target we build.
  return Code(file.Raw().copy_mem_image(page->bitmap.pixels, int(glib::RowBytes(page->bitmap)), 1));
}

// The embedded preview as a page: JPEG through our JPEG decoder, a bitmap directly.
uint32_t PreviewPage(LoadJob& job, RawFile& file, PagePtr& page) {
  uint32_t rc = Code(file.Raw().unpack_thumb());
  if (rc != RCOK) return rc;
  const libraw_thumbnail_t& t = file.Data().thumbnail;
  if (!t.thumb || !t.tlength) return glib::TMIS;
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(t.thumb), t.tlength);
  if (t.tformat == LIBRAW_THUMBNAIL_JPEG) return DecodeJpegPage(job.request, bytes, page);
  if (t.tformat != LIBRAW_THUMBNAIL_BITMAP || (t.tcolors != 1 && t.tcolors != 3)) return glib::TMIS;
  rc = CheckSize(t.twidth, t.theight);
  if (rc != RCOK) return rc;
  size_t rowBytes = size_t(t.twidth) * t.tcolors;
  if (uint64_t(rowBytes) * t.theight > bytes.size()) return glib::BADT;
  rc = NewPage(job.request, t.twidth, t.theight, t.tcolors == 1 ? kGray8 : glib::kPixelRGB24, page);
  if (rc != RCOK) return rc;
  for (int32_t y = 0; y < int32_t(t.theight); ++y) {
    const uint8_t* in = bytes.data() + size_t(y) * rowBytes;
    if (t.tcolors == 1)
      std::memcpy(PixelRow(page->bitmap, y), in, rowBytes);
    else
      SwapRedBlue(in, PixelRow(page->bitmap, y), t.twidth, 3);
  }
  return RCOK;
}

// A preview turned as the camera stood, as the decoded picture is: LibRaw's flip bits
// are 4 transpose, 2 upside down, 1 mirrored, applied to the stored picture.
uint32_t TurnPage(glib::ImageDataExchange* request, int flip, PagePtr& page) {
  if (!(flip & 7)) return RCOK;
  const glib::CoreBitmap& in = page->bitmap;
  int32_t width = (flip & 4) ? in.height : in.width;
  int32_t height = (flip & 4) ? in.width : in.height;
  PagePtr turned;
  uint32_t rc = NewPage(request, width, height, in.pixelType, turned);
  if (rc != RCOK) return rc;
  size_t bytes = glib::BitsPerPixel(in.pixelType) / 8;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = PixelRow(turned->bitmap, y);
    for (int32_t x = 0; x < width; ++x) {
      int32_t sy = (flip & 4) ? x : y, sx = (flip & 4) ? y : x;
      if (flip & 2) sy = in.height - 1 - sy;
      if (flip & 1) sx = in.width - 1 - sx;
      std::memcpy(out + size_t(x) * bytes, PixelRow(in, sy) + size_t(sx) * bytes, bytes);
    }
  }
  page = std::move(turned);
  return RCOK;
}

// EXIF entries (TIFF-structured, little-endian) for the camera data LibRaw reads:
// make, model and date in the first directory, exposure, aperture, ISO and focal
// length in the EXIF directory.
class ExifBuilder {
 public:
  void Ascii(uint16_t tag, const char* text) {
    std::string value(text);
    if (value.empty()) return;
    value.push_back('\0');
    Entry e{tag, 2, uint32_t(value.size()), {}};
    e.data.assign(value.begin(), value.end());
    Current().push_back(std::move(e));
  }
  void Rational(uint16_t tag, float value) {
    if (!(value > 0) || value > 1e6f) return;
    uint32_t den = value < 1 ? 1000000 : 10000;
    uint32_t num = uint32_t(double(value) * den + 0.5);
    Writer w;
    w.U32LE(num);
    w.U32LE(den);
    Current().push_back({tag, 5, 1, w.Bytes()});
  }
  void Short(uint16_t tag, uint32_t value) {
    if (!value) return;
    Writer w;
    w.U16LE(std::min<uint32_t>(value, 65535));
    Current().push_back({tag, 3, 1, w.Bytes()});
  }
  void StartExifDirectory() { exif_ = true; }

  std::vector<uint8_t> Build() {
    if (first_.empty() && second_.empty()) return {};
    Writer w;
    w.Append("II*\0", 4);
    w.U32LE(8);
    bool pointer = !second_.empty();
    size_t firstSize = DirectorySize(first_.size() + (pointer ? 1 : 0));
    size_t firstData = DataSize(first_);
    uint32_t secondAt = uint32_t(8 + firstSize + firstData);
    if (pointer) first_.push_back({34665, 4, 1, LittleU32(secondAt)});
    std::sort(first_.begin(), first_.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    WriteDirectory(w, first_, 8);
    if (pointer) WriteDirectory(w, second_, secondAt);
    return std::move(w.Bytes());
  }

 private:
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data;
  };
  static std::vector<uint8_t> LittleU32(uint32_t v) {
    Writer w;
    w.U32LE(v);
    return w.Bytes();
  }
  static size_t DirectorySize(size_t entries) { return 2 + entries * 12 + 4; }
  static size_t DataSize(const std::vector<Entry>& entries) {
    size_t n = 0;
    for (const Entry& e : entries)
      if (e.data.size() > 4) n += (e.data.size() + 1) & ~size_t(1);
    return n;
  }
  std::vector<Entry>& Current() { return exif_ ? second_ : first_; }
  // A directory at `at` followed by the values that do not fit in their entries.
  static void WriteDirectory(Writer& w, const std::vector<Entry>& entries, uint32_t at) {
    uint32_t data = uint32_t(at + DirectorySize(entries.size()));
    w.U16LE(uint32_t(entries.size()));
    for (const Entry& e : entries) {
      w.U16LE(e.tag);
      w.U16LE(e.type);
      w.U32LE(e.count);
      if (e.data.size() <= 4) {
        std::vector<uint8_t> inline4(e.data);
        inline4.resize(4, 0);
        w.Append(inline4.data(), 4);
      } else {
        w.U32LE(data);
        data += uint32_t((e.data.size() + 1) & ~size_t(1));
      }
    }
    w.U32LE(0);
    for (const Entry& e : entries) {
      if (e.data.size() <= 4) continue;
      w.Append(e.data.data(), e.data.size());
      if (e.data.size() & 1) w.U8(0);
    }
  }

  std::vector<Entry> first_, second_;
  bool exif_ = false;
};

std::string DateText(time_t stamp) {
  if (stamp <= 0) return {};
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &stamp) != 0) return {};
#else
  if (!localtime_r(&stamp, &parts)) return {};
#endif
  char text[32];
  size_t n = std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
  return std::string(text, n);
}

bool TiffHeader(std::span<const uint8_t> bytes, bool& little) {
  if (bytes.size() < 8) return false;
  little = bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0;
  bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42;
  return little || big;
}

}  // namespace

bool IsCameraRawTiff(std::span<const uint8_t> bytes) {
  bool little = false;
  if (!TiffHeader(bytes, little)) return false;
  // Canon's CR2 marks its TIFF header.
  if (little && bytes.size() >= 10 && bytes[8] == 'C' && bytes[9] == 'R') return true;
  Reader in(bytes);
  in.Seek(4);
  uint32_t first = little ? in.U32LE() : in.U32BE();
  if (!in.Seek(first)) return false;
  uint32_t count = little ? in.U16LE() : in.U16BE();
  bool make = false;
  for (uint32_t i = 0; i < count && !in.Failed(); ++i) {
    uint16_t tag = little ? in.U16LE() : in.U16BE();
    in.Skip(10);
    if (tag == 50706) return !in.Failed();  // DNGVersion
    if (tag == 271) make = true;
  }
  if (!make || in.Failed()) return false;
  // A camera's name alone makes a TIFF from a camera, not a raw one: LibRaw must find
  // sensor data behind a colour filter array.
  Source source;
  source.Borrow(bytes.data(), bytes.size());
  RawFile file;
  if (file.Open(source) != RCOK) return false;
  return file.Data().idata.filters != 0 && file.Data().idata.colors >= 3;
}

uint32_t LoadCameraRaw(LoadJob& job) {
  if (!job.options.Wants(0)) return BADA;
  RawFile file;
  uint32_t rc = file.Open(job.source);
  if (rc != RCOK) return rc;
  PagePtr page;
  rc = DecodePage(job, file, false, page);
  if (rc != RCOK) return rc;
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t ThumbnailCameraRaw(LoadJob& job) {
  RawFile file;
  uint32_t rc = file.Open(job.source);
  if (rc != RCOK) return rc;
  PagePtr page;
  rc = PreviewPage(job, file, page);
  if (rc == RCOK) rc = TurnPage(job.request, file.Data().sizes.flip, page);
  if (rc == USRA || rc == OMEM) return rc;
  if (rc != RCOK) {
    // No usable preview: a half-size picture, quick and big enough for a thumbnail.
    page.reset();
    job.request->pages.Clear();
    job.options.rawQuality = 0;
    rc = DecodePage(job, file, true, page);
    if (rc != RCOK) return rc;
  }
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoCameraRaw(const Source& source, InfoRecord& info) {
  RawFile file;
  uint32_t rc = file.Open(source);
  if (rc != RCOK) return rc;
  const libraw_data_t& d = file.Data();
  info.format = kFormatDCR;
  info.SetType("Camera RAW");
  int64_t width, height;
  ShownSize(d, width, height);
  info.width = int32_t(width);
  info.height = int32_t(height);
  bool grey = d.idata.colors == 1;
  info.bitsPerPixel = grey ? 16 : 48;
  info.pixelType = grey ? glib::kPixelGray16 : glib::kPixelRGB48;
  info.pageCount = 1;
  if (d.idata.dng_version) {
    char version[32];
    unsigned v = d.idata.dng_version;
    std::snprintf(version, sizeof version, "DNG %u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF,
                  (v >> 8) & 0xFF, v & 0xFF);
    info.SetText(glib::kInfoVersion, version);
  }
  if (d.idata.make[0]) info.SetText(glib::kInfoMake, d.idata.make);
  if (d.idata.model[0]) info.SetText(glib::kInfoModel, d.idata.model);
  std::string date = DateText(d.other.timestamp);
  if (!date.empty()) info.SetText(glib::kInfoDate, date);
  ExifBuilder exif;
  exif.Ascii(271, d.idata.make);
  exif.Ascii(272, d.idata.model);
  exif.Ascii(306, date.c_str());
  exif.StartExifDirectory();
  exif.Rational(33434, d.other.shutter);   // ExposureTime
  exif.Rational(33437, d.other.aperture);  // FNumber
  exif.Short(34855, uint32_t(d.other.iso_speed + 0.5f));
  exif.Ascii(36867, date.c_str());          // DateTimeOriginal
  exif.Rational(37386, d.other.focal_len);  // FocalLength
  info.SetExif(exif.Build());
  return RCOK;
}

}  // namespace vexlo
