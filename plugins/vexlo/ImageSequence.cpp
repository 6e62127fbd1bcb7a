#include "vexlo/ImageSequence.h"

#include <dav1d/dav1d.h>
#include <libde265/de265.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

#include "runtime/BitmapRows.h"
#include "runtime/ParallelRows.h"
#include "runtime/Premultiply.h"
#include "runtime/Rotate.h"
#include "vexlo/ColorManage.h"
#include "vexlo/HevcParams.h"
#include "vexlo/Yuv.h"

namespace vexlo {
namespace {

// One dav1d decoder over one track's samples, a picture out for every sample in.
class Av1Track {
 public:
  // `single`: one thread of its own (several decoders run side by side).
  Av1Track(std::span<const uint8_t> file, const ImageTrack& track, bool single = false)
      : file_(file), track_(track), single_(single) {}
  ~Av1Track() {
    dav1d_picture_unref(&picture_);
    if (context_) dav1d_close(&context_);
  }
  Av1Track(const Av1Track&) = delete;
  Av1Track& operator=(const Av1Track&) = delete;

  uint32_t Open() {
    Dav1dSettings settings;
    dav1d_default_settings(&settings);
    settings.n_threads = single_ ? 1 : 0;  // 0: as many as the machine has
    // A picture for each sample as soon as it is decoded.
    settings.max_frame_delay = 1;
    // The highest spatial layer only, as a still AVIF shows.
    settings.all_layers = 0;
    settings.frame_size_limit = unsigned(std::min<uint64_t>(PixelLimit(), UINT32_MAX));
    // A damaged stream is reported by the return codes, not on the host's console.
    settings.logger.callback = &Quiet;
    return dav1d_open(&context_, &settings) == 0 ? RCOK : OMEM;
  }

  // Decodes sample `index`, the frame `index` shows.
  uint32_t Next(size_t index) {
    dav1d_picture_unref(&picture_);
    const TrackSample& sample = track_.samples[index];
    Dav1dData data{};
    // The file's bytes outlive the decoder: nothing to free.
    if (dav1d_data_wrap(&data, file_.data() + sample.offset, sample.size, &NoFree, nullptr) != 0)
      return OMEM;
    for (;;) {
      int rc = dav1d_send_data(context_, &data);
      if (rc < 0 && rc != DAV1D_ERR(EAGAIN)) {
        dav1d_data_unref(&data);
        return rc == DAV1D_ERR(ENOMEM) ? OMEM : BADI;
      }
      rc = dav1d_get_picture(context_, &picture_);
      if (rc == 0) {
        // A temporal unit shows one frame; data left over would be a second one.
        dav1d_data_unref(&data);
        return RCOK;
      }
      if (rc != DAV1D_ERR(EAGAIN)) {
        dav1d_data_unref(&data);
        return rc == DAV1D_ERR(ENOMEM) ? OMEM : BADI;
      }
      if (data.sz == 0) return BADI;  // all of the sample taken, no frame shown
    }
  }
  // The frame's planes and its colour description (the sample entry's, else the
  // sequence header's).
  YuvPicture Picture() const {
    const Dav1dPicture& p = picture_;
    YuvPicture y;
    y.width = p.p.w;
    y.height = p.p.h;
    y.bits = p.p.bpc;
    y.mono = p.p.layout == DAV1D_PIXEL_LAYOUT_I400;
    y.shiftX = p.p.layout == DAV1D_PIXEL_LAYOUT_I420 || p.p.layout == DAV1D_PIXEL_LAYOUT_I422;
    y.shiftY = p.p.layout == DAV1D_PIXEL_LAYOUT_I420;
    for (int c = 0; c < 3; ++c) {
      y.planes[c] = static_cast<const uint8_t*>(p.data[c]);
      y.strides[c] = p.stride[c == 0 ? 0 : 1];
    }
    return y;
  }
  YuvMatrix Matrix() const {
    if (track_.hasNclx) return MatrixFor(track_.matrix, track_.primaries, track_.fullRange);
    const Dav1dSequenceHeader* header = picture_.seq_hdr;
    return MatrixFor(header->mtrx, header->pri, header->color_range != 0);
  }
  bool FullRange() const {
    return track_.hasNclx ? track_.fullRange : picture_.seq_hdr->color_range != 0;
  }

 private:
  static void NoFree(const uint8_t*, void*) {}
  static void Quiet(void*, const char*, va_list) {}

  std::span<const uint8_t> file_;
  const ImageTrack& track_;
  bool single_;
  Dav1dContext* context_ = nullptr;
  Dav1dPicture picture_{};
};

// One libde265 decoder over one track's samples. The decoder gives its pictures in
// display order, some samples after their own, so frames are pulled: each call
// pushes samples until the next picture comes out. Every sample passes the SPS
// check before the decoder sees it.
class HevcTrack {
 public:
  // The decoder has one worker thread whether or not it runs beside others.
  HevcTrack(std::span<const uint8_t> file, const ImageTrack& track, bool = false)
      : file_(file),
        track_(track),
        limits_{PixelLimit(), uint64_t(track.width) * uint64_t(track.height)} {}
  ~HevcTrack() {
    if (context_) {
      if (holding_) de265_release_next_picture(context_);
      de265_free_decoder(context_);
    }
  }
  HevcTrack(const HevcTrack&) = delete;
  HevcTrack& operator=(const HevcTrack&) = delete;

  uint32_t Open() {
    context_ = de265_new_decoder();
    if (!context_ || !de265_isOK(de265_start_worker_threads(context_, 1))) return OMEM;
    // The configuration: the length of the samples' NAL lengths and the parameter
    // sets, which go first.
    Reader in(track_.config);
    in.Skip(21);
    lengthSize_ = (in.U8() & 3) + 1;
    std::vector<uint8_t> sets;
    for (int arrays = in.U8(); arrays > 0 && !in.Failed(); --arrays) {
      in.U8();  // the type of the array's units
      for (int units = in.U16BE(); units > 0 && !in.Failed(); --units) {
        uint16_t size = in.U16BE();
        const uint8_t* unit = in.Take(size);
        if (unit) Frame(unit, size, sets);
      }
    }
    if (in.Failed() || lengthSize_ == 3) return BADI;
    return PushUnits(sets);
  }

  // Makes the next picture in display order current; false in `more` when the
  // stream has no more.
  uint32_t Next(size_t) {
    if (holding_) de265_release_next_picture(context_);
    holding_ = false;
    // Each round decodes, pushes a sample or flushes; the stream is finite, but a
    // bound keeps a decoder fault from spinning.
    for (int rounds = 0; rounds < (1 << 24); ++rounds) {
      if ((picture_ = de265_peek_next_picture(context_))) {
        holding_ = true;
        return RCOK;
      }
      int more = 0;
      de265_error rc = de265_decode(context_, &more);
      if (rc != DE265_ERROR_WAITING_FOR_INPUT_DATA && !de265_isOK(rc)) return BADI;
      if (more && rc != DE265_ERROR_WAITING_FOR_INPUT_DATA) continue;
      if (next_ < track_.samples.size()) {
        uint32_t pushed = PushSample(track_.samples[next_++]);
        if (pushed != RCOK) return pushed;
      } else if (!flushed_) {
        if (!de265_isOK(de265_flush_data(context_))) return BADI;
        flushed_ = true;
      } else if (!more) {
        return BADI;  // no picture left for this frame
      }
    }
    return BADI;
  }

  YuvPicture Picture() const {
    YuvPicture y;
    de265_chroma format = de265_get_chroma_format(picture_);
    y.width = de265_get_image_width(picture_, 0);
    y.height = de265_get_image_height(picture_, 0);
    y.bits = de265_get_bits_per_pixel(picture_, 0);
    y.mono = format == de265_chroma_mono;
    y.shiftX = format == de265_chroma_420 || format == de265_chroma_422;
    y.shiftY = format == de265_chroma_420;
    for (int c = 0; c < (y.mono ? 1 : 3); ++c) {
      int stride = 0;
      y.planes[c] = de265_get_image_plane(picture_, c, &stride);
      y.strides[c] = stride;
      // Chroma planes of the depth of luma, and as large as the layout says.
      if (!y.planes[c] || de265_get_bits_per_pixel(picture_, c) != y.bits ||
          de265_get_image_width(picture_, c) < (y.width + y.shiftX * (c > 0)) >>
              (y.shiftX * (c > 0)) ||
          de265_get_image_height(picture_, c) < (y.height + y.shiftY * (c > 0)) >>
              (y.shiftY * (c > 0)))
        return {};
    }
    return y;
  }
  // The sample entry's colour description, else what HEIF readers assume.
  YuvMatrix Matrix() const {
    if (track_.hasNclx) return MatrixFor(track_.matrix, track_.primaries, track_.fullRange);
    return MatrixFor(6, 1, true);
  }
  bool FullRange() const { return !track_.hasNclx || track_.fullRange; }

 private:
  // A unit with a 4-byte length in front, as the SPS check reads them.
  static void Frame(const uint8_t* unit, size_t size, std::vector<uint8_t>& out) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(size >> shift));
    out.insert(out.end(), unit, unit + size);
  }

  uint32_t PushSample(const TrackSample& sample) {
    Reader in(file_.subspan(size_t(sample.offset), sample.size));
    std::vector<uint8_t> units;
    units.reserve(sample.size + 16);
    while (in.Left() > 0) {
      uint32_t size = 0;
      for (int i = 0; i < lengthSize_; ++i) size = size << 8 | in.U8();
      const uint8_t* unit = in.Take(size);
      if (!unit) return BADI;
      Frame(unit, size, units);
    }
    return PushUnits(units);
  }

  // Checks the units, then hands them to the decoder. Each sample is one picture, so
  // each gets a check of its own.
  uint32_t PushUnits(std::span<const uint8_t> units) {
    HevcStreamCheck check(limits_);
    uint32_t rc = check.Push(units);
    if (rc != RCOK) return rc;
    std::span<const uint8_t> unit;
    while (NextHevcNal(units, unit))
      if (!de265_isOK(de265_push_NAL(context_, unit.data(), int(unit.size()), 0, nullptr)))
        return OMEM;
    return RCOK;
  }

  std::span<const uint8_t> file_;
  const ImageTrack& track_;
  HevcLimits limits_;
  de265_decoder_context* context_ = nullptr;
  const de265_image* picture_ = nullptr;
  bool holding_ = false, flushed_ = false;
  size_t next_ = 0;
  int lengthSize_ = 4;
};

uint32_t DelayOf(const ImageTrack& track, const TrackSample& sample) {
  if (track.timescale == 0) return 0;
  double ms = double(sample.duration) * 1000.0 / track.timescale;
  return uint32_t(std::min(ms, 4294967295.0) + 0.5);
}

// A decoded picture (its first yuv.width x yuv.height pixels) into the page's rows
// from (x0, y0) on, 8 or 16 bits a sample, with alpha when the page has it.
void ConvertPicture(const YuvPicture& yuv, const YuvMatrix& matrix, bool wide,
                    glib::CoreBitmap& page, int x0, int y0) {
  size_t n = glib::HasAlpha(page.pixelType) ? 4 : 3;
  size_t skip = size_t(x0) * n * (wide ? 2 : 1);
  if (!wide && FixedConverts(yuv, matrix)) {
    YuvFixed fixed = FixedFor(matrix);
    for (int y = 0; y < yuv.height; ++y)
      YuvRowToBgr8(yuv, fixed, y, PixelRow(page, y0 + y) + skip, n);
  } else {
    for (int y = 0; y < yuv.height; ++y)
      YuvRowToBgr(yuv, matrix, y, PixelRow(page, y0 + y) + skip, n, wide);
  }
}

// Left and right (or top and bottom) of a page exchanged in place.
// False when memory for a row is short.
bool Mirror(glib::CoreBitmap& page, bool leftRight) {
  uint32_t bits = glib::BitsPerPixel(page.pixelType);
  uint64_t used = uint64_t(page.width) * bits / 8;  // pages hold whole-byte pixels
  if (!leftRight) {
    for (int32_t y = 0; y < page.height / 2; ++y)
      glib::SwapRows(PixelRow(page, y), PixelRow(page, page.height - 1 - y), used);
    return true;
  }
  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[size_t(used)]);
  if (!row) return false;
  for (int32_t y = 0; y < page.height; ++y) {
    std::memcpy(row.get(), PixelRow(page, y), size_t(used));
    glib::ReverseRow(row.get(), PixelRow(page, y), page.width, bits);
  }
  return true;
}

// A decoded still turned and mirrored as its properties say, in their order; a turn
// takes a new page.
uint32_t Transform(LoadJob& job, PagePtr& page, std::span<const StillTransform> transforms) {
  for (const StillTransform& t : transforms) {
    if (t.kind == StillTransform::kMirror) {
      if (!Mirror(page->bitmap, t.value != 0)) return OMEM;
      continue;
    }
    if (t.value % 4 == 0) continue;
    bool across = t.value % 2 != 0;
    const glib::CoreBitmap& from = page->bitmap;
    PagePtr turned;
    uint32_t rc = NewPage(job.request, across ? from.height : from.width,
                          across ? from.width : from.height, from.pixelType, turned);
    if (rc != RCOK) return rc;
    // The rows are those of the new page, which the turn writes in place.
    rc = glib::Rotate(false).Execute(from, turned->bitmap, 90.0 * (4 - t.value % 4), 0);
    if (rc != RCOK) return rc;
    page = std::move(turned);
  }
  return RCOK;
}

// The current picture of `pictures` (and of `planes`, the alpha, when given) as a new
// page of the request.
template <class Decoder>
uint32_t AddFrame(LoadJob& job, const ImageTrack& colour, const Decoder& pictures,
                  const Decoder* planes, uint32_t delay, std::span<const uint8_t> exif,
                  std::span<const uint8_t> icc, std::span<const StillTransform> transforms = {}) {
  YuvPicture yuv = pictures.Picture();
  if (yuv.width != int(colour.width) || yuv.height != int(colour.height)) return BADI;
  bool withAlpha = planes != nullptr;
  if (withAlpha) {
    YuvPicture a = planes->Picture();
    if (a.width != yuv.width || a.height != yuv.height) return BADI;
    yuv.alpha = a.planes[0];
    yuv.alphaStride = a.strides[0];
    yuv.alphaBits = a.bits;
    yuv.alphaFullRange = planes->FullRange();
  }
  bool wide = yuv.bits > 8 && !job.options.reduceTo8Bits;
  PagePtr page;
  uint32_t rc = NewPage(job.request, yuv.width, yuv.height, YuvPageType(withAlpha, wide), page);
  if (rc != RCOK) return rc;
  ConvertPicture(yuv, pictures.Matrix(), wide, page->bitmap, 0, 0);
  if (withAlpha && colour.premultiplied)
    for (int y = 0; y < yuv.height; ++y)
      wide ? glib::Unpremultiply<uint16_t>(PixelRow(page->bitmap, y), yuv.width)
           : glib::Unpremultiply<uint8_t>(PixelRow(page->bitmap, y), yuv.width);
  rc = Transform(job, page, transforms);
  if (rc != RCOK) return rc;
  page->delay = delay;
  if (!colour.icc.empty()) icc = colour.icc;
  return AddRgbPage(job.request, std::move(page), job.options, exif, icc);
}

// The frames of `colour` as pages, the alpha planes of `alpha` (when it has a frame
// for every one) beside them.
template <class Decoder>
uint32_t LoadTrack(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                   std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  std::span<const uint8_t> file = job.source.Bytes();
  uint32_t rc = CheckSize(colour.width, colour.height);
  if (rc != RCOK) return rc;
  Decoder pictures(file, colour);
  rc = pictures.Open();
  if (rc != RCOK) return rc;
  std::unique_ptr<Decoder> planes;
  if (alpha && alpha->samples.size() >= colour.samples.size()) {
    planes = std::make_unique<Decoder>(file, *alpha);
    if (planes->Open() != RCOK) planes.reset();
  }
  size_t count = std::min<size_t>(colour.samples.size(), kMaxPages);
  // Frames after damage are lost; the ones before it stay.
  auto damaged = [&](uint32_t code) {
    return code == BADI && !job.request->pages.empty() ? RCOK : code;
  };
  for (size_t index = 0; index < count; ++index) {
    if (job.options.PastRange(index)) break;
    // Later frames are predicted from earlier ones: every frame up to the last one
    // wanted is decoded.
    rc = pictures.Next(index);
    if (rc != RCOK) return damaged(rc);
    // A damaged alpha track leaves the rest of the frames opaque.
    if (planes && planes->Next(index) != RCOK) planes.reset();
    if (!job.options.Wants(index)) continue;
    rc = AddFrame(job, colour, pictures, planes.get(), DelayOf(colour, colour.samples[index]), exif,
                  icc);
    if (rc != RCOK) return damaged(rc);
    if (!Progress(job.request, int32_t(index + 1), int32_t(count))) return glib::USRA;
  }
  return job.request->pages.empty() ? BADA : RCOK;
}

// A still picture (a track of one sample) and its alpha as one page; here a damaged
// alpha is an error, as it is to a general reader.
template <class Decoder>
uint32_t LoadOne(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                 std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  std::span<const uint8_t> file = job.source.Bytes();
  uint32_t rc = CheckSize(colour.width, colour.height);
  if (rc != RCOK || colour.samples.size() != 1) return rc != RCOK ? rc : BADI;
  Decoder pictures(file, colour);
  rc = pictures.Open();
  if (rc == RCOK) rc = pictures.Next(0);
  if (rc != RCOK) return rc;
  if (!alpha)
    return AddFrame<Decoder>(job, colour, pictures, nullptr, 0, exif, icc, colour.transforms);
  if (alpha->samples.size() != 1) return BADI;
  Decoder planes(file, *alpha);
  rc = planes.Open();
  if (rc == RCOK) rc = planes.Next(0);
  return rc == RCOK ? AddFrame(job, colour, pictures, &planes, 0, exif, icc) : rc;
}

// The tiles of a grid decoded on up to four threads, each with a decoder of its own
// that takes every so-many-th tile as a sample of its track, and converted straight
// into their places on one page. Nothing is added to the request when a tile fails.
template <class Decoder>
uint32_t LoadTiles(LoadJob& job, const StillGrid& grid, std::span<const uint8_t> exif,
                   std::span<const uint8_t> icc) {
  std::span<const uint8_t> file = job.source.Bytes();
  const ImageTrack& first = grid.tiles.front();
  uint32_t rc = CheckSize(grid.width, grid.height);
  if (rc != RCOK) return rc;
  rc = CheckSize(first.width, first.height);
  if (rc != RCOK) return rc;
  bool wide = SequenceBits(first) > 8 && !job.options.reduceTo8Bits;
  PagePtr page;
  rc = NewPage(job.request, int32_t(grid.width), int32_t(grid.height), YuvPageType(false, wide),
               page);
  if (rc != RCOK) return rc;
  size_t count = grid.tiles.size();
  size_t workers = std::min<size_t>({size_t(glib::RuntimeThreads()), 4, count});
  std::atomic<uint32_t> failure{RCOK};
  auto decode = [&](size_t worker) {
    // The tiles share the configuration and colours; the grid's colours stand in for
    // ones the tiles do not give.
    ImageTrack track = first;
    if (!track.hasNclx && grid.colours.hasNclx) {
      track.hasNclx = true;
      track.primaries = grid.colours.primaries;
      track.transfer = grid.colours.transfer;
      track.matrix = grid.colours.matrix;
      track.fullRange = grid.colours.fullRange;
    }
    track.samples.clear();
    for (size_t t = worker; t < count; t += workers)
      track.samples.push_back(grid.tiles[t].samples[0]);
    Decoder decoder(file, track, workers > 1);
    uint32_t code = decoder.Open();
    for (size_t i = 0; code == RCOK && i < track.samples.size() && failure == RCOK; ++i) {
      code = decoder.Next(i);
      if (code != RCOK) break;
      YuvPicture yuv = decoder.Picture();
      if (yuv.width != int(first.width) || yuv.height != int(first.height)) {
        code = BADI;
        break;
      }
      size_t t = worker + i * workers;
      uint32_t x0 = uint32_t(t % grid.columns) * first.width;
      uint32_t y0 = uint32_t(t / grid.columns) * first.height;
      // The last column and row reach past the picture's edges.
      yuv.width = int(std::min(first.width, grid.width - x0));
      yuv.height = int(std::min(first.height, grid.height - y0));
      ConvertPicture(yuv, decoder.Matrix(), wide, page->bitmap, int(x0), int(y0));
    }
    return code;
  };
  // Nothing may leave a thread: a failure is kept for the caller.
  auto work = [&](int32_t from, int32_t to, int) {
    for (int32_t worker = from; worker < to; ++worker) {
      uint32_t code = OMEM;
      try {
        code = decode(size_t(worker));
      } catch (...) {
      }
      uint32_t none = RCOK;
      if (code != RCOK) failure.compare_exchange_strong(none, code);
    }
  };
  glib::RunRowChunks(int32_t(workers), 1, int(workers), nullptr, work);
  if (failure != RCOK) return failure;
  rc = Transform(job, page, grid.transforms);
  if (rc != RCOK) return rc;
  return AddRgbPage(job.request, std::move(page), job.options, exif,
                    first.icc.empty() ? icc : first.icc);
}

}  // namespace

uint32_t YuvPageType(bool alpha, bool wide) {
  if (wide) return alpha ? glib::kPixelRGBA64 : glib::kPixelRGB48;
  return alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24;
}

int SequenceBits(const ImageTrack& track) {
  std::span<const uint8_t> config = track.config;
  if (track.codec == FourCc("av01") && config.size() >= 3) {
    bool high = (config[2] & 0x40) != 0, twelve = (config[2] & 0x20) != 0;
    return high ? (twelve ? 12 : 10) : 8;
  }
  if (track.codec != FourCc("av01") && config.size() >= 18) return (config[17] & 7) + 8;
  return 8;
}

uint32_t LoadSequence(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                      std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  if (colour.codec == FourCc("av01")) return LoadTrack<Av1Track>(job, colour, alpha, exif, icc);
  if (colour.codec == FourCc("hvc1") || colour.codec == FourCc("hev1"))
    return LoadTrack<HevcTrack>(job, colour, alpha, exif, icc);
  return glib::UNSF;
}

uint32_t LoadGrid(LoadJob& job, const StillGrid& grid, std::span<const uint8_t> exif,
                  std::span<const uint8_t> icc) {
  if (grid.tiles.empty()) return BADI;
  if (grid.tiles[0].codec == FourCc("av01")) return LoadTiles<Av1Track>(job, grid, exif, icc);
  if (grid.tiles[0].codec == FourCc("hvc1")) return LoadTiles<HevcTrack>(job, grid, exif, icc);
  return glib::UNSF;
}

uint32_t LoadStill(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                   std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  if (colour.codec == FourCc("av01")) return LoadOne<Av1Track>(job, colour, alpha, exif, icc);
  if (colour.codec == FourCc("hvc1")) return LoadOne<HevcTrack>(job, colour, alpha, exif, icc);
  return glib::UNSF;
}

}  // namespace vexlo
