// Shortening a text to a width: as much of the start as fits, followed by "...".
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace glib {

// The text itself when measure(text) <= width; otherwise the longest start (cut at a
// character boundary of the UTF-16 text) that fits with "..." after it, or "" when
// not even "..." fits. `measure` gives the pixel width of a text.
std::u16string ShortVisibleString(std::u16string_view text, int width,
                                  const std::function<int(std::u16string_view)>& measure);

}  // namespace glib
