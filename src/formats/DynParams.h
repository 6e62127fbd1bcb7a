// The parameter list of a colour effect, as the program hands it to the colour-effect
// module's "ApplyColorEffect": a count and a pointer to that many parameters. The
// caller owns the storage for the duration of the call; the module only reads it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Abi.h"

namespace glib {

struct DynParams {
  struct Par_t {
    double real = 0.0;
    int64_t integer = 0;
    uint8_t isReal = 0;  // 1: the real value counts, 0: the integer value counts
    uint8_t reserved[7] = {};

    double Number() const { return isReal ? real : double(integer); }
    static Par_t Real(double value) {
      Par_t p;
      p.real = value;
      p.isReal = 1;
      return p;
    }
    static Par_t Integer(int64_t value) {
      Par_t p;
      p.integer = value;
      return p;
    }
  };

  const Par_t* items = nullptr;
  uint32_t count = 0;
};

ORBISK_LAYOUT_SIZE(DynParams::Par_t, 24);
ORBISK_LAYOUT_OFFSET(DynParams::Par_t, integer, 8);
ORBISK_LAYOUT_OFFSET(DynParams::Par_t, isReal, 16);
ORBISK_LAYOUT_SIZE(DynParams, 8);

// The program's side: an owning list that hands out the record (null when empty, as
// an effect without parameters is called).
class DynParamList {
 public:
  void Clear() { items_.clear(); }
  void AddReal(double value) { items_.push_back(DynParams::Par_t::Real(value)); }
  void AddInteger(int64_t value) { items_.push_back(DynParams::Par_t::Integer(value)); }
  size_t Size() const { return items_.size(); }
  DynParams::Par_t& operator[](size_t i) { return items_[i]; }
  const DynParams::Par_t& operator[](size_t i) const { return items_[i]; }

  // Valid until the list changes.
  const DynParams* Record() {
    if (items_.empty()) return nullptr;
    record_.items = items_.data();
    record_.count = uint32_t(items_.size());
    return &record_;
  }

 private:
  std::vector<DynParams::Par_t> items_;
  DynParams record_;
};

}  // namespace glib
