// WebP through libwebp: lossy, lossless, alpha and animation. Animated files give
// one full-canvas page per frame (libwebp composes them) with its display time.
#include <webp/decode.h>
#include <webp/demux.h>

#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"

namespace vexlo {
namespace {

struct DemuxCloser {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimCloser {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

std::span<const uint8_t> Chunk(WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator it;
  if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return {};
  std::span<const uint8_t> bytes(it.chunk.bytes, it.chunk.size);
  WebPDemuxReleaseChunkIterator(&it);
  return bytes;
}

}  // namespace

uint32_t LoadWebp(LoadJob& job) {
  WebPData data{job.source.Data(), job.source.Size()};
  std::unique_ptr<WebPDemuxer, DemuxCloser> demux(WebPDemux(&data));
  if (!demux) return BADI;
  uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  std::span<const uint8_t> icc = Chunk(demux.get(), "ICCP");
  std::span<const uint8_t> exif = TiffExif(Chunk(demux.get(), "EXIF"));
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return IERR;
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, AnimCloser> decoder(WebPAnimDecoderNew(&data, &options));
  if (!decoder) return BADI;
  int previous = 0;
  for (uint32_t frame = 0; frame < kMaxPages && WebPAnimDecoderHasMoreFrames(decoder.get());
       ++frame) {
    uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp)) {
      return job.request->pages.empty() ? BADI : RCOK;  // frames after damage are lost
    }
    if (job.options.Wants(frame)) {
      PagePtr page;
      rc = NewPage(job.request, int32_t(width), int32_t(height), glib::kPixelRGBA32, page);
      if (rc != RCOK) return rc;
      for (uint32_t y = 0; y < height; ++y)
        std::memcpy(PixelRow(page->bitmap, int32_t(y)), pixels + size_t(y) * width * 4,
                    size_t(width) * 4);
      page->delay = uint32_t(std::max(timestamp - previous, 0));
      rc = AddRgbPage(job.request, std::move(page), job.options, exif, icc);
      if (rc != RCOK) return rc;
    }
    previous = timestamp;
    if (job.options.PastRange(frame + 1)) break;
    if (!Progress(job.request, int32_t(frame + 1), 0)) return USRA;
  }
  return job.request->pages.empty() ? glib::BADA : RCOK;
}

uint32_t InfoWebp(const Source& source, InfoRecord& info) {
  WebPData data{source.Data(), source.Size()};
  std::unique_ptr<WebPDemuxer, DemuxCloser> demux(WebPDemux(&data));
  if (!demux) return BADI;
  WebPBitstreamFeatures features;
  info.SetType("WebP");
  info.width = int32_t(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
  info.height = int32_t(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
  info.pageCount = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
  bool alpha = (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ALPHA_FLAG) != 0;
  WebPIterator it;
  if (WebPDemuxGetFrame(demux.get(), 1, &it)) {
    if (WebPGetFeatures(it.fragment.bytes, it.fragment.size, &features) == VP8_STATUS_OK) {
      alpha |= features.has_alpha != 0;
      // The general compression codes have no name for WebP's own codecs.
      info.SetText(glib::kInfoCompression,
                   features.format == 2 ? "VP8L (lossless)" : "VP8 (lossy)");
    }
    WebPDemuxReleaseIterator(&it);
  }
  info.bitsPerPixel = alpha ? 32 : 24;
  info.pixelType = alpha ? glib::kPixelRGBA32 : glib::kPixelRGB24;
  info.SetProfile(Chunk(demux.get(), "ICCP"));
  info.SetExif(TiffExif(Chunk(demux.get(), "EXIF")));
  return RCOK;
}

}  // namespace vexlo
