#include "host/ProfileStore.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TestSupport.h"

using namespace host;

// The contract every profile store keeps; the registry store runs it too.
void ExpectProfileContract(ProfileStore& profile) {
  EXPECT_EQ(profile.GetString("S", "none"), "none");
  EXPECT_EQ(profile.GetInt("I", 7), 7);
  EXPECT_FALSE(profile.GetBinary("B"));

  EXPECT_TRUE(profile.SetString("S", "C:\\Photos\\a, b.jpg"));
  EXPECT_TRUE(profile.SetInt("I", -2));
  const uint8_t bytes[] = {0, 1, 0xFF};
  EXPECT_TRUE(profile.SetBinary("B", bytes));
  EXPECT_EQ(profile.GetString("S", ""), "C:\\Photos\\a, b.jpg");
  EXPECT_EQ(profile.GetInt("I", 0), -2);
  EXPECT_EQ(profile.GetBinary("B"), (std::vector<uint8_t>{0, 1, 0xFF}));

  // A value of another kind reads as missing; setting it replaces it.
  EXPECT_EQ(profile.GetInt("S", 5), 5);
  EXPECT_TRUE(profile.SetInt("S", 3));
  EXPECT_EQ(profile.GetInt("S", 0), 3);
  EXPECT_FALSE(profile.SetBinary("Big", std::vector<uint8_t>(kMaxProfileValueSize + 1)));

  RecordLastOpenedImage(profile, "C:\\a.jpg", u"C:\\\u0416.jpg");
  StartupName name = LastOpenedImage(profile);
  EXPECT_EQ(name.narrow, "C:\\a.jpg");
  EXPECT_EQ(name.wide, u"C:\\\u0416.jpg");
  std::optional<std::vector<uint8_t>> stored = profile.GetBinary(kLastOpenedImageW);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 18u) << "UTF-16 with its terminating zero";

  ForgetLastOpenedImage(profile);
  name = LastOpenedImage(profile);
  EXPECT_EQ(name.narrow, "");
  EXPECT_EQ(name.wide, u"") << "a first character of zero drops the name";
}

TEST(ProfileStore, IniFileStoreKeepsTheContract) {
  testing_support::TempDir dir;
  IniProfileStore profile(dir.File("Profile.ini"));
  ExpectProfileContract(profile);
  // Each change is on disk at once, for the next process.
  IniProfileStore other(dir.File("Profile.ini"));
  EXPECT_EQ(other.GetInt("I", 0), -2);
}

TEST(ProfileStore, OddOrUnterminatedWideNamesAreRead) {
  testing_support::TempDir dir;
  IniProfileStore profile(dir.File("Profile.ini"));
  const uint8_t noTerminator[] = {'a', 0, 'b', 0, 'c'};
  profile.SetBinary(kLastOpenedImageW, noTerminator);
  EXPECT_EQ(LastOpenedImage(profile).wide, u"ab");
  std::ofstream(dir.File("Profile.ini")) << "[Settings]\nLastOpenedImageW=#5\n";
  EXPECT_EQ(LastOpenedImage(profile).wide, u"");
}
