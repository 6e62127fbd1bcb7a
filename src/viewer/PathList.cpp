#include "viewer/PathList.h"

namespace viewer {

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

}  // namespace viewer
