#include "vexlo/AvifSequence.h"

#include <dav1d/dav1d.h>

#include <algorithm>
#include <cstdarg>

#include "vexlo/ColorManage.h"
#include "vexlo/Yuv.h"

namespace vexlo {
namespace {

// One dav1d decoder over one track's samples, a picture out for every sample in.
class Av1Track {
 public:
  Av1Track(std::span<const uint8_t> file, const ImageTrack& track) : file_(file), track_(track) {}
  ~Av1Track() {
    dav1d_picture_unref(&picture_);
    if (context_) dav1d_close(&context_);
  }
  Av1Track(const Av1Track&) = delete;
  Av1Track& operator=(const Av1Track&) = delete;

  uint32_t Open() {
    Dav1dSettings settings;
    dav1d_default_settings(&settings);
    settings.n_threads = 0;  // as many as the machine has
    // A picture for each sample as soon as it is decoded.
    settings.max_frame_delay = 1;
    // The highest spatial layer only, as a still AVIF shows.
    settings.all_layers = 0;
    settings.frame_size_limit = unsigned(std::min<uint64_t>(PixelLimit(), UINT32_MAX));
    // A damaged stream is reported by the return codes, not on the host's console.
    settings.logger.callback = &Quiet;
    return dav1d_open(&context_, &settings) == 0 ? RCOK : OMEM;
  }

  // Decodes sample `index`; its picture is Picture() until the next call.
  uint32_t Decode(size_t index) {
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
  const Dav1dPicture& Picture() const { return picture_; }

 private:
  static void NoFree(const uint8_t*, void*) {}
  static void Quiet(void*, const char*, va_list) {}

  std::span<const uint8_t> file_;
  const ImageTrack& track_;
  Dav1dContext* context_ = nullptr;
  Dav1dPicture picture_{};
};

YuvPicture YuvOf(const Dav1dPicture& p) {
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

// The sample entry's colour description, else the sequence header's.
YuvMatrix MatrixOf(const ImageTrack& track, const Dav1dPicture& p) {
  if (track.hasNclx) return MatrixFor(track.matrix, track.primaries, track.fullRange);
  return MatrixFor(p.seq_hdr->mtrx, p.seq_hdr->pri, p.seq_hdr->color_range != 0);
}

uint32_t DelayOf(const ImageTrack& track, const TrackSample& sample) {
  if (track.timescale == 0) return 0;
  double ms = double(sample.duration) * 1000.0 / track.timescale;
  return uint32_t(std::min(ms, 4294967295.0) + 0.5);
}

uint32_t PageType(bool alpha, bool wide) {
  if (wide) return alpha ? glib::kPixelRGBA64 : glib::kPixelRGB48;
  return alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24;
}

}  // namespace

uint32_t LoadAv1Track(LoadJob& job, const ImageTrack& colour, const ImageTrack* alpha,
                      std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  std::span<const uint8_t> file = job.source.Bytes();
  if (!colour.icc.empty()) icc = colour.icc;
  uint32_t rc = CheckSize(colour.width, colour.height);
  if (rc != RCOK) return rc;
  Av1Track pictures(file, colour);
  rc = pictures.Open();
  if (rc != RCOK) return rc;
  std::unique_ptr<Av1Track> planes;
  if (alpha && alpha->samples.size() >= colour.samples.size()) {
    planes = std::make_unique<Av1Track>(file, *alpha);
    if (planes->Open() != RCOK) planes.reset();
  }
  size_t count = std::min<size_t>(colour.samples.size(), kMaxPages);
  // Frames after damage are lost; the ones before it stay.
  auto damaged = [&](uint32_t code) {
    return code == BADI && !job.request->pages.empty() ? RCOK : code;
  };
  for (size_t index = 0; index < count; ++index) {
    if (job.options.PastRange(index)) break;
    rc = pictures.Decode(index);
    if (rc != RCOK) return damaged(rc);
    // A damaged alpha track leaves the rest of the frames opaque.
    if (planes && planes->Decode(index) != RCOK) planes.reset();
    if (!job.options.Wants(index)) continue;

    const Dav1dPicture& p = pictures.Picture();
    YuvPicture yuv = YuvOf(p);
    if (yuv.width != int(colour.width) || yuv.height != int(colour.height)) return damaged(BADI);
    bool withAlpha = planes != nullptr;
    if (withAlpha) {
      const Dav1dPicture& a = planes->Picture();
      if (a.p.w != p.p.w || a.p.h != p.p.h) return damaged(BADI);
      yuv.alpha = static_cast<const uint8_t*>(a.data[0]);
      yuv.alphaStride = a.stride[0];
      yuv.alphaBits = a.p.bpc;
      yuv.alphaFullRange = a.seq_hdr->color_range != 0;
    }
    bool wide = yuv.bits > 8 && !job.options.reduceTo8Bits;
    PagePtr page;
    rc = NewPage(job.request, yuv.width, yuv.height, PageType(withAlpha, wide), page);
    if (rc != RCOK) return rc;
    YuvMatrix matrix = MatrixOf(colour, p);
    size_t n = withAlpha ? 4 : 3;
    for (int y = 0; y < yuv.height; ++y)
      YuvRowToBgr(yuv, matrix, y, PixelRow(page->bitmap, y), n, wide);
    page->delay = DelayOf(colour, colour.samples[index]);
    if (!icc.empty() && job.options.UseProfile(true)) {
      rc = ApplyProfile(job.request, *page, icc);
      if (rc != RCOK) return rc;
    }
    AppendMetadata(page->slideMetadata, kTagExif, exif);
    AppendMetadata(page->slideMetadata, kTagIcc, icc);
    rc = AddPage(job.request, std::move(page), job.options);
    if (rc != RCOK) return rc;
    if (!Progress(job.request, int32_t(index + 1), int32_t(count))) return glib::USRA;
  }
  return job.request->pages.empty() ? BADA : RCOK;
}

}  // namespace vexlo
