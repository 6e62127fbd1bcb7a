#include "runtime/ExifView.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "runtime/TiffDirectory.h"

namespace glib::Libtiff {

namespace {

using exif::EnumValue;
using exif::Format;
using exif::TagInfo;
using Ifd = EXIFView::Ifd;

constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kGpsPointer = 0x8825;
constexpr uint16_t kInteropPointer = 0xA005;
// Values listed of one entry, and bytes of text taken from one entry: a block may
// point thousands of entries at the same megabytes.
constexpr uint32_t kMaxValues = 64;
constexpr size_t kMaxTextBytes = 2048;
constexpr const char* kDegree = "\xC2\xB0";

std::string Number(double v) {
  char text[48];
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v));
  } else {
    std::snprintf(text, sizeof text, "%.6g", v);
  }
  return text;
}

double Rounded(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp < 0x20 || cp == 0x7F ? ' ' : cp);  // one line per value
  } else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | (cp >> 12 & 0x3F));
    out += char(0x80 | (cp >> 6 & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The code point of the UTF-8 sequence at `at`, advancing `at`; nothing for a
// malformed, overlong or surrogate sequence.
std::optional<uint32_t> NextUtf8(std::span<const uint8_t> s, size_t& at) {
  const uint8_t lead = s[at];
  const int extra = lead < 0x80                   ? 0
                    : lead >= 0xC2 && lead < 0xE0 ? 1
                    : (lead & 0xF0) == 0xE0       ? 2
                    : lead >= 0xF0 && lead < 0xF5 ? 3
                                                  : -1;
  if (extra < 0 || s.size() - at <= size_t(extra)) return std::nullopt;
  uint32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((s[at + i] & 0xC0) != 0x80) return std::nullopt;
    cp = cp << 6 | (s[at + i] & 0x3F);
  }
  static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return std::nullopt;
  at += size_t(extra) + 1;
  return cp;
}

// Bytes of a text field as UTF-8: kept when they are UTF-8 already, else read as
// Latin-1, which is what older cameras write.
std::string TextFromBytes(std::span<const uint8_t> s) {
  std::string out;
  for (size_t at = 0; at < s.size();) {
    std::optional<uint32_t> cp = NextUtf8(s, at);
    if (!cp) {
      out.clear();
      for (uint8_t c : s) AppendUtf8(out, c);
      return out;
    }
    AppendUtf8(out, *cp);
  }
  return out;
}

std::span<const uint8_t> Capped(std::span<const uint8_t> s) {
  if (s.size() <= kMaxTextBytes) return s;
  size_t cut = kMaxTextBytes;
  while (cut > 0 && (s[cut] & 0xC0) == 0x80) --cut;  // not inside a UTF-8 sequence
  return s.first(cut);
}

std::span<const uint8_t> TrimmedEnd(std::span<const uint8_t> s) {
  while (!s.empty() && (s.back() == 0 || s.back() == ' ')) s = s.first(s.size() - 1);
  return s;
}

// ASCII values: NUL-separated strings, each trimmed, joined with "; ".
std::string AsciiText(std::span<const uint8_t> bytes) {
  const std::span<const uint8_t> s = Capped(bytes);
  std::string out;
  for (size_t start = 0; start < s.size();) {
    size_t end = start;
    while (end < s.size() && s[end] != 0) ++end;
    const std::span<const uint8_t> part = TrimmedEnd(s.subspan(start, end - start));
    if (!part.empty()) {
      if (!out.empty()) out += "; ";
      out += TextFromBytes(part);
    }
    start = end + 1;
  }
  if (s.size() < bytes.size()) out += "...";
  return out;
}

// UTF-16 text up to its first NUL; unpaired surrogates become U+FFFD.
std::string Utf16Text(std::span<const uint8_t> s, bool bigEndian) {
  if (s.size() >= 2 && ((s[0] == 0xFE && s[1] == 0xFF) || (s[0] == 0xFF && s[1] == 0xFE))) {
    bigEndian = s[0] == 0xFE;
    s = s.subspan(2);
  }
  const size_t units = std::min(s.size() / 2, kMaxTextBytes);
  auto unit = [&](size_t i) {
    return bigEndian ? uint32_t(s[2 * i] << 8 | s[2 * i + 1])
                     : uint32_t(s[2 * i + 1] << 8 | s[2 * i]);
  };
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    uint32_t cp = unit(i);
    if (cp == 0) break;
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(++i) - 0xDC00);
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string ByteCount(const Entry& entry) {
  return std::to_string(uint64_t(TypeSize(entry.type)) * entry.count) + " bytes";
}

// Formats the value of one entry; nothing when the entry is hidden in this view.
class ValueFormatter {
 public:
  ValueFormatter(const Reader& reader, const Directory& directory, bool detailed)
      : reader_(reader), directory_(directory), detailed_(detailed) {}

  std::optional<std::string> Format(const Entry& entry, const TagInfo* info) const {
    if (!info) return detailed_ ? std::optional(Plain(entry)) : std::nullopt;
    switch (info->format) {
      case Format::kHidden:
        return detailed_ ? std::optional(Plain(entry)) : std::nullopt;
      case Format::kBlob:
        return detailed_ ? std::optional(ByteCount(entry)) : std::nullopt;
      case Format::kCodedText:
        return CodedText(entry);
      default:
        break;
    }
    std::optional<std::string> value = Special(entry, *info);
    if (!value) return PlainOrHidden(entry);
    return value;
  }

 private:
  // Blobs and empty texts are shown only in the detailed view.
  std::optional<std::string> PlainOrHidden(const Entry& entry) const {
    if (detailed_) return Plain(entry);
    if (entry.type == kUndefined) return std::nullopt;
    std::string value = Plain(entry);
    if (value.empty()) return std::nullopt;
    return value;
  }

  std::string Plain(const Entry& entry) const {
    if (entry.type == kAscii) return AsciiText(reader_.Bytes(entry));
    if (entry.type == kUndefined) return ByteCount(entry);
    std::string out;
    const uint32_t count = std::min(entry.count, kMaxValues);
    for (uint32_t i = 0; i < count; ++i) {
      if (i) out += ", ";
      out += One(entry, i);
    }
    if (entry.count > kMaxValues) out += ", ...";
    return out;
  }

  std::string One(const Entry& entry, uint32_t i) const {
    if (entry.type == kRational || entry.type == kSRational) {
      std::optional<Rational> r = reader_.RationalAt(entry, i);
      if (!r) return "";
      if (r->denominator == 0) return "undefined";
      return Number(double(r->numerator) / double(r->denominator));
    }
    if (IsSigned(entry.type)) return std::to_string(reader_.Signed(entry, i).value_or(0));
    if (entry.type == kFloat || entry.type == kDouble)
      return Number(reader_.Real(entry, i).value_or(0));
    return std::to_string(reader_.Unsigned(entry, i).value_or(0));
  }

  bool IsNumeric(const Entry& entry) const {
    return entry.type != kAscii && entry.type != kUndefined && entry.count > 0;
  }

  // The first value as a number; nothing for texts, blobs and a zero denominator.
  std::optional<double> Real(const Entry& entry, uint32_t i = 0) const {
    if (!IsNumeric(entry)) return std::nullopt;
    std::optional<double> v = reader_.Real(entry, i);
    if (v && !std::isfinite(*v)) return std::nullopt;
    return v;
  }

  std::optional<std::string> Special(const Entry& entry, const TagInfo& info) const {
    switch (info.format) {
      case Format::kEnum:
        return Enum(entry, info.values);
      case Format::kFlash:
        return Flash(entry);
      case Format::kComponents:
        return Components(entry);
      case Format::kVersion:
        return Version(entry);
      case Format::kDottedBytes:
        return Dotted(entry);
      case Format::kExposureTime:
        return Exposure(Real(entry));
      case Format::kShutterApex: {
        std::optional<double> v = Real(entry);
        if (!v || std::fabs(*v) > 100) return std::nullopt;
        return Exposure(std::exp2(-*v));
      }
      case Format::kFNumber:
        return FNumber(Real(entry), 2);
      case Format::kApertureApex: {
        std::optional<double> v = Real(entry);
        if (!v || std::fabs(*v) > 100) return std::nullopt;
        return FNumber(std::exp2(*v / 2), 1);
      }
      case Format::kBias:
        return Bias(Real(entry));
      case Format::kUnit:
        return WithUnit(entry, info.unit);
      case Format::kCoordinate:
        return Coordinate(entry);
      case Format::kGpsTime:
        return GpsTime(entry);
      case Format::kUcs2Text:
        if (entry.type == kAscii) return std::nullopt;
        return Utf16Text(reader_.Bytes(entry), false);
      default:
        return std::nullopt;
    }
  }

  std::optional<std::string> Enum(const Entry& entry, std::span<const EnumValue> values) const {
    std::optional<uint32_t> raw;
    if (entry.type == kAscii) {
      std::span<const uint8_t> bytes = reader_.Bytes(entry);
      if (entry.count > 2 || bytes.empty()) return std::nullopt;  // a reference is one letter
      raw = bytes[0];
    } else if (!IsSigned(entry.type)) {
      raw = reader_.Unsigned(entry);
    }
    if (!raw) return std::nullopt;
    for (const EnumValue& v : values) {
      if (v.value == *raw) return v.text;
    }
    // The number, or the letter, as stored.
    if (entry.type == kUndefined && entry.count == 1) return std::to_string(*raw);
    return std::nullopt;
  }

  std::optional<std::string> Flash(const Entry& entry) const {
    if (entry.type != kShort && entry.type != kLong && entry.type != kByte) return std::nullopt;
    std::optional<uint32_t> bits = reader_.Unsigned(entry);
    if (!bits) return std::nullopt;
    if (*bits & 0x20) return std::string("No flash function");
    std::string out = *bits & 1 ? "Fired" : "Not fired";
    static constexpr const char* kReturn[] = {nullptr, nullptr, "Return not detected",
                                              "Return detected"};
    static constexpr const char* kMode[] = {nullptr, "Forced mode", "Off mode", "Auto mode"};
    if (const char* text = kReturn[*bits >> 1 & 3]) out += std::string(", ") + text;
    if (const char* text = kMode[*bits >> 3 & 3]) out += std::string(", ") + text;
    if (*bits & 0x40) out += ", Red-eye reduction";
    return out;
  }

  std::optional<std::string> Components(const Entry& entry) const {
    static constexpr const char* kNames[] = {"-", "Y", "Cb", "Cr", "R", "G", "B"};
    if (entry.type != kUndefined && entry.type != kByte) return std::nullopt;
    std::span<const uint8_t> bytes = reader_.Bytes(entry);
    if (bytes.empty() || bytes.size() > 8) return std::nullopt;
    std::string out;
    for (uint8_t c : bytes) {
      if (!out.empty()) out += ", ";
      out += c < std::size(kNames) ? kNames[c] : std::to_string(c);
    }
    return out;
  }

  // Four digits: "0232" is 2.32, "0100" is 1.00.
  std::optional<std::string> Version(const Entry& entry) const {
    std::span<const uint8_t> b = reader_.Bytes(entry);
    if (entry.type != kUndefined && entry.type != kAscii) return std::nullopt;
    if (b.size() < 4 ||
        !std::all_of(b.begin(), b.begin() + 4, [](uint8_t c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    const int major = (b[0] - '0') * 10 + (b[1] - '0');
    return std::to_string(major) + "." + char(b[2]) + char(b[3]);
  }

  std::optional<std::string> Dotted(const Entry& entry) const {
    if (entry.type != kByte || entry.count == 0 || entry.count > 8) return std::nullopt;
    std::string out;
    for (uint32_t i = 0; i < entry.count; ++i) {
      if (i) out += ".";
      out += std::to_string(reader_.Unsigned(entry, i).value_or(0));
    }
    return out;
  }

  // Short exposures as the fraction photographers use, "1/250".
  static std::optional<std::string> Exposure(std::optional<double> t) {
    if (!t) return std::nullopt;
    if (*t > 0 && *t < 0.25) {
      const double r = 1 / *t;
      if (std::fabs(r - std::round(r)) <= std::max(0.01, r * 1e-3))
        return "1/" + Number(std::round(r));
    }
    return Number(*t);
  }

  static std::optional<std::string> FNumber(std::optional<double> f, int decimals) {
    if (!f) return std::nullopt;
    return "f/" + Number(Rounded(*f, decimals));
  }

  static std::optional<std::string> Bias(std::optional<double> ev) {
    if (!ev) return std::nullopt;
    const double v = Rounded(*ev, 1);
    if (v == 0) return std::string("0 EV");
    return (v > 0 ? "+" : "-") + Number(std::fabs(v)) + " EV";
  }

  std::optional<std::string> WithUnit(const Entry& entry, const char* unit) const {
    if (!IsNumeric(entry) || !unit) return std::nullopt;
    std::string value = Plain(entry);
    if (value == "undefined") return value;
    return value + " " + unit;
  }

  // Degrees, minutes and seconds, and the letter of the reference tag stored just
  // before the coordinate ("N" for GPSLatitude).
  std::optional<std::string> Coordinate(const Entry& entry) const {
    if (entry.count < 3) return std::nullopt;
    std::optional<double> d = Real(entry, 0), m = Real(entry, 1), s = Real(entry, 2);
    if (!d || !m || !s) return std::nullopt;
    std::string out = Number(*d) + kDegree + " " + Number(*m) + "' " + Number(*s) + "\"";
    if (const Entry* ref = Reader::Find(directory_, uint16_t(entry.tag - 1))) {
      std::span<const uint8_t> letter = reader_.Bytes(*ref);
      if (ref->type == kAscii && !letter.empty() && std::isalpha(letter[0]))
        out += std::string(" ") + char(letter[0]);
    }
    return out;
  }

  std::optional<std::string> GpsTime(const Entry& entry) const {
    if (entry.count != 3) return std::nullopt;
    std::string out;
    for (uint32_t i = 0; i < 3; ++i) {
      std::optional<double> v = Real(entry, i);
      if (!v || *v < 0 || *v >= 100) return std::nullopt;
      std::string part = Number(Rounded(*v, 3));
      if (*v < 10) part.insert(0, "0");
      out += (i ? ":" : "") + part;
    }
    return out;
  }

  // An 8-byte character code, then the text: UserComment, GPSProcessingMethod.
  std::optional<std::string> CodedText(const Entry& entry) const {
    std::span<const uint8_t> b = reader_.Bytes(entry);
    if (entry.type == kAscii) return PlainOrHidden(entry);
    if (entry.type != kUndefined || b.size() < 8) return PlainOrHidden(entry);
    const std::span<const uint8_t> code = b.first(8), text = b.subspan(8);
    std::string value;
    if (std::memcmp(code.data(), "ASCII\0\0\0", 8) == 0) {
      value = AsciiText(text);
    } else if (std::memcmp(code.data(), "UNICODE\0", 8) == 0) {
      value = Utf16Text(text, reader_.BigEndian());
    } else if (std::all_of(text.begin(), text.end(),
                           [](uint8_t c) { return c == 0 || (c >= 0x20 && c < 0x7F); })) {
      value = AsciiText(text);  // JIS and unknown codes holding plain ASCII
    } else {
      return std::to_string(text.size()) + " bytes";
    }
    const bool blank = std::all_of(value.begin(), value.end(), [](char c) { return c == ' '; });
    if (!blank) return value;
    return detailed_ ? std::optional(ByteCount(entry)) : std::nullopt;
  }

  const Reader& reader_;
  const Directory& directory_;
  bool detailed_;
};

}  // namespace

EXIFView::EXIFView(bool detailed) : detailed_(detailed) {}

bool EXIFView::BuildView(const uint8_t* block, uint32_t size) {
  items_.clear();
  if (!block) return false;
  std::span<const uint8_t> bytes(block, size);
  if (bytes.size() >= 6 && std::memcmp(bytes.data(), "Exif\0", 5) == 0) bytes = bytes.subspan(6);
  Reader reader;
  if (!reader.Open(bytes)) return false;
  // Copied: reading sub-directories may not disturb the chain being walked.
  const std::vector<Directory> chain = reader.Directories();
  if (chain.empty()) return true;
  AddDirectory(reader, chain[0], Ifd::kIfd0);
  std::optional<Directory> exif = AddSubDirectory(reader, chain[0], kExifPointer, Ifd::kExif);
  AddSubDirectory(reader, chain[0], kGpsPointer, Ifd::kGps);
  if (exif) AddSubDirectory(reader, *exif, kInteropPointer, Ifd::kInterop);
  if (chain.size() > 1) AddDirectory(reader, chain[1], Ifd::kIfd1);
  return true;
}

std::optional<Directory> EXIFView::AddSubDirectory(Reader& reader, const Directory& parent,
                                                   uint16_t pointer, Ifd ifd) {
  const Entry* entry = Reader::Find(parent, pointer);
  if (!entry) return std::nullopt;
  // A pointer at a directory read before gives nothing, which ends a cycle.
  std::optional<Directory> directory = reader.SubDirectory(*entry);
  if (directory) AddDirectory(reader, *directory, ifd);
  return directory;
}

void EXIFView::AddDirectory(Reader& reader, const Directory& directory, Ifd ifd) {
  const ValueFormatter formatter(reader, directory, detailed_);
  for (const Entry& entry : directory.entries) {
    if (items_.size() >= kMaxItems) return;
    const TagInfo* info = exif::FindTag(ifd, entry.tag);
    std::optional<std::string> value = formatter.Format(entry, info);
    if (!value) continue;
    std::string name;
    if (ifd == Ifd::kIfd1) name = "Thumbnail ";
    if (info) {
      name += info->name;
    } else {
      char text[16];
      std::snprintf(text, sizeof text, "Tag 0x%04X", entry.tag);
      name += text;
    }
    items_.push_back({entry.tag, ifd, std::move(name), std::move(*value)});
  }
}

bool EXIFView::IsEmpty() const { return items_.empty(); }

uint32_t EXIFView::GetSize() const { return uint32_t(items_.size()); }

const char* EXIFView::GetName(uint32_t index) const {
  return index < items_.size() ? items_[index].name.c_str() : "";
}

const char* EXIFView::GetValue(uint32_t index) const {
  return index < items_.size() ? items_[index].value.c_str() : "";
}

uint16_t EXIFView::GetTag(uint32_t index) const {
  return index < items_.size() ? items_[index].tag : 0;
}

EXIFView::Ifd EXIFView::GetIfd(uint32_t index) const {
  return index < items_.size() ? items_[index].ifd : Ifd::kIfd0;
}

}  // namespace glib::Libtiff
