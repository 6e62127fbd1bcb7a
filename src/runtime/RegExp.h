// Wildcard masks over bytes. Two jobs: the signature masks that format plug-ins
// announce, matched against the first 4096 bytes of a file, and file-name masks
// such as "*.jpg". Plug-in authors write masks against the syntax below, so it is
// part of the plug-in interface and must stay stable.
//
// Mask syntax (masks are binary: with an explicit length, NUL is an ordinary byte):
//   c        any other byte matches itself
//   ?        any one byte
//   *        any run of bytes, also an empty one
//   [set]    one byte of the set: bytes and ranges ("[0-9a-f]"); "[!set]" is the
//            complement; a "]" right after "[" or "[!" is a member; "\" escapes
//            inside a set as outside
//   \xHH     the byte with the hexadecimal value HH (exactly two digits)
//   \c       the byte c itself for any other c: "\?", "\*", "\[", "\|", "\\"
//   |        separates alternatives; the mask matches when one of them does
//
// Examples: "BM" (a header starting with BM); "II\*\x00|MM\x00\*" (either TIFF byte
// order: 0x2A is "*" and must be escaped); "GIF8[79]a"; "????ftyp" (a box type
// after a 4-byte size); "*.jpg|*.jpeg" (a file-name mask).
//
// The match word (a format's MatchParam, the third argument of Match):
//   bits 0-15       offset into the text where the mask starts
//   kMatchNoCase    ASCII letters match either case
//   kMatchWhole     the mask must consume the text to its end; without it a prefix
//                   suffices (the rest of a signature header is free)
//   kMatchContentOnly  changes nothing here; the filter manager identifies a format
//                   whose match word is not 0 by its content only, never by its
//                   extension, and this bit asks for that without moving the mask
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace glib {

constexpr uint32_t kMatchOffsetMask = 0x0000FFFF;
constexpr uint32_t kMatchNoCase = 0x00010000;
constexpr uint32_t kMatchWhole = 0x00020000;
constexpr uint32_t kMatchContentOnly = 0x80000000;
// File names: the whole name, either case.
constexpr uint32_t kMatchFileName = kMatchNoCase | kMatchWhole;

class RegExp {
 public:
  // A length meaning "up to the first NUL".
  static constexpr uint32_t kNulTerminated = 0xFFFFFFFF;
  // Longer masks are refused: no signature needs them, and it bounds matching work.
  static constexpr uint32_t kMaxMaskLength = 65536;

  RegExp() = default;
  RegExp(std::string_view mask) { SetMask(mask.data(), uint32_t(mask.size())); }

  // Compiles a mask. False (and a mask that matches nothing) for a null mask with a
  // length, a mask over kMaxMaskLength, a trailing "\", an unclosed "[" or a
  // reversed range.
  bool SetMask(const void* mask, uint32_t length) noexcept;
  bool IsValid() const noexcept { return valid_; }

  // Matches `length` bytes of text (kNulTerminated: up to the NUL) under a match
  // word. Work is bounded by mask size times text size.
  bool Match(const void* text, uint32_t length, uint32_t matchWord = 0) const noexcept;
  // A file name against a name mask: the whole name, either case.
  bool MatchName(std::string_view name) const noexcept {
    return name.size() < kNulTerminated &&
           Match(name.data(), uint32_t(name.size()), kMatchFileName);
  }

 private:
  enum class Kind : uint8_t { kByte, kAny, kStar, kSet };
  struct Token {
    Kind kind;
    uint8_t byte;  // kByte
    uint32_t set;  // kSet: index into sets_
  };
  using ByteSet = std::array<uint64_t, 4>;

  bool Compile(const uint8_t* mask, size_t length);
  bool TokenMatches(const Token& token, uint8_t c, bool noCase) const noexcept;
  bool MatchAlternative(size_t first, size_t last, const uint8_t* text, size_t length,
                        uint32_t matchWord) const noexcept;

  std::vector<Token> tokens_;
  std::vector<uint32_t> alternativeEnds_;  // one past the last token of each alternative
  std::vector<ByteSet> sets_;
  bool valid_ = false;
};

}  // namespace glib
