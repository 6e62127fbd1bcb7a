// glib::Libtiff::EXIFView: the tags of an EXIF block as printable name/value pairs
// for the information window. The block comes from a file of any origin; it is read
// through Reader, so offsets, counts and directory chains stay bounded, and every
// text is turned into UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runtime/TiffDirectory.h"

namespace glib::Libtiff {

class EXIFView {
 public:
  // detailed: also list the tags that are normally hidden (offsets and lengths of
  // sub-directories, strips and the thumbnail, unknown tags, MakerNote and other
  // undefined blobs shown as "N bytes").
  explicit EXIFView(bool detailed = false);
  // The block is a TIFF-structured EXIF block ("II*\0"/"MM\0*" header), optionally
  // preceded by the JPEG APP1 "Exif\0\0" prefix. False when it is not one. The view
  // keeps its own copies of the texts; the block need not outlive the call.
  bool BuildView(const uint8_t* block, uint32_t size);
  bool IsEmpty() const;
  uint32_t GetSize() const;
  const char* GetName(uint32_t index) const;   // "" beyond the size
  const char* GetValue(uint32_t index) const;  // "" beyond the size
  // For tests and tools: the tag number and the directory of an entry.
  enum class Ifd : uint8_t { kIfd0, kExif, kGps, kInterop, kIfd1 };
  uint16_t GetTag(uint32_t index) const;
  Ifd GetIfd(uint32_t index) const;

  // Entries listed at most, over all directories.
  static constexpr uint32_t kMaxItems = 4096;

 private:
  struct Item {
    uint16_t tag;
    Ifd ifd;
    std::string name;
    std::string value;
  };

  void AddDirectory(Reader& reader, const Directory& directory, Ifd ifd);
  // Lists the directory an entry of `parent` points at, and returns it.
  std::optional<Directory> AddSubDirectory(Reader& reader, const Directory& parent,
                                           uint16_t pointer, Ifd ifd);

  bool detailed_;
  std::vector<Item> items_;
};

namespace exif {

// How the value of a tag is shown.
enum class Format : uint8_t {
  kPlain,         // by its field type: text, integers, numbers; blobs hidden
  kHidden,        // offsets, lengths and pointers: only in the detailed view
  kBlob,          // undefined bytes: only in the detailed view, as "N bytes"
  kEnum,          // a value with a meaning from `values`
  kFlash,         // the bit fields of Flash
  kComponents,    // ComponentsConfiguration
  kVersion,       // four digits "0232" -> "2.32"
  kDottedBytes,   // GPSVersionID 2,3,0,0 -> "2.3.0.0"
  kExposureTime,  // seconds, "1/250"
  kShutterApex,   // APEX time value shown as an exposure time
  kFNumber,       // "f/2.8"
  kApertureApex,  // APEX aperture value shown as an f-number
  kBias,          // "+0.7 EV"
  kUnit,          // number and `unit`
  kCoordinate,    // degrees, minutes, seconds and the reference of the tag before it
  kGpsTime,       // "12:34:56.5"
  kCodedText,     // 8-byte character code then text (UserComment)
  kUcs2Text,      // UCS-2 little-endian text in BYTE values (Windows XP tags)
};

struct EnumValue {
  uint32_t value;
  const char* text;
};

struct TagInfo {
  uint16_t tag;
  const char* name;
  Format format = Format::kPlain;
  std::span<const EnumValue> values = {};
  const char* unit = nullptr;
};

// The description of a tag in a directory, or null for a tag this view does not know.
// IFD0, IFD1 and the EXIF directory share one numbering; GPS and interoperability
// directories have their own.
const TagInfo* FindTag(EXIFView::Ifd ifd, uint16_t tag);

}  // namespace exif

}  // namespace glib::Libtiff
