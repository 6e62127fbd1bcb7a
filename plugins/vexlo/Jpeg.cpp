// JPEG through libjpeg-turbo: baseline, progressive, greyscale, CMYK and YCCK
// (Adobe's inverted CMYK included); the EXIF (APP1), IPTC (APP13 resource 0x0404)
// and ICC (APP2) blocks; thumbnails from the EXIF thumbnail or by DCT scaling.
//
// libjpeg reports errors with longjmp. The functions that call setjmp hold plain
// data only, so nothing with a destructor is skipped when it jumps.
#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/Jpeg.h"

namespace vexlo {

// ---------------------------------------------------------------------------
// Markers

uint32_t ScanJpegMarkers(std::span<const uint8_t> bytes, JpegMarkers& m) {
  Reader in(bytes);
  if (in.U8() != 0xFF || in.U8() != 0xD8) return BADI;
  std::vector<std::pair<int, std::vector<uint8_t>>> iccChunks;
  for (int segments = 0; segments < 100000 && !in.Failed(); ++segments) {
    // Fill bytes may precede a marker.
    uint8_t byte = in.U8();
    if (byte != 0xFF) return m.frameMarker ? RCOK : BADI;
    uint8_t marker = in.U8();
    while (marker == 0xFF && !in.Failed()) marker = in.U8();
    if (in.Failed()) break;
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    if (marker == 0xD9) break;
    uint16_t length = in.U16BE();
    if (length < 2) return m.frameMarker ? RCOK : BADI;
    const uint8_t* body = in.Take(length - 2u);
    if (!body) break;
    Reader seg(body, length - 2u);
    bool sof =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof && !m.frameMarker) {
      m.frameMarker = marker;
      m.precision = seg.U8();
      m.height = seg.U16BE();
      m.width = seg.U16BE();
      m.components = seg.U8();
      for (uint32_t i = 0; i < m.components && i < 4; ++i) {
        m.componentIds[i] = seg.U8();
        m.sampling[i] = seg.U8();
        seg.Skip(1);
      }
    } else if (marker == 0xDD) {
      m.restartInterval = seg.U16BE();
    } else if (marker == 0xFE && m.comment.empty()) {
      m.comment.assign(reinterpret_cast<const char*>(body), length - 2u);
    } else if (marker == 0xE0 && length >= 16 && std::memcmp(body, "JFIF\0", 5) == 0) {
      m.densityUnits = body[7];
      m.densityX = uint16_t(body[8] << 8 | body[9]);
      m.densityY = uint16_t(body[10] << 8 | body[11]);
    } else if (marker == 0xE1 && length >= 8 && std::memcmp(body, "Exif\0", 5) == 0 &&
               m.exif.empty()) {
      m.exif.assign(body + 6, body + length - 2);
    } else if (marker == 0xE2 && length >= 16 && std::memcmp(body, "ICC_PROFILE\0", 12) == 0) {
      iccChunks.emplace_back(body[12], std::vector<uint8_t>(body + 14, body + length - 2));
    } else if (marker == 0xED && length >= 16 && std::memcmp(body, "Photoshop 3.0\0", 14) == 0 &&
               m.iptc.empty()) {
      m.iptc = IptcFromPhotoshop({body + 14, length - 16u});
    } else if (marker == 0xEE && length >= 14 && std::memcmp(body, "Adobe", 5) == 0) {
      m.adobe = true;
      m.adobeTransform = body[11];
    } else if (marker == 0xDA) {
      m.scanComponents = seg.U8();
      seg.Skip(m.scanComponents * 2u);
      m.scanStart = seg.U8();
      seg.Skip(1);
      m.pointTransform = seg.U8() & 0x0F;
      break;  // entropy-coded data follows
    }
  }
  if (!m.frameMarker) return BADI;
  std::sort(iccChunks.begin(), iccChunks.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& chunk : iccChunks) m.icc.insert(m.icc.end(), chunk.second.begin(), chunk.second.end());
  return RCOK;
}

std::vector<uint8_t> IptcFromPhotoshop(std::span<const uint8_t> resources) {
  Reader in(resources);
  while (in.Left() >= 12) {
    if (in.U32BE() != glib::FourCC("8BIM")) break;
    uint16_t id = in.U16BE();
    uint8_t nameLength = in.U8();
    in.Skip(nameLength + ((nameLength + 1) % 2));  // the name is padded to even length
    uint32_t size = in.U32BE();
    const uint8_t* data = in.Take(size);
    if (!data) break;
    if (size % 2) in.Skip(1);
    if (id == 0x0404) return {data, data + size};
  }
  return {};
}

uint32_t JpegColorSpace(const JpegMarkers& m) {
  if (m.components == 1) return 1;
  if (m.components == 3) {
    if (m.adobe) return m.adobeTransform == 0 ? 3 : 6;
    if (m.componentIds[0] == 'R' && m.componentIds[1] == 'G' && m.componentIds[2] == 'B') return 3;
    return 6;
  }
  if (m.components == 4) return m.adobe && m.adobeTransform == 2 ? 7 : 5;
  return 0;
}

namespace {

// The JPEG stream of the EXIF thumbnail (IFD1), or an empty span.
std::span<const uint8_t> ExifThumbnail(std::span<const uint8_t> exif) {
  Reader in(exif);
  uint16_t order = in.U16BE();
  bool le = order == 0x4949;
  if (!le && order != 0x4D4D) return {};
  auto u16 = [&](Reader& r) { return le ? r.U16LE() : r.U16BE(); };
  auto u32 = [&](Reader& r) { return le ? r.U32LE() : r.U32BE(); };
  u16(in);
  uint32_t ifd0 = u32(in);
  if (!in.Seek(ifd0)) return {};
  uint16_t count = u16(in);
  if (!in.Skip(uint64_t(count) * 12)) return {};
  uint32_t ifd1 = u32(in);
  if (ifd1 == 0 || ifd1 == ifd0 || !in.Seek(ifd1)) return {};
  count = u16(in);
  uint32_t offset = 0, length = 0;
  for (uint32_t i = 0; i < count && !in.Failed(); ++i) {
    uint16_t tag = u16(in);
    in.Skip(6);
    uint32_t value = u32(in);
    if (tag == 0x0201) offset = value;
    if (tag == 0x0202) length = value;
  }
  if (in.Failed() || offset == 0 || length == 0 || offset > exif.size() ||
      length > exif.size() - offset)
    return {};
  return exif.subspan(offset, length);
}

// ---------------------------------------------------------------------------
// Decoding

struct ErrorManager {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void Quiet(j_common_ptr, int) {}

// The error manager for a coder: errors jump back to the caller's setjmp, warnings
// are dropped.
jpeg_error_mgr* QuietErrors(ErrorManager& err) {
  jpeg_error_mgr* mgr = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = &ErrorExit;
  err.mgr.emit_message = &Quiet;
  return mgr;
}

// Asks the progress callback at every 512th row; true, with USRA kept in the state,
// when the user stops.
template <class State>
bool UserStops(State* s, int32_t y, int32_t height) {
  if ((y & 511) != 0 || Progress(s->request, y + 1, height)) return false;
  s->rc = USRA;
  return true;
}

// Stops progressive files with absurd scan counts, which cost time without end.
struct ScanLimit {
  jpeg_progress_mgr mgr;
  static void Check(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 500) {
      d->err->error_exit(cinfo);
    }
  }
};

// Everything the decoder touches between setjmp and the end: plain data only.
struct DecodeState {
  const uint8_t* data;
  size_t size;
  uint32_t scaleDenom;  // 1, 2, 4 or 8
  // Filled after the header: the page to decode into (allocated by `prepare`).
  uint32_t (*prepare)(DecodeState* state);
  void* context;
  int32_t outWidth, outHeight;
  J_COLOR_SPACE sourceSpace;
  int components;
  uint8_t* (*row)(DecodeState* state, int32_t y);  // where row y goes
  uint8_t* cmykRow;                                // scratch row for CMYK/YCCK
  void (*cmyk)(DecodeState* state, int32_t y);     // converts the scratch row
  const glib::ImageDataExchange* request;
  uint32_t rc;
};

uint32_t RunDecoder(DecodeState* s) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  ScanLimit limit;
  cinfo.err = QuietErrors(err);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return s->rc != RCOK ? s->rc : BADI;
  }
  jpeg_create_decompress(&cinfo);
  limit.mgr.progress_monitor = &ScanLimit::Check;
  cinfo.progress = &limit.mgr;
  jpeg_mem_src(&cinfo, s->data, static_cast<unsigned long>(s->size));
  jpeg_read_header(&cinfo, TRUE);
  s->sourceSpace = cinfo.jpeg_color_space;
  if (cinfo.data_precision != 8 || cinfo.num_components > 4) {
    jpeg_destroy_decompress(&cinfo);
    return UNSF;
  }
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = s->scaleDenom;
  jpeg_calc_output_dimensions(&cinfo);
  s->outWidth = int32_t(cinfo.output_width);
  s->outHeight = int32_t(cinfo.output_height);
  s->components = cinfo.out_color_components;
  s->rc = s->prepare(s);
  if (s->rc != RCOK) {
    jpeg_destroy_decompress(&cinfo);
    return s->rc;
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    int32_t y = int32_t(cinfo.output_scanline);
    JSAMPROW target = s->cmykRow ? s->cmykRow : s->row(s, y);
    jpeg_read_scanlines(&cinfo, &target, 1);
    if (s->cmykRow) s->cmyk(s, y);
    if (UserStops(s, y, s->outHeight)) {
      jpeg_destroy_decompress(&cinfo);
      return USRA;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return RCOK;
}

struct PageTarget {
  LoadJob* job;
  const JpegMarkers* markers;
  PagePtr page;
  std::vector<uint8_t> cmyk;
  std::unique_ptr<ProfileTransform> transform;
  bool inverted = false;
};

uint32_t PreparePage(DecodeState* s) {
  auto* t = static_cast<PageTarget*>(s->context);
  uint32_t rc = CheckSize(s->outWidth, s->outHeight);
  if (rc != RCOK) return rc;
  bool grey = s->components == 1;
  rc = NewPage(t->job->request, s->outWidth, s->outHeight,
               grey ? kGray8 : uint32_t(glib::kPixelRGB24), t->page);
  if (rc != RCOK) return rc;
  if (s->components == 4) {
    t->cmyk.resize(size_t(s->outWidth) * 4);
    s->cmykRow = t->cmyk.data();
    // Adobe's files (the ones with its marker) store CMYK inverted.
    t->inverted = t->markers->adobe;
    if (!t->markers->icc.empty() && t->job->options.UseProfile(false)) {
      t->transform = ProfileTransform::Create(
          t->markers->icc, t->inverted ? CmsLayout::kCmykInverted8 : CmsLayout::kCmyk8,
          CmsLayout::kBgr8);
    }
  }
  return RCOK;
}

uint8_t* PageRow(DecodeState* s, int32_t y) {
  return PixelRow(static_cast<PageTarget*>(s->context)->page->bitmap, y);
}

void CmykRow(DecodeState* s, int32_t y) {
  auto* t = static_cast<PageTarget*>(s->context);
  uint8_t* out = PixelRow(t->page->bitmap, y);
  if (t->transform) {
    t->transform->Convert(s->cmykRow, out, uint32_t(s->outWidth));
  } else {
    CmykToBgr(s->cmykRow, out, uint32_t(s->outWidth), t->inverted);
  }
}

uint32_t DecodeInto(LoadJob& job, std::span<const uint8_t> bytes, const JpegMarkers& markers,
                    uint32_t scaleDenom, PagePtr& page) {
  PageTarget target{&job, &markers, nullptr, {}, nullptr, false};
  DecodeState state{};
  state.data = bytes.data();
  state.size = bytes.size();
  state.scaleDenom = scaleDenom;
  state.prepare = &PreparePage;
  state.context = &target;
  state.row = &PageRow;
  state.cmyk = &CmykRow;
  state.request = job.request;
  state.rc = RCOK;
  uint32_t rc = RunDecoder(&state);
  if (rc != RCOK) return rc;
  page = std::move(target.page);
  return RCOK;
}

void AddMetadata(glib::IDEPage& page, const JpegMarkers& m) {
  AppendMetadata(page.slideMetadata, kTagExif, m.exif);
  AppendMetadata(page.slideMetadata, kTagIptc, m.iptc);
  AppendMetadata(page.slideMetadata, kTagIcc, m.icc);
}

void SetDensity(glib::IDEPage& page, const JpegMarkers& m) {
  if (m.densityX == 0 || m.densityY == 0 || m.densityUnits == 0) return;
  float scale = m.densityUnits == 2 ? 2.54f : 1.0f;
  page.resolutionX = m.densityX * scale;
  page.resolutionY = m.densityY * scale;
}

uint32_t LoadStream(LoadJob& job, std::span<const uint8_t> bytes, uint32_t scaleDenom,
                    bool metadata) {
  JpegMarkers markers;
  uint32_t rc = ScanJpegMarkers(bytes, markers);
  if (rc != RCOK) return rc;
  rc = CheckSize(markers.width, markers.height);
  if (rc != RCOK) return rc;
  PagePtr page;
  rc = DecodeInto(job, bytes, markers, scaleDenom, page);
  if (rc != RCOK) return rc;
  if (markers.components != 4 && !markers.icc.empty() &&
      job.options.UseProfile(markers.components == 3)) {
    rc = ApplyProfile(job.request, *page, markers.icc);
    if (rc != RCOK) return rc;
  }
  if (metadata) AddMetadata(*page, markers);
  SetDensity(*page, markers);
  return AddPage(job.request, std::move(page), job.options);
}

}  // namespace

uint32_t DecodeJpegPage(glib::ImageDataExchange* request, std::span<const uint8_t> bytes,
                        PagePtr& page) {
  JpegMarkers markers;
  uint32_t rc = ScanJpegMarkers(bytes, markers);
  if (rc != RCOK) return rc;
  rc = CheckSize(markers.width, markers.height);
  if (rc != RCOK) return rc;
  Source none;
  LoadJob job{request, none, LoadOptions{}, glib::kFormatJPG};
  return DecodeInto(job, bytes, markers, 1, page);
}

uint32_t LoadJpg(LoadJob& job) {
  if (!job.options.Wants(0)) return BADA;
  return LoadStream(job, job.source.Bytes(), 1, true);
}

// A stored thumbnail stands for the picture when it has the picture's proportions
// (a letterboxed one would show bars) and is at least three quarters of the request
// fitted to them: a thumbnail view enlarges it a little instead of decoding the whole
// file, which costs many times more.
bool ThumbnailServes(uint64_t tw, uint64_t th, uint64_t w, uint64_t h, uint64_t maxW,
                     uint64_t maxH) {
  if (!tw || !th || !w || !h) return false;
  uint64_t cross = tw * h, other = th * w;
  if ((cross > other ? cross - other : other - cross) * 50 > other) return false;
  if (!maxW || !maxH) return true;
  // The request fitted to the picture: maxW wide, or maxH high.
  uint64_t fitW = maxW, fitH = (h * maxW + w / 2) / w;
  if (fitH > maxH) fitW = (w * maxH + h / 2) / h, fitH = maxH;
  return 4 * tw >= 3 * std::min(fitW, w) && 4 * th >= 3 * std::min(fitH, h);
}

uint32_t ThumbnailJpg(LoadJob& job) {
  JpegMarkers markers;
  uint32_t rc = ScanJpegMarkers(job.source.Bytes(), markers);
  if (rc != RCOK) return rc;
  uint32_t maxW = job.request->thumbnailMaxWidth, maxH = job.request->thumbnailMaxHeight;
  // The EXIF thumbnail when it serves the request.
  std::span<const uint8_t> small = ExifThumbnail(markers.exif);
  if (!small.empty()) {
    JpegMarkers inner;
    if (ScanJpegMarkers(small, inner) == RCOK &&
        ThumbnailServes(inner.width, inner.height, markers.width, markers.height, maxW, maxH) &&
        LoadStream(job, small, 1, false) == RCOK)
      return RCOK;
    job.request->pages.Clear();
  }
  // Otherwise the largest DCT reduction that still covers the request.
  uint32_t denom = 1;
  while (denom < 8 && maxW && maxH && markers.width / (denom * 2) >= maxW &&
         markers.height / (denom * 2) >= maxH)
    denom *= 2;
  return LoadStream(job, job.source.Bytes(), denom, false);
}

uint32_t InfoJpg(const Source& source, InfoRecord& info) {
  JpegMarkers m;
  uint32_t rc = ScanJpegMarkers(source.Bytes(), m);
  if (rc != RCOK) return rc;
  info.SetType("JPEG File Interchange Format");
  info.width = int32_t(m.width);
  info.height = int32_t(m.height);
  info.bitsPerPixel = int32_t(m.precision * m.components);
  info.pixelType = m.components == 1 ? kGray8 : uint32_t(glib::kPixelRGB24);
  info.pageCount = 1;
  if (m.densityUnits && m.densityX && m.densityY) {
    float scale = m.densityUnits == 2 ? 2.54f : 1.0f;
    info.resolutionX = m.densityX * scale;
    info.resolutionY = m.densityY * scale;
  }
  if (!m.comment.empty()) info.SetText(glib::kInfoComment, m.comment);
  info.SetExif(m.exif);
  info.SetIptc(m.iptc);
  info.SetProfile(m.icc);
  glib::JpegFileInfo& j = info.jpeg;
  j.frameMarker = m.frameMarker;
  j.bitsPerSample = m.precision;
  j.components = m.components;
  for (int i = 0; i < 4; ++i) j.sampling[i] = m.sampling[i];
  j.colorSpace = JpegColorSpace(m);
  j.restartInterval = m.restartInterval;
  bool lossless = m.frameMarker == 0xC3 || m.frameMarker == 0xC7 || m.frameMarker == 0xCB ||
                  m.frameMarker == 0xCF;
  if (lossless) {
    j.losslessPredictor = int32_t(m.scanStart);
    j.losslessPointTransform = int32_t(m.pointTransform);
  }
  j.interleaved = m.components > 1 && m.scanComponents == m.components ? 1 : 0;
  info.compression = 8;
  return RCOK;
}

// ---------------------------------------------------------------------------
// Encoding

namespace {

struct EncodeState {
  const glib::JPGSave* params;
  int32_t width, height;
  int components;  // of the rows handed over: 1 grey, 3 BGR, 4 CMYK
  J_COLOR_SPACE inSpace, outSpace;
  const uint8_t* (*row)(EncodeState* s, int32_t y);
  void* context;
  float dpiX, dpiY;
  const uint8_t* exif;
  uint32_t exifSize;
  const uint8_t* iptc;
  uint32_t iptcSize;
  // Where the coded bytes go: straight into `sink` through `buffer` when there is one,
  // else into a block of libjpeg's (`out`, `outSize`, freed by the caller).
  Sink* sink;
  uint8_t* buffer;
  size_t bufferSize;
  unsigned char* out;
  unsigned long outSize;
  const glib::ImageDataExchange* request;
  uint32_t rc;
};

// The coder's output handed to the sink one buffer at a time, the same buffer again
// and again. A block grown by doubling and written at the end costs a 24-megapixel
// save a copy of the whole file and page faults for twice its size besides the coding.
struct SinkDestination {
  jpeg_destination_mgr mgr;  // first, so that the coder's pointer is ours
  EncodeState* state;

  static SinkDestination* Of(j_compress_ptr cinfo) {
    return reinterpret_cast<SinkDestination*>(cinfo->dest);
  }
  static void Start(j_compress_ptr cinfo) {
    EncodeState* s = Of(cinfo)->state;
    cinfo->dest->next_output_byte = s->buffer;
    cinfo->dest->free_in_buffer = s->bufferSize;
  }
  // Writes the first n bytes of the buffer; a failed write ends the coding with WERR.
  static void Hand(j_compress_ptr cinfo, size_t n) {
    EncodeState* s = Of(cinfo)->state;
    if (s->sink->Write(s->buffer, n)) return;
    s->rc = WERR;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  }
  static boolean Full(j_compress_ptr cinfo) {
    Hand(cinfo, Of(cinfo)->state->bufferSize);
    Start(cinfo);
    return TRUE;
  }
  static void End(j_compress_ptr cinfo) {
    Hand(cinfo, Of(cinfo)->state->bufferSize - cinfo->dest->free_in_buffer);
  }
};

void WriteMetadata(j_compress_ptr cinfo, EncodeState* s) {
  // EXIF and IPTC each go into one marker of at most 65533 bytes; larger blocks are
  // left out rather than split, which no reader would join again.
  if (s->exif && s->exifSize) {
    bool prefixed = s->exifSize >= 6 && std::memcmp(s->exif, "Exif\0\0", 6) == 0;
    uint32_t total = s->exifSize + (prefixed ? 0 : 6);
    if (total <= 65533) {
      jpeg_write_m_header(cinfo, JPEG_APP0 + 1, total);
      if (!prefixed) {
        for (char c : std::string_view("Exif\0\0", 6)) jpeg_write_m_byte(cinfo, c);
      }
      for (uint32_t i = 0; i < s->exifSize; ++i) jpeg_write_m_byte(cinfo, s->exif[i]);
    }
  }
  if (s->iptc && s->iptcSize) {
    bool wrapped = s->iptcSize >= 14 && std::memcmp(s->iptc, "Photoshop 3.0\0", 14) == 0;
    uint32_t pad = s->iptcSize % 2;
    uint32_t total = wrapped ? s->iptcSize : 14 + 4 + 2 + 2 + 4 + s->iptcSize + pad;
    if (total <= 65533) {
      jpeg_write_m_header(cinfo, JPEG_APP0 + 13, total);
      if (!wrapped) {
        const uint8_t head[] = {'P',
                                'h',
                                'o',
                                't',
                                'o',
                                's',
                                'h',
                                'o',
                                'p',
                                ' ',
                                '3',
                                '.',
                                '0',
                                0,
                                '8',
                                'B',
                                'I',
                                'M',
                                0x04,
                                0x04,
                                0,
                                0,
                                uint8_t(s->iptcSize >> 24),
                                uint8_t(s->iptcSize >> 16),
                                uint8_t(s->iptcSize >> 8),
                                uint8_t(s->iptcSize)};
        for (uint8_t b : head) jpeg_write_m_byte(cinfo, b);
      }
      for (uint32_t i = 0; i < s->iptcSize; ++i) jpeg_write_m_byte(cinfo, s->iptc[i]);
      if (!wrapped && pad) jpeg_write_m_byte(cinfo, 0);
    }
  }
}

uint32_t RunEncoder(EncodeState* s) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  cinfo.err = QuietErrors(err);
  s->out = nullptr;
  s->outSize = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return s->rc != RCOK ? s->rc : WERR;
  }
  jpeg_create_compress(&cinfo);
  SinkDestination destination;
  if (s->sink) {
    destination.mgr.init_destination = &SinkDestination::Start;
    destination.mgr.empty_output_buffer = &SinkDestination::Full;
    destination.mgr.term_destination = &SinkDestination::End;
    destination.state = s;
    cinfo.dest = &destination.mgr;
  } else {
    jpeg_mem_dest(&cinfo, &s->out, &s->outSize);
  }
  cinfo.image_width = JDIMENSION(s->width);
  cinfo.image_height = JDIMENSION(s->height);
  cinfo.input_components = s->components;
  cinfo.in_color_space = s->inSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, s->outSpace);
  const glib::JPGSave& p = *s->params;
  jpeg_set_quality(&cinfo, int(std::clamp<uint32_t>(p.quality, 1, 100)), TRUE);
  if (cinfo.num_components >= 3) {
    // The record keeps one byte per component, first component lowest; black
    // follows luma.
    bool valid = true;
    for (int i = 0; i < 3; ++i) {
      uint32_t b = (p.subsample >> (8 * i)) & 0xFF;
      int h = int(b >> 4), v = int(b & 15);
      valid &= h >= 1 && h <= 4 && v >= 1 && v <= 4;
    }
    for (int i = 0; i < 3 && valid; ++i) {
      uint32_t b = (p.subsample >> (8 * i)) & 0xFF;
      cinfo.comp_info[i].h_samp_factor = int(b >> 4);
      cinfo.comp_info[i].v_samp_factor = int(b & 15);
    }
    if (cinfo.num_components == 4) {
      cinfo.comp_info[3].h_samp_factor = cinfo.comp_info[0].h_samp_factor;
      cinfo.comp_info[3].v_samp_factor = cinfo.comp_info[0].v_samp_factor;
    }
  }
  cinfo.optimize_coding = p.optimizeHuffman ? TRUE : FALSE;
  cinfo.restart_in_rows = int(std::min<uint32_t>(p.restartInterval, 65000));
  if (p.mode == 194) jpeg_simple_progression(&cinfo);
  jpeg_scan_info scans[4];
  if (p.mode != 194 && !p.interleaved && cinfo.num_components > 1) {
    // One scan per component.
    for (int i = 0; i < cinfo.num_components; ++i) {
      scans[i] = {1, {i, 0, 0, 0}, 0, 63, 0, 0};
    }
    cinfo.scan_info = scans;
    cinfo.num_scans = cinfo.num_components;
  }
  cinfo.density_unit = 1;
  cinfo.X_density = UINT16(std::clamp(s->dpiX + 0.5f, 1.0f, 65535.0f));
  cinfo.Y_density = UINT16(std::clamp(s->dpiY + 0.5f, 1.0f, 65535.0f));
  jpeg_start_compress(&cinfo, TRUE);
  WriteMetadata(&cinfo, s);
  while (cinfo.next_scanline < cinfo.image_height) {
    int32_t y = int32_t(cinfo.next_scanline);
    JSAMPROW row = const_cast<JSAMPROW>(s->row(s, y));
    jpeg_write_scanlines(&cinfo, &row, 1);
    if (UserStops(s, y, s->height)) {
      jpeg_destroy_compress(&cinfo);
      return USRA;
    }
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return RCOK;
}

struct EncodeSource {
  SavePixels pixels;
  std::vector<uint8_t> cmyk;
  std::vector<uint8_t> coded;  // the buffer on the way to the sink
};

const uint8_t* PixelsRow(EncodeState* s, int32_t y) {
  return static_cast<EncodeSource*>(s->context)->pixels.Row(y);
}

// RGB to Adobe-style inverted CMYK: the form readers expect with the Adobe marker
// that libjpeg writes for four-component files.
const uint8_t* CmykRowOf(EncodeState* s, int32_t y) {
  auto* src = static_cast<EncodeSource*>(s->context);
  const uint8_t* in = src->pixels.Row(y);
  uint8_t* out = src->cmyk.data();
  for (int32_t x = 0; x < s->width; ++x) {
    uint32_t b = in[x * 3], g = in[x * 3 + 1], r = in[x * 3 + 2];
    uint32_t k = std::max({r, g, b});  // 255 - black ink
    out[x * 4] = uint8_t(k ? r * 255 / k : 0);
    out[x * 4 + 1] = uint8_t(k ? g * 255 / k : 0);
    out[x * 4 + 2] = uint8_t(k ? b * 255 / k : 0);
    out[x * 4 + 3] = uint8_t(k);
  }
  return out;
}

}  // namespace

uint32_t EncodeJpegPicture(const glib::CoreBitmap& bitmap, uint32_t quality,
                           std::vector<uint8_t>& out) {
  glib::JPGSave params;
  params.quality = quality;
  EncodeSource source;
  uint32_t rc = source.pixels.Prepare(bitmap, glib::kPixelRGB24, false, false);
  if (rc != RCOK) return rc;
  EncodeState s{};
  s.params = &params;
  s.width = source.pixels.Width();
  s.height = source.pixels.Height();
  s.context = &source;
  s.components = 3;
  s.inSpace = JCS_EXT_BGR;
  s.outSpace = JCS_YCbCr;
  s.row = &PixelsRow;
  s.dpiX = s.dpiY = 96;
  s.rc = RCOK;
  rc = RunEncoder(&s);
  if (rc == RCOK) out.assign(s.out, s.out + s.outSize);
  std::free(s.out);
  return rc;
}

namespace {

// A picture of at most 160 x 120 pixels (proportions kept), each pixel the average
// of the source pixels it covers.
uint32_t ThumbnailPixels(const glib::CoreBitmap& page, glib::CoreBitmap& out, PagePtr& holder) {
  SavePixels full;
  uint32_t rc = full.Prepare(page, glib::kPixelRGB24, false, false);
  if (rc != RCOK) return rc;
  int32_t w = full.Width(), h = full.Height();
  double scale = std::min({160.0 / w, 120.0 / h, 1.0});
  int32_t tw = std::max(1, int32_t(w * scale + 0.5)), th = std::max(1, int32_t(h * scale + 0.5));
  rc = NewPage(nullptr, tw, th, glib::kPixelRGB24, holder);
  if (rc != RCOK) return rc;
  for (int32_t y = 0; y < th; ++y) {
    int32_t y0 = int32_t(int64_t(y) * h / th),
            y1 = std::max(y0 + 1, int32_t(int64_t(y + 1) * h / th));
    uint8_t* row = PixelRow(holder->bitmap, y);
    for (int32_t x = 0; x < tw; ++x) {
      int32_t x0 = int32_t(int64_t(x) * w / tw),
              x1 = std::max(x0 + 1, int32_t(int64_t(x + 1) * w / tw));
      uint64_t sum[3] = {0, 0, 0}, n = 0;
      for (int32_t sy = y0; sy < y1; ++sy) {
        const uint8_t* in = full.Row(sy);
        for (int32_t sx = x0; sx < x1; ++sx, ++n) {
          for (int c = 0; c < 3; ++c) sum[c] += in[sx * 3 + c];
        }
      }
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = uint8_t((sum[c] + n / 2) / n);
    }
  }
  out = holder->bitmap;
  return RCOK;
}

// The EXIF block with a thumbnail in IFD1: the given block when it has one already
// or cannot be followed, else the block (or a minimal one) with IFD1 appended.
std::vector<uint8_t> ExifWithThumbnail(std::span<const uint8_t> exif,
                                       const std::vector<uint8_t>& thumbnail) {
  auto unchanged = [&] {
    return exif.empty() ? std::vector<uint8_t>() : std::vector<uint8_t>(exif.begin(), exif.end());
  };
  Writer start;
  if (exif.empty()) {
    start.Append("II*\0\x08\0\0\0\0\0\0\0\0\0", 14);  // IFD0 without entries
  } else {
    start.Append(exif.data(), exif.size());
  }
  std::vector<uint8_t> block = std::move(start.Bytes());
  size_t header = block.size() >= 6 && std::memcmp(block.data(), "Exif\0\0", 6) == 0 ? 6 : 0;
  Reader in(block.data() + header, block.size() - header);
  uint16_t order = in.U16BE();
  bool le = order == 0x4949;
  if (!le && order != 0x4D4D) return unchanged();
  auto u16 = [&](Reader& r) { return le ? r.U16LE() : r.U16BE(); };
  auto u32 = [&](Reader& r) { return le ? r.U32LE() : r.U32BE(); };
  u16(in);
  uint32_t ifd0 = u32(in);
  if (!in.Seek(ifd0)) return unchanged();
  uint32_t count = u16(in);
  if (!in.Skip(uint64_t(count) * 12)) return unchanged();
  size_t nextAt = in.Pos();
  if (u32(in) != 0 || in.Failed()) return unchanged();
  if (block.size() % 2) block.push_back(0);
  uint32_t ifd1 = uint32_t(block.size() - header);
  uint32_t data = ifd1 + 2 + 3 * 12 + 4;
  Writer w;
  auto p16 = [&](uint32_t v) { le ? w.U16LE(v) : w.U16BE(v); };
  auto p32 = [&](uint32_t v) { le ? w.U32LE(v) : w.U32BE(v); };
  p16(3);
  p16(0x0103), p16(3), p32(1), p16(6), p16(0);  // compression: JPEG
  p16(0x0201), p16(4), p32(1), p32(data);
  p16(0x0202), p16(4), p32(1), p32(uint32_t(thumbnail.size()));
  p32(0);
  w.Append(thumbnail.data(), thumbnail.size());
  block.insert(block.end(), w.Bytes().begin(), w.Bytes().end());
  for (int i = 0; i < 4; ++i) {
    block[header + nextAt + size_t(i)] = uint8_t(le ? ifd1 >> (8 * i) : ifd1 >> (24 - 8 * i));
  }
  return block;
}

}  // namespace

uint32_t SaveJpg(SaveJob& job) {
  const auto& params = *static_cast<const glib::JPGSave*>(job.params);
  if (params.mode == 195) return UNSF;  // lossless coding is not in this libjpeg
  const glib::IDEPage* page = SavePages(job.request).front();
  uint32_t model = glib::ColourModel(params.pixelType);
  bool grey = params.grayscale || model == 1;
  bool cmyk = !grey && (model == 5 || model == 7);
  // 32-bit colour pages go to the coder as they are, the alpha byte skipped: the same
  // samples a conversion to 24 bits would give, without a copy of the whole picture.
  bool direct32 = !grey && !cmyk && page->bitmap.pixelType == glib::kPixelRGBA32;
  uint32_t rows = grey ? kGray8 : direct32 ? glib::kPixelRGBA32 : glib::kPixelRGB24;
  EncodeSource source;
  uint32_t rc = source.pixels.Prepare(page->bitmap, rows, params.dither != 0, false);
  if (rc != RCOK) return rc;
  EncodeState s{};
  s.params = &params;
  s.width = source.pixels.Width();
  s.height = source.pixels.Height();
  s.context = &source;
  s.request = job.request;
  s.rc = RCOK;
  if (grey) {
    s.components = 1;
    s.inSpace = s.outSpace = JCS_GRAYSCALE;
    s.row = &PixelsRow;
  } else if (cmyk) {
    source.cmyk.resize(size_t(s.width) * 4);
    s.components = 4;
    s.inSpace = JCS_CMYK;
    s.outSpace = model == 7 ? JCS_YCCK : JCS_CMYK;
    s.row = &CmykRowOf;
  } else {
    s.components = direct32 ? 4 : 3;
    s.inSpace = direct32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    // Colour model 3 asks for RGB samples in the file, 6 (the default) for YCbCr.
    s.outSpace = model == 3 ? JCS_RGB : JCS_YCbCr;
    s.row = &PixelsRow;
  }
  s.dpiX = params.resolutionX > 0 ? params.resolutionX : page->resolutionX;
  s.dpiY = params.resolutionY > 0 ? params.resolutionY : page->resolutionY;
  s.exif = params.exif;
  s.exifSize = params.exif ? params.exifSize : 0;
  std::vector<uint8_t> withThumbnail;
  if (params.createThumbnail) {
    glib::CoreBitmap small;
    PagePtr holder;
    std::vector<uint8_t> coded;
    rc = ThumbnailPixels(page->bitmap, small, holder);
    if (rc == RCOK) rc = EncodeJpegPicture(small, 75, coded);
    if (rc != RCOK) return rc;
    withThumbnail = ExifWithThumbnail({s.exif, s.exifSize}, coded);
    s.exif = withThumbnail.data();
    s.exifSize = uint32_t(withThumbnail.size());
  }
  s.iptc = params.iptc;
  s.iptcSize = params.iptc ? params.iptcSize : 0;
  source.coded.resize(size_t(1) << 16);
  s.sink = &job.sink;
  s.buffer = source.coded.data();
  s.bufferSize = source.coded.size();
  return RunEncoder(&s);
}

}  // namespace vexlo
