// What every format of the vexlo plug-in shares: reading the request's source,
// bounds-checked byte access, pages with rows from the host's allocator, the load
// parameters, the file information record, writing the output and preparing pixels
// in the type a save asks for.
//
// Nothing here throws across the module edge: the entries in Entries.cpp catch
// allocation failures and turn them into OMEM.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/CoreBitmap.h"
#include "formats/FileInfoRecord.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"
#include "formats/Retcode.h"

namespace vexlo {

using glib::BADA;
using glib::BADI;
using glib::IERR;
using glib::OMEM;
using glib::RCOK;
using glib::RERR;
using glib::UNSF;
using glib::USRA;
using glib::WERR;

// The largest picture any decoder accepts: 2^28 pixels (268 million, room for a
// 200-megapixel scan) and 2^20 pixels on either side. Larger claims answer OMEM
// before anything is allocated; a zero or negative size is BADI.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
constexpr int64_t kMaxSide = int64_t(1) << 20;
// Pages one file may produce (frames of an animation, directories of a TIFF); all
// pages of one load share a budget of 16 bytes per allowed pixel (at most 16 GiB,
// 1.5 GiB in the 32-bit build).
constexpr uint32_t kMaxPages = 10000;

// 8-bit grey, which plug-ins deliver although the program has no name for it.
constexpr uint32_t kGray8 = 0x01010108;

uint32_t CheckSize(int64_t width, int64_t height);
// Lowers the pixel limit (fuzzing: keeps every input quick); 0 restores kMaxPixels.
void LimitPixels(uint64_t pixels);
uint64_t PixelLimit();

// ---------------------------------------------------------------------------
// Input

// The bytes of a request's source (path, memory block or stream), all in memory:
// files are mapped, streams are read whole.
class Source {
 public:
  Source() = default;
  ~Source();
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // MISS when the file cannot be opened, RERR when it cannot be read, OMEM when it
  // does not fit in memory, BADI for an empty source.
  uint32_t Open(const void* path, const glib::ImageDataExchange& request);
  // Borrows a block (tests and fuzzing).
  void Borrow(const void* data, size_t size) {
    data_ = static_cast<const uint8_t*>(data);
    size_ = size;
  }

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  std::span<const uint8_t> Bytes() const { return {data_, size_}; }
  int64_t Modified() const { return modified_; }  // seconds since 1970; 0 unknown

 private:
  uint32_t OpenFile(const void* path, bool wide);
  uint32_t ReadStream(VStream* stream);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int64_t modified_ = 0;
  std::vector<uint8_t> owned_;
  void* mapping_ = nullptr;  // the mapped view
  size_t mappedSize_ = 0;
};

// Reads little- or big-endian values with bounds checks. The first read past the
// end poisons the reader: it returns zeros from then on and Failed() stays true.
class Reader {
 public:
  Reader() = default;
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit Reader(std::span<const uint8_t> bytes) : Reader(bytes.data(), bytes.size()) {}

  bool Failed() const { return failed_; }
  size_t Pos() const { return pos_; }
  size_t Size() const { return size_; }
  size_t Left() const { return failed_ ? 0 : size_ - pos_; }
  const uint8_t* Data() const { return data_; }

  bool Seek(uint64_t pos) {
    if (failed_ || pos > size_) return Fail();
    pos_ = size_t(pos);
    return true;
  }
  bool Skip(uint64_t n) { return n <= Left() ? Seek(pos_ + n) : Fail(); }
  // A pointer to the next n bytes (consumed), or null.
  const uint8_t* Take(size_t n) {
    if (failed_ || n > size_ - pos_) {
      Fail();
      return nullptr;
    }
    const uint8_t* at = data_ + pos_;
    pos_ += n;
    return at;
  }
  bool Copy(void* out, size_t n) {
    const uint8_t* at = Take(n);
    if (at && n) std::memcpy(out, at, n);
    return at != nullptr;
  }
  uint8_t U8() {
    const uint8_t* at = Take(1);
    return at ? at[0] : 0;
  }
  uint16_t U16LE() {
    const uint8_t* at = Take(2);
    return at ? uint16_t(at[0] | at[1] << 8) : 0;
  }
  uint16_t U16BE() {
    const uint8_t* at = Take(2);
    return at ? uint16_t(at[0] << 8 | at[1]) : 0;
  }
  uint32_t U32LE() {
    const uint8_t* at = Take(4);
    return at ? uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 |
                    uint32_t(at[3]) << 24
              : 0;
  }
  uint32_t U32BE() {
    const uint8_t* at = Take(4);
    return at ? uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3] : 0;
  }
  uint64_t U64LE() {
    uint64_t low = U32LE();
    return low | uint64_t(U32LE()) << 32;
  }
  float F32LE() {
    uint32_t bits = U32LE();
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
  }

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Builds little- or big-endian byte sequences.
class Writer {
 public:
  std::vector<uint8_t>& Bytes() { return bytes_; }
  size_t Size() const { return bytes_.size(); }
  void U8(uint32_t v) { bytes_.push_back(uint8_t(v)); }
  void U16LE(uint32_t v) { Put(v, 2, false); }
  void U16BE(uint32_t v) { Put(v, 2, true); }
  void U32LE(uint32_t v) { Put(v, 4, false); }
  void U32BE(uint32_t v) { Put(v, 4, true); }
  void U64LE(uint64_t v) {
    U32LE(uint32_t(v));
    U32LE(uint32_t(v >> 32));
  }
  void F32LE(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    U32LE(bits);
  }
  void Append(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void PatchU32LE(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = uint8_t(v >> (8 * i));
  }

 private:
  void Put(uint64_t v, int n, bool bigEndian) {
    for (int i = 0; i < n; ++i) bytes_.push_back(uint8_t(v >> (8 * (bigEndian ? n - 1 - i : i))));
  }
  std::vector<uint8_t> bytes_;
};

// ---------------------------------------------------------------------------
// Load parameters

struct LoadOptions {
  uint32_t firstPage = 0;
  uint32_t pageCount = 0xFFFFFFFF;  // all
  bool reduceTo8Bits = false;
  uint32_t colorProfile = 0;  // as glib::ImageLoad::colorProfile
  uint32_t wantedWidth = 0;   // a reduced resolution asked for (TIFF)
  uint32_t wantedHeight = 0;
  const glib::RAWLoad* raw = nullptr;  // a RAWLoad record, when one came
  // Camera RAW: demosaicing 0 fast (bilinear) to 3 best, and the camera's white
  // balance or an automatic one; the viewer's defaults without a record.
  uint32_t rawQuality = 0;
  bool cameraWhiteBalance = true;

  bool Wants(uint64_t page) const {
    return page >= firstPage && (pageCount == 0xFFFFFFFF || page - firstPage < pageCount);
  }
  bool PastRange(uint64_t page) const {
    return pageCount != 0xFFFFFFFF && page >= uint64_t(firstPage) + pageCount;
  }
  // Whether a picture with an embedded profile is converted; `rgb` tells an RGB source
  // from CMYK, grey or Lab.
  bool UseProfile(bool rgb) const { return colorProfile == 1 || (colorProfile == 3 && !rgb); }
};

// Reads the record the caller passed; null or an unknown record gives the defaults.
LoadOptions ReadLoadOptions(const void* params);

// The record class a record claims, when its name and size fit (null otherwise).
bool IsRecord(const void* record, const char* className, size_t minimumSize);

// ---------------------------------------------------------------------------
// Pages

struct PageDeleter {
  void operator()(glib::IDEPage* page) const { glib::IDEPage::DestroyElement(page); }
};
using PagePtr = std::unique_ptr<glib::IDEPage, PageDeleter>;

// A page with zeroed rows for width x height pixels of `type` (padded rows), from the
// request's allocator and released through the request's release function. OMEM when
// the rows cannot be had; the size must have passed CheckSize.
uint32_t NewPage(glib::ImageDataExchange* request, int32_t width, int32_t height, uint32_t type,
                 PagePtr& page);
inline uint8_t* PixelRow(glib::CoreBitmap& bitmap, int32_t y) {
  return bitmap.pixels + uint64_t(y) * glib::RowBytes(bitmap);
}
inline const uint8_t* PixelRow(const glib::CoreBitmap& bitmap, int32_t y) {
  return bitmap.pixels + uint64_t(y) * glib::RowBytes(bitmap);
}
// Gives the page to the request's page list (reducing 16-bit samples to 8 first when
// the options ask for it).
uint32_t AddPage(glib::ImageDataExchange* request, PagePtr page, const LoadOptions& options);
// Replaces the rows of a page by a converted copy (any type of the layout table).
uint32_t ConvertPage(glib::ImageDataExchange* request, glib::IDEPage& page, uint32_t type);

// Progress through the request's callback; false when the user asked to stop.
bool Progress(const glib::ImageDataExchange* request, int32_t step, int32_t count);

// ---------------------------------------------------------------------------
// Metadata blocks of pages: tagged entries (four-character tag, 32-bit little-endian
// length, bytes) so that a slide can carry EXIF, IPTC and a colour profile at once.

constexpr uint32_t kTagExif = glib::FourCC("EXIF");  // TIFF-structured EXIF
constexpr uint32_t kTagIptc = glib::FourCC("IPTC");  // IPTC-IIM records
constexpr uint32_t kTagIcc = glib::FourCC("ICCP");   // ICC profile
constexpr uint32_t kTagXmp = glib::FourCC("XMP ");
// Present when the loader turned the pixels from the ICCP profile into sRGB: the
// profile then describes the file, no longer the pixels.
constexpr uint32_t kTagInSrgb = glib::FourCC("SRGB");

void AppendMetadata(gen::byte_array& block, uint32_t tag, std::span<const uint8_t> bytes);
std::span<const uint8_t> FindMetadata(const gen::byte_array& block, uint32_t tag);

// EXIF blocks sometimes keep the JPEG-style "Exif\0\0" header; ours start at the TIFF
// header.
inline std::span<const uint8_t> TiffExif(std::span<const uint8_t> exif) {
  if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) return exif.subspan(6);
  return exif;
}

// ---------------------------------------------------------------------------
// File information

// The record handed back by the information entries; owns every text and block it
// points to.
class InfoRecord final : public glib::FileInfoRecord {
 public:
  InfoRecord();

  // Keeps a copy and returns it for the record's pointers.
  const char* Keep(std::string_view text);
  void SetText(glib::InfoText which, std::string_view text) { texts[which] = Keep(text); }
  void SetType(std::string_view text) { typeText = Keep(text); }
  void SetExif(std::span<const uint8_t> bytes);
  void SetIptc(std::span<const uint8_t> bytes);
  void SetProfile(std::span<const uint8_t> icc);  // space and description from the header
  void AddPair(std::string_view name, std::string_view value);

 private:
  static void ORBISK_CDECL Destroy(glib::FileInfoRecord* self, uint32_t flags);
  static const glib::FileInfoRecordOps kOps;

  std::deque<std::string> strings_;
  std::vector<uint8_t> exif_, iptc_;
  std::vector<const char*> pairs_;
};

// ---------------------------------------------------------------------------
// Output

// Where a save writes: a file, or a memory block handed back in the request (its
// `source` and `sourceSize`, the block from the request's allocator) when the path
// is null.
class Sink {
 public:
  Sink() = default;
  ~Sink();
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  // `update` opens an existing file for reading and writing (TIFF pages appended).
  uint32_t Open(const void* path, bool wide, bool update = false);
  bool Write(const void* data, size_t size);
  bool Write(std::span<const uint8_t> bytes) { return Write(bytes.data(), bytes.size()); }
  size_t Read(void* data, size_t size);
  bool Seek(uint64_t pos);
  uint64_t Tell() const { return pos_; }
  uint64_t Size();
  bool IsMemory() const { return !file_; }
  // Flushes and closes; a memory sink hands its bytes to the request. WERR when any
  // write failed.
  uint32_t Finish(glib::ImageDataExchange* request);

 private:
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> memory_;
  uint64_t pos_ = 0;
  bool failed_ = false;
};

// The pages a save writes: all of the request's pages for multi-page writers, the
// first for the others.
std::vector<const glib::IDEPage*> SavePages(const glib::ImageDataExchange* request);

// A page's picture in the pixel type a writer asks for. Types the imaging runtime can
// reduce to (1, 4 and 8-bit palettes) follow the record's dithering, greyscale and
// colour count; with the greyscale flag true-colour targets get grey pixels.
class SavePixels {
 public:
  SavePixels() = default;
  ~SavePixels();
  SavePixels(const SavePixels&) = delete;
  SavePixels& operator=(const SavePixels&) = delete;

  // UNSF for a page without pixels (vector pictures) or a target the runtime lacks.
  uint32_t Prepare(const glib::CoreBitmap& page, uint32_t target, bool dither, bool grey,
                   uint32_t colours = 256);
  uint32_t Prepare(const glib::CoreBitmap& page, uint32_t target, const glib::ImageSave& params) {
    return Prepare(page, target, params.dither != 0, params.grayscale != 0, params.colorCount);
  }

  int32_t Width() const { return bitmap_.width; }
  int32_t Height() const { return bitmap_.height; }
  uint32_t Type() const { return bitmap_.pixelType; }
  uint64_t RowBytes() const { return glib::RowBytes(bitmap_); }
  const uint8_t* Row(int32_t y) const { return PixelRow(bitmap_, y); }
  const uint32_t* Palette() const { return bitmap_.palette; }  // 0xAARRGGBB entries
  int PaletteEntries() const;

 private:
  uint32_t ToGrey();
  glib::CoreBitmap bitmap_;
};

// Whether every pixel of an RGBA32 or RGBA64 bitmap is opaque.
bool IsOpaque(const glib::CoreBitmap& bitmap);

// Path text for messages and for libraries that want an 8-bit name (UTF-8 natively).
std::string NarrowPath(const void* path, bool wide);

}  // namespace vexlo
