// Windows animated cursors: a RIFF "ACON" file with an "anih" header, optional "rate"
// (display time per step, in jiffies of 1/60 s) and "seq " (frame per step) chunks,
// and a "LIST" "fram" of "icon" chunks. With the header's AF_ICON flag each frame is a
// whole icon or cursor file; without it the frames are raw bitmaps: a device-
// independent bitmap (header, palette, rows), which like an icon image may carry an
// AND mask below its colour rows, or a whole BMP file. Every step of the animation is
// a page: its frame's first image through the icon and cursor reader or the BMP
// reader, with the step's display time.
#include <algorithm>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

// Frames and steps one file may have; the pages' pixels share the pixel limit.
constexpr uint32_t kMaxFrames = 4096;

// The header's flag for frames that are icon or cursor files.
constexpr uint32_t kIconFrames = 1;

struct Animation {
  uint32_t steps = 0;  // from the header
  uint32_t width = 0;  // of the raw frames, 0 when the header does not say
  uint32_t height = 0;
  uint32_t jiffies = 0;  // default display time of a step
  uint32_t flags = 0;
  std::vector<std::span<const uint8_t>> frames;
  std::vector<uint32_t> rates, sequence;

  // The frame of each step: the sequence when there is one, else the frames in order.
  std::vector<uint32_t> Steps() const {
    std::vector<uint32_t> out;
    if (!sequence.empty()) {
      for (uint32_t index : sequence) {
        if (index < frames.size()) out.push_back(index);
      }
    } else {
      for (uint32_t i = 0; i < frames.size(); ++i) out.push_back(i);
    }
    if (out.size() > kMaxPages) out.resize(kMaxPages);
    return out;
  }
  // Milliseconds of a step (its rate, else the header's).
  uint32_t Delay(size_t step) const {
    uint64_t j = step < rates.size() ? rates[step] : jiffies;
    return uint32_t(std::min<uint64_t>(j * 1000 / 60, 0xFFFFFFFFu));
  }
};

// The list of 32-bit words of a "rate" or "seq " chunk.
std::vector<uint32_t> Words(std::span<const uint8_t> body) {
  std::vector<uint32_t> out;
  Reader in(body);
  for (size_t i = 0; i < std::min<size_t>(body.size() / 4, kMaxPages); ++i)
    out.push_back(in.U32LE());
  return out;
}

uint32_t ReadAnimation(std::span<const uint8_t> bytes, Animation& a) {
  Reader in(bytes);
  if (in.U32BE() != glib::FourCC("RIFF")) return BADI;
  uint64_t end = uint64_t(in.U32LE()) + 8;
  if (in.U32BE() != glib::FourCC("ACON") || in.Failed()) return BADI;
  end = std::min<uint64_t>(end, bytes.size());  // a short file keeps what it has
  bool header = false;
  while (in.Pos() + 8 <= end) {
    uint32_t id = in.U32BE();
    uint32_t size = in.U32LE();
    if (size > end - in.Pos()) break;  // a chunk beyond the file ends the reading
    std::span<const uint8_t> body = bytes.subspan(in.Pos(), size);
    if (id == glib::FourCC("anih")) {
      Reader h(body);
      uint32_t headerSize = h.U32LE();
      h.Skip(4);  // frame count: the list tells
      a.steps = h.U32LE();
      a.width = h.U32LE();
      a.height = h.U32LE();
      h.Skip(8);  // bit count and planes: the frames tell
      a.jiffies = h.U32LE();
      a.flags = h.U32LE();
      if (h.Failed() || headerSize < 36) return BADI;
      header = true;
    } else if (id == glib::FourCC("rate")) {
      a.rates = Words(body);
    } else if (id == glib::FourCC("seq ")) {
      a.sequence = Words(body);
    } else if (id == glib::FourCC("LIST") && size >= 4 &&
               Reader(body).U32BE() == glib::FourCC("fram")) {
      Reader list(body.subspan(4));
      while (list.Left() >= 8 && a.frames.size() < kMaxFrames) {
        uint32_t frameId = list.U32BE();
        uint32_t frameSize = list.U32LE();
        if (frameSize > list.Left()) break;
        size_t at = list.Pos();
        if (frameId == glib::FourCC("icon")) a.frames.push_back(body.subspan(4 + at, frameSize));
        list.Skip(frameSize + (frameSize & 1));
      }
    }
    in.Skip(uint64_t(size) + (size & 1));
    if (in.Failed()) break;
  }
  if (!header || a.frames.empty()) return BADI;
  // The header's step count bounds a longer sequence or rate list.
  if (a.steps) {
    if (a.sequence.size() > a.steps) a.sequence.resize(a.steps);
    if (a.rates.size() > a.steps) a.rates.resize(a.steps);
  }
  return RCOK;
}

// 1 for an icon file, 2 for a cursor file, 0 for anything else.
uint16_t IconKind(std::span<const uint8_t> frame) {
  if (frame.size() < 6 || frame[0] || frame[1] || frame[3]) return 0;
  return frame[2] == 1 || frame[2] == 2 ? frame[2] : 0;
}

// A frame as one of the readers takes it.
struct Frame {
  uint32_t format = 0;  // ICO, CUR or BMP; 0: no reader takes it
  std::span<const uint8_t> bytes;
  std::vector<uint8_t> wrapped;  // a masked bitmap in an icon file of its own
};

// Whether a raw bitmap keeps an AND mask below its colour rows, as an icon image does:
// its header gives twice the frame's height, or, when the animation's header gives no
// height, the chunk is too short for colour rows of the whole height.
bool HasMask(std::span<const uint8_t> dib, const Animation& a) {
  Reader in(dib);
  uint32_t headerSize = in.U32LE();
  int32_t width = int32_t(in.U32LE()), height = int32_t(in.U32LE());
  in.Skip(2);
  uint32_t bits = in.U16LE(), compression = in.U32LE();
  in.Skip(12);
  uint32_t used = in.U32LE();
  // Only uncompressed bitmaps of the Windows 3 header or later, bottom-up, even height.
  if (in.Failed() || headerSize < 40 || compression != 0 || width <= 0 || height <= 0 ||
      height % 2 || bits == 0 || bits > 32)
    return false;
  if (a.height) return uint64_t(height) == uint64_t(a.height) * 2;
  uint64_t entries = bits <= 8 ? (used && used < (1u << bits) ? used : 1u << bits) : 0;
  uint64_t rows = (uint64_t(width) * bits + 31) / 32 * 4 * uint64_t(height);
  return uint64_t(headerSize) + entries * 4 + rows > dib.size();
}

Frame FrameOf(std::span<const uint8_t> bytes, const Animation& a) {
  Frame f;
  f.bytes = bytes;
  // Icon and cursor files are taken whatever the flags say: they tell themselves.
  if (uint16_t kind = IconKind(bytes)) {
    f.format = kind == 1 ? glib::kFormatICO : glib::kFormatCUR;
    return f;
  }
  if (a.flags & kIconFrames) return f;  // neither icon nor cursor: damaged
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    f.format = glib::kFormatBMP;
  } else if (HasMask(bytes, a)) {
    // The icon reader decodes colour rows and mask: an icon file of one image around it.
    Writer w;
    w.U16LE(0), w.U16LE(1), w.U16LE(1);
    Reader dib(bytes);
    dib.Skip(4);
    uint32_t width = dib.U32LE(), height = dib.U32LE() / 2;
    w.U8(width < 256 ? width : 0), w.U8(height < 256 ? height : 0), w.U16LE(0);
    w.U16LE(1), w.U16LE(0), w.U32LE(uint32_t(bytes.size())), w.U32LE(6 + 16);
    w.Append(bytes.data(), bytes.size());
    f.wrapped = std::move(w.Bytes());
    f.bytes = f.wrapped;
    f.format = glib::kFormatICO;
  } else {
    f.format = glib::kFormatBMP;  // the BMP reader takes bitmaps without the file header
  }
  return f;
}

uint32_t LoadFrame(LoadJob& inner) {
  switch (inner.format) {
    case glib::kFormatICO:
      return LoadIco(inner);
    case glib::kFormatCUR:
      return LoadCur(inner);
    default:
      return LoadBmp(inner);
  }
}

uint32_t InfoFrame(const Frame& f, InfoRecord& info) {
  Source source;
  source.Borrow(f.bytes.data(), f.bytes.size());
  switch (f.format) {
    case glib::kFormatICO:
      return InfoIco(source, info);
    case glib::kFormatCUR:
      return InfoCur(source, info);
    default:
      return InfoBmp(source, info);
  }
}

}  // namespace

uint32_t LoadAni(LoadJob& job) {
  Animation a;
  uint32_t rc = ReadAnimation(job.source.Bytes(), a);
  if (rc != RCOK) return rc;
  std::vector<uint32_t> steps = a.Steps();
  uint64_t pixels = 0;
  for (size_t step = 0; step < steps.size(); ++step) {
    if (job.options.PastRange(step)) break;
    if (!job.options.Wants(step)) continue;
    Frame frame = FrameOf(a.frames[steps[step]], a);
    if (!frame.format) continue;
    Source source;
    source.Borrow(frame.bytes.data(), frame.bytes.size());
    LoadOptions options = job.options;
    options.firstPage = 0;
    options.pageCount = 1;
    LoadJob inner{job.request, source, options, frame.format};
    size_t before = job.request->pages.size();
    rc = LoadFrame(inner);
    if (rc == OMEM || rc == USRA) return rc;
    if (rc != RCOK || job.request->pages.size() != before + 1) continue;  // a damaged frame
    glib::IDEPage* page = job.request->pages[job.request->pages.size() - 1];
    pixels += uint64_t(page->bitmap.width) * uint64_t(page->bitmap.height);
    if (pixels > PixelLimit()) return OMEM;
    page->delay = a.Delay(step);
    if (!Progress(job.request, int32_t(step + 1), int32_t(steps.size()))) return USRA;
  }
  if (job.request->pages.empty()) return job.options.firstPage >= steps.size() ? glib::BADA : BADI;
  return RCOK;
}

uint32_t InfoAni(const Source& source, InfoRecord& info) {
  Animation a;
  uint32_t rc = ReadAnimation(source.Bytes(), a);
  if (rc != RCOK) return rc;
  std::vector<uint32_t> steps = a.Steps();
  if (steps.empty()) return BADI;
  // Size and depth of the first step's frame.
  Frame first = FrameOf(a.frames[steps.front()], a);
  if (first.format) {
    rc = InfoFrame(first, info);
    if (rc != RCOK) return rc;
  }
  info.SetType("Windows Animated Cursor");
  info.pixelType = glib::kPixelRGBA32;
  info.pageCount = uint32_t(steps.size());
  return RCOK;
}

}  // namespace vexlo
