// Headerless pixels laid out by a RAW load record: a header to skip, rows with a
// gap after each, 1 to 4 channels of 8 or 16 bits in either byte order, in the
// order the record's letters give, interleaved or one plane per channel.
//
// Planar data stores each channel as a whole plane of rows (with the same row gap),
// one after the other.
#include <algorithm>
#include <array>
#include <mutex>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

// Information requests carry no load record, so the layout of a RAW file is only
// known once a load has read it. The module remembers the layouts of the last few
// loads by the bytes they read (a fingerprint of size, time and the ends of the
// data), so that the panel shows the layout the picture on screen was read with.
// Shared by every window of the process: the same bytes mean the same layout.
struct RememberedLayout {
  uint64_t fingerprint = 0;
  glib::RAWDesc layout;
  int32_t width = 0, height = 0;
  uint32_t pixelType = 0;
};

constexpr size_t kRememberedLayouts = 16;

struct LayoutMemory {
  std::mutex lock;
  std::array<RememberedLayout, kRememberedLayouts> entries{};
  size_t next = 0;
};

LayoutMemory& Layouts() {
  static LayoutMemory memory;
  return memory;
}

uint64_t Fingerprint(const Source& source) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  auto mix = [&](uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      hash ^= uint8_t(value >> (8 * i));
      hash *= 1099511628211ull;
    }
  };
  mix(source.Size());
  mix(uint64_t(source.Modified()));
  std::span<const uint8_t> bytes = source.Bytes();
  size_t head = std::min<size_t>(bytes.size(), 64 * 1024);
  size_t tail = std::min<size_t>(bytes.size() - head, 4096);
  for (uint8_t b : bytes.first(head)) mix(b);
  for (uint8_t b : bytes.last(tail)) mix(b);
  return hash;
}

void RememberLayout(const Source& source, const glib::RAWLoad& raw, uint32_t type) {
  RememberedLayout entry;
  entry.fingerprint = Fingerprint(source);
  entry.layout = raw;
  entry.width = int32_t(raw.width);
  entry.height = int32_t(raw.height);
  entry.pixelType = type;
  LayoutMemory& memory = Layouts();
  std::lock_guard<std::mutex> hold(memory.lock);
  for (RememberedLayout& known : memory.entries) {
    if (known.fingerprint == entry.fingerprint) {
      known = entry;
      return;
    }
  }
  memory.entries[memory.next] = entry;
  memory.next = (memory.next + 1) % kRememberedLayouts;
}

bool RecallLayout(const Source& source, RememberedLayout& out) {
  uint64_t fingerprint = Fingerprint(source);
  LayoutMemory& memory = Layouts();
  std::lock_guard<std::mutex> hold(memory.lock);
  for (const RememberedLayout& known : memory.entries) {
    if (known.fingerprint == fingerprint && known.width > 0) {
      out = known;
      return true;
    }
  }
  return false;
}

}  // namespace

uint32_t LoadRaw(LoadJob& job) {
  const glib::RAWLoad* raw = job.options.raw;
  if (!raw) return BADA;  // nothing says how the bytes are laid out
  uint32_t bits = raw->pixelType & 0xFF, channels = (raw->pixelType >> 8) & 0xFF;
  if ((bits != 8 && bits != 16) || channels < 1 || channels > 4) return BADA;
  int64_t width = raw->width, height = raw->height;
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc == BADI ? BADA : rc;
  // Where each letter sits among the stored channels.
  int position[4] = {-1, -1, -1, -1};  // red, green, blue, alpha
  for (uint32_t c = 0; c < channels; ++c) {
    const char* letters = "RGBA";
    const char* at = std::strchr(letters, raw->channelOrder[c]);
    if (!at || !raw->channelOrder[c]) return BADA;
    position[at - letters] = int(c);
  }
  bool wide = bits == 16;
  uint32_t type = channels == 1 ? (wide ? uint32_t(glib::kPixelGray16) : kGray8)
                  : channels == 3 && !raw->fillAlpha
                      ? (wide ? glib::kPixelRGB48 : glib::kPixelRGB24)
                      : (wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32);
  uint64_t sampleBytes = bits / 8;
  uint64_t rowSamples = raw->interleaved ? uint64_t(width) * channels : uint64_t(width);
  uint64_t rowStride = rowSamples * sampleBytes + raw->lineGap;
  uint64_t planeBytes = rowStride * uint64_t(height);
  std::span<const uint8_t> bytes = job.source.Bytes();
  if (raw->headerLength >= bytes.size() ||
      bytes.size() - raw->headerLength < rowSamples * sampleBytes)
    return BADI;  // not even one row
  PagePtr page;
  rc = NewPage(job.request, int32_t(width), int32_t(height), type, page);
  if (rc != RCOK) return rc;
  const uint8_t* base = bytes.data() + raw->headerLength;
  uint64_t available = bytes.size() - raw->headerLength;
  auto read = [&](uint64_t offset) -> uint32_t {
    if (offset + sampleBytes > available) return 0;  // short files leave the rest empty
    const uint8_t* p = base + offset;
    if (!wide) return p[0];
    return raw->littleEndian ? uint32_t(p[0] | p[1] << 8) : uint32_t(p[0] << 8 | p[1]);
  };
  uint32_t outChannels = glib::SamplesPerPixel(type);
  uint32_t full = wide ? 65535 : 255;
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* out = PixelRow(page->bitmap, int32_t(y));
    for (int64_t x = 0; x < width; ++x) {
      auto sample = [&](int c) -> uint32_t {
        if (c < 0) return 0;
        uint64_t offset =
            raw->interleaved
                ? uint64_t(y) * rowStride + (uint64_t(x) * channels + uint64_t(c)) * sampleBytes
                : uint64_t(c) * planeBytes + uint64_t(y) * rowStride + uint64_t(x) * sampleBytes;
        return read(offset);
      };
      uint32_t v[4];  // blue, green, red, alpha
      if (channels <= 2) {
        // Grey, or grey and alpha: the first two letters decide which is which.
        int alphaAt = position[3] >= 0 ? position[3] : -1;
        int greyAt = alphaAt == 0 ? 1 : 0;
        v[0] = v[1] = v[2] = sample(greyAt);
        v[3] = channels == 2 && alphaAt >= 0 ? sample(alphaAt) : full;
      } else {
        v[0] = sample(position[2]);
        v[1] = sample(position[1]);
        v[2] = sample(position[0]);
        v[3] = position[3] >= 0 ? sample(position[3]) : full;
      }
      if (raw->fillAlpha) v[3] = full;
      for (uint32_t c = 0; c < outChannels; ++c) {
        if (wide) {
          reinterpret_cast<uint16_t*>(out)[x * outChannels + c] = uint16_t(v[c]);
        } else {
          out[x * outChannels + c] = uint8_t(v[c]);
        }
      }
    }
    if ((y & 1023) == 0 && !Progress(job.request, int32_t(y + 1), int32_t(height))) return USRA;
  }
  rc = AddPage(job.request, std::move(page), job.options);
  if (rc == RCOK) RememberLayout(job.source, *raw, type);
  return rc;
}

uint32_t InfoRaw(const Source& source, InfoRecord& info) {
  info.SetType("RAW pixel data");
  info.pageCount = 1;
  RememberedLayout known;
  if (!RecallLayout(source, known)) return RCOK;  // not loaded yet: the layout is unknown
  const glib::RAWDesc& raw = known.layout;
  uint32_t bits = raw.pixelType & 0xFF, channels = (raw.pixelType >> 8) & 0xFF;
  info.width = known.width;
  info.height = known.height;
  info.bitsPerPixel = int32_t(bits * channels);
  info.pixelType = known.pixelType;
  info.compression = 0;
  glib::RawFileInfo& r = info.raw;
  r.headerSize = raw.headerLength;
  r.lineGap = raw.lineGap;
  r.channels = channels;
  r.bitsPerSample = bits;
  std::memcpy(r.channelOrder, raw.channelOrder, std::min<size_t>(channels, 4));
  r.interleaved = raw.interleaved ? 1 : 0;
  r.littleEndian = raw.littleEndian ? 1 : 0;
  return RCOK;
}

uint32_t SaveRaw(SaveJob& job) {
  const glib::IDEPage* page = SavePages(job.request).front();
  bool grey = job.params->grayscale != 0;
  SavePixels pixels;
  uint32_t rc =
      pixels.Prepare(page->bitmap, grey ? kGray8 : uint32_t(glib::kPixelRGB24), false, grey);
  if (rc != RCOK) return rc;
  // Interleaved red, green, blue bytes (or grey), no header and no gaps.
  std::vector<uint8_t> row(static_cast<size_t>(pixels.Width()) * (grey ? 1 : 3));
  for (int32_t y = 0; y < pixels.Height(); ++y) {
    const uint8_t* in = pixels.Row(y);
    for (int32_t x = 0; x < pixels.Width(); ++x) {
      if (grey) {
        row[size_t(x)] = in[x];
      } else {
        row[size_t(x) * 3] = in[x * 3 + 2];
        row[size_t(x) * 3 + 1] = in[x * 3 + 1];
        row[size_t(x) * 3 + 2] = in[x * 3];
      }
    }
    if (!job.sink.Write(row.data(), row.size())) return WERR;
  }
  return RCOK;
}

}  // namespace vexlo
