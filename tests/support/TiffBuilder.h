// A TIFF-structured block written field by field, for the tests of every reader of
// TIFF directories (EXIF views, the directory walker, resolution lists).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/TiffDirectory.h"

namespace testing_support {

namespace tiff = glib::Libtiff;

// Either byte order. Values that do not fit in an entry go right after their
// directory.
class TiffBuilder {
 public:
  struct Field {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data;
  };

  explicit TiffBuilder(bool bigEndian) : big_(bigEndian) {
    bytes_ = big_ ? std::vector<uint8_t>{'M', 'M', 0, 42} : std::vector<uint8_t>{'I', 'I', 42, 0};
    Put(bytes_, 0, 4);
  }

  Field Ascii(uint16_t tag, const std::string& text) const {
    std::vector<uint8_t> d(text.begin(), text.end());
    d.push_back(0);
    return {tag, tiff::kAscii, uint32_t(d.size()), d};
  }
  Field Bytes(uint16_t tag, const std::string& bytes, uint16_t type = tiff::kUndefined) const {
    return {tag, type, uint32_t(bytes.size()), std::vector<uint8_t>(bytes.begin(), bytes.end())};
  }
  Field Ints(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values) const {
    Field f{tag, type, uint32_t(values.size()), {}};
    for (uint32_t v : values) Put(f.data, v, int(tiff::TypeSize(type)));
    return f;
  }
  Field Short(uint16_t tag, uint32_t v) const { return Ints(tag, tiff::kShort, {v}); }
  Field Long(uint16_t tag, uint32_t v) const { return Ints(tag, tiff::kLong, {v}); }
  Field Rationals(uint16_t tag, const std::vector<std::pair<int32_t, int32_t>>& values,
                  uint16_t type = tiff::kRational) const {
    Field f{tag, type, uint32_t(values.size()), {}};
    for (auto [n, d] : values) {
      Put(f.data, uint32_t(n), 4);
      Put(f.data, uint32_t(d), 4);
    }
    return f;
  }
  Field Rational(uint16_t tag, int32_t n, int32_t d) const { return Rationals(tag, {{n, d}}); }
  // An entry whose value or offset field holds `value` as it stands, whatever the
  // type and count claim: for blocks that lie.
  Field Raw(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) const {
    Field f{tag, type, count, {}};
    Put(f.data, value, 4);
    return f;
  }

  // Writes a directory and returns its offset; `first` makes it the header's.
  uint32_t Directory(const std::vector<Field>& fields, bool first = false) {
    const uint32_t at = Size();
    if (first) SetU32(4, at);
    Put(bytes_, uint32_t(fields.size()), 2);
    uint32_t data = at + 2 + 12 * uint32_t(fields.size()) + 4;
    for (const Field& f : fields) {
      Put(bytes_, f.tag, 2);
      Put(bytes_, f.type, 2);
      Put(bytes_, f.count, 4);
      if (f.data.size() <= 4) {
        std::vector<uint8_t> inline4 = f.data;
        inline4.resize(4);
        bytes_.insert(bytes_.end(), inline4.begin(), inline4.end());
      } else {
        Put(bytes_, data, 4);
        data += uint32_t(f.data.size() + (f.data.size() & 1));
      }
    }
    Put(bytes_, 0, 4);  // the next directory, set by Link()
    for (const Field& f : fields) {
      if (f.data.size() <= 4) continue;
      bytes_.insert(bytes_.end(), f.data.begin(), f.data.end());
      if (f.data.size() & 1) bytes_.push_back(0);
    }
    return at;
  }
  void Link(uint32_t from, uint32_t to) { SetU32(from + 2 + 12 * U16(from), to); }

  uint32_t Size() const { return uint32_t(bytes_.size()); }
  std::vector<uint8_t>& Block() { return bytes_; }

 private:
  void Put(std::vector<uint8_t>& out, uint32_t v, int n) const {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (big_ ? 8 * (n - 1 - i) : 8 * i)));
  }
  void SetU32(uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = uint8_t(v >> (big_ ? 24 - 8 * i : 8 * i));
  }
  uint16_t U16(uint32_t at) const {
    return big_ ? uint16_t(bytes_[at] << 8 | bytes_[at + 1])
                : uint16_t(bytes_[at + 1] << 8 | bytes_[at]);
  }
  bool big_;
  std::vector<uint8_t> bytes_;
};

}  // namespace testing_support
