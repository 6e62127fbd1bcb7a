#include "platform/Text.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const std::string kUtf8Sample =
    "A\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80Z";  // A é € 中 😀 Z
const std::u16string kUtf16Sample = u"A\u00E9\u20AC\u4E2D\U0001F600Z";

}  // namespace

TEST(Text, Utf8AndUtf16RoundTrip) {
  EXPECT_EQ(Utf16FromUtf8(kUtf8Sample), kUtf16Sample);
  EXPECT_EQ(Utf8FromUtf16(kUtf16Sample), kUtf8Sample);
  EXPECT_EQ(Utf16FromUtf8(""), u"");
  EXPECT_EQ(Utf8FromUtf16(u""), "");
  // Embedded NULs are characters like any other.
  std::string withNul("a\0b", 3);
  EXPECT_EQ(Utf8FromUtf16(Utf16FromUtf8(withNul)), withNul);
  // The edges of each encoded length.
  std::u16string edges = u"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
  EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(edges)), edges);
  EXPECT_EQ(Utf8FromUtf16(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");  // a surrogate pair
}

TEST(Text, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::string kFffd = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xD83D))), kFffd);
  EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xDE00))), kFffd);
  EXPECT_EQ(Utf8FromUtf16(std::u16string{char16_t(0xD83D), u'x'}), kFffd + "x");
  EXPECT_EQ(Utf8FromUtf16(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}), kFffd + kFffd);
}

TEST(Text, IllFormedUtf8BecomesReplacementAndResynchronises) {
  struct Case {
    const char* input;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\xC0\xAF", u"\uFFFD"},          // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD"},      // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD"},      // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},  // beyond U+10FFFF
      {"\xE2\x82"
       "A",
       u"\uFFFDA"},  // truncated: the next character survives
      {"\x80"
       "A",
       u"\uFFFDA"},                                                 // stray continuation byte
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // five-byte form
      {"\xF0\x9F\x98", u"\uFFFD"},                                  // cut at the end of the input
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16FromUtf8(c.input), c.expected) << c.input;
}

TEST(Text, NarrowConversionKeepsAscii) {
  EXPECT_EQ(NarrowFromUtf16(u"C:\\Images\\a b.jpg"), "C:\\Images\\a b.jpg");
  EXPECT_EQ(Utf16FromNarrow("C:\\Images\\a b.jpg"), u"C:\\Images\\a b.jpg");
  EXPECT_EQ(NarrowFromUtf16(u""), "");
  EXPECT_EQ(Utf16FromNarrow(""), u"");
#if !defined(_WIN32)
  EXPECT_EQ(NarrowFromUtf16(kUtf16Sample), kUtf8Sample);  // natively the 8-bit form is UTF-8
#endif
}
