#include "host/IniFile.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/Module.h"

namespace host {
namespace {

// Bytes up to 32 (blanks, line ends, control characters) count as white space.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsItemStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '+' || c == '-' || c == '*';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Optional blanks and sign, as scanf reads them; returns whether the number is negative.
bool SkipBlanksAndSign(std::string_view& text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return negative;
}

// "%X": digits up to the first non-digit, an optional "0x", a sign negating as for
// an unsigned number. Too many digits saturate rather than wrap.
int32_t ParseHex(std::string_view text) {
  bool negative = SkipBlanksAndSign(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      HexDigit(text[2]) >= 0) {
    text.remove_prefix(2);
  }
  uint64_t value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) break;
    value = std::min<uint64_t>(value * 16 + uint64_t(digit), 0xFFFFFFFFu);
  }
  uint32_t bits = uint32_t(value);
  return int32_t(negative ? 0u - bits : bits);
}

// "%d" with saturation at the 32-bit limits; no digits read as 0.
// A stored float: '_' is the separator; the file's decimal point (that of the locale
// it was read under) counts too, any other character ends the number. Formatting
// and parsing never depend on the locale of the moment, which the host may change.
double ParseFloat(std::string_view text, char decimalPoint) {
  std::string number;
  for (char c : text) {
    if (c == '_' || c == decimalPoint) {
      number += '.';
    } else if (c == '.') {
      break;
    } else {
      number += c;
    }
  }
  size_t start = 0;
  while (start < number.size() && (number[start] == ' ' || number[start] == '\t')) ++start;
  if (start < number.size() && number[start] == '+') ++start;
  double result = 0.0;
  std::from_chars(number.data() + start, number.data() + number.size(), result);
  return result;
}

int32_t ParseDecimal(std::string_view text) {
  bool negative = SkipBlanksAndSign(text);
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(value * 10 + (c - '0'), int64_t(INT32_MAX) + 1);
  }
  if (negative) value = -value;
  return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A line break inside a name or a string would start a new line in the file.
std::string WithoutLineBreaks(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '\n', ' ');
  std::replace(out.begin(), out.end(), '\r', ' ');
  return out;
}

// The line-end characters of a line, and anything after a NUL (as a C string ends).
// A NUL ends a line's text, as it ends a C string.
std::string_view TextOf(std::string_view piece) { return piece.substr(0, piece.find('\0')); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

IniFile::IniFile() {
  const char* point = std::localeconv()->decimal_point;
  decimalPoint_ = (point && point[0]) ? point[0] : '.';
}

IniFile::IniFile(char decimalPoint) : decimalPoint_(decimalPoint ? decimalPoint : '.') {}

std::string ResolveIniPath(std::string_view path, bool pathIsFull) {
  if (pathIsFull) return std::string(path);
  static const char anchor = 0;
  return platform::ModuleFolder(&anchor) + std::string(path);
}

bool IniFile::Load(std::string_view path, bool pathIsFull) {
  Clear();
  FilePtr file(std::fopen(ResolveIniPath(path, pathIsFull).c_str(), "rb"));
  if (!file) return false;
  std::string bytes;
  char chunk[8192];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    if (bytes.size() + got > kMaxFileSize) return false;
    bytes.append(chunk, got);
  }
  if (std::ferror(file.get())) return false;
  LoadFromMemory(bytes);
  return true;
}

void IniFile::LoadFromMemory(std::string_view bytes) {
  Clear();
  while (!bytes.empty()) {
    size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Lines are read at most kMaxLineLength characters at a time: the rest of a longer
    // line is read as the next line.
    do {
      std::string_view piece = line.substr(0, kMaxLineLength);
      line.remove_prefix(piece.size());
      ParseLine(TextOf(piece));
    } while (!line.empty());
  }
}

void IniFile::ParseLine(std::string_view line) {
  if (line.empty()) return;
  if (line.front() == '[') {
    size_t start = line.find_first_not_of('[');
    std::string_view name =
        start == std::string_view::npos ? std::string_view() : line.substr(start);
    sections_.push_back({std::string(Trim(name.substr(0, name.find(']')))), {}});
    return;
  }
  if (!IsItemStart(line.front()) || sections_.empty()) return;

  size_t equals = line.find('=');
  IniItem item{std::string(Trim(line.substr(0, equals))), {}};
  std::string_view rest =
      equals == std::string_view::npos ? std::string_view() : line.substr(equals);
  while (!rest.empty() && rest.front() == '=') rest.remove_prefix(1);
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view piece = Trim(rest.substr(0, comma));
    rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    if (piece.empty()) continue;
    IniValue value;
    if (!ParseValue(piece, value)) return;
    item.values.push_back(std::move(value));
  }
  sections_.back().items.push_back(std::move(item));
}

bool IniFile::ParseValue(std::string_view text, IniValue& value) const {
  char mark = text.front();
  if ((mark == '"' || mark == '#' || mark == '^') && text.size() < 2) return false;
  if (mark == '"') {
    text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    value.type = IniValueType::kString;
    value.text = text;
  } else if (mark == '#') {
    value.type = IniValueType::kHex;
    value.integer = ParseHex(text.substr(1));
  } else if (mark == '^') {
    value.type = IniValueType::kFloat;
    value.number = ParseFloat(text.substr(1), decimalPoint_);
  } else {
    value.type = IniValueType::kDecimal;
    value.integer = ParseDecimal(text);
  }
  return true;
}

std::string IniFile::FormatValue(const IniValue& value) const {
  char buffer[64];
  switch (value.type) {
    case IniValueType::kString:
      return "\"" + WithoutLineBreaks(value.text) + "\"";
    case IniValueType::kDecimal:
      return std::to_string(value.integer);
    case IniValueType::kHex:
      std::snprintf(buffer, sizeof buffer, "#%X", unsigned(uint32_t(value.integer)));
      return buffer;
    case IniValueType::kFloat: {
      // Six significant digits, as %g writes them; the separator is always '_' so that
      // the file reads the same in every locale.
      buffer[0] = '^';
      auto [end, error] = std::to_chars(buffer + 1, buffer + sizeof buffer, value.number,
                                        std::chars_format::general, 6);
      if (error != std::errc()) return "^0";
      std::replace(buffer + 1, end, '.', '_');
      return std::string(buffer, end);
    }
  }
  return {};
}

std::string IniFile::ToText() const {
  std::string out;
  for (const IniSection& section : sections_) {
    out += "[" + WithoutLineBreaks(section.name) + "]\n";
    for (const IniItem& item : section.items) {
      out += WithoutLineBreaks(item.name) + "=";
      for (size_t i = 0; i < item.values.size(); ++i) {
        if (i) out += ',';
        out += FormatValue(item.values[i]);
      }
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

bool IniFile::Save(std::string_view path, bool pathIsFull) const {
  if (sections_.empty()) return false;
  // Text mode: the platform's own line ends.
  FilePtr file(std::fopen(ResolveIniPath(path, pathIsFull).c_str(), "w"));
  if (!file) return false;
  std::string text = ToText();
  bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  return std::fclose(file.release()) == 0 && written;
}

const IniItem* IniFile::FindItem(std::string_view section, std::string_view key) const {
  auto s = std::find_if(sections_.begin(), sections_.end(),
                        [&](const IniSection& candidate) { return candidate.name == section; });
  if (s == sections_.end()) return nullptr;
  auto i = std::find_if(s->items.begin(), s->items.end(),
                        [&](const IniItem& candidate) { return candidate.name == key; });
  return i == s->items.end() ? nullptr : &*i;
}

IniItem* IniFile::MutableItem(std::string_view section, std::string_view key) {
  return const_cast<IniItem*>(std::as_const(*this).FindItem(section, key));
}

const IniValue* IniFile::FindValue(std::string_view section, std::string_view key,
                                   int index) const {
  const IniItem* item = FindItem(section, key);
  if (!item || index < 0 || size_t(index) >= item->values.size()) return nullptr;
  return &item->values[size_t(index)];
}

int32_t IniFile::GetInt(std::string_view section, std::string_view key, int index,
                        int32_t fallback) const {
  const IniValue* value = FindValue(section, key, index);
  bool integer =
      value && (value->type == IniValueType::kDecimal || value->type == IniValueType::kHex);
  return integer ? value->integer : fallback;
}

double IniFile::GetDouble(std::string_view section, std::string_view key, int index,
                          double fallback) const {
  const IniValue* value = FindValue(section, key, index);
  return value && value->type == IniValueType::kFloat ? value->number : fallback;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, int index,
                               std::string_view fallback) const {
  const IniValue* value = FindValue(section, key, index);
  return std::string(value && value->type == IniValueType::kString ? value->text : fallback);
}

std::vector<uint8_t> IniFile::GetBinary(std::string_view section, std::string_view key, int index,
                                        const std::vector<uint8_t>& fallback) const {
  const IniValue* value = FindValue(section, key, index);
  if (!value || value->type != IniValueType::kString) return fallback;
  // Lenient on purpose: a character that is not a digit still counts as its code
  // minus '0', so every text decodes to something.
  auto digit = [](char c) {
    int code = static_cast<unsigned char>(c);
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    return (code >= 'A' && code <= 'F') ? code - 'A' + 10 : code - '0';
  };
  const std::string& text = value->text;
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = uint8_t(digit(text[2 * i]) * 16 + digit(text[2 * i + 1]));
  }
  return bytes;
}

IniValue* IniFile::SlotFor(std::string_view section, std::string_view key, int index,
                           const IniValue& value) {
  if (index < 0 || index > kMaxValueIndex) return nullptr;
  IniItem* item = MutableItem(section, key);
  if (!item) {
    auto s = std::find_if(sections_.begin(), sections_.end(),
                          [&](const IniSection& candidate) { return candidate.name == section; });
    if (s == sections_.end()) s = sections_.insert(s, {std::string(section), {}});
    s->items.push_back({std::string(key), {value}});
    return nullptr;
  }
  if (size_t(index) < item->values.size()) return &item->values[size_t(index)];
  IniValue pad;
  pad.type = value.type;
  item->values.resize(size_t(index), pad);
  item->values.push_back(value);
  return nullptr;
}

void IniFile::SetInt(std::string_view section, std::string_view key, int index, int32_t value,
                     bool hex) {
  IniValue fresh;
  fresh.type = hex ? IniValueType::kHex : IniValueType::kDecimal;
  fresh.integer = value;
  IniValue* slot = SlotFor(section, key, index, fresh);
  if (slot && (slot->type == IniValueType::kDecimal || slot->type == IniValueType::kHex)) {
    *slot = fresh;
  }
}

void IniFile::SetDouble(std::string_view section, std::string_view key, int index, double value) {
  IniValue fresh;
  fresh.type = IniValueType::kFloat;
  fresh.number = value;
  if (IniValue* slot = SlotFor(section, key, index, fresh)) *slot = fresh;
}

void IniFile::SetString(std::string_view section, std::string_view key, int index,
                        std::string_view text) {
  IniValue fresh;
  fresh.type = IniValueType::kString;
  fresh.text = text;
  IniValue* slot = SlotFor(section, key, index, fresh);
  if (slot && slot->type == IniValueType::kString) *slot = std::move(fresh);
}

void IniFile::SetBinary(std::string_view section, std::string_view key, int index,
                        const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  SetString(section, key, index, text);
}

bool IniFile::RemoveItem(std::string_view section, std::string_view key) {
  auto s = std::find_if(sections_.begin(), sections_.end(),
                        [&](const IniSection& candidate) { return candidate.name == section; });
  if (s == sections_.end()) return false;
  auto i = std::find_if(s->items.begin(), s->items.end(),
                        [&](const IniItem& candidate) { return candidate.name == key; });
  if (i == s->items.end()) return false;
  s->items.erase(i);
  return true;
}

}  // namespace host
