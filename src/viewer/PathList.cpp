#include "viewer/PathList.h"

#include <algorithm>

namespace viewer {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Draws that land on the current entry are repeated; a generator that keeps landing
// there (a zero seed never moves) gives up after this many and takes the next entry.
constexpr int kMaxDraws = 64;

}  // namespace

uint32_t NextRandom(uint32_t x) { return x * 48271u - (x / 44488u) * 2147483647u; }

bool ExtensionBefore(std::string_view a, std::string_view b) {
  size_t dotA = a.rfind('.'), dotB = b.rfind('.');
  if (dotA == std::string_view::npos) return dotB != std::string_view::npos;
  if (dotB == std::string_view::npos) return false;
  return a.substr(dotA + 1) < b.substr(dotB + 1);
}

bool NaturalBefore(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare the runs by value: skip leading zeros, then the longer run is larger,
      // then digit by digit.
      size_t startA = i, startB = j;
      while (startA < a.size() && a[startA] == '0') ++startA;
      while (startB < b.size() && b[startB] == '0') ++startB;
      size_t endA = startA, endB = startB;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      if (endA - startA != endB - startB) return endA - startA < endB - startB;
      int order = a.substr(startA, endA - startA).compare(b.substr(startB, endB - startB));
      if (order != 0) return order < 0;
      // Equal values: fewer leading zeros first.
      if (endA - i != endB - j) return endA - i < endB - j;
      i = endA;
      j = endB;
      continue;
    }
    char x = Lower(a[i]), y = Lower(b[j]);
    if (x != y) return uint8_t(x) < uint8_t(y);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal but for case: a fixed order all the same
}

void PathList::Add(std::string_view path, bool makeCurrent) {
  if (!paths_.empty() && paths_.back() == path) return;
  paths_.emplace_back(path);
  if (makeCurrent) current_ = paths_.size() - 1;
}

std::optional<std::string> PathList::Current() const {
  if (current_ >= paths_.size()) return std::nullopt;
  return paths_[current_];
}

std::optional<std::string> PathList::Next() {
  if (!HasNext()) return std::nullopt;
  return paths_[++current_];
}

std::optional<std::string> PathList::Prev() {
  if (!HasPrev()) return std::nullopt;
  return paths_[--current_];
}

void PathList::First() {
  if (!paths_.empty()) current_ = 0;
}

void PathList::Last() {
  if (!paths_.empty()) current_ = paths_.size() - 1;
}

void PathList::RemoveCurrent() {
  if (current_ >= paths_.size()) return;
  paths_.erase(paths_.begin() + std::ptrdiff_t(current_));
  if (current_ >= paths_.size() && !paths_.empty()) current_ = paths_.size() - 1;
}

void PathList::Clear() {
  paths_.clear();
  current_ = 0;
}

void PathList::Assign(std::vector<std::string> paths) {
  paths_ = std::move(paths);
  current_ = 0;
}

bool PathList::Random(uint32_t seed) {
  if (paths_.size() < 2) return false;
  uint32_t x = seed;
  for (int draw = 0; draw < kMaxDraws; ++draw) {
    x = NextRandom(x);
    size_t index = x % paths_.size();
    if (index != current_) {
      current_ = index;
      return true;
    }
  }
  current_ = (current_ + 1) % paths_.size();
  return true;
}

void PathList::Sort(Order order, std::string_view keep) {
  switch (order) {
    case Order::kPath:
      std::stable_sort(paths_.begin(), paths_.end());
      break;
    case Order::kExtension:
      std::stable_sort(
          paths_.begin(), paths_.end(),
          [](const std::string& a, const std::string& b) { return ExtensionBefore(a, b); });
      break;
    case Order::kNatural:
      std::stable_sort(
          paths_.begin(), paths_.end(),
          [](const std::string& a, const std::string& b) { return NaturalBefore(a, b); });
      break;
    case Order::kNone:
      break;
  }
  auto found = std::find(paths_.begin(), paths_.end(), keep);
  current_ = found == paths_.end() ? 0 : size_t(found - paths_.begin());
}

}  // namespace viewer
