// The window's own commands as a user gives them from the menu: Keep Visible, the menu
// bar, the clipboard commands, Reload, a recent file, zoom in and out, fit height, the
// wheel, the folder walk and Exit, each checked by what the user sees afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <cwctype>
#include <string>

#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr char kPlain[] = "ShowInfo=#0\r\nShowToolBar=#0\r\nAutoLoadLastImage=#0\r\nView=#0\r\n";

class WindowCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart(kPlain)) << "Orbisk library missing beside the test";
    first_ = folder_.File(L"a first.bmp");
    second_ = folder_.File(L"b second.bmp");
    WriteBmp(first_, 100, 50, kRed);
    WriteBmp(second_, 60, 90, kGreen);
  }
  void TearDown() override {
    if (viewer_.Window() && IsWindow(viewer_.Window())) {
      EXPECT_TRUE(viewer_.Close());
    }
    WriteIni("AutoLoadLastImage=#0\r\n");
  }

  // Gives the command as the menu does and lets everything it posts run.
  void Command(UINT command) { viewer_.Command(command); }
  std::wstring Size() { return viewer_.Status(1).substr(0, 9); }
  std::wstring Zoom() { return viewer_.Status(3); }

  TempFolder folder_;
  std::wstring first_, second_;
  StandaloneViewer viewer_;
};

TEST_F(WindowCommandsTest, KeepVisibleAndTheMenuBarChangeTheHostWindow) {
  ASSERT_NE(viewer_.Open(first_), nullptr);
  HWND frame = viewer_.Frame();
  EXPECT_FALSE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
  Command(host::kCmdKeepVisible);
  EXPECT_TRUE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(viewer_.Checked(host::kCmdKeepVisible));
  Command(host::kCmdKeepVisible);
  EXPECT_FALSE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);

  ASSERT_NE(GetMenu(frame), nullptr);
  Command(host::kCmdShowMenuBar);
  EXPECT_EQ(GetMenu(frame), nullptr);
  Command(host::kCmdShowMenuBar);
  HMENU bar = GetMenu(frame);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuItemText(bar, host::kCmdExit), L"Exit");
  // Both are remembered.
  Command(host::kCmdKeepVisible);
  ASSERT_TRUE(viewer_.Close());
  std::string ini = ReadIni();
  EXPECT_EQ(IniValue(ini, "IsTopmostWindow"), "#1");
  EXPECT_EQ(IniValue(ini, "ShowMenuBar"), "#1");
}

TEST_F(WindowCommandsTest, TheClipboardCommandsCopyThePictureAndThePathAndClearIt) {
  ASSERT_NE(viewer_.Open(first_), nullptr);
  Command(host::kCmdClearClipboard);
  EXPECT_EQ(CountClipboardFormats(), 0);
  Command(host::kCmdCopyImage);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_DIB));
  Command(host::kCmdCopyPath);
  // The viewer keeps its paths in lower case.
  std::string path;
  for (wchar_t c : first_) path += char(std::towlower(c));
  EXPECT_EQ(ClipboardText(), path);
  Command(host::kCmdClearClipboard);
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_EQ(ClipboardText(), "<none>");
}

TEST_F(WindowCommandsTest, ReloadShowsTheFileAsItIsNowAndARecentItemOpensItsFile) {
  HWND viewer = viewer_.Open(first_);
  ASSERT_NE(viewer, nullptr);
  WriteBmp(first_, 30, 20, kGreen);  // changed on disk behind the viewer's back
  Command(host::kCmdReloadImage);
  EXPECT_TRUE(WaitUntil([&] { return Size().substr(0, 8) == L"30 x 20 "; })) << Size();

  DropFile(viewer, second_);
  ASSERT_TRUE(WaitUntil([&] { return Size().substr(0, 8) == L"60 x 90 "; }));
  // The recent files, newest first: the second file is item 1, the first item 2, as
  // the menu shows once opened.
  HMENU bar = GetMenu(viewer_.Frame());
  MenuState(viewer_.Frame(), bar, host::kCmdRecentFirst + 1);
  std::wstring item = MenuItemText(bar, host::kCmdRecentFirst + 1);
  EXPECT_EQ(item.substr(0, 2), L"2 ");
  EXPECT_NE(item.find(L"a first.bmp"), std::wstring::npos) << item;
  Command(host::kCmdRecentFirst + 1);
  EXPECT_TRUE(WaitUntil([&] { return Size().substr(0, 8) == L"30 x 20 "; })) << Size();
  EXPECT_EQ(Text(viewer_.Frame()), L"Orbisk - [a first.bmp]");
}

TEST_F(WindowCommandsTest, ADroppedFileAsksAboutAChangedPictureFirst) {
  WriteIni(std::string(kPlain) + "AskCloseUpdatedImage=#1\r\n");
  HWND viewer = viewer_.Open(first_);
  ASSERT_NE(viewer, nullptr);
  Command(host::kCmdRotate90);
  ASSERT_EQ(Size(), L"50 x 100 ");
  {
    DialogAnswer cancel(L"Warning", [](HWND box) { AnswerMessageBox(box, IDCANCEL); });
    DropFile(viewer, second_);
    RunPostedMessages();
  }
  EXPECT_EQ(Size(), L"50 x 100 ") << "Cancel keeps the changed picture";
  {
    DialogAnswer skip(L"Warning", [](HWND box) { AnswerMessageBox(box, 1026); });
    DropFile(viewer, second_);
    EXPECT_TRUE(WaitUntil([&] { return Size().substr(0, 8) == L"60 x 90 "; })) << Size();
  }
}

TEST_F(WindowCommandsTest, ZoomCommandsStepTheZoomAndTheWheelWalksTheFolder) {
  HWND viewer = viewer_.Open(first_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(Zoom(), L"100%");
  Command(host::kCmdZoomIn);
  EXPECT_EQ(Zoom(), L"110%");
  Command(host::kCmdZoomOut);
  Command(host::kCmdZoomOut);
  EXPECT_EQ(Zoom(), L"90%");

  // Turned towards the user: the next file of the folder; away: the previous one.
  SendMessageW(viewer, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
  EXPECT_TRUE(WaitUntil([&] { return Size().substr(0, 8) == L"60 x 90 "; })) << Size();
  SendMessageW(viewer, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_TRUE(WaitUntil([&] { return Size() == L"100 x 50 "; })) << Size();
}

TEST_F(WindowCommandsTest, TheFolderCommandsGoToThePreviousTheEndsAndARandomFile) {
  std::wstring third = folder_.File(L"c third.bmp");
  WriteBmp(third, 30, 30, kRed);
  ASSERT_NE(viewer_.Open(second_), nullptr);
  auto shows = [&](const wchar_t* size) {
    return WaitUntil([&] { return Size().rfind(size, 0) == 0; });
  };
  Command(host::kCmdOpenPrev);
  EXPECT_TRUE(shows(L"100 x 50 ")) << Size();
  Command(host::kCmdOpenLast);
  EXPECT_TRUE(shows(L"30 x 30 ")) << Size();
  Command(host::kCmdOpenFirst);
  EXPECT_TRUE(shows(L"100 x 50 ")) << Size();
  // A random step never stays on the file shown.
  for (int i = 0; i < 3; ++i) {
    Command(host::kCmdOpenRandom);
    EXPECT_TRUE(WaitUntil([&] { return !Size().empty() && Size() != L"100 x 50 "; })) << Size();
    Command(host::kCmdOpenFirst);
    ASSERT_TRUE(shows(L"100 x 50 ")) << Size();
  }
}

TEST_F(WindowCommandsTest, FitHeightMakesThePictureAsTallAsTheDisplay) {
  HWND viewer = viewer_.Open(second_);  // 60 x 90, taller than wide
  ASSERT_NE(viewer, nullptr);
  Command(host::kCmdFitHeight);
  EXPECT_TRUE(viewer_.Checked(host::kCmdFitHeight));
  RECT client{};
  GetClientRect(Child(viewer, L"OrbiskView"), &client);
  // The zoom text has two decimals: the picture's 90 rows fill the display's height.
  const double expected = client.bottom * 100.0 / 90;
  EXPECT_TRUE(WaitUntil([&] {
    return std::abs(std::wcstod(Zoom().c_str(), nullptr) - expected) < 0.01;
  })) << testing::PrintToString(Zoom())
      << " " << expected;
}

// The web pages go to whatever the system opens https addresses with. Here that is
// made, for the length of the test, a command that writes the address it was given
// into a file; the handler the test prefix had comes back afterwards.
TEST_F(WindowCommandsTest, TheWebPageCommandsHandTheirAddressesToTheSystem) {
  const std::wstring opened = folder_.File(L"opened.txt");
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::wstring before(1024, L'\0');
  DWORD size = DWORD(before.size() * sizeof(wchar_t));
  const bool hadHandler = RegQueryValueExW(key, nullptr, nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(before.data()), &size) == 0;
  before.resize(hadHandler ? size / sizeof(wchar_t) : 0);
  const std::wstring command = L"cmd.exe /c echo %1>\"" + opened + L"\"";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 DWORD((command.size() + 1) * sizeof(wchar_t)));
  ASSERT_NE(viewer_.Open(first_), nullptr);
  const std::pair<UINT, std::string> pages[] = {
      {host::kCmdVisitWebSite, "https://orbisk.org/\r\n"},
      {host::kCmdConverterWebPage, "https://orbisk.org/convert/\r\n"}};
  for (const auto& [id, address] : pages) {
    DeleteFileW(opened.c_str());
    Command(id);
    EXPECT_TRUE(WaitUntil([&] { return FileBytes(opened).find(address) != std::string::npos; }))
        << address << ": " << FileBytes(opened);
  }
  if (hadHandler) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(before.data()),
                   DWORD(before.size() * sizeof(wchar_t)));
  } else {
    RegDeleteValueW(key, nullptr);
  }
  RegCloseKey(key);
}

// The viewer's notification message is public (another instance posts the hand-off
// with it). Its kinds that carry a pointer are refused when anyone but the viewer's
// own code sends them: the window reads no memory it was not given.
TEST_F(WindowCommandsTest, StrayNotificationsWithPointersAreIgnored) {
  HWND viewer = viewer_.Open(first_);
  ASSERT_NE(viewer, nullptr);
  constexpr UINT kNotify = WM_USER + 101;
  for (WPARAM kind : {8, 9, 12, 13}) {
    PostMessageW(viewer, kNotify, kind, LPARAM(0x1234));
    SendMessageW(viewer, kNotify, kind, LPARAM(0x7FFF0000));
  }
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_EQ(Size(), L"100 x 50 ");
}

TEST_F(WindowCommandsTest, ExitLeavesFullScreenFirstThenCloses) {
  HWND viewer = viewer_.Open(first_);
  ASSERT_NE(viewer, nullptr);
  Command(host::kCmdFullscreen);
  ASSERT_TRUE(GetWindowLongPtrW(viewer_.Frame(), GWL_STYLE) & WS_POPUP);
  Command(host::kCmdExit);
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_FALSE(GetWindowLongPtrW(viewer_.Frame(), GWL_STYLE) & WS_POPUP);
  Command(host::kCmdExit);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
}

}  // namespace
