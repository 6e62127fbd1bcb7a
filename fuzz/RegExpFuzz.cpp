// Signature and file-name masks come from plug-ins and users. Compiles any bytes as
// a mask, matches them against any text under any match word, and checks what must
// hold between the modes: a whole-text match is also a prefix match, and a match
// that respects case also matches without.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/RegExp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t matchWord;
  std::memcpy(&matchWord, data + 1, 4);
  size_t rest = size - 5;
  size_t maskLength = rest ? data[0] % (rest + 1) : 0;
  const uint8_t* mask = data + 5;
  const uint8_t* text = mask + maskLength;
  uint32_t textLength = uint32_t(rest - maskLength);

  glib::RegExp re;
  bool valid = re.SetMask(mask, uint32_t(maskLength));
  bool whole = re.Match(text, textLength, matchWord | glib::kMatchWhole);
  bool prefix = re.Match(text, textLength, matchWord & ~glib::kMatchWhole);
  bool exact = re.Match(text, textLength, matchWord & ~glib::kMatchNoCase);
  bool folded = re.Match(text, textLength, matchWord | glib::kMatchNoCase);
  if (!valid && (whole || prefix)) std::abort();
  if (whole && !prefix) std::abort();
  if (exact && !folded) std::abort();
  return 0;
}
