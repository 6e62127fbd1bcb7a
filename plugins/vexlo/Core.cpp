#include "vexlo/Core.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>

#include "formats/Stream.h"
#include "platform/PageAlloc.h"
#include "platform/Text.h"
#include "runtime/LineConverter.h"
#include "runtime/PixelConvert.h"
#include "runtime/PixelLayout.h"
#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/Ssse3.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexlo {

namespace {
std::atomic<uint64_t> pixelLimit{kMaxPixels};
}

void LimitPixels(uint64_t pixels) {
  pixelLimit = pixels ? std::min(pixels, kMaxPixels) : kMaxPixels;
}

uint64_t PixelLimit() { return pixelLimit; }

uint32_t CheckSize(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return BADI;
  if (width > kMaxSide || height > kMaxSide || uint64_t(width) * uint64_t(height) > pixelLimit)
    return OMEM;
  return RCOK;
}

// ---------------------------------------------------------------------------
// Source

Source::~Source() {
  if (!mapping_) return;
#if defined(_WIN32)
  UnmapViewOfFile(mapping_);
#else
  munmap(mapping_, mappedSize_);
#endif
}

uint32_t Source::Open(const void* path, const glib::ImageDataExchange& request) {
  if (request.sourceSize != 0) {
    if (!request.source) return BADA;
    Borrow(request.source, request.sourceSize);
    return RCOK;
  }
  if (request.stream) return ReadStream(request.stream);
  if (!path) return glib::MISS;
  return OpenFile(path, request.wide != 0);
}

uint32_t Source::ReadStream(VStream* stream) {
  int64_t start = stream->Tell();
  int64_t end = stream->Size();
  if (start < 0 || end < start) return RERR;
  if (uint64_t(end - start) > SIZE_MAX / 2) return OMEM;
  owned_.resize(size_t(end - start));
  if (!owned_.empty() && stream->Read(owned_.data(), 1, owned_.size()) != owned_.size())
    return RERR;
  Borrow(owned_.data(), owned_.size());
  return size_ ? RCOK : BADI;
}

#if defined(_WIN32)

uint32_t Source::OpenFile(const void* path, bool wide) {
  HANDLE file = wide ? CreateFileW(static_cast<const wchar_t*>(path), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : CreateFileA(static_cast<const char*>(path), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return glib::MISS;
  LARGE_INTEGER size;
  FILETIME written;
  uint32_t rc = RCOK;
  if (!GetFileSizeEx(file, &size)) rc = RERR;
  if (rc == RCOK && GetFileTime(file, nullptr, nullptr, &written)) {
    uint64_t ticks = uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime;
    modified_ = int64_t(ticks / 10000000) - 11644473600LL;
  }
  if (rc == RCOK && size.QuadPart == 0) rc = BADI;
  if (rc == RCOK && uint64_t(size.QuadPart) > SIZE_MAX / 2) rc = OMEM;
  if (rc == RCOK) {
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (map) {
      mapping_ = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
      CloseHandle(map);
    }
    if (mapping_) {
      mappedSize_ = size_t(size.QuadPart);
      Borrow(mapping_, mappedSize_);
    } else {
      rc = OMEM;
    }
  }
  CloseHandle(file);
  return rc;
}

#else

uint32_t Source::OpenFile(const void* path, bool wide) {
  std::string name = NarrowPath(path, wide);
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return glib::MISS;
  struct stat info;
  uint32_t rc = RCOK;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) rc = RERR;
  if (rc == RCOK) {
    modified_ = int64_t(info.st_mtime);
    if (info.st_size == 0) rc = BADI;
  }
  if (rc == RCOK) {
    void* view = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
      rc = OMEM;
    } else {
      mapping_ = view;
      mappedSize_ = size_t(info.st_size);
      Borrow(view, mappedSize_);
    }
  }
  ::close(fd);
  return rc;
}

#endif

std::string NarrowPath(const void* path, bool wide) {
  if (!path) return {};
  if (!wide) return static_cast<const char*>(path);
  const char16_t* text = static_cast<const char16_t*>(path);
  size_t n = 0;
  while (text[n]) ++n;
#if defined(_WIN32)
  return platform::NarrowFromUtf16({text, n});
#else
  return platform::Utf8FromUtf16({text, n});
#endif
}

// ---------------------------------------------------------------------------
// Load parameters

bool IsRecord(const void* record, const char* className, size_t minimumSize) {
  if (!record) return false;
  const auto* cls = *static_cast<const glib::RecordClass* const*>(record);
  return cls && cls->name && std::strcmp(cls->name, className) == 0 && cls->size >= minimumSize;
}

LoadOptions ReadLoadOptions(const void* params) {
  LoadOptions options;
  static const char* const kLoadClasses[] = {"ImageLoad", "BMPLoad", "TIFLoad",
                                             "FPXLoad",   "PCDLoad", "RAWLoad"};
  const glib::ImageLoad* load = nullptr;
  for (const char* name : kLoadClasses) {
    if (IsRecord(params, name, sizeof(glib::ImageLoad)))
      load = static_cast<const glib::ImageLoad*>(params);
  }
  if (!load) return options;
  options.firstPage = load->firstPage;
  options.pageCount = load->pageCount == 0 ? 0xFFFFFFFF : load->pageCount;
  options.reduceTo8Bits = load->reduceTo8Bits != 0;
  options.colorProfile = load->colorProfile;
  options.rawQuality = load->rawQuality;
  options.cameraWhiteBalance = load->cameraWhiteBalance != 0;
  if (IsRecord(params, "RAWLoad", sizeof(glib::RAWLoad))) {
    options.raw = static_cast<const glib::RAWLoad*>(params);
  } else {
    options.wantedWidth = load->width;
    options.wantedHeight = load->height;
  }
  return options;
}

// ---------------------------------------------------------------------------
// Pages

namespace {

void* ORBISK_CDECL FallbackAllocate(const glib::CoreBitmap* bitmap) {
  return platform::PageAlloc(glib::ImageBytes(
      bitmap->width, bitmap->height, glib::BitsPerPixel(bitmap->pixelType), bitmap->stride));
}
void ORBISK_CDECL FallbackRelease(void* block, uintptr_t) { platform::PageFree(block); }

}  // namespace

uint32_t NewPage(glib::ImageDataExchange* request, int32_t width, int32_t height, uint32_t type,
                 PagePtr& page) {
  page.reset(new glib::IDEPage);
  glib::CoreBitmap& bitmap = page->bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelType = type;
  bitmap.stride = glib::kStridePadded;
  uint64_t bytes = glib::ImageBytes(width, height, glib::BitsPerPixel(type), bitmap.stride);
  if (bytes == 0 || bytes > SIZE_MAX) return OMEM;
  // All pages of one load together stay within a budget: many frames of a large
  // canvas (a small GIF can ask for thousands) must not exhaust the host's memory.
  uint64_t total = bytes;
  if (request) {
    for (const glib::IDEPage* other : request->pages) {
      if (other)
        total += glib::RowBytes(other->bitmap) * uint64_t(std::max(other->bitmap.height, 0));
    }
  }
  uint64_t budget =
      std::min<uint64_t>(pixelLimit * 16, sizeof(void*) == 4 ? 0x60000000u : uint64_t(1) << 34);
  if (total > budget) return OMEM;
  bool host = request && request->allocate && request->release;
  bitmap.pixels =
      static_cast<uint8_t*>(host ? request->allocate(&bitmap) : FallbackAllocate(&bitmap));
  if (!bitmap.pixels) {
    bitmap.pixelType = glib::kPixelNone;
    return OMEM;
  }
  // Both allocators hand out fresh pages from the system, zero-filled: rows a damaged
  // file leaves undecoded stay empty without a pass over them.
  bitmap.ownsPixels = 1;
  bitmap.freePixels = host ? request->release : &FallbackRelease;
  return RCOK;
}

uint32_t ConvertPage(glib::ImageDataExchange* request, glib::IDEPage& page, uint32_t type) {
  glib::CoreBitmap& from = page.bitmap;
  if (from.pixelType == type) return RCOK;
  PagePtr converted;
  uint32_t rc = NewPage(request, from.width, from.height, type, converted);
  if (rc != RCOK) return rc;
  glib::LineConverter converter;
  rc = converter.Set(from, type);
  if (rc != RCOK) return rc;
  glib::CoreBitmap& to = converted->bitmap;
  for (int32_t y = 0; y < from.height; ++y) {
    if (!converter.GetScanline(y, PixelRow(to, y))) return IERR;
  }
  std::memcpy(to.palette, from.palette, sizeof to.palette);
  to.paletteSize = from.paletteSize;
  std::swap(from.pixels, to.pixels);
  std::swap(from.pixelType, to.pixelType);
  std::swap(from.freePixels, to.freePixels);
  std::swap(from.stride, to.stride);
  return RCOK;
}

uint32_t AddPage(glib::ImageDataExchange* request, PagePtr page, const LoadOptions& options) {
  if (options.reduceTo8Bits) {
    uint32_t type = page->bitmap.pixelType;
    uint32_t narrow = type == glib::kPixelGray16   ? glib::kPixelGray8
                      : type == glib::kPixelRGB48  ? glib::kPixelRGB24
                      : type == glib::kPixelRGBA64 ? glib::kPixelRGBA32
                                                   : type;
    uint32_t rc = ConvertPage(request, *page, narrow);
    if (rc != RCOK) return rc;
  }
  if (request->pages.size() >= kMaxPages) return OMEM;
  gen::ArrayRecord* pages = request->pages.record();
  if (!pages->table->Add(pages, page.get())) return OMEM;
  page.release();
  return RCOK;
}

bool Progress(const glib::ImageDataExchange* request, int32_t step, int32_t count) {
  if (!request || !request->progress) return true;
  ClbData data;
  data.stepCount = count;
  data.step = step;
  data.context = request->progressContext;
  return request->progress(&data);
}

// ---------------------------------------------------------------------------
// Metadata blocks

void AppendMetadata(gen::byte_array& block, uint32_t tag, std::span<const uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return;
  Writer header;
  header.U32BE(tag);
  header.U32LE(uint32_t(bytes.size()));
  block.append(header.Bytes().data(), header.Size());
  block.append(bytes.data(), bytes.size());
}

std::span<const uint8_t> FindMetadata(const gen::byte_array& block, uint32_t tag) {
  Reader in(block.data(), block.size());
  while (in.Left() >= 8) {
    uint32_t entry = in.U32BE();
    uint32_t size = in.U32LE();
    const uint8_t* bytes = in.Take(size);
    if (!bytes) break;
    if (entry == tag) return {bytes, size};
  }
  return {};
}

// ---------------------------------------------------------------------------
// File information

const glib::FileInfoRecordOps InfoRecord::kOps = {&InfoRecord::Destroy};

InfoRecord::InfoRecord() : FileInfoRecord(&kOps, sizeof(InfoRecord)) {}

void ORBISK_CDECL InfoRecord::Destroy(glib::FileInfoRecord* self, uint32_t flags) {
  auto* record = static_cast<InfoRecord*>(self);
  if (flags & 1) {
    delete record;
  } else {
    record->~InfoRecord();
  }
}

const char* InfoRecord::Keep(std::string_view text) { return strings_.emplace_back(text).c_str(); }

void InfoRecord::SetExif(std::span<const uint8_t> bytes) {
  exif_.assign(bytes.begin(), bytes.end());
  exif = exif_.empty() ? nullptr : exif_.data();
  exifSize = uint32_t(exif_.size());
}

void InfoRecord::SetIptc(std::span<const uint8_t> bytes) {
  iptc_.assign(bytes.begin(), bytes.end());
  iptc = iptc_.empty() ? nullptr : iptc_.data();
  iptcSize = uint32_t(iptc_.size());
}

void InfoRecord::SetProfile(std::span<const uint8_t> icc) {
  if (icc.size() < 128) return;
  hasColorProfile = 1;
  colorProfileSpace = ProfileSpace(icc);
  Reader header(icc);
  // The description lives in the 'desc' tag: ASCII in version 2, UTF-16 in 'mluc'.
  header.Seek(128);
  uint32_t tags = header.U32BE();
  std::string description;
  for (uint32_t i = 0; i < tags && i < 256 && !header.Failed(); ++i) {
    uint32_t sig = header.U32BE(), offset = header.U32BE(), size = header.U32BE();
    if (sig != glib::FourCC("desc") || offset > icc.size() || size > icc.size() - offset) continue;
    Reader tag(icc.data() + offset, size);
    uint32_t type = tag.U32BE();
    tag.Skip(4);
    if (type == glib::FourCC("desc")) {
      uint32_t n = tag.U32BE();
      const uint8_t* text = tag.Take(std::min<size_t>(n, tag.Left()));
      if (text)
        description.assign(reinterpret_cast<const char*>(text),
                           strnlen(reinterpret_cast<const char*>(text), n));
    } else if (type == glib::FourCC("mluc")) {
      uint32_t records = tag.U32BE();
      tag.Skip(4);
      if (records == 0) continue;
      tag.Skip(4);
      uint32_t length = tag.U32BE(), at = tag.U32BE();
      if (at > size || length > size - at) continue;
      for (uint32_t k = 0; k + 1 < length; k += 2) {
        char16_t c = char16_t(icc[offset + at + k] << 8 | icc[offset + at + k + 1]);
        description += c < 0x80 ? char(c) : '?';
      }
    }
    break;
  }
  colorProfileText = Keep(description);
}

void InfoRecord::AddPair(std::string_view name, std::string_view value) {
  pairs_.push_back(Keep(name));
  pairs_.push_back(Keep(value));
  pairs = pairs_.data();
  pairCount = uint32_t(pairs_.size() / 2);
}

// ---------------------------------------------------------------------------
// Output

Sink::~Sink() {
  if (file_) std::fclose(file_);
}

uint32_t Sink::Open(const void* path, bool wide, bool update) {
  if (!path) return RCOK;
#if defined(_WIN32)
  if (wide) {
    const wchar_t* name = static_cast<const wchar_t*>(path);
    file_ = update ? _wfopen(name, L"r+b") : nullptr;
    if (!file_) file_ = _wfopen(name, L"w+b");
  } else {
    const char* name = static_cast<const char*>(path);
    file_ = update ? std::fopen(name, "r+b") : nullptr;
    if (!file_) file_ = std::fopen(name, "w+b");
  }
#else
  std::string name = NarrowPath(path, wide);
  file_ = update ? std::fopen(name.c_str(), "r+b") : nullptr;
  if (!file_) file_ = std::fopen(name.c_str(), "w+b");
#endif
  return file_ ? RCOK : WERR;
}

bool Sink::Write(const void* data, size_t size) {
  if (failed_) return false;
  if (size == 0) return true;
  if (file_) {
    if (std::fwrite(data, 1, size, file_) != size) failed_ = true;
  } else {
    if (pos_ + size > memory_.size()) memory_.resize(size_t(pos_ + size));
    std::memcpy(memory_.data() + pos_, data, size);
  }
  if (!failed_) pos_ += size;
  return !failed_;
}

size_t Sink::Read(void* data, size_t size) {
  if (failed_) return 0;
  size_t got;
  if (file_) {
    got = std::fread(data, 1, size, file_);
  } else {
    got = pos_ < memory_.size() ? std::min<size_t>(size, memory_.size() - size_t(pos_)) : 0;
    if (got) std::memcpy(data, memory_.data() + pos_, got);
  }
  pos_ += got;
  return got;
}

bool Sink::Seek(uint64_t pos) {
  if (failed_) return false;
  if (file_) {
#if defined(_WIN32)
    if (_fseeki64(file_, int64_t(pos), SEEK_SET) != 0) return false;
#else
    if (fseeko(file_, off_t(pos), SEEK_SET) != 0) return false;
#endif
  } else if (pos > memory_.size()) {
    memory_.resize(size_t(pos));
  }
  pos_ = pos;
  return true;
}

uint64_t Sink::Size() {
  if (!file_) return memory_.size();
  uint64_t here = pos_;
  std::fseek(file_, 0, SEEK_END);
#if defined(_WIN32)
  uint64_t size = uint64_t(_ftelli64(file_));
#else
  uint64_t size = uint64_t(ftello(file_));
#endif
  Seek(here);
  return size;
}

uint32_t Sink::Finish(glib::ImageDataExchange* request) {
  if (file_) {
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return failed_ ? WERR : RCOK;
  }
  if (failed_) return WERR;
  if (!request || memory_.empty()) return RCOK;
  // One packed row of bytes: the host's allocator sizes the block from it.
  glib::CoreBitmap block;
  block.width = int32_t(memory_.size());
  block.height = 1;
  block.pixelType = glib::kPixelGray8;
  block.stride = glib::kStridePacked;
  if (memory_.size() > 0x7FFFFFFF) return OMEM;
  void* out = request->allocate ? request->allocate(&block) : FallbackAllocate(&block);
  if (!out) return OMEM;
  std::memcpy(out, memory_.data(), memory_.size());
  request->source = out;
  request->sourceSize = uint32_t(memory_.size());
  return RCOK;
}

std::vector<const glib::IDEPage*> SavePages(const glib::ImageDataExchange* request) {
  std::vector<const glib::IDEPage*> pages;
  for (const glib::IDEPage* page : request->pages) {
    if (page) pages.push_back(page);
  }
  return pages;
}

// ---------------------------------------------------------------------------
// Pixels for writers

SavePixels::~SavePixels() { glib::ReleasePageBitmap(bitmap_); }

int SavePixels::PaletteEntries() const {
  const glib::PixelLayout* layout = glib::FindPixelLayout(bitmap_.pixelType);
  return layout ? glib::PaletteEntries(*layout, bitmap_.paletteSize) : 0;
}

namespace {

bool IsRuntimeTarget(uint32_t type) {
  switch (type) {
    case glib::kPixelBW1:
    case glib::kPixelIndexed4:
    case glib::kPixelIndexed8:
    case glib::kPixelRGB24:
    case glib::kPixelRGBA32:
    case glib::kPixelRGB48:
    case glib::kPixelRGBA64:
      return true;
    default:
      return false;
  }
}

// Owned rows of a given type converted line by line.
uint32_t ConvertLines(glib::CoreBitmap& bitmap, uint32_t target) {
  glib::LineConverter converter;
  uint32_t rc = converter.Set(bitmap, target);
  if (rc != RCOK) return rc;
  glib::CoreBitmap out;
  out.width = bitmap.width;
  out.height = bitmap.height;
  out.pixelType = target;
  uint64_t bytes = glib::ImageBytes(out.width, out.height, glib::BitsPerPixel(target), out.stride);
  out.pixels = static_cast<uint8_t*>(platform::PageAlloc(bytes));
  if (!out.pixels) return OMEM;
  out.ownsPixels = 1;
  for (int32_t y = 0; y < out.height; ++y) converter.GetScanline(y, PixelRow(out, y));
  std::memcpy(out.palette, bitmap.palette, sizeof out.palette);
  out.paletteSize = bitmap.paletteSize;
  glib::ReleasePageBitmap(bitmap);
  bitmap = out;
  out.ownsPixels = 0;
  return RCOK;
}

}  // namespace

uint32_t SavePixels::ToGrey() {
  // Grey values in true-colour rows: the same weights the runtime's grey palettes use.
  uint32_t type = bitmap_.pixelType;
  bool wide = glib::BitsPerSample(type) == 16;
  uint32_t work = wide ? (glib::HasAlpha(type) ? glib::kPixelRGBA64 : glib::kPixelRGB48)
                       : (glib::HasAlpha(type) ? glib::kPixelRGBA32 : glib::kPixelRGB24);
  uint32_t rc = ConvertLines(bitmap_, work);
  if (rc != RCOK) return rc;
  int channels = int(glib::SamplesPerPixel(work));
  for (int32_t y = 0; y < bitmap_.height; ++y) {
    uint8_t* row = PixelRow(bitmap_, y);
    for (int32_t x = 0; x < bitmap_.width; ++x) {
      if (wide) {
        uint16_t* p = reinterpret_cast<uint16_t*>(row) + x * channels;
        uint32_t v = (p[0] * 29u + p[1] * 150u + p[2] * 77u + 128) >> 8;
        p[0] = p[1] = p[2] = uint16_t(v);
      } else {
        uint8_t* p = row + x * channels;
        uint32_t v = (p[0] * 29u + p[1] * 150u + p[2] * 77u + 128) >> 8;
        p[0] = p[1] = p[2] = uint8_t(v);
      }
    }
  }
  return RCOK;
}

uint32_t SavePixels::Prepare(const glib::CoreBitmap& page, uint32_t target, bool dither, bool grey,
                             uint32_t colours) {
  glib::ReleasePageBitmap(bitmap_);
  if (!page.pixels) return UNSF;
  // A view of the page's rows; every conversion below adopts new rows of its own.
  bitmap_ = page;
  bitmap_.ops = nullptr;
  bitmap_.ownsPixels = 0;
  bitmap_.freePixels = nullptr;
  bitmap_.attachment = bitmap_.picture = nullptr;
  bitmap_.convertFlag1 = dither ? 1 : 0;
  bitmap_.convertFlag2 = grey ? 1 : 0;
  bitmap_.paletteSize = std::clamp<uint32_t>(colours, 2, 256);
  if (!glib::FindPixelLayout(bitmap_.pixelType)) return UNSF;
  const glib::PixelLayout* targetLayout = glib::FindPixelLayout(target);
  if (!targetLayout) return UNSF;
  bool indexedTarget = targetLayout->space == glib::ColourSpace::kPalette;
  if (indexedTarget && target == page.pixelType && !grey && colours >= 256) return RCOK;
  if (grey && !indexedTarget && targetLayout->space != glib::ColourSpace::kGrey) {
    uint32_t rc = ToGrey();
    if (rc != RCOK) return rc;
  }
  if (bitmap_.pixelType == target && (bitmap_.ownsPixels || !indexedTarget)) return RCOK;
  if (target == glib::kPixelIndexed1) {
    // The runtime reduces to two colours under its 1-bit type; the rows are the same.
    uint32_t rc = glib::ConvertPixelType(bitmap_, glib::kPixelBW1, true, 96, 96, {}, false);
    if (rc != RCOK) return rc;
    bitmap_.pixelType = glib::kPixelIndexed1;
    return RCOK;
  }
  if (IsRuntimeTarget(target)) {
    if (indexedTarget && bitmap_.pixelType == glib::kPixelIndexed8 &&
        target == glib::kPixelIndexed8 && !grey && colours >= 256)
      return RCOK;
    uint32_t rc = glib::ConvertPixelType(bitmap_, target, true, 96, 96, {}, false);
    if (rc != RCOK) return rc;
    // The runtime may leave a view untouched when no work was needed.
    return bitmap_.pixelType == target ? RCOK : IERR;
  }
  return ConvertLines(bitmap_, target);
}

bool IsOpaque(const glib::CoreBitmap& bitmap) {
  if (!bitmap.pixels) return true;
  bool wide = bitmap.pixelType == glib::kPixelRGBA64;
  if (!wide && bitmap.pixelType != glib::kPixelRGBA32) return true;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    const uint8_t* row = PixelRow(bitmap, y);
    for (int32_t x = 0; x < bitmap.width; ++x) {
      if (wide ? (row[x * 8 + 6] & row[x * 8 + 7]) != 0xFF : row[x * 4 + 3] != 0xFF) return false;
    }
  }
  return true;
}

namespace {

#if VEXLO_SSSE3
// Red and blue of sixteen 3-byte pixels change places.
constexpr Gather48 kSwap([](int i) { return i / 3 * 3 + 2 - i % 3; });

// Red and blue exchanged sixteen 3-byte pixels (three vectors) or four 4-byte ones at
// a time. Works in place: every step loads all it needs before it stores, and no step
// reads what the one before wrote.
__attribute__((target("ssse3"))) size_t SwapRedBlueSsse3(const uint8_t* in, uint8_t* out,
                                                         size_t width, size_t n) {
  size_t x = 0;
  if (n == 3) {
    for (; x + 16 <= width; x += 16) {
      const auto* from = reinterpret_cast<const __m128i*>(in + x * 3);
      const __m128i v[3] = {_mm_loadu_si128(from), _mm_loadu_si128(from + 1),
                            _mm_loadu_si128(from + 2)};
      StoreGathered(v, kSwap, out + x * 3);
    }
  } else {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    for (; x + 4 <= width; x += 4) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x * 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_shuffle_epi8(v, order));
    }
  }
  return x;
}
#endif

}  // namespace

void SwapRedBlue(const uint8_t* in, uint8_t* out, size_t width, size_t n) {
  size_t done = 0;
#if VEXLO_SSSE3
  static const bool ssse3 = HaveSsse3();
  if (ssse3) done = SwapRedBlueSsse3(in, out, width, n);
#endif
  SwapRedBlue<uint8_t>(in + done * n, out + done * n, width - done, n);
}

}  // namespace vexlo
