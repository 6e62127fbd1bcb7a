#include "runtime/TextFit.h"

#include <gtest/gtest.h>

namespace {

// Every character is 10 pixels wide, dots 3.
int Measure(std::u16string_view text) {
  int width = 0;
  for (char16_t c : text) width += c == u'.' ? 3 : 10;
  return width;
}

TEST(TextFit, KeepsWhatFitsAndShortensTheRest) {
  EXPECT_EQ(glib::ShortVisibleString(u"abcd", 40, Measure), u"abcd");
  EXPECT_EQ(glib::ShortVisibleString(u"abcdef", 39, Measure), u"abc...");  // 30 + 9 fits exactly
  EXPECT_EQ(glib::ShortVisibleString(u"abcdef", 29, Measure), u"ab...");
  EXPECT_EQ(glib::ShortVisibleString(u"abcdef", 28, Measure), u"a...");
  EXPECT_EQ(glib::ShortVisibleString(u"abcdef", 9, Measure), u"...");
  EXPECT_EQ(glib::ShortVisibleString(u"abcdef", 8, Measure), u"");
  EXPECT_EQ(glib::ShortVisibleString(u"", 0, Measure), u"");
}

TEST(TextFit, NeverSplitsASurrogatePair) {
  std::u16string text = u"a\U0001F600bcdef";  // a, a pair, then letters
  EXPECT_EQ(glib::ShortVisibleString(text, 29, Measure), u"a...");
}

}  // namespace
