// Errors of the gen containers. They signal internal faults (an index that a caller
// should have checked, memory running out) and stay inside the module that raised
// them: the containers' C table slots report failure with false instead.
#pragma once

#include <exception>

namespace gen {

class genlib_error : public std::exception {
 public:
  const char* what() const noexcept override { return "gen container error"; }
};

class genlib_out_of_range : public genlib_error {
 public:
  const char* what() const noexcept override { return "gen container index out of range"; }
};

class genlib_out_of_memory : public genlib_error {
 public:
  const char* what() const noexcept override { return "gen container out of memory"; }
};

}  // namespace gen
