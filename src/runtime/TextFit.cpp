#include "runtime/TextFit.h"

namespace glib {

std::u16string ShortVisibleString(std::u16string_view text, int width,
                                  const std::function<int(std::u16string_view)>& measure) {
  if (measure(text) <= width) return std::u16string(text);
  // The widths grow with the length, so the longest fitting start is found by
  // bisection: O(log n) measurements instead of one per character.
  size_t low = 0, high = text.size();
  auto fits = [&](size_t length) {
    std::u16string candidate(text.substr(0, length));
    candidate += u"...";
    return measure(candidate) <= width;
  };
  if (!fits(0)) return {};
  while (low < high) {
    size_t middle = (low + high + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  // Never split a surrogate pair.
  if (low > 0 && low < text.size() && text[low - 1] >= 0xD800 && text[low - 1] < 0xDC00) --low;
  std::u16string result(text.substr(0, low));
  result += u"...";
  return result;
}

}  // namespace glib
