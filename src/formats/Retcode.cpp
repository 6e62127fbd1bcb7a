#include "formats/Retcode.h"

#include <algorithm>
#include <array>

namespace glib {
namespace {

struct RetcodeText {
  uint32_t code;
  const char* text;
};

// Sorted by value: searched by binary search.
constexpr std::array<RetcodeText, 27> kTexts{{
    {BADA, "Bad argument"},
    {BADI, "Bad image file"},
    {BADT, "Bad image thumbnail"},
    {BRNF, "Border not found"},
    {BUSY, "Process busy"},
    {CFLT, "^"},
    {DISF, "Disabled feature"},
    {IDMI, "Image data missing"},
    {IERR, "Internal error"},
    {IPSW, "Incorrect password"},
    {LZWD, "LZW Disabled"},
    {MFSE, "Maximum file size exceeded"},
    {MISS, "Input file missing"},
    {MSFT, "Maximum file size exceeded & truncated"},
    {NSUP, "File format not supported"},
    {OKAF, "+"},
    {OMEM, "Out of memory"},
    {RCOK, "No error"},
    {RERR, "Read error"},
    {RNEF, "Reject not encrypt file password"},
    {SBRC, "Solid border color"},
    {TMIS, "Thumbnail missing"},
    {TMNS, "Thumbnail not supported"},
    {UNSF, "Unsupported feature"},
    {UREY, "User retry"},
    {USRA, "User abort"},
    {WERR, "Write error"},
}};

static_assert(std::is_sorted(kTexts.begin(), kTexts.end(),
                             [](const RetcodeText& a, const RetcodeText& b) {
                               return a.code < b.code;
                             }));

}  // namespace

const char* RetcodeMessage(uint32_t code) noexcept {
  auto it =
      std::lower_bound(kTexts.begin(), kTexts.end(), code,
                       [](const RetcodeText& entry, uint32_t value) { return entry.code < value; });
  return (it != kTexts.end() && it->code == code) ? it->text : "?";
}

}  // namespace glib
