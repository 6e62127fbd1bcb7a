// An ordered list of paths with a current entry: the folder list and the history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

class PathList {
 public:
  // Nothing when the last entry is the same path already.
  void Add(std::string_view path, bool makeCurrent);
  std::optional<std::string> Current() const;
  bool HasNext() const { return !paths_.empty() && current_ + 1 < paths_.size(); }
  bool HasPrev() const { return current_ > 0 && current_ < paths_.size(); }
  // One step; nothing (and no move) at the end or the start.
  std::optional<std::string> Next();
  std::optional<std::string> Prev();
  void First();
  void Last();
  // The entry that followed becomes current (the new last one at the end).
  void RemoveCurrent();
  void Clear();
  // Takes the paths as they are (no merging of repeats); the first becomes current.
  void Assign(std::vector<std::string> paths);

  // With at least two entries, makes another entry than the current one current,
  // drawn from the minimal-standard generator seeded with `seed` (the caller passes
  // clock()); false with fewer entries.
  bool Random(uint32_t seed);

  // Sort orders: as listed, by full path, by extension, by name as Explorer shows
  // names (case-insensitive, runs of digits by their value: "img2" before "img10").
  enum class Order { kNone = 0, kPath = 1, kExtension = 2, kNatural = 3 };
  // Sorts, then the entry equal to `keep` becomes current (the first when none is).
  void Sort(Order order, std::string_view keep);

  bool Empty() const { return paths_.empty(); }
  size_t Count() const { return paths_.size(); }
  size_t CurrentIndex() const { return current_; }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
  size_t current_ = 0;
};

// One step of the minimal-standard generator as the random order uses it.
uint32_t NextRandom(uint32_t x);
// The orders of Sort, for tests and the option pages: true when a sorts before b.
bool ExtensionBefore(std::string_view a, std::string_view b);
bool NaturalBefore(std::string_view a, std::string_view b);

}  // namespace viewer
