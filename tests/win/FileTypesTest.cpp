// The first run's welcome, the About box, and the file types Orbisk.exe opens: what
// the per-user registry holds after an association and after "-last_run".
#include <windows.h>

#include <gtest/gtest.h>

#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr int kTypeList = 1061;

class FileTypesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart()) << "Orbisk library missing beside the test";
    picture_ = folder_.File(L"shown.bmp");
    WriteBmp(picture_, 20, 10, 0x00FF00);
  }
  void TearDown() override { EXPECT_TRUE(viewer_.Close()); }

  // Everything the association may touch, as text.
  static std::wstring Touched() {
    return RegistrySnapshot(std::wstring(kClasses) + L".png") + L"|" +
           RegistrySnapshot(std::wstring(kClasses) + L"Orbisk.png") + L"|" +
           RegistrySnapshot(L"Software\\Quintel\\FileTypes");
  }
  // "Associate File Types..." with the row of `extension` ticked or not, then OK.
  bool TickInDialog(const wchar_t* extension, bool tick) {
    bool found = false;
    {
      DialogAnswer dialog(L"Associate File Types", [&](HWND box) {
        found = TickListRow(box, kTypeList, extension, tick);
        PostMessageW(box, WM_COMMAND, found ? IDOK : IDCANCEL, 0);
      });
      SendMessageW(viewer_.Window(), WM_COMMAND, host::kCmdAssociateFileTypes, 0);
      RunPostedMessages();
      if (!dialog.Answered()) return false;
    }
    return found;
  }
  void LastRun() {
    StandaloneViewer cleanUp;
    EXPECT_EQ(cleanUp.Open(L"-last_run"), nullptr);
  }

  TempFolder folder_;
  std::wstring picture_;
  StandaloneViewer viewer_;
};

TEST_F(FileTypesTest, AssociatingPngAndTheLastRunLeaveTheRegistryAsItWas) {
  const std::wstring before = Touched();
  ASSERT_TRUE(viewer_.Open(picture_));
  ASSERT_TRUE(TickInDialog(L".png", true));
  EXPECT_EQ(RegistryString(std::wstring(kClasses) + L".png", nullptr), L"Orbisk.png");
  std::wstring command =
      RegistryString(std::wstring(kClasses) + L"Orbisk.png\\shell\\open\\command", nullptr);
  EXPECT_NE(command.find(L"Orbisk.exe\" \"%1\""), std::wstring::npos) << command;
  EXPECT_NE(RegistryString(std::wstring(kClasses) + L"Orbisk.png\\DefaultIcon", nullptr),
            L"(absent)");
  // The dialog shows it ticked the next time; unticking gives it back.
  ASSERT_TRUE(TickInDialog(L".png", false));
  EXPECT_EQ(Touched(), before);
  ASSERT_TRUE(TickInDialog(L".png", true));
  ASSERT_TRUE(viewer_.Close());
  LastRun();
  EXPECT_EQ(Touched(), before);
}

TEST_F(FileTypesTest, TheProgramThatHadATypeGetsItBack) {
  const std::wstring key = std::wstring(kClasses) + L".png";
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &raw, nullptr),
            ERROR_SUCCESS);
  const wchar_t other[] = L"OtherViewer.png";
  RegSetValueExW(raw, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
  RegCloseKey(raw);
  const std::wstring before = Touched();
  ASSERT_TRUE(viewer_.Open(picture_));
  ASSERT_TRUE(TickInDialog(L".png", true));
  // A second association keeps the first program as the one to give back to.
  ASSERT_TRUE(TickInDialog(L".png", true));
  EXPECT_EQ(RegistryString(key, nullptr), L"Orbisk.png");
  ASSERT_TRUE(viewer_.Close());
  LastRun();
  EXPECT_EQ(Touched(), before);
  EXPECT_EQ(RegistryString(key, nullptr), other);
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(FileTypesTest, TheFirstRunWelcomesOnceAndTheAboutBoxShowsTheAboutValues) {
  SetProfileNumber(L"FirstRun", 1);
  WriteIni(
      "AutoLoadLastImage=#0\r\n[About]\r\nVersion=#3,#1,#4\r\nSupport=\"help@orbisk.test\"\r\n");
  const std::wstring before = Touched();
  {
    DialogAnswer welcome(L"Welcome to Orbisk !", [](HWND box) { AnswerMessageBox(box, IDCANCEL); });
    ASSERT_TRUE(viewer_.Open(picture_));
    EXPECT_TRUE(WaitUntil([&] { return welcome.Answered(); }));
  }
  EXPECT_EQ(ProfileNumber(L"FirstRun"), 0u);
  // Cancel associates nothing.
  EXPECT_EQ(Touched(), before);
  std::wstring seen;
  {
    DialogAnswer about(L"About Orbisk", [](HWND box) { AnswerMessageBox(box, IDOK); });
    SendMessageW(viewer_.Window(), WM_COMMAND, host::kCmdAbout, 0);
    RunPostedMessages();
    ASSERT_TRUE(about.Answered());
    seen = about.SeenText();
  }
  EXPECT_NE(seen.find(L"Version 3.1.4"), std::wstring::npos) << seen;
  EXPECT_NE(seen.find(L"help@orbisk.test"), std::wstring::npos) << seen;
  ASSERT_TRUE(viewer_.Close());
  // Once only.
  StandaloneViewer again;
  ASSERT_TRUE(again.Open(picture_));
  EXPECT_TRUE(again.Close());
}

}  // namespace
