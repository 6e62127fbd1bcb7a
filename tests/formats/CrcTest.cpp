#include <gtest/gtest.h>

#include <string_view>

#include "runtime/Crc.h"

TEST(Crc, KnownValuesAndChaining) {
  std::string_view check = "123456789";
  EXPECT_EQ(glib::CRCUpdate(0, check.data(), check.size()), 0xCBF43926u);
  EXPECT_EQ(glib::CRCUpdate(0, nullptr, 5), 0u);
  EXPECT_EQ(glib::CRCUpdate(0, "", 0), 0u);
  uint32_t split = glib::CRCUpdate(glib::CRCUpdate(0, check.data(), 4), check.data() + 4, 5);
  EXPECT_EQ(split, 0xCBF43926u);
  uint32_t bytewise = 0;
  for (char c : check) bytewise = glib::CRCByte(bytewise, uint8_t(c));
  EXPECT_EQ(bytewise, 0xCBF43926u);
}
