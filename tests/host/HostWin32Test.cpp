#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "host/HostPlatform.h"
#include "host/RegistryProfileStore.h"
#include "host/Settings.h"
#include "platform/Text.h"

using namespace host;

void ExpectProfileContract(ProfileStore& profile);

namespace {

// A throw-away key under the test user's profile.
class TestKey {
 public:
  TestKey() : path_("Software\\Quintel\\OrbiskTest" + std::to_string(std::random_device()())) {}
  ~TestKey() { RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }
  const std::string& Path() const { return path_; }

  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }

 private:
  std::string path_;
};

}  // namespace

TEST(HostWin32, TheSettingsFileIsInTheCommonDocumentsFolder) {
  const char* publicFolder = std::getenv("PUBLIC");
  ASSERT_NE(publicFolder, nullptr);
  std::string expected = std::string(publicFolder) + "\\Documents\\Orbisk\\Orbisk.ini";
  std::string path = DefaultIniPath();
  EXPECT_EQ(
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, expected.c_str(), -1),
      CSTR_EQUAL)
      << path;
  DWORD folder = GetFileAttributesA(path.substr(0, path.rfind('\\')).c_str());
  ASSERT_NE(folder, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(folder & FILE_ATTRIBUTE_DIRECTORY);

  // A first run writes the file there; the next run reads it back.
  std::remove(path.c_str());
  SettingsStore store;
  Settings settings;
  EXPECT_FALSE(store.Read(path, settings));
  settings.pos = {{5, 6, 700, 500}, 0};
  settings.showToolBar = false;
  ASSERT_TRUE(store.Write(settings, {}, AboutInfo()));
  std::ifstream in(path);
  std::string text(std::istreambuf_iterator<char>(in), {});
  in.close();
  EXPECT_NE(text.find("\nShowToolBar=#0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nPos=5,6,700,500,0\n"), std::string::npos);
  Settings back;
  SettingsStore again;
  ASSERT_TRUE(again.Read(path, back));
  EXPECT_EQ(back.pos.rect, (Rect{5, 6, 700, 500}));
  EXPECT_FALSE(back.showToolBar);
  std::remove(path.c_str());
}

TEST(HostWin32, RegistryStoreKeepsTheContract) {
  TestKey key;
  RegistryProfileStore profile(HKEY_CURRENT_USER, key.Path());
  ExpectProfileContract(profile);
}

TEST(HostWin32, OddRegistryValuesReadAsMissingOrCut) {
  TestKey key;
  RegistryProfileStore profile(HKEY_CURRENT_USER, key.Path());
  key.SetRaw("NoZero", REG_SZ, "abc", 3);
  key.SetRaw("Inner", REG_SZ, "ab\0cd", 6);
  key.SetRaw("Short", REG_DWORD, "\1", 1);
  key.SetRaw("Text", REG_BINARY, "ab", 2);
  std::vector<uint8_t> big(kMaxProfileValueSize + 1, 'x');
  key.SetRaw("Big", REG_SZ, big.data(), DWORD(big.size()));
  EXPECT_EQ(profile.GetString("NoZero", "-"), "abc");
  EXPECT_EQ(profile.GetString("Inner", "-"), "ab");
  EXPECT_EQ(profile.GetInt("Short", 9), 9);
  EXPECT_EQ(profile.GetString("Text", "-"), "-");
  EXPECT_EQ(profile.GetString("Big", "-"), "-");
  EXPECT_FALSE(profile.GetBinary("NoZero"));
}

TEST(HostWin32, TheUserProfileIsUnderQuintel) {
  std::unique_ptr<ProfileStore> profile = OpenUserProfile();
  ASSERT_TRUE(profile->SetString(kPassImage, "C:\\x.jpg"));
  RegistryProfileStore direct(HKEY_CURRENT_USER, "Software\\Quintel\\Settings");
  EXPECT_EQ(direct.GetString(kPassImage, ""), "C:\\x.jpg");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Quintel\\Settings", "PassImage");
  EXPECT_EQ(DefaultLogFolder(), "c:");
}

TEST(HostWin32, WideTextBecomesAnsi) {
  EXPECT_EQ(NarrowFromWide(L"abc", 3), "abc");
  EXPECT_EQ(NarrowFromWide(L"a\u00e9", 2), platform::NarrowFromUtf16(u"a\u00e9"));
}
