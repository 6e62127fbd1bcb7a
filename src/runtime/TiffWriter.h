// glib::Libtiff::Writer builds TIFF-structured blocks (an EXIF block, a small TIFF
// directory chain) into a stream; glib::Libtiff::Segment is a window onto part of a
// stream, so that Reader can read a TIFF-structured block inside a bigger file
// without reading the file.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/TiffDirectory.h"

struct VStream;

namespace glib::Libtiff {

// The bytes [start, start + length) of a stream, read on demand at offsets relative
// to `start`. The length is clipped to what the stream holds; the stream stays the
// caller's and must outlive the segment (and any Reader opened on it).
class Segment {
 public:
  Segment(VStream* stream, uint64_t start, uint64_t length);

  uint64_t Size() const { return length_; }
  // False when the range is not wholly inside the segment or the stream reads short.
  bool Read(uint64_t at, void* out, size_t size) const;

 private:
  VStream* stream_;
  uint64_t start_;
  uint64_t length_;
};

// Writes one TIFF-structured block at the stream's position: the header, then each
// directory as it is flushed, its values (those over four bytes) right after it.
// Offsets in the block count from the header, as in a TIFF file.
//
// Directories are built one at a time: SetField collects the entries of the current
// directory, and a flush writes them, sorted by tag, and starts an empty one. A
// sub-directory (EXIF, GPS, interoperability) is flushed before its parent:
//
//   writer.SetField(kGpsVersion, ...);               // the GPS directory's entries
//   uint32_t gps = writer.FlushSubIFD();              // written, its offset returned
//   writer.SetField(kGpsPointer, kLong, 1, &gps);     // the parent points at it
//   writer.SetField(kMake, kAscii, 6, "Canon");
//   writer.FlushIFD();                                // IFD0, linked from the header
//
// Any failure (a refused field, a short write) poisons the writer: every later call
// fails and the block must be thrown away.
class Writer {
 public:
  static constexpr uint16_t kMaxEntries = Reader::kMaxEntries;  // per directory
  static constexpr uint32_t kMaxFieldBytes = uint32_t(16) << 20;
  static constexpr uint64_t kMaxBlockBytes = uint64_t(256) << 20;

  // Writes the header ("II*\0" or "MM\0*") with no directory yet.
  bool Open(VStream* out, bool bigEndian = false);

  // Adds an entry to the current directory, replacing one with the same tag. `values`
  // are `count` values of the type in host order (RATIONAL and SRATIONAL as pairs of
  // 32-bit numerator and denominator; ASCII with its NUL counted).
  bool SetField(uint16_t tag, uint16_t type, uint32_t count, const void* values);
  // One RATIONAL (or, with kSRational, SRATIONAL) closest to `value` with 32-bit terms.
  // False for NaN, infinities, values beyond the type and negatives as RATIONAL.
  bool SetFieldRational(uint16_t tag, double value, uint16_t type = kRational);

  // Writes the current directory without linking it anywhere; LastOffset() says where.
  bool FlushIFDTags();
  // Writes the current directory as the next of the main chain (the header's first
  // directory, then each linked from the one before).
  bool FlushIFD();
  // Ends the current main-chain directory (flushed when it has entries) and starts
  // the next one.
  bool AppendIFD();
  // Writes the current directory as a sub-directory; its offset for a LONG or IFD
  // entry of the parent, or 0 on failure.
  uint32_t FlushSubIFD();

  uint32_t LastOffset() const { return lastOffset_; }
  uint64_t Size() const { return end_; }  // bytes of the block so far
  bool Failed() const { return failed_; }

 private:
  struct Pending {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> bytes;  // in the block's byte order
  };

  void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) const;
  bool WriteAt(uint64_t at, const void* data, size_t size);
  bool Fail() {
    failed_ = true;
    return false;
  }

  VStream* out_ = nullptr;
  int64_t base_ = 0;
  bool bigEndian_ = false;
  bool failed_ = true;  // until Open
  uint64_t end_ = 0;
  uint32_t chainLink_ = 4;  // where the next main-chain directory's offset goes
  uint32_t lastOffset_ = 0;
  std::vector<Pending> entries_;
};

}  // namespace glib::Libtiff
