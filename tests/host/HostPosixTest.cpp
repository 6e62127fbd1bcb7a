#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/HostPlatform.h"
#include "support/TestSupport.h"

using namespace host;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old) old_ = old;
    had_ = old != nullptr;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(HostPosix, SettingsLiveInTheUsersConfigFolder) {
  testing_support::TempDir dir;
  {
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path().c_str());
    EXPECT_EQ(DefaultIniPath(), dir.File("orbisk/Orbisk.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "orbisk"));
    EXPECT_TRUE(OpenUserProfile()->SetInt("FirstRun", 1));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "orbisk" / "Profile.ini"));
  }
  ScopedEnv relative("XDG_CONFIG_HOME", "relative/path");
  ScopedEnv home("HOME", dir.Path().c_str());
  EXPECT_EQ(DefaultIniPath(), dir.File(".config/orbisk/Orbisk.ini"));
}

TEST(HostPosix, WideTextBecomesUtf8) {
  const wchar_t text[] = L"a\u00e9\U0001F600";
  EXPECT_EQ(NarrowFromWide(text, 3), "a\xC3\xA9\xF0\x9F\x98\x80");
  const wchar_t bad[] = {wchar_t(0xD800), wchar_t(0x110000)};
  EXPECT_EQ(NarrowFromWide(bad, 2), "\xEF\xBF\xBD\xEF\xBF\xBD");
}
