#include "host/PackBits.h"

#include <algorithm>

namespace host {
namespace {

constexpr size_t kMaxRun = 128;

size_t RunLength(std::span<const uint8_t> data, size_t at) {
  size_t run = 1;
  while (at + run < data.size() && run < kMaxRun && data[at + run] == data[at]) ++run;
  return run;
}

}  // namespace

std::vector<uint8_t> PackBits(std::span<const uint8_t> data) {
  std::vector<uint8_t> packed;
  size_t at = 0;
  while (at < data.size()) {
    size_t run = RunLength(data, at);
    if (run >= 2) {
      packed.push_back(uint8_t(1 - int(run)));
      packed.push_back(data[at]);
      at += run;
      continue;
    }
    // A literal stretch ends where a run of three begins: a run of two inside
    // literals costs as much as keeping the bytes literal.
    size_t start = at;
    while (at < data.size() && at - start < kMaxRun && (at == start || RunLength(data, at) < 3)) {
      ++at;
    }
    packed.push_back(uint8_t(at - start - 1));
    packed.insert(packed.end(), data.begin() + ptrdiff_t(start), data.begin() + ptrdiff_t(at));
  }
  return packed;
}

size_t UnpackBits(std::span<const uint8_t> packed, std::span<uint8_t> out) {
  size_t in = 0;
  size_t written = 0;
  while (in < packed.size() && written < out.size()) {
    int count = int8_t(packed[in++]);
    if (count == -128) continue;
    if (count >= 0) {
      size_t n = std::min({size_t(count) + 1, packed.size() - in, out.size() - written});
      std::copy_n(packed.begin() + ptrdiff_t(in), n, out.begin() + ptrdiff_t(written));
      in += n;
      written += n;
    } else {
      if (in >= packed.size()) break;
      size_t n = std::min(size_t(1 - count), out.size() - written);
      std::fill_n(out.begin() + ptrdiff_t(written), n, packed[in++]);
      written += n;
    }
  }
  return written;
}

}  // namespace host
