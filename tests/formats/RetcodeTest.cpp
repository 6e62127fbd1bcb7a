#include "formats/Retcode.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace glib;

TEST(Retcode, CodesAreReadFromTheMostSignificantByte) {
  EXPECT_EQ(uint32_t(RCOK), 0x52434F4Bu);
  EXPECT_EQ(uint32_t(BADT), 0x42414454u);
  EXPECT_EQ(uint32_t(WERR), 0x57455252u);
}

TEST(Retcode, EveryKnownCodeHasItsText) {
  EXPECT_STREQ(RetcodeMessage(0x52434F4B), "No error");
  EXPECT_STREQ(RetcodeMessage(BADA), "Bad argument");
  EXPECT_STREQ(RetcodeMessage(BADI), "Bad image file");
  EXPECT_STREQ(RetcodeMessage(BADT), "Bad image thumbnail");
  EXPECT_STREQ(RetcodeMessage(LZWD), "LZW Disabled");
  EXPECT_STREQ(RetcodeMessage(MSFT), "Maximum file size exceeded & truncated");
  EXPECT_STREQ(RetcodeMessage(RNEF), "Reject not encrypt file password");
  EXPECT_STREQ(RetcodeMessage(SBRC), "Solid border color");
  EXPECT_STREQ(RetcodeMessage(WERR), "Write error");
}

TEST(Retcode, SignalCodesAreOneCharacter) {
  EXPECT_STREQ(RetcodeMessage(CFLT), "^");
  EXPECT_STREQ(RetcodeMessage(OKAF), "+");
}

TEST(Retcode, UnknownValuesGiveQuestionMark) {
  EXPECT_STREQ(RetcodeMessage(0), "?");
  EXPECT_STREQ(RetcodeMessage(0x4B4F4352), "?");  // RCOK with its bytes reversed
  EXPECT_STREQ(RetcodeMessage(0xFFFFFFFF), "?");
  EXPECT_STREQ(RetcodeMessage(BADA - 1), "?");
  EXPECT_STREQ(RetcodeMessage(WERR + 1), "?");
}
