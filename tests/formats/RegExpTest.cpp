#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/RegExp.h"

using glib::RegExp;
using namespace std::literals;

namespace {

// A 4096-byte header as the detections build it: the data, then zeros.
std::vector<uint8_t> Header(std::string_view data) {
  std::vector<uint8_t> header(4096, 0);
  std::copy(data.begin(), data.end(), header.begin());
  return header;
}

bool MatchHeader(std::string_view mask, std::string_view data, uint32_t matchWord = 0) {
  RegExp re;
  EXPECT_TRUE(re.SetMask(mask.data(), uint32_t(mask.size()))) << mask;
  auto header = Header(data);
  return re.Match(header.data(), uint32_t(header.size()), matchWord);
}

}  // namespace

TEST(RegExp, SignatureMasksMatchAPrefixOfTheHeader) {
  EXPECT_TRUE(MatchHeader("BM", "BM\x36\x00"sv));
  EXPECT_FALSE(MatchHeader("BM", "bM"));
  EXPECT_TRUE(MatchHeader("GIF8[79]a", "GIF89a"));
  EXPECT_FALSE(MatchHeader("GIF8[79]a", "GIF88a"));
  EXPECT_TRUE(MatchHeader("????ftyp",
                          "\0\0\0\x18"
                          "ftypheic"sv));
  // 0x2A is "*": escaped, and binary bytes by hex.
  EXPECT_TRUE(MatchHeader("II\\*\\x00|MM\\x00\\*", std::string_view("MM\0*", 4)));
  EXPECT_TRUE(MatchHeader("II\\*\\x00|MM\\x00\\*", std::string_view("II*\0", 4)));
  EXPECT_FALSE(MatchHeader("II\\*\\x00|MM\\x00\\*", std::string_view("II\0*", 4)));
  // "*" searches: a marker somewhere in the header.
  EXPECT_TRUE(MatchHeader("*%!PS", "garbage then %!PS-Adobe"));
  EXPECT_FALSE(MatchHeader("*%!PS", "nothing here"));
  // The zero padding is part of the header.
  EXPECT_TRUE(MatchHeader(std::string_view("TEN\0\0", 5), "TEN"));
}

TEST(RegExp, ExplicitLengthsKeepNulBytesAndNulTerminatedMasksStopAtThem) {
  RegExp re;
  const char mask[] = "A\0B";
  ASSERT_TRUE(re.SetMask(mask, 3));
  EXPECT_TRUE(re.Match("A\0B", 3));
  EXPECT_FALSE(re.Match("A\0C", 3));
  ASSERT_TRUE(re.SetMask(mask, RegExp::kNulTerminated));
  EXPECT_TRUE(re.Match("AZ", 2));  // the mask is just "A"
}

TEST(RegExp, MatchWordGivesOffsetCaseAndWholeness) {
  EXPECT_TRUE(MatchHeader("WAVE", "RIFF\x10\0\0\0WAVE"sv, 8));
  EXPECT_FALSE(MatchHeader("WAVE", "RIFF\x10\0\0\0WAVE"sv, 7));
  EXPECT_TRUE(MatchHeader("wave", "RIFF....WAVE", 8 | glib::kMatchNoCase));
  EXPECT_TRUE(MatchHeader("[a-z]ave", "RIFF....WAVE", 8 | glib::kMatchNoCase));
  // The content-only bit does not move the mask.
  EXPECT_TRUE(MatchHeader("RIFF", "RIFF", glib::kMatchContentOnly));

  RegExp re("abc");
  EXPECT_TRUE(re.Match("abcdef", 6));
  EXPECT_FALSE(re.Match("abcdef", 6, glib::kMatchWhole));
  EXPECT_TRUE(re.Match("abc", 3, glib::kMatchWhole));
  EXPECT_FALSE(re.Match("abc", 3, 4));  // offset beyond the text
  EXPECT_FALSE(re.Match("ab", 2));      // short text
}

TEST(RegExp, FileNameMasks) {
  RegExp re("*.jpg|*.jpeg");
  EXPECT_TRUE(re.MatchName("photo.JPG"));
  EXPECT_TRUE(re.MatchName("a.b.jpeg"));
  EXPECT_TRUE(re.MatchName(".jpg"));
  EXPECT_FALSE(re.MatchName("photo.jpg.txt"));
  EXPECT_FALSE(re.MatchName("photojpg"));
  RegExp star("*");
  EXPECT_TRUE(star.MatchName(""));
  EXPECT_TRUE(star.MatchName("anything"));
  RegExp mixed("a*b*c");
  EXPECT_TRUE(mixed.MatchName("aXbYbZc"));
  EXPECT_FALSE(mixed.MatchName("aXbYcZ"));
  RegExp sets("[!0-9]?[\\]x]");
  EXPECT_TRUE(sets.MatchName("a1]"));
  EXPECT_TRUE(sets.MatchName("b2x"));
  EXPECT_FALSE(sets.MatchName("12x"));
  RegExp bracket("[]]");
  EXPECT_TRUE(bracket.MatchName("]"));
}

TEST(RegExp, MalformedMasksAreRefusedAndMatchNothing) {
  RegExp re;
  for (std::string_view bad : {"abc\\", "[abc", "[z-a]", "[!", "x[\\"}) {
    EXPECT_FALSE(re.SetMask(bad.data(), uint32_t(bad.size()))) << bad;
    EXPECT_FALSE(re.Match("abc", 3));
  }
  EXPECT_FALSE(re.SetMask(nullptr, 3));
  std::string huge(RegExp::kMaxMaskLength + 1, 'a');
  EXPECT_FALSE(re.SetMask(huge.data(), uint32_t(huge.size())));
  EXPECT_FALSE(re.SetMask(huge.c_str(), RegExp::kNulTerminated));
  // "\x" without two hex digits is a plain "x".
  ASSERT_TRUE(re.SetMask("\\xg", 3));
  EXPECT_TRUE(re.Match("xg", 2, glib::kMatchWhole));
}

TEST(RegExp, ManyStarsStayFast) {
  // Exponential backtracking would not finish; the one-star scheme is linear per star.
  std::string mask;
  for (int i = 0; i < 200; ++i) mask += "*a";
  mask += "b";
  RegExp re(mask);
  std::string text(4096, 'a');
  EXPECT_FALSE(re.Match(text.data(), uint32_t(text.size()), glib::kMatchWhole));
}
