// An ordered list of paths with a current entry: the folder list and the history.
#pragma once

#include <cstddef>
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

  bool Empty() const { return paths_.empty(); }
  size_t Count() const { return paths_.size(); }
  size_t CurrentIndex() const { return current_; }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
  size_t current_ = 0;
};

}  // namespace viewer
