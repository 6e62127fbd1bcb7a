// glib::Libtiff::Reader: the directories of a TIFF-structured block (a TIFF file, an
// EXIF block, a skin file) read from untrusted bytes. Every offset and count is
// checked against the block; directory chains are cycle-safe and limited, so a block
// that points back at itself or claims millions of entries ends the walk instead of
// the program.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

struct VStream;

namespace glib::Libtiff {

class Segment;

// Field types of a directory entry.
enum FieldType : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
  kIfd = 13,
};

// Bytes of one value of the type; 0 for a type this reader does not know.
uint32_t TypeSize(uint16_t type);
// SBYTE, SSHORT and SLONG.
bool IsSigned(uint16_t type);

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  // Where the values start in the block (inside the entry when they fit in four
  // bytes); only entries whose values lie wholly inside the block are kept.
  uint32_t dataOffset = 0;
};

struct Directory {
  uint32_t offset = 0;  // of the directory in the block
  std::vector<Entry> entries;
};

struct Rational {
  int64_t numerator = 0;
  int64_t denominator = 0;
};

class Reader {
 public:
  // Limits of a walk: directories in a chain (and sub-directories in all), entries
  // of one directory, and the size of a stream read whole.
  static constexpr size_t kMaxDirectories = 64;
  static constexpr uint16_t kMaxEntries = 4096;
  static constexpr uint64_t kMaxStreamBytes = uint64_t(256) << 20;
  // Bytes read through a segment in all (each read of overlapping parts counts).
  static constexpr uint64_t kMaxSegmentBytes = uint64_t(64) << 20;

  // The block stays the caller's and must outlive the reader. False when it has no
  // TIFF header ("II*\0" or "MM\0*"); the directory chain that starts at the header
  // is read as far as it is sound.
  bool Open(std::span<const uint8_t> block);
  // The stream from its start, read whole into the reader (up to kMaxStreamBytes).
  bool Open(VStream* stream);
  // A block inside a bigger stream: only the header, the directories and the values
  // of their entries are read, when a directory is read. The segment's stream must
  // outlive the reader; Block() is empty for such a reader.
  bool Open(const Segment& segment);

  bool BigEndian() const { return bigEndian_; }
  std::span<const uint8_t> Block() const { return block_; }
  // The main chain: IFD0, IFD1, ...
  const std::vector<Directory>& Directories() const { return chain_; }

  // The directory at a block offset (a sub-directory such as EXIF, GPS or
  // interoperability); nothing when the offset is outside the block, was read before
  // in this walk, or the limit of directories is reached.
  std::optional<Directory> ReadDirectory(uint32_t offset);
  // The directory an entry points at (a LONG or IFD entry holding an offset).
  std::optional<Directory> SubDirectory(const Entry& entry);

  // The entry with a tag in a directory, or null.
  static const Entry* Find(const Directory& directory, uint16_t tag);

  // Value `index` of an entry read as an unsigned or signed integer (BYTE, SHORT,
  // LONG and their signed forms, IFD); nothing for other types or beyond the count.
  std::optional<uint32_t> Unsigned(const Entry& entry, uint32_t index = 0) const;
  std::optional<int32_t> Signed(const Entry& entry, uint32_t index = 0) const;
  std::optional<Rational> RationalAt(const Entry& entry, uint32_t index = 0) const;
  std::optional<double> Real(const Entry& entry, uint32_t index = 0) const;
  // The raw bytes of the entry's values (count x type size). They stay valid while
  // the reader lives.
  std::span<const uint8_t> Bytes(const Entry& entry) const;

 private:
  bool OpenChain();
  // U16 and U32 read bytes made available by Load.
  uint16_t U16(uint32_t at) const;
  uint32_t U32(uint32_t at) const;
  bool Fits(uint64_t at, uint64_t size) const { return at <= size_ && size <= size_ - at; }
  // The bytes [at, at + size) of the block, or null when they were not loaded.
  const uint8_t* Data(uint64_t at, uint64_t size) const;
  // Makes [at, at + size) readable through Data: a bounds check for a block in
  // memory, a read through the segment otherwise.
  bool Load(uint64_t at, uint64_t size);

  std::span<const uint8_t> block_;
  uint64_t size_ = 0;
  const Segment* segment_ = nullptr;
  // Parts read through the segment, disjoint, by their offset; parts merged into a
  // bigger one stay alive in retired_ so that spans handed out remain valid.
  std::map<uint32_t, std::vector<uint8_t>> parts_;
  std::vector<std::vector<uint8_t>> retired_;
  uint64_t segmentBytes_ = 0;
  std::vector<uint8_t> owned_;
  bool bigEndian_ = false;
  std::vector<Directory> chain_;
  std::vector<uint32_t> visited_;
};

}  // namespace glib::Libtiff
