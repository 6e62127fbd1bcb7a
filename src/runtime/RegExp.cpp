#include "runtime/RegExp.h"

#include <cstring>
#include <new>

namespace glib {
namespace {

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint8_t FoldCase(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

uint8_t OtherCase(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
  return c;
}

// Reads one mask byte at `at`, resolving "\" escapes; false at a dangling "\".
bool ReadByte(const uint8_t* mask, size_t length, size_t& at, uint8_t& byte) {
  if (mask[at] != '\\') {
    byte = mask[at++];
    return true;
  }
  if (++at >= length) return false;
  if (mask[at] == 'x' && at + 2 < length && HexDigit(mask[at + 1]) >= 0 &&
      HexDigit(mask[at + 2]) >= 0) {
    byte = uint8_t(HexDigit(mask[at + 1]) * 16 + HexDigit(mask[at + 2]));
    at += 3;
    return true;
  }
  byte = mask[at++];
  return true;
}

}  // namespace

bool RegExp::SetMask(const void* mask, uint32_t length) noexcept {
  tokens_.clear();
  alternativeEnds_.clear();
  sets_.clear();
  valid_ = false;
  if (!mask) return false;
  const auto* bytes = static_cast<const uint8_t*>(mask);
  size_t size = length;
  if (length == kNulTerminated) {
    size = strnlen(static_cast<const char*>(mask), size_t(kMaxMaskLength) + 1);
  }
  if (size > kMaxMaskLength) return false;
  try {
    valid_ = Compile(bytes, size);
  } catch (const std::bad_alloc&) {
    valid_ = false;
  }
  if (!valid_) {
    tokens_.clear();
    alternativeEnds_.clear();
    sets_.clear();
  }
  return valid_;
}

bool RegExp::Compile(const uint8_t* mask, size_t length) {
  size_t at = 0;
  while (at < length) {
    uint8_t c = mask[at];
    if (c == '|') {
      alternativeEnds_.push_back(uint32_t(tokens_.size()));
      ++at;
    } else if (c == '?') {
      tokens_.push_back({Kind::kAny, 0, 0});
      ++at;
    } else if (c == '*') {
      // A run of stars is one star.
      size_t alternativeStart = alternativeEnds_.empty() ? 0 : alternativeEnds_.back();
      if (tokens_.size() == alternativeStart || tokens_.back().kind != Kind::kStar) {
        tokens_.push_back({Kind::kStar, 0, 0});
      }
      ++at;
    } else if (c == '[') {
      ++at;
      ByteSet set{};
      bool negate = at < length && mask[at] == '!';
      if (negate) ++at;
      bool first = true;
      for (;;) {
        if (at >= length) return false;  // unclosed set
        if (mask[at] == ']' && !first) break;
        first = false;
        uint8_t low;
        if (!ReadByte(mask, length, at, low)) return false;
        uint8_t high = low;
        if (at + 1 < length && mask[at] == '-' && mask[at + 1] != ']') {
          ++at;
          if (!ReadByte(mask, length, at, high)) return false;
          if (high < low) return false;
        }
        for (unsigned b = low; b <= high; ++b) set[b >> 6] |= uint64_t(1) << (b & 63);
      }
      ++at;  // the closing bracket
      if (negate) {
        for (auto& word : set) word = ~word;
      }
      tokens_.push_back({Kind::kSet, 0, uint32_t(sets_.size())});
      sets_.push_back(set);
    } else {
      uint8_t byte;
      if (!ReadByte(mask, length, at, byte)) return false;
      tokens_.push_back({Kind::kByte, byte, 0});
    }
  }
  alternativeEnds_.push_back(uint32_t(tokens_.size()));
  return true;
}

bool RegExp::TokenMatches(const Token& token, uint8_t c, bool noCase) const noexcept {
  switch (token.kind) {
    case Kind::kAny:
      return true;
    case Kind::kByte:
      return token.byte == c || (noCase && FoldCase(token.byte) == FoldCase(c));
    case Kind::kSet: {
      const ByteSet& set = sets_[token.set];
      auto has = [&](uint8_t b) { return (set[b >> 6] >> (b & 63)) & 1; };
      return has(c) || (noCase && has(OtherCase(c)));
    }
    case Kind::kStar:
      break;
  }
  return false;
}

// Glob matching with one backtrack point, the last star: a later star makes every
// earlier choice final, so the work stays within tokens x text bytes.
bool RegExp::MatchAlternative(size_t first, size_t last, const uint8_t* text, size_t length,
                              uint32_t matchWord) const noexcept {
  const bool noCase = matchWord & kMatchNoCase;
  const bool whole = matchWord & kMatchWhole;
  size_t p = first;
  size_t t = 0;
  size_t starToken = SIZE_MAX;
  size_t starText = 0;
  for (;;) {
    if (p < last) {
      const Token& token = tokens_[p];
      if (token.kind == Kind::kStar) {
        starToken = p++;
        starText = t;
        continue;
      }
      if (t < length && TokenMatches(token, text[t], noCase)) {
        ++p;
        ++t;
        continue;
      }
    } else if (!whole || t == length) {
      return true;
    }
    if (starToken == SIZE_MAX || starText >= length) return false;
    p = starToken + 1;
    t = ++starText;
  }
}

bool RegExp::Match(const void* text, uint32_t length, uint32_t matchWord) const noexcept {
  if (!valid_ || (!text && length != 0)) return false;
  const auto* bytes = static_cast<const uint8_t*>(text);
  size_t size = length;
  if (length == kNulTerminated) size = bytes ? std::strlen(static_cast<const char*>(text)) : 0;
  size_t offset = matchWord & kMatchOffsetMask;
  if (offset > size) return false;
  size_t first = 0;
  for (uint32_t end : alternativeEnds_) {
    if (MatchAlternative(first, end, bytes ? bytes + offset : bytes, size - offset, matchWord)) {
      return true;
    }
    first = end;
  }
  return false;
}

}  // namespace glib
