// JPEG XL through libjxl: lossy and lossless, alpha, 8 and 16 bits per sample, and
// animations as one full-canvas page per frame (the decoder composes them) with its
// display time. Decoding runs on the bytes in memory with the library's thread pool
// (a bounded number of threads). The writer takes a quality or lossless, and an
// effort; several pages become an animation. The first page's colour profile and
// EXIF block go with the file. Thumbnails come from the file's preview or the first
// frame's coarse pass.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <cmath>
#include <thread>

#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"

namespace vexlo {
namespace {

// Threads of one decode or encode: the machine's, at most this many.
constexpr size_t kMaxThreads = 8;
// libjxl keeps a picture in floating point (or 32-bit integer) planes while it decodes,
// some 20 bytes per pixel, and stops the process when an allocation fails: pictures
// are held below what the address space allows, 128 megapixels in the 64-bit build
// and 32 in the 32-bit one (other formats: 256).
constexpr uint64_t kMaxJxlPixels = uint64_t(1) << (sizeof(void*) == 8 ? 27 : 25);
// Largest EXIF box kept; larger ones are left out.
constexpr size_t kMaxExif = size_t(16) << 20;
// Largest colour profile taken from a file.
constexpr size_t kMaxProfile = size_t(16) << 20;

size_t ThreadCount() {
  size_t n = JxlThreadParallelRunnerDefaultNumWorkerThreads();
  return std::clamp<size_t>(n, 1, kMaxThreads);
}

// The page type and the decoder's output format for a picture.
struct Layout {
  uint32_t type;
  JxlPixelFormat format;
  bool swap;  // RGB(A) from the decoder to our blue-first order
};

Layout LayoutFor(const JxlBasicInfo& info, bool reduce) {
  bool wide = info.bits_per_sample > 8 && !reduce;
  bool alpha = info.alpha_bits > 0;
  bool grey = info.num_color_channels == 1;
  Layout l{};
  l.format.data_type = wide ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
  l.format.endianness = JXL_LITTLE_ENDIAN;  // our 16-bit samples are little-endian
  if (grey && !alpha) {
    l.type = wide ? uint32_t(glib::kPixelGray16) : kGray8;
    l.format.num_channels = 1;
  } else {
    // Grey with alpha comes as RGBA: the program has no grey-alpha page type.
    l.type = alpha ? (wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32)
                   : (wide ? glib::kPixelRGB48 : glib::kPixelRGB24);
    l.format.num_channels = alpha ? 4 : 3;
    l.swap = true;
  }
  return l;
}

// Exchanges red and blue in place in a row of `width` pixels of N samples.
template <class Sample, size_t N>
void SwapRow(uint8_t* row, size_t width) {
  Sample* p = reinterpret_cast<Sample*>(row);
  SwapRedBlue(p, p, width, N);
}

// The decoder's red, green, blue (and alpha) rows of a page turned into our
// blue-first order, bands of rows spread over the decoder's own threads.
struct RowSwap {
  glib::CoreBitmap* bitmap;
  void (*swap)(uint8_t*, size_t);
  static constexpr int32_t kBand = 64;

  static JxlParallelRetCode Init(void*, size_t) { return 0; }
  static void Band(void* opaque, uint32_t band, size_t) {
    const RowSwap& s = *static_cast<const RowSwap*>(opaque);
    int32_t end = std::min(s.bitmap->height, int32_t(band + 1) * kBand);
    for (int32_t y = int32_t(band) * kBand; y < end; ++y)
      s.swap(PixelRow(*s.bitmap, y), size_t(s.bitmap->width));
  }
  void Run(void* runner) {
    uint32_t bands = uint32_t((bitmap->height + kBand - 1) / kBand);
    if (!runner || JxlThreadParallelRunner(runner, this, &Init, &Band, 0, bands) != 0)
      for (uint32_t b = 0; b < bands; ++b) Band(this, b, 0);
  }
};

void SwapRows(glib::CoreBitmap& bitmap, const Layout& l, void* runner) {
  if (!l.swap) return;
  bool wide = l.format.data_type == JXL_TYPE_UINT16;
  RowSwap s{&bitmap, nullptr};
  if (l.format.num_channels == 4)
    s.swap = wide ? &SwapRow<uint16_t, 4> : &SwapRow<uint8_t, 4>;
  else
    s.swap = wide ? &SwapRow<uint16_t, 3> : &SwapRow<uint8_t, 3>;
  s.Run(runner);
}

bool IsSrgb(const JxlColorEncoding& c) {
  return c.white_point == JXL_WHITE_POINT_D65 &&
         c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
         (c.color_space == JXL_COLOR_SPACE_GRAY ||
          (c.color_space == JXL_COLOR_SPACE_RGB && c.primaries == JXL_PRIMARIES_SRGB));
}

// The colour profile of `target`; empty when the decoder has none or it is too large.
std::vector<uint8_t> Profile(const JxlDecoder* dec, JxlColorProfileTarget target) {
  size_t size = 0;
  if (JxlDecoderGetICCProfileSize(dec, nullptr, target, &size) != JXL_DEC_SUCCESS ||
      size > kMaxProfile)
    return {};
  std::vector<uint8_t> icc(size);
  if (JxlDecoderGetColorAsICCProfile(dec, nullptr, target, icc.data(), size) != JXL_DEC_SUCCESS)
    return {};
  return icc;
}

// The profile a file stores: none when its colours are one of the format's own
// encodings (the decoder would only make one up).
std::vector<uint8_t> StoredProfile(const JxlDecoder* dec) {
  JxlColorEncoding encoding;
  if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                         &encoding) == JXL_DEC_SUCCESS)
    return {};
  return Profile(dec, JXL_COLOR_PROFILE_TARGET_ORIGINAL);
}

// Collects the "Exif" box of a file while the decoder walks it. The box starts with
// the offset of the TIFF header; Bytes() starts at that header.
class ExifBox {
 public:
  // Takes the box events of a decode (true when `status` was one); any other event
  // ends the box being collected.
  bool Handle(JxlDecoder* dec, JxlDecoderStatus status) {
    if (status == JXL_DEC_BOX) {
      Begin(dec);
    } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
      Grow(dec);
    } else {
      Finish(dec);
      return false;
    }
    return true;
  }
  // At the end of a decode: what the buffer holds is the box.
  void Finish(JxlDecoder* dec) {
    if (!active_) return;
    active_ = false;
    size_t left = JxlDecoderReleaseBoxBuffer(dec);
    buffer_.resize(buffer_.size() - left);
    done_ = true;
  }
  std::span<const uint8_t> Bytes() const {
    if (!done_ || buffer_.size() < 4) return {};
    uint32_t offset = uint32_t(buffer_[0]) << 24 | uint32_t(buffer_[1]) << 16 |
                      uint32_t(buffer_[2]) << 8 | buffer_[3];
    if (offset > buffer_.size() - 4) return {};
    return std::span<const uint8_t>(buffer_).subspan(4 + offset);
  }

 private:
  // At a new box: finishes the previous one and starts collecting when this one is
  // EXIF (stored plainly or compressed in a "brob" box, which the decoder unpacks) and
  // none came before.
  void Begin(JxlDecoder* dec) {
    Finish(dec);
    JxlBoxType type;
    if (JxlDecoderGetBoxType(dec, type, JXL_TRUE) != JXL_DEC_SUCCESS) return;
    if (std::memcmp(type, "Exif", 4) != 0 || done_) return;
    buffer_.resize(4096);
    used_ = 0;
    active_ = JxlDecoderSetBoxBuffer(dec, buffer_.data(), buffer_.size()) == JXL_DEC_SUCCESS;
  }
  // JXL_DEC_BOX_NEED_MORE_OUTPUT: a larger buffer, up to the limit.
  void Grow(JxlDecoder* dec) {
    if (!active_) return;
    size_t left = JxlDecoderReleaseBoxBuffer(dec);
    used_ = buffer_.size() - left;
    if (buffer_.size() >= kMaxExif) {
      active_ = false;
      buffer_.clear();
      done_ = true;
      return;
    }
    buffer_.resize(std::min(buffer_.size() * 4, kMaxExif));
    JxlDecoderSetBoxBuffer(dec, buffer_.data() + used_, buffer_.size() - used_);
  }

  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  bool active_ = false;
  bool done_ = false;
};

// The decoder of one source with our settings: the thread pool, composed frames,
// boxes decompressed, the whole input given at once.
struct Decoder {
  JxlDecoderPtr dec = JxlDecoderMake(nullptr);
  JxlThreadParallelRunnerPtr runner;

  bool Start(const Source& source, int events, bool threads) {
    if (!dec) return false;
    if (threads) {
      runner = JxlThreadParallelRunnerMake(nullptr, ThreadCount());
      if (!runner || JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner,
                                                 runner.get()) != JXL_DEC_SUCCESS)
        return false;
    }
    if (JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS) return false;
    if (events & JXL_DEC_BOX) JxlDecoderSetDecompressBoxes(dec.get(), JXL_TRUE);
    JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE);
    if (JxlDecoderSetInput(dec.get(), source.Data(), source.Size()) != JXL_DEC_SUCCESS)
      return false;
    JxlDecoderCloseInput(dec.get());
    return true;
  }
};

// The display time of a frame in milliseconds.
uint32_t DelayOf(const JxlBasicInfo& info, const JxlFrameHeader& frame) {
  if (!info.have_animation || info.animation.tps_numerator == 0) return 0;
  double ms = double(frame.duration) * 1000.0 * info.animation.tps_denominator /
              info.animation.tps_numerator;
  return uint32_t(std::min(ms, 4294967295.0) + 0.5);
}

// The colours of a picture: the profile the file stores (kept with the pages) and,
// when the options ask for sRGB and the picture is in other colours, the profile its
// pixels come in.
struct Colours {
  std::vector<uint8_t> stored, icc;
  bool convert = false;

  // At JXL_DEC_COLOR_ENCODING.
  void Read(const JxlDecoder* dec, const LoadOptions& options) {
    stored = StoredProfile(dec);
    JxlColorEncoding encoding;
    bool srgb = JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                   &encoding) == JXL_DEC_SUCCESS &&
                IsSrgb(encoding);
    if (!srgb && options.UseProfile(true)) {
      icc = Profile(dec, JXL_COLOR_PROFILE_TARGET_DATA);
      convert = !icc.empty();
    }
  }
  // A decoded page made ours: blue-first rows, sRGB when asked, the stored profile.
  uint32_t Finish(glib::ImageDataExchange* request, glib::IDEPage& page, const Layout& layout,
                  void* runner) const {
    SwapRows(page.bitmap, layout, runner);
    if (convert) {
      uint32_t rc = ApplyProfile(request, page, icc);
      if (rc != RCOK) return rc;
    }
    AppendMetadata(page.slideMetadata, kTagIcc, stored);
    return RCOK;
  }
};

// A page of `width` x `height` whose rows the decoder fills: the frame's, or with
// `preview` the preview's.
uint32_t OutputPage(JxlDecoder* dec, glib::ImageDataExchange* request, uint32_t width,
                    uint32_t height, Layout& layout, bool preview, PagePtr& page) {
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  rc = NewPage(request, int32_t(width), int32_t(height), layout.type, page);
  if (rc != RCOK) return rc;
  size_t rowBytes = size_t(glib::RowBytes(page->bitmap));
  size_t bytes = rowBytes * height;
  layout.format.align = rowBytes;
  size_t need = 0;
  JxlDecoderStatus sized = preview ? JxlDecoderPreviewOutBufferSize(dec, &layout.format, &need)
                                   : JxlDecoderImageOutBufferSize(dec, &layout.format, &need);
  if (sized != JXL_DEC_SUCCESS || need > bytes) return IERR;
  JxlDecoderStatus set =
      preview ? JxlDecoderSetPreviewOutBuffer(dec, &layout.format, page->bitmap.pixels, bytes)
              : JxlDecoderSetImageOutBuffer(dec, &layout.format, page->bitmap.pixels, bytes);
  return set == JXL_DEC_SUCCESS ? RCOK : IERR;
}

}  // namespace

uint32_t LoadJxl(LoadJob& job) {
  Decoder d;
  if (!d.Start(job.source,
               JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE |
                   JXL_DEC_BOX,
               true))
    return IERR;
  JxlDecoder* dec = d.dec.get();
  JxlBasicInfo info{};
  Layout layout{};
  uint32_t width = 0, height = 0;
  Colours colours;
  ExifBox exif;
  PagePtr page;
  uint32_t delay = 0;
  uint64_t frame = 0;
  // The EXIF box may follow the codestream: the pages get it when the load ends.
  size_t firstOfOurs = job.request->pages.size();
  auto finish = [&](uint32_t rc) {
    exif.Finish(dec);
    if (rc == RCOK)
      for (size_t i = firstOfOurs; i < job.request->pages.size(); ++i)
        AppendMetadata(job.request->pages[i]->slideMetadata, kTagExif, exif.Bytes());
    return rc;
  };
  // Frames after damage are lost; what came before stays.
  auto damaged = [&] { return finish(job.request->pages.empty() ? BADI : RCOK); };
  for (;;) {
    JxlDecoderStatus status = JxlDecoderProcessInput(dec);
    if (exif.Handle(dec, status)) continue;
    switch (status) {
      case JXL_DEC_ERROR:
      case JXL_DEC_NEED_MORE_INPUT:
        return damaged();
      case JXL_DEC_SUCCESS:
        return finish(job.request->pages.empty() ? glib::BADA : RCOK);
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) return BADI;
        // The decoder turns the picture as its orientation says and gives the size
        // it then has.
        width = info.xsize;
        height = info.ysize;
        if (uint64_t(width) * height > kMaxJxlPixels) return OMEM;
        uint32_t rc = CheckSize(width, height);
        if (rc != RCOK) return rc;
        layout = LayoutFor(info, job.options.reduceTo8Bits);
        if (job.options.firstPage > 0) {
          JxlDecoderSkipFrames(dec, job.options.firstPage);
          frame = job.options.firstPage;
        }
        break;
      }
      case JXL_DEC_COLOR_ENCODING:
        colours.Read(dec, job.options);
        break;
      case JXL_DEC_FRAME: {
        if (frame >= kMaxPages) return damaged();
        JxlFrameHeader header;
        if (JxlDecoderGetFrameHeader(dec, &header) != JXL_DEC_SUCCESS) return damaged();
        delay = DelayOf(info, header);
        break;
      }
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        uint32_t rc = OutputPage(dec, job.request, width, height, layout, false, page);
        if (rc != RCOK) return rc;
        break;
      }
      case JXL_DEC_FULL_IMAGE: {
        if (!page) return damaged();
        page->delay = delay;
        uint32_t rc = colours.Finish(job.request, *page, layout, d.runner.get());
        if (rc != RCOK) return rc;
        rc = AddPage(job.request, std::move(page), job.options);
        if (rc != RCOK) return rc;
        ++frame;
        if (job.options.PastRange(frame)) return finish(RCOK);
        if (!Progress(job.request, int32_t(frame), 0)) return USRA;
        break;
      }
      default:
        break;  // events not asked for
    }
  }
}

// A thumbnail: the file's preview image when it has one; else the first frame, from
// its 1:8 (DC) pass when the frame has one, which the decoder gives enlarged to the
// full size long before the detail is decoded. The caller fits the page to the size
// it wants.
uint32_t ThumbnailJxl(LoadJob& job) {
  Decoder d;
  if (!d.Start(job.source,
               JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_PREVIEW_IMAGE |
                   JXL_DEC_FRAME_PROGRESSION | JXL_DEC_FULL_IMAGE,
               true) ||
      JxlDecoderSetProgressiveDetail(d.dec.get(), kDC) != JXL_DEC_SUCCESS)
    return IERR;
  JxlDecoder* dec = d.dec.get();
  JxlBasicInfo info{};
  Layout layout{};
  Colours colours;
  PagePtr page;
  auto deliver = [&]() -> uint32_t {
    if (!page) return BADI;
    uint32_t rc = colours.Finish(job.request, *page, layout, d.runner.get());
    return rc != RCOK ? rc : AddPage(job.request, std::move(page), job.options);
  };
  for (;;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) return BADI;
        if (uint64_t(info.xsize) * info.ysize > kMaxJxlPixels) return OMEM;
        uint32_t rc = CheckSize(info.xsize, info.ysize);
        if (rc != RCOK) return rc;
        layout = LayoutFor(info, true);  // eight bits are plenty for a thumbnail
        break;
      }
      case JXL_DEC_COLOR_ENCODING:
        colours.Read(dec, job.options);
        break;
      case JXL_DEC_NEED_PREVIEW_OUT_BUFFER: {
        // The preview is turned like the picture: orientations 5 to 8 swap its sides.
        uint32_t w = info.preview.xsize, h = info.preview.ysize;
        if (info.orientation >= JXL_ORIENT_TRANSPOSE) std::swap(w, h);
        uint32_t rc = OutputPage(dec, job.request, w, h, layout, true, page);
        if (rc != RCOK) return rc;
        break;
      }
      case JXL_DEC_PREVIEW_IMAGE:
        return deliver();
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        uint32_t rc = OutputPage(dec, job.request, info.xsize, info.ysize, layout, false, page);
        if (rc != RCOK) return rc;
        break;
      }
      case JXL_DEC_FRAME_PROGRESSION:
        // Not every frame has the pass; when the flush fails the decode goes on.
        if (page && JxlDecoderFlushImage(dec) == JXL_DEC_SUCCESS) return deliver();
        break;
      case JXL_DEC_FULL_IMAGE:
        return deliver();
      case JXL_DEC_SUCCESS:  // no frame
      case JXL_DEC_ERROR:
      case JXL_DEC_NEED_MORE_INPUT:
        return BADI;
      default:
        break;
    }
  }
}

uint32_t InfoJxl(const Source& source, InfoRecord& info) {
  Decoder d;
  if (!d.Start(source, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME | JXL_DEC_BOX,
               false))
    return IERR;
  JxlDecoder* dec = d.dec.get();
  JxlBasicInfo basic{};
  bool haveHeaders = false;  // the size and the colours: the whole image header
  ExifBox exif;
  uint32_t frames = 0;
  for (bool more = true; more;) {
    JxlDecoderStatus status = JxlDecoderProcessInput(dec);
    if (exif.Handle(dec, status)) continue;
    switch (status) {
      case JXL_DEC_ERROR:
      case JXL_DEC_NEED_MORE_INPUT:
        if (!haveHeaders) return BADI;
        more = false;  // damage in the frames: the headers are still worth showing
        break;
      case JXL_DEC_SUCCESS:
        more = false;
        break;
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(dec, &basic) != JXL_DEC_SUCCESS) return BADI;
        info.width = int32_t(std::min<uint32_t>(basic.xsize, INT32_MAX));
        info.height = int32_t(std::min<uint32_t>(basic.ysize, INT32_MAX));
        Layout l = LayoutFor(basic, false);
        info.pixelType = l.type;
        info.bitsPerPixel = glib::BitsPerPixel(l.type);
        // An XYB picture went through the lossy transform; others keep their colours.
        info.SetText(glib::kInfoCompression,
                     basic.uses_original_profile ? "original colours (lossless)" : "XYB (lossy)");
        break;
      }
      case JXL_DEC_COLOR_ENCODING:
        info.SetProfile(StoredProfile(dec));
        haveHeaders = true;
        break;
      case JXL_DEC_FRAME:
        if (++frames >= kMaxPages) more = false;
        break;
      default:
        break;
    }
  }
  info.SetType("JPEG XL");
  info.pageCount = std::max<uint32_t>(frames, 1);
  info.SetExif(exif.Bytes());
  return RCOK;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

// The encoder's distance for a quality of 1 to 100: 100 gives 0.1 (visually lossless
// at a glance, still lossy), 90 about 1, 30 about 6.4; below 30 the distance grows
// quickly up to the encoder's limit of 15.
float DistanceFor(uint32_t quality) {
  double q = std::clamp<double>(quality, 1, 100);
  double d = q >= 30 ? 0.1 + (100 - q) * 0.09 : 6.4 + std::pow(2.5, (30 - q) / 5.0) / 6.25;
  return float(std::min(d, 15.0));
}

// Interleaved RGB(A) or grey samples of one prepared page, rows without padding.
std::vector<uint8_t> EncoderRows(const SavePixels& pixels, size_t channels, size_t sampleBytes,
                                 bool swap) {
  size_t width = size_t(pixels.Width());
  size_t rowBytes = width * channels * sampleBytes;
  std::vector<uint8_t> out(rowBytes * size_t(pixels.Height()));
  for (int32_t y = 0; y < pixels.Height(); ++y) {
    uint8_t* o = out.data() + rowBytes * size_t(y);
    const uint8_t* in = pixels.Row(y);
    if (!swap)
      std::memcpy(o, in, rowBytes);
    else if (sampleBytes == 2)
      SwapRedBlue(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(o), width,
                  channels);
    else
      SwapRedBlue(in, o, width, channels);
  }
  return out;
}

}  // namespace

uint32_t SaveJxl(SaveJob& job) {
  const auto& params = *static_cast<const glib::JXLSave*>(job.params);
  std::vector<const glib::IDEPage*> pages = SavePages(job.request);
  uint32_t type = params.pixelType;
  bool grey = glib::ColourModel(type) == 1 || params.grayscale != 0;
  bool alpha = glib::HasAlpha(type);
  bool wide = glib::BitsPerSample(type) == 16;
  size_t channels = grey && !alpha ? 1 : alpha ? 4 : 3;
  size_t sampleBytes = wide ? 2 : 1;
  uint32_t target = channels == 1 ? (wide ? uint32_t(glib::kPixelGray16) : kGray8)
                    : alpha       ? (wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32)
                                  : (wide ? glib::kPixelRGB48 : glib::kPixelRGB24);

  JxlEncoderPtr enc = JxlEncoderMake(nullptr);
  JxlThreadParallelRunnerPtr runner = JxlThreadParallelRunnerMake(nullptr, ThreadCount());
  if (!enc || !runner) return OMEM;
  if (JxlEncoderSetParallelRunner(enc.get(), JxlThreadParallelRunner, runner.get()) !=
      JXL_ENC_SUCCESS)
    return IERR;

  bool lossless = params.lossless != 0;
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  int32_t width = pages.front()->bitmap.width, height = pages.front()->bitmap.height;
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  info.xsize = uint32_t(width);
  info.ysize = uint32_t(height);
  info.bits_per_sample = wide ? 16 : 8;
  info.num_color_channels = channels == 1 ? 1 : 3;
  info.num_extra_channels = alpha ? 1 : 0;
  info.alpha_bits = alpha ? info.bits_per_sample : 0;
  info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
  if (pages.size() > 1) {
    info.have_animation = JXL_TRUE;
    info.animation.tps_numerator = 1000;  // ticks of a millisecond
    info.animation.tps_denominator = 1;
    info.animation.num_loops = 0;
  }
  // The first page's EXIF goes into an "Exif" box, which needs the container.
  const gen::byte_array& metadata = pages.front()->slideMetadata;
  std::span<const uint8_t> exif = TiffExif(FindMetadata(metadata, kTagExif));
  if (exif.size() > kMaxExif || !params.keepExif) exif = {};
  if (!exif.empty() && (JxlEncoderUseContainer(enc.get(), JXL_TRUE) != JXL_ENC_SUCCESS ||
                        JxlEncoderUseBoxes(enc.get()) != JXL_ENC_SUCCESS))
    return IERR;
  if (JxlEncoderSetBasicInfo(enc.get(), &info) != JXL_ENC_SUCCESS) return IERR;
  // The page's colour profile when it still describes the pixels and fits the samples
  // written (RGB or grey), else sRGB.
  std::span<const uint8_t> icc = FindMetadata(metadata, kTagIcc);
  uint32_t space = ProfileSpace(icc);
  bool withProfile = icc.size() <= kMaxProfile && FindMetadata(metadata, kTagInSrgb).empty() &&
                     space == (channels == 1 ? glib::FourCC("GRAY") : glib::FourCC("RGB "));
  if (!withProfile ||
      JxlEncoderSetICCProfile(enc.get(), icc.data(), icc.size()) != JXL_ENC_SUCCESS) {
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, channels == 1 ? JXL_TRUE : JXL_FALSE);
    if (JxlEncoderSetColorEncoding(enc.get(), &colour) != JXL_ENC_SUCCESS) return IERR;
  }
  if (!exif.empty()) {
    // The box starts with the offset of the TIFF header from the end of that field.
    std::vector<uint8_t> box(4 + exif.size());
    std::memcpy(box.data() + 4, exif.data(), exif.size());
    if (JxlEncoderAddBox(enc.get(), "Exif", box.data(), box.size(), JXL_FALSE) != JXL_ENC_SUCCESS)
      return IERR;
  }

  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc.get(), nullptr);
  if (!settings) return OMEM;
  int64_t effort = std::clamp<int64_t>(params.effort, 1, 9);
  if (JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, effort) !=
      JXL_ENC_SUCCESS)
    return IERR;
  if (lossless) {
    if (JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS) return IERR;
  } else if (JxlEncoderSetFrameDistance(settings, DistanceFor(params.quality)) != JXL_ENC_SUCCESS) {
    return IERR;
  }

  JxlPixelFormat format{uint32_t(channels), wide ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8,
                        JXL_LITTLE_ENDIAN, 0};
  for (size_t i = 0; i < pages.size(); ++i) {
    const glib::IDEPage* page = pages[i];
    // Frames of other sizes would need placing on the canvas; not written.
    if (page->bitmap.width != width || page->bitmap.height != height) return UNSF;
    SavePixels pixels;
    rc = pixels.Prepare(page->bitmap, target, false, grey);
    if (rc != RCOK) return rc;
    std::vector<uint8_t> samples = EncoderRows(pixels, channels, sampleBytes, channels != 1);
    if (info.have_animation) {
      JxlFrameHeader header;
      JxlEncoderInitFrameHeader(&header);
      header.duration = page->delay;
      if (JxlEncoderSetFrameHeader(settings, &header) != JXL_ENC_SUCCESS) return IERR;
    }
    if (JxlEncoderAddImageFrame(settings, &format, samples.data(), samples.size()) !=
        JXL_ENC_SUCCESS)
      return IERR;
  }
  JxlEncoderCloseInput(enc.get());

  std::vector<uint8_t> chunk(size_t(1) << 16);
  for (;;) {
    uint8_t* next = chunk.data();
    size_t avail = chunk.size();
    JxlEncoderStatus status = JxlEncoderProcessOutput(enc.get(), &next, &avail);
    if (!job.sink.Write(chunk.data(), size_t(next - chunk.data()))) return WERR;
    if (status == JXL_ENC_SUCCESS) return RCOK;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) return IERR;
  }
}

}  // namespace vexlo
