// The codecs behind the plug-in's entries: one set of functions per format. Each
// gets the whole source in memory and reports through the request (pages), an
// InfoRecord or a Sink; Entries.cpp wires them to the exported names.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "vexlo/Core.h"

namespace vexlo {

struct LoadJob {
  glib::ImageDataExchange* request;
  const Source& source;
  LoadOptions options;
  uint32_t format;  // the identifier the entry serves
};

struct SaveJob {
  glib::ImageDataExchange* request;
  glib::ImageSave* params;  // checked to be the format's record class
  Sink& sink;
  uint32_t format;
};

using LoadFunc = uint32_t (*)(LoadJob& job);
using InfoFunc = uint32_t (*)(const Source& source, InfoRecord& info);
using SaveFunc = uint32_t (*)(SaveJob& job);

#define VEXLO_CODEC(Name)            \
  uint32_t Load##Name(LoadJob& job); \
  uint32_t Info##Name(const Source& source, InfoRecord& info)

VEXLO_CODEC(Bmp);
uint32_t SaveBmp(SaveJob& job);
VEXLO_CODEC(Jpg);
uint32_t ThumbnailJpg(LoadJob& job);
uint32_t SaveJpg(SaveJob& job);
VEXLO_CODEC(Png);
uint32_t SavePng(SaveJob& job);
VEXLO_CODEC(Gif);
uint32_t SaveGif(SaveJob& job);
VEXLO_CODEC(Tif);
uint32_t ThumbnailTif(LoadJob& job);
uint32_t SaveTif(SaveJob& job);
VEXLO_CODEC(Webp);
VEXLO_CODEC(Ico);
uint32_t SaveIco(SaveJob& job);
VEXLO_CODEC(Cur);
uint32_t SaveCur(SaveJob& job);
VEXLO_CODEC(Pcx);
uint32_t SavePcx(SaveJob& job);
VEXLO_CODEC(Tga);
uint32_t SaveTga(SaveJob& job);
VEXLO_CODEC(Pnm);  // PBM, PGM, PPM, PAM and PFM
uint32_t SavePnm(SaveJob& job);
VEXLO_CODEC(Raw);
uint32_t SaveRaw(SaveJob& job);
VEXLO_CODEC(Flm);
uint32_t SaveFlm(SaveJob& job);
VEXLO_CODEC(Heif);  // HEIF/HEIC and AVIF
uint32_t ThumbnailHeif(LoadJob& job);
// JPEG 2000 (JP2 files and bare codestreams) and animated cursors.
VEXLO_CODEC(Jp2);
uint32_t ThumbnailJp2(LoadJob& job);
uint32_t SaveJp2(SaveJob& job);
VEXLO_CODEC(Ani);
// JPEG XL
VEXLO_CODEC(Jxl);
uint32_t SaveJxl(SaveJob& job);
uint32_t ThumbnailJxl(LoadJob& job);

// Identifiers of the formats the program has no constant for.
constexpr uint32_t kFormatWBP = 0x18574250;  // WebP: common, multi-page
constexpr uint32_t kFormatPBM = 0x0050424D;
constexpr uint32_t kFormatPGM = 0x0050474D;
constexpr uint32_t kFormatPAM = 0x0050414D;
constexpr uint32_t kFormatPFM = 0x0050464D;
constexpr uint32_t kFormatHEI = 0x18484549;  // HEIF/HEIC: common, multi-page
constexpr uint32_t kFormatAVF = 0x18415646;  // AVIF: common, multi-page

// Camera RAW (DNG and the camera makers' formats) through LibRaw.
VEXLO_CODEC(CameraRaw);
uint32_t ThumbnailCameraRaw(LoadJob& job);
constexpr uint32_t kFormatDCR = 0x00444352;
// Whether a file with a TIFF header holds a camera's raw sensor data (DNG, CR2, NEF,
// ARW, PEF, ...) rather than a picture for the TIFF reader.
bool IsCameraRawTiff(std::span<const uint8_t> bytes);
// A bare JPEG 2000 codestream: JP2's code with a flag byte of its own, so that it
// shares JP2's entries and save record (the record's format tells the two apart).
constexpr uint32_t kFormatJ2K = 0x2C4A5032;

#undef VEXLO_CODEC

// ---------------------------------------------------------------------------
// Pieces several codecs share

// The start of a single-page load from a header of the codec's own: BADA when the
// options skip the one page, the reader's code for a header it refuses, else a page
// of the header's size in the type `pageType` picks for it.
template <class Header>
uint32_t OpenPage(LoadJob& job, Header& h,
                  uint32_t (*readHeader)(std::span<const uint8_t>, Header&),
                  uint32_t (*pageType)(const Header&), PagePtr& page) {
  if (!job.options.Wants(0)) return BADA;
  uint32_t rc = readHeader(job.source.Bytes(), h);
  if (rc != RCOK) return rc;
  return NewPage(job.request, h.width, h.height, pageType(h), page);
}

// A block that a library's read callback takes front to back. Plain data, so that it
// may live in the frames that call setjmp.
struct MemoryInput {
  const uint8_t* data;
  size_t size;
  size_t pos;

  size_t Left() const { return size - pos; }
  // Copies the next n bytes, fewer at the end; how many it copied.
  size_t Read(void* out, size_t n) {
    n = std::min(n, Left());
    std::memcpy(out, data + pos, n);
    pos += n;
    return n;
  }
};

// Pixels of n samples (3 or 4) with the first and third exchanged: BGR(A) to RGB(A)
// and back. A fourth sample is copied as it is; `in` may be `out`.
template <class Sample>
void SwapRedBlue(const Sample* in, Sample* out, size_t width, size_t n) {
  for (size_t x = 0; x < width; ++x) {
    Sample first = in[x * n], third = in[x * n + 2];
    out[x * n] = third;
    out[x * n + 1] = in[x * n + 1];
    out[x * n + 2] = first;
    if (n == 4) out[x * 4 + 3] = in[x * 4 + 3];
  }
}
// The same for bytes, sixteen at a time where the processor can.
void SwapRedBlue(const uint8_t* in, uint8_t* out, size_t width, size_t n);

}  // namespace vexlo
