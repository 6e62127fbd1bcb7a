#include "runtime/TiffWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/Stream.h"

namespace glib::Libtiff {

Segment::Segment(VStream* stream, uint64_t start, uint64_t length)
    : stream_(stream), start_(start), length_(0) {
  const int64_t size = stream && !stream->IsNull() ? stream->Size() : 0;
  if (size > 0 && start < uint64_t(size)) length_ = std::min(length, uint64_t(size) - start);
}

bool Segment::Read(uint64_t at, void* out, size_t size) const {
  if (at > length_ || size > length_ - at) return false;
  if (size == 0) return true;
  if (!stream_->SetPos(int64_t(start_ + at))) return false;
  return stream_->Read(out, 1, size) == size;
}

void Writer::Put(std::vector<uint8_t>& out, uint64_t value, int bytes) const {
  for (int i = 0; i < bytes; ++i)
    out.push_back(uint8_t(value >> (bigEndian_ ? 8 * (bytes - 1 - i) : 8 * i)));
}

bool Writer::WriteAt(uint64_t at, const void* data, size_t size) {
  if (failed_ || !out_->SetPos(base_ + int64_t(at))) return Fail();
  if (size && out_->Write(data, 1, size) != size) return Fail();
  return true;
}

bool Writer::Open(VStream* out, bool bigEndian) {
  out_ = out;
  bigEndian_ = bigEndian;
  failed_ = !out;
  entries_.clear();
  chainLink_ = 4;
  lastOffset_ = 0;
  end_ = 0;
  if (failed_) return false;
  base_ = out->Tell();
  if (base_ < 0) return Fail();
  std::vector<uint8_t> header;
  Put(header, bigEndian ? 0x4D4D : 0x4949, 2);  // "MM" or "II"
  Put(header, 42, 2);
  Put(header, 0, 4);  // no directory until the first FlushIFD
  end_ = header.size();
  return WriteAt(0, header.data(), header.size());
}

bool Writer::SetField(uint16_t tag, uint16_t type, uint32_t count, const void* values) {
  const uint32_t size = TypeSize(type);
  if (failed_ || size == 0 || (count && !values)) return Fail();
  if (count > kMaxFieldBytes / size) return Fail();
  Pending entry{tag, type, count, {}};
  entry.bytes.reserve(size_t(count) * size);
  const uint8_t* p = static_cast<const uint8_t*>(values);
  for (uint32_t i = 0; i < count; ++i, p += size) {
    if (type == kRational || type == kSRational) {
      uint32_t pair[2];
      std::memcpy(pair, p, 8);
      Put(entry.bytes, pair[0], 4);
      Put(entry.bytes, pair[1], 4);
      continue;
    }
    uint64_t value = 0;
    switch (size) {
      case 1:
        value = *p;
        break;
      case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        value = v;
        break;
      }
      case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        value = v;
        break;
      }
      default:
        std::memcpy(&value, p, 8);
        break;
    }
    Put(entry.bytes, value, int(size));
  }
  auto same = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Pending& e) { return e.tag == tag; });
  if (same != entries_.end()) {
    *same = std::move(entry);
    return true;
  }
  if (entries_.size() >= kMaxEntries) return Fail();
  entries_.push_back(std::move(entry));
  return true;
}

bool Writer::SetFieldRational(uint16_t tag, double value, uint16_t type) {
  if (type != kRational && type != kSRational) return Fail();
  const bool sign = type == kSRational;
  const double limit = sign ? double(INT32_MAX) : double(UINT32_MAX);
  if (!std::isfinite(value) || (!sign && value < 0) || std::fabs(value) > limit) return Fail();
  // The last convergent of the continued fraction whose terms still fit.
  const double x = std::fabs(value);
  uint64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
  double f = x;
  for (int i = 0; i < 64; ++i) {
    const double a = std::floor(f);
    if (a > limit) break;
    const uint64_t h2 = uint64_t(a) * h1 + h0, k2 = uint64_t(a) * k1 + k0;
    if (double(h2) > limit || double(k2) > limit) break;
    h0 = h1, h1 = h2, k0 = k1, k1 = k2;
    if (f - a < 1e-15 || double(h1) / double(k1) == x) break;
    f = 1 / (f - a);
  }
  if (k1 == 0) return Fail();
  int64_t numerator = int64_t(h1);
  if (value < 0) numerator = -numerator;
  const uint32_t pair[2] = {uint32_t(numerator), uint32_t(k1)};
  return SetField(tag, type, 1, pair);
}

bool Writer::FlushIFDTags() {
  if (failed_) return false;
  std::sort(entries_.begin(), entries_.end(),
            [](const Pending& a, const Pending& b) { return a.tag < b.tag; });
  const uint64_t at = (end_ + 1) & ~uint64_t(1);  // directories start on a word boundary
  const uint64_t valuesAt = at + 2 + 12 * uint64_t(entries_.size()) + 4;
  std::vector<uint8_t> bytes;
  if (at > end_) bytes.push_back(0);
  Put(bytes, entries_.size(), 2);
  uint64_t next = valuesAt;
  for (const Pending& e : entries_) {
    Put(bytes, e.tag, 2);
    Put(bytes, e.type, 2);
    Put(bytes, e.count, 4);
    if (e.bytes.size() <= 4) {
      bytes.insert(bytes.end(), e.bytes.begin(), e.bytes.end());
      bytes.resize(bytes.size() + 4 - e.bytes.size(), 0);
    } else {
      Put(bytes, next, 4);
      next += (e.bytes.size() + 1) & ~size_t(1);
    }
  }
  Put(bytes, 0, 4);  // no next directory yet
  for (const Pending& e : entries_) {
    if (e.bytes.size() <= 4) continue;
    bytes.insert(bytes.end(), e.bytes.begin(), e.bytes.end());
    if (e.bytes.size() % 2) bytes.push_back(0);
  }
  if (next > kMaxBlockBytes) return Fail();
  if (!WriteAt(end_, bytes.data(), bytes.size())) return false;
  end_ = next;
  lastOffset_ = uint32_t(at);
  entries_.clear();
  return true;
}

bool Writer::FlushIFD() {
  const uint32_t count = uint32_t(entries_.size());
  if (!FlushIFDTags()) return false;
  std::vector<uint8_t> link;
  Put(link, lastOffset_, 4);
  if (!WriteAt(chainLink_, link.data(), link.size())) return false;
  // The directory's own link, after its entries, takes the next one.
  chainLink_ = lastOffset_ + 2 + 12 * count;
  return true;
}

bool Writer::AppendIFD() {
  if (failed_) return false;
  return entries_.empty() || FlushIFD();
}

uint32_t Writer::FlushSubIFD() { return FlushIFDTags() ? lastOffset_ : 0; }

}  // namespace glib::Libtiff
