// Windows animated cursors: a RIFF "ACON" file with an "anih" header, optional "rate"
// (display time per step, in jiffies of 1/60 s) and "seq " (frame per step) chunks,
// and a "LIST" "fram" of "icon" chunks, each a whole icon or cursor file. Every step
// of the animation is a page: the first image of its frame through the icon and
// cursor reader, with the step's display time.
#include <algorithm>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

// Frames and steps one file may have; the pages' pixels share the pixel limit.
constexpr uint32_t kMaxFrames = 4096;

struct Animation {
  uint32_t steps = 0;    // from the header
  uint32_t jiffies = 0;  // default display time of a step
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
      h.Skip(16);  // width, height, bit count, planes: the frames tell
      a.jiffies = h.U32LE();
      h.Skip(4);  // flags: frames that are icon files are recognised by their header
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
    std::span<const uint8_t> frame = a.frames[steps[step]];
    uint16_t kind = IconKind(frame);
    if (!kind) continue;  // bare bitmap frames are not read
    Source source;
    source.Borrow(frame.data(), frame.size());
    LoadOptions options = job.options;
    options.firstPage = 0;
    options.pageCount = 1;
    LoadJob inner{job.request, source, options, kind == 1 ? glib::kFormatICO : glib::kFormatCUR};
    size_t before = job.request->pages.size();
    rc = kind == 1 ? LoadIco(inner) : LoadCur(inner);
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
  std::span<const uint8_t> first = a.frames[steps.front()];
  uint16_t kind = IconKind(first);
  if (kind) {
    Source frame;
    frame.Borrow(first.data(), first.size());
    rc = kind == 1 ? InfoIco(frame, info) : InfoCur(frame, info);
    if (rc != RCOK) return rc;
  }
  info.SetType("Windows Animated Cursor");
  info.pixelType = glib::kPixelRGBA32;
  info.pageCount = uint32_t(steps.size());
  return RCOK;
}

}  // namespace vexlo
