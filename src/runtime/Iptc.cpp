#include "runtime/Iptc.h"

#include <algorithm>
#include <cstring>

#include "formats/Stream.h"

namespace Libiptc {
namespace {

enum class Kind : uint8_t { kText, kNumber, kDate, kTime, kCharset, kBinary };

struct DatasetName {
  uint8_t record, dataset;
  const char* name;
  Kind kind;
};

// Records 1 and 2 of IIM 4.2. Numbers are stored as big-endian binary; dates as
// CCYYMMDD, times as HHMMSS+-HHMM.
constexpr DatasetName kNames[] = {
    {1, 0, "Envelope Record Version", Kind::kNumber},
    {1, 5, "Destination", Kind::kText},
    {1, 20, "File Format", Kind::kNumber},
    {1, 22, "File Format Version", Kind::kNumber},
    {1, 30, "Service Identifier", Kind::kText},
    {1, 40, "Envelope Number", Kind::kText},
    {1, 50, "Product ID", Kind::kText},
    {1, 60, "Envelope Priority", Kind::kText},
    {1, 70, "Date Sent", Kind::kDate},
    {1, 80, "Time Sent", Kind::kTime},
    {1, 90, "Coded Character Set", Kind::kCharset},
    {1, 100, "Unique Name of Object", Kind::kText},
    {1, 120, "ARM Identifier", Kind::kNumber},
    {1, 122, "ARM Version", Kind::kNumber},
    {2, 0, "Record Version", Kind::kNumber},
    {2, 3, "Object Type Reference", Kind::kText},
    {2, 4, "Object Attribute Reference", Kind::kText},
    {2, 5, "Object Name", Kind::kText},
    {2, 7, "Edit Status", Kind::kText},
    {2, 8, "Editorial Update", Kind::kText},
    {2, 10, "Urgency", Kind::kText},
    {2, 12, "Subject Reference", Kind::kText},
    {2, 15, "Category", Kind::kText},
    {2, 20, "Supplemental Category", Kind::kText},
    {2, 22, "Fixture Identifier", Kind::kText},
    {2, 25, "Keywords", Kind::kText},
    {2, 26, "Content Location Code", Kind::kText},
    {2, 27, "Content Location Name", Kind::kText},
    {2, 30, "Release Date", Kind::kDate},
    {2, 35, "Release Time", Kind::kTime},
    {2, 37, "Expiration Date", Kind::kDate},
    {2, 38, "Expiration Time", Kind::kTime},
    {2, 40, "Special Instructions", Kind::kText},
    {2, 42, "Action Advised", Kind::kText},
    {2, 45, "Reference Service", Kind::kText},
    {2, 47, "Reference Date", Kind::kDate},
    {2, 50, "Reference Number", Kind::kText},
    {2, 55, "Date Created", Kind::kDate},
    {2, 60, "Time Created", Kind::kTime},
    {2, 62, "Digital Creation Date", Kind::kDate},
    {2, 63, "Digital Creation Time", Kind::kTime},
    {2, 65, "Originating Program", Kind::kText},
    {2, 70, "Program Version", Kind::kText},
    {2, 75, "Object Cycle", Kind::kText},
    {2, 80, "By-line", Kind::kText},
    {2, 85, "By-line Title", Kind::kText},
    {2, 90, "City", Kind::kText},
    {2, 92, "Sub-location", Kind::kText},
    {2, 95, "Province/State", Kind::kText},
    {2, 100, "Country/Primary Location Code", Kind::kText},
    {2, 101, "Country/Primary Location Name", Kind::kText},
    {2, 103, "Original Transmission Reference", Kind::kText},
    {2, 105, "Headline", Kind::kText},
    {2, 110, "Credit", Kind::kText},
    {2, 115, "Source", Kind::kText},
    {2, 116, "Copyright Notice", Kind::kText},
    {2, 118, "Contact", Kind::kText},
    {2, 120, "Caption/Abstract", Kind::kText},
    {2, 122, "Writer/Editor", Kind::kText},
    {2, 125, "Rasterized Caption", Kind::kBinary},
    {2, 130, "Image Type", Kind::kText},
    {2, 131, "Image Orientation", Kind::kText},
    {2, 135, "Language Identifier", Kind::kText},
    {2, 150, "Audio Type", Kind::kText},
    {2, 151, "Audio Sampling Rate", Kind::kText},
    {2, 152, "Audio Sampling Resolution", Kind::kText},
    {2, 153, "Audio Duration", Kind::kText},
    {2, 154, "Audio Outcue", Kind::kText},
    {2, 200, "ObjectData Preview File Format", Kind::kNumber},
    {2, 201, "ObjectData Preview File Format Version", Kind::kNumber},
    {2, 202, "ObjectData Preview Data", Kind::kBinary},
};

const DatasetName* FindName(uint8_t record, uint8_t dataset) {
  for (const DatasetName& n : kNames) {
    if (n.record == record && n.dataset == dataset) return &n;
  }
  return nullptr;
}

constexpr uint8_t kTagMarker = 0x1C;
constexpr uint8_t kUtf8Designation[] = {0x1B, '%', 'G'};
constexpr uint16_t kIimResource = 0x0404;

uint32_t BigEndian(const uint8_t* p, size_t n) {
  uint32_t value = 0;
  for (size_t i = 0; i < n; ++i) value = value << 8 | p[i];
  return value;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Length of the well-formed UTF-8 sequence at p (shortest form, no surrogates, at
// most U+10FFFF); 0 when it is not one.
size_t Utf8Sequence(const uint8_t* p, size_t left) {
  const uint8_t b = p[0];
  if (b < 0x80) return 1;
  size_t n = b >= 0xC2 && b <= 0xDF   ? 2
             : b >= 0xE0 && b <= 0xEF ? 3
             : b >= 0xF0 && b <= 0xF4 ? 4
                                      : 0;
  if (n == 0 || n > left) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  if (b == 0xE0 && p[1] < 0xA0) return 0;  // overlong
  if (b == 0xED && p[1] > 0x9F) return 0;  // surrogates
  if (b == 0xF0 && p[1] < 0x90) return 0;  // overlong
  if (b == 0xF4 && p[1] > 0x8F) return 0;  // beyond U+10FFFF
  return n;
}

std::string FromUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8Sequence(bytes.data() + i, bytes.size() - i);
    if (n == 0) {
      AppendUtf8(out, 0xFFFD);
      ++i;
      continue;
    }
    out.append(reinterpret_cast<const char*>(bytes.data() + i), n);
    i += n;
  }
  return out;
}

std::string FromLatin1(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) AppendUtf8(out, b);
  return out;
}

bool AllDigits(const std::string& s, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

// CCYYMMDD as YYYY:MM:DD; anything else as stored.
std::string Date(const std::string& s) {
  if (s.size() != 8 || !AllDigits(s, 0, 8)) return s;
  return s.substr(0, 4) + ':' + s.substr(4, 2) + ':' + s.substr(6, 2);
}

// HHMMSS+-HHMM as HH:MM:SS+-HH:MM (HHMMSS alone as HH:MM:SS); anything else as stored.
std::string Time(const std::string& s) {
  if ((s.size() != 6 && s.size() != 11) || !AllDigits(s, 0, 6)) return s;
  std::string out = s.substr(0, 2) + ':' + s.substr(2, 2) + ':' + s.substr(4, 2);
  if (s.size() == 6) return out;
  if ((s[6] != '+' && s[6] != '-') || !AllDigits(s, 7, 11)) return s;
  return out + s[6] + s.substr(7, 2) + ':' + s.substr(9, 2);
}

}  // namespace

glib::ERetcode IPTC::LoadFromStream(VStream* stream) {
  datasets_.clear();
  utf8_ = false;
  if (!stream || stream->IsNull()) return glib::NSUP;
  const int64_t size = stream->Size(), pos = stream->Tell();
  if (size <= 0 || pos < 0 || pos >= size) return glib::NSUP;
  std::vector<uint8_t> bytes(size_t(std::min<uint64_t>(uint64_t(size - pos), kMaxStreamBytes)));
  if (stream->Read(bytes.data(), 1, bytes.size()) != bytes.size()) return glib::RERR;
  return LoadFromBytes(bytes);
}

glib::ERetcode IPTC::LoadFromBytes(std::span<const uint8_t> bytes) {
  datasets_.clear();
  utf8_ = false;
  if (bytes.empty()) return glib::NSUP;
  if (bytes[0] == kTagMarker) return ReadIim(bytes);
  return ReadResources(bytes);
}

glib::ERetcode IPTC::ReadIim(std::span<const uint8_t> block) {
  size_t at = 0;
  // Each dataset: marker, record, dataset, a 2-byte length; a length with the high bit
  // set gives instead how many bytes (1 to 4) of length follow.
  while (at + 5 <= block.size() && block[at] == kTagMarker) {
    const uint8_t* p = block.data() + at;
    uint32_t length = BigEndian(p + 3, 2);
    size_t header = 5;
    if (length & 0x8000) {
      const uint32_t octets = length & 0x7FFF;
      if (octets == 0 || octets > 4 || at + 5 + octets > block.size()) break;
      length = BigEndian(p + 5, octets);
      header += octets;
    }
    // A dataset may not claim more than the rest of the block.
    if (length > block.size() - at - header) break;
    Dataset d;
    d.record = p[1];
    d.dataset = p[2];
    d.value.assign(p + header, p + header + length);
    datasets_.push_back(std::move(d));
    at += header + length;
  }
  if (datasets_.empty()) return glib::BADI;
  for (const Dataset& d : datasets_) {
    if (d.record == 1 && d.dataset == 90)
      utf8_ = d.value.size() == 3 && std::equal(d.value.begin(), d.value.end(), kUtf8Designation);
  }
  return glib::RCOK;
}

glib::ERetcode IPTC::ReadResources(std::span<const uint8_t> block) {
  static constexpr char kSignature[] = "Photoshop 3.0";  // with its NUL: 14 bytes
  size_t at = 0;
  if (block.size() >= 14 && std::memcmp(block.data(), kSignature, 14) == 0) at = 14;
  // Each resource: "8BIM", a 2-byte id, a Pascal name padded to even length, a 4-byte
  // size and the data padded to even length.
  for (uint32_t n = 0; n < kMaxResources && at + 12 <= block.size(); ++n) {
    const uint8_t* p = block.data() + at;
    if (std::memcmp(p, "8BIM", 4) != 0) break;
    const uint16_t id = uint16_t(BigEndian(p + 4, 2));
    const size_t nameBytes = (size_t(p[6]) + 2) & ~size_t(1);
    if (at + 6 + nameBytes + 4 > block.size()) break;
    const uint32_t size = BigEndian(p + 6 + nameBytes, 4);
    const size_t data = at + 6 + nameBytes + 4;
    if (size > block.size() - data) break;
    if (id == kIimResource) return size ? ReadIim(block.subspan(data, size)) : glib::NSUP;
    at = data + ((size_t(size) + 1) & ~size_t(1));
  }
  return glib::NSUP;
}

std::string IPTC::Text(const Dataset& d) const {
  std::string text = utf8_ ? FromUtf8(d.value) : FromLatin1(d.value);
  // Writers pad fixed fields with NULs.
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

bool IPTC::GetPrintableItem(uint32_t index, std::string& name, std::string& value) const {
  if (index >= datasets_.size()) return false;
  const Dataset& d = datasets_[index];
  if (d.record != 1 && d.record != 2) return false;
  const DatasetName* known = FindName(d.record, d.dataset);
  const Kind kind = known ? known->kind : Kind::kText;
  switch (kind) {
    case Kind::kBinary:
      return false;
    case Kind::kNumber:
      if (d.value.empty() || d.value.size() > 4) return false;
      value = std::to_string(BigEndian(d.value.data(), d.value.size()));
      break;
    case Kind::kDate:
      value = Date(Text(d));
      break;
    case Kind::kTime:
      value = Time(Text(d));
      break;
    case Kind::kCharset:
      if (utf8_) {
        value = "UTF8";
      } else {
        // An escape sequence: the escape shown by name, the rest as it is.
        value.clear();
        for (uint8_t b : d.value) {
          if (b == 0x1B) {
            value += "ESC ";
          } else if (b >= 0x20 && b < 0x7F) {
            value += char(b);
          } else {
            value += '.';
          }
        }
      }
      break;
    case Kind::kText:
      value = Text(d);
      break;
  }
  name =
      known ? known->name : "Record " + std::to_string(d.record) + ":" + std::to_string(d.dataset);
  return true;
}

uint8_t IPTC::GetRecord(uint32_t index) const {
  return index < datasets_.size() ? datasets_[index].record : 0;
}

uint8_t IPTC::GetDataset(uint32_t index) const {
  return index < datasets_.size() ? datasets_[index].dataset : 0;
}

}  // namespace Libiptc
