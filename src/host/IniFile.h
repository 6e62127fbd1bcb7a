// The program's own INI reader and writer. The whole file stays in memory as typed
// values, so a file written here reads back with the same types, and items the
// program does not know survive a read-modify-write cycle untouched.
//
// Reading never fails on content: lines it cannot use are skipped. Two kinds of
// line are dropped as a whole because they cannot be stored faithfully: an item
// line before the first section header, and an item line holding a value that is
// only its mark ('"', '#' or '^' with nothing after it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

enum class IniValueType : uint8_t {
  kString = 0,
  kDecimal = 1,
  kHex = 2,
  kFloat = 3,
};

struct IniValue {
  IniValueType type = IniValueType::kDecimal;
  int32_t integer = 0;
  double number = 0.0;
  std::string text;
};

struct IniItem {
  std::string name;
  std::vector<IniValue> values;
};

struct IniSection {
  std::string name;
  std::vector<IniItem> items;
};

class IniFile {
 public:
  // Longest line read; the rest of a longer line is dropped.
  static constexpr size_t kMaxLineLength = 4095;
  // Larger files are refused: a settings file is a few kilobytes, and the typed
  // copy of an arbitrary file could be many times its size.
  static constexpr size_t kMaxFileSize = size_t(1) << 20;
  // Highest index a setter pads up to.
  static constexpr int kMaxValueIndex = 4095;

  // Takes the decimal point of the current C locale: a float written with it in the
  // file reads as with '_'.
  IniFile();
  explicit IniFile(char decimalPoint);

  // Replaces the content with the file's. A path that is not full is taken
  // relative to the folder holding the library. False when the file cannot be
  // read (or is larger than kMaxFileSize); the content is then empty.
  bool Load(std::string_view path, bool pathIsFull);
  // Writes the whole content. Writes nothing and returns false when there are no
  // sections or the file cannot be created.
  bool Save(std::string_view path, bool pathIsFull) const;

  // The same parsing and layout without a file: tests and the fuzz target.
  void LoadFromMemory(std::string_view bytes);
  std::string ToText() const;

  void Clear() { sections_.clear(); }

  // A value of another type than asked for, or a missing one, gives the default.
  int32_t GetInt(std::string_view section, std::string_view key, int index, int32_t fallback) const;
  double GetDouble(std::string_view section, std::string_view key, int index,
                   double fallback) const;
  std::string GetString(std::string_view section, std::string_view key, int index,
                        std::string_view fallback) const;
  // The string value read as pairs of hexadecimal digits.
  std::vector<uint8_t> GetBinary(std::string_view section, std::string_view key, int index,
                                 const std::vector<uint8_t>& fallback) const;

  // An existing value is replaced only when its type allows it (an integer by an
  // integer, a string by a string; a float always); a shorter item is padded up to
  // index; a new item gets the single value whatever the index.
  void SetInt(std::string_view section, std::string_view key, int index, int32_t value, bool hex);
  void SetDouble(std::string_view section, std::string_view key, int index, double value);
  void SetString(std::string_view section, std::string_view key, int index, std::string_view text);
  // Each byte as two upper-case hexadecimal digits, stored with SetString.
  void SetBinary(std::string_view section, std::string_view key, int index, const uint8_t* bytes,
                 size_t count);

  // Removes the first item of that name; false when there was none.
  bool RemoveItem(std::string_view section, std::string_view key);

  const IniItem* FindItem(std::string_view section, std::string_view key) const;
  const std::vector<IniSection>& Sections() const { return sections_; }
  char DecimalPoint() const { return decimalPoint_; }

 private:
  const IniValue* FindValue(std::string_view section, std::string_view key, int index) const;
  IniItem* MutableItem(std::string_view section, std::string_view key);
  // The item's value at index, padded with `pad` when missing; null when the item is
  // new (it is then created with `value`) or the index is out of range.
  IniValue* SlotFor(std::string_view section, std::string_view key, int index,
                    const IniValue& value);
  void ParseLine(std::string_view line);
  bool ParseValue(std::string_view text, IniValue& value) const;
  std::string FormatValue(const IniValue& value) const;

  std::vector<IniSection> sections_;
  char decimalPoint_ = '.';
};

// The file path Load and Save use: a full path unchanged, any other one appended to
// the folder of the library.
std::string ResolveIniPath(std::string_view path, bool pathIsFull);

}  // namespace host
