#include "runtime/TiffDirectory.h"

#include <algorithm>
#include <cstring>

#include "formats/Stream.h"
#include "runtime/TiffWriter.h"

namespace glib::Libtiff {

uint32_t TypeSize(uint16_t type) {
  switch (type) {
    case kByte:
    case kAscii:
    case kSByte:
    case kUndefined:
      return 1;
    case kShort:
    case kSShort:
      return 2;
    case kLong:
    case kSLong:
    case kFloat:
    case kIfd:
      return 4;
    case kRational:
    case kSRational:
    case kDouble:
      return 8;
    default:
      return 0;
  }
}

uint16_t Reader::U16(uint32_t at) const {
  const uint8_t* p = Data(at, 2);
  if (!p) return 0;
  return bigEndian_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t Reader::U32(uint32_t at) const {
  const uint8_t* p = Data(at, 4);
  if (!p) return 0;
  return bigEndian_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                    : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

const uint8_t* Reader::Data(uint64_t at, uint64_t size) const {
  if (!Fits(at, size)) return nullptr;
  if (!segment_) return block_.data() + at;
  // Parts are disjoint: only the last one starting at or before `at` can hold it.
  auto part = parts_.upper_bound(uint32_t(at));
  if (part == parts_.begin()) return nullptr;
  --part;
  if (at + size > part->first + part->second.size()) return nullptr;
  return part->second.data() + (at - part->first);
}

bool Reader::Load(uint64_t at, uint64_t size) {
  if (!Fits(at, size)) return false;
  if (!segment_ || Data(at, size)) return true;
  // One part for the range and every part it overlaps, read afresh.
  uint64_t low = at, high = at + size;
  auto first = parts_.upper_bound(uint32_t(at));
  if (first != parts_.begin() && std::prev(first)->first + std::prev(first)->second.size() > at)
    --first;
  auto last = first;
  for (; last != parts_.end() && last->first < high; ++last) {
    low = std::min<uint64_t>(low, last->first);
    high = std::max<uint64_t>(high, last->first + last->second.size());
  }
  if (high - low > kMaxSegmentBytes - segmentBytes_) return false;
  std::vector<uint8_t> bytes(size_t(high - low));
  if (!segment_->Read(low, bytes.data(), bytes.size())) return false;
  segmentBytes_ += bytes.size();
  for (auto part = first; part != last;) {
    retired_.push_back(std::move(part->second));
    part = parts_.erase(part);
  }
  parts_.emplace(uint32_t(low), std::move(bytes));
  return true;
}

bool Reader::Open(std::span<const uint8_t> block) {
  block_ = block;
  segment_ = nullptr;
  size_ = block.size();
  return OpenChain();
}

bool Reader::Open(const Segment& segment) {
  block_ = {};
  segment_ = &segment;
  size_ = segment.Size();
  return OpenChain();
}

bool Reader::OpenChain() {
  chain_.clear();
  visited_.clear();
  parts_.clear();
  retired_.clear();
  segmentBytes_ = 0;
  if (size_ < 8 || size_ > UINT32_MAX || !Load(0, 8)) return false;
  const uint8_t* header = Data(0, 2);
  if (header[0] == 'I' && header[1] == 'I') {
    bigEndian_ = false;
  } else if (header[0] == 'M' && header[1] == 'M') {
    bigEndian_ = true;
  } else {
    return false;
  }
  if (U16(2) != 42) return false;
  // The chain ends at offset 0, at a directory that cannot be read, or at the limit.
  for (uint32_t next = U32(4); next != 0;) {
    std::optional<Directory> directory = ReadDirectory(next);
    if (!directory) break;
    // The link to the next directory follows the last entry.
    const uint32_t link = directory->offset + 2 + 12 * uint32_t(U16(directory->offset));
    chain_.push_back(std::move(*directory));
    next = Load(link, 4) ? U32(link) : 0;
  }
  return true;
}

bool Reader::Open(VStream* stream) {
  owned_.clear();
  segment_ = nullptr;
  if (!stream || stream->IsNull()) return false;
  const int64_t size = stream->Size();
  if (size < 8 || uint64_t(size) > kMaxStreamBytes || !stream->SetPos(0)) return false;
  owned_.resize(size_t(size));
  if (stream->Read(owned_.data(), 1, owned_.size()) != owned_.size()) {
    owned_.clear();
    return false;
  }
  return Open(std::span<const uint8_t>(owned_));
}

std::optional<Directory> Reader::ReadDirectory(uint32_t offset) {
  if (size_ == 0 || !Load(offset, 2)) return std::nullopt;
  if (visited_.size() >= kMaxDirectories) return std::nullopt;
  if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end()) return std::nullopt;
  visited_.push_back(offset);
  const uint16_t count = U16(offset);
  if (count > kMaxEntries || !Load(uint64_t(offset) + 2, uint64_t(count) * 12)) return std::nullopt;
  Directory directory;
  directory.offset = offset;
  directory.entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = offset + 2 + 12 * i;
    Entry entry;
    entry.tag = U16(at);
    entry.type = U16(at + 2);
    entry.count = U32(at + 4);
    const uint64_t bytes = uint64_t(TypeSize(entry.type)) * entry.count;
    if (TypeSize(entry.type) == 0) continue;  // a type we cannot size: skipped
    entry.dataOffset = bytes <= 4 ? at + 8 : U32(at + 8);
    if (!Load(entry.dataOffset, bytes)) continue;  // values outside the block: skipped
    directory.entries.push_back(entry);
  }
  return directory;
}

std::optional<Directory> Reader::SubDirectory(const Entry& entry) {
  std::optional<uint32_t> offset = Unsigned(entry);
  if (!offset || (entry.type != kLong && entry.type != kIfd)) return std::nullopt;
  return ReadDirectory(*offset);
}

const Entry* Reader::Find(const Directory& directory, uint16_t tag) {
  for (const Entry& entry : directory.entries) {
    if (entry.tag == tag) return &entry;
  }
  return nullptr;
}

std::span<const uint8_t> Reader::Bytes(const Entry& entry) const {
  const uint64_t bytes = uint64_t(TypeSize(entry.type)) * entry.count;
  const uint8_t* data = Data(entry.dataOffset, bytes);
  if (!data) return {};
  return {data, size_t(bytes)};
}

std::optional<uint32_t> Reader::Unsigned(const Entry& entry, uint32_t index) const {
  if (index >= entry.count || !Data(entry.dataOffset, uint64_t(TypeSize(entry.type)) * entry.count))
    return std::nullopt;
  const uint32_t at = entry.dataOffset + index * TypeSize(entry.type);
  switch (entry.type) {
    case kByte:
    case kSByte:
    case kUndefined:
      return *Data(at, 1);
    case kShort:
    case kSShort:
      return U16(at);
    case kLong:
    case kSLong:
    case kIfd:
      return U32(at);
    default:
      return std::nullopt;
  }
}

bool IsSigned(uint16_t type) { return type == kSByte || type == kSShort || type == kSLong; }

std::optional<int32_t> Reader::Signed(const Entry& entry, uint32_t index) const {
  std::optional<uint32_t> raw = Unsigned(entry, index);
  if (!raw) return std::nullopt;
  switch (entry.type) {
    case kSByte:
      return int32_t(int8_t(*raw));
    case kSShort:
      return int32_t(int16_t(*raw));
    case kSLong:
      return int32_t(*raw);
    default:
      return int32_t(std::min<uint32_t>(*raw, INT32_MAX));
  }
}

std::optional<Rational> Reader::RationalAt(const Entry& entry, uint32_t index) const {
  if ((entry.type != kRational && entry.type != kSRational) || index >= entry.count ||
      !Data(entry.dataOffset, uint64_t(8) * entry.count))
    return std::nullopt;
  const uint32_t at = entry.dataOffset + 8 * index;
  const uint32_t n = U32(at), d = U32(at + 4);
  if (entry.type == kSRational) return Rational{int32_t(n), int32_t(d)};
  return Rational{n, d};
}

std::optional<double> Reader::Real(const Entry& entry, uint32_t index) const {
  if (entry.type == kRational || entry.type == kSRational) {
    std::optional<Rational> r = RationalAt(entry, index);
    if (!r || r->denominator == 0) return std::nullopt;
    return double(r->numerator) / double(r->denominator);
  }
  if (entry.type == kFloat || entry.type == kDouble) {
    if (index >= entry.count) return std::nullopt;
    const uint32_t size = TypeSize(entry.type);
    const uint8_t* data = Data(entry.dataOffset, uint64_t(size) * entry.count);
    if (!data) return std::nullopt;
    uint8_t bytes[8];
    std::memcpy(bytes, data + index * size, size);
    if (bigEndian_) std::reverse(bytes, bytes + size);
    if (size == 4) {
      float value;
      std::memcpy(&value, bytes, 4);
      return double(value);
    }
    double value;
    std::memcpy(&value, bytes, 8);
    return value;
  }
  if (IsSigned(entry.type)) {
    std::optional<int32_t> value = Signed(entry, index);
    return value ? std::optional<double>(*value) : std::nullopt;
  }
  std::optional<uint32_t> value = Unsigned(entry, index);
  return value ? std::optional<double>(*value) : std::nullopt;
}

}  // namespace glib::Libtiff
