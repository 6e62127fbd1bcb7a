// The real Orbisk.wlx64 in each of its hosts: the standalone frame, a Lister window of
// the file manager, its quick-view panel, and a parent that only looks like the
// standalone frame. Everything checked is what a user could see: windows and their
// texts, menus, status panes, pixels, the settings file and the profile values.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "ResourceIds.h"
#include "app/StandaloneFrame.h"
#include "host/Commands.h"
#include "ui/Controls.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr UINT kCloseFromViewer = 1965;
// Only the display in the viewer: its client area is the frame's.
constexpr char kBareView[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#0\r\nAutoLoadLastImage=#0\r\n";

std::wstring TitleFor(const wchar_t* file) { return std::wstring(L"Orbisk - [") + file + L"]"; }

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Viewer().listLoad) << "Orbisk library missing beside the test";
    ResetProfile();
    WriteIni("AutoLoadLastImage=#0\r\n");
    red_ = folder_.File(L"Red.bmp");
    WriteBmp(red_, 100, 50, kRed);
  }

  void TearDown() override {
    if (frame_ && frame_->hwnd()) DestroyWindow(frame_->hwnd());
  }

  // A fresh standalone frame as Orbisk.exe makes it, with the viewer in it.
  HWND OpenStandalone(const std::wstring* file, int flags = 1) {
    if (frame_ && frame_->hwnd()) DestroyWindow(frame_->hwnd());
    frame_ = std::make_unique<app::StandaloneFrame>();
    frame_->quitOnDestroy = false;
    EXPECT_TRUE(frame_->CreateFrame(nullptr));
    char* name = file ? reinterpret_cast<char*>(const_cast<wchar_t*>(file->c_str())) : nullptr;
    HWND viewer = Viewer().listLoad(frame_->hwnd(), name, flags);
    RunPostedMessages();
    return viewer;
  }
  HWND Frame() const { return frame_->hwnd(); }

  // Closes the viewer as the host would and waits until it and its frame are gone.
  void CloseStandalone(HWND viewer) {
    Viewer().listClose(viewer);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer) && frame_->Destroyed(); }));
  }

  // Makes the display's client area exactly width x height.
  void SizeDisplay(HWND viewer, int width, int height) {
    HWND display = Child(viewer, L"OrbiskView");
    EXPECT_TRUE(WaitUntil([&] {
      RECT client{}, window{};
      GetClientRect(display, &client);
      if (client.right == width && client.bottom == height) return true;
      GetWindowRect(Frame(), &window);
      SetWindowPos(Frame(), nullptr, 0, 0, window.right - window.left + width - client.right,
                   window.bottom - window.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER);
      return false;
    }));
    RunPostedMessages();
    UpdateWindow(display);
  }  // A 100 x 50 picture, red on the left and blue on the right, at actual size in the
  // middle of a 400 x 300 display: (150, 125) to (250, 175). Null when it did not show.
  HWND OpenSplitPicture() {
    std::wstring split = folder_.File(L"split.bmp");
    WriteBmp(split, 100, 50, kRed, 0x0000FF);
    HWND viewer = OpenStandalone(&split);
    if (!viewer || !WaitUntil([&] { return Text(Frame()) == TitleFor(L"split.bmp"); }))
      return nullptr;
    SizeDisplay(viewer, 400, 300);
    return viewer;
  }

  // The test data's animated GIF in a 240 x 160 display, fitted so the frames fill it;
  // null when it did not show.
  HWND OpenAnimation() {
    WriteIni(kBareView);
    std::wstring gif = TestData(L"vexlo/animation.gif");
    HWND viewer = OpenStandalone(&gif);
    if (!viewer || !WaitUntil([&] { return Text(Frame()) == TitleFor(L"animation.gif"); }))
      return nullptr;
    SizeDisplay(viewer, 240, 160);
    SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
    RunPostedMessages();
    return viewer;
  }

  TempFolder folder_;
  std::wstring red_;
  std::unique_ptr<app::StandaloneFrame> frame_;
};

// ---- the exports ----

TEST_F(ViewerTest, ListLoadDeclinesWhatItCannotShow) {
  EXPECT_EQ(Viewer().listLoad(nullptr, nullptr, 0), nullptr);
  HostWindow main, lister;
  CreateHostWindow(main, L"TTOTAL_CMD", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  CreateHostWindow(lister, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  // Outside standalone mode a file is needed, and it must be one a plug-in reads.
  EXPECT_EQ(Viewer().listLoad(lister.hwnd, nullptr, 0), nullptr);
  std::wstring text = folder_.File(L"notes.txt");
  std::ofstream(std::filesystem::path(text)) << "just some words\n";
  std::string narrowText(text.begin(), text.end());
  EXPECT_EQ(Viewer().listLoad(lister.hwnd, narrowText.data(), 0), nullptr);
  EXPECT_EQ(Child(lister.hwnd, L"Orbisk"), nullptr);
  // "-last_run" makes no window.
  std::wstring lastRun = L"-last_run";
  EXPECT_EQ(OpenStandalone(&lastRun), nullptr);
  EXPECT_EQ(Child(Frame(), L"Orbisk"), nullptr);
  DestroyHostWindow(lister);
  DestroyHostWindow(main);
}

TEST_F(ViewerTest, TheLibraryHoldsEveryCommandsMenuItemAndTheBuiltInKeys) {
  HMENU menu = LoadMenuW(Viewer().module, MAKEINTRESOURCEW(IDR_MAIN_MENU));
  ASSERT_NE(menu, nullptr);
  for (const host::NamedCommand& command : host::kShortcutCommands) {
    std::string utf8(command.menuText);
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring expected(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), expected.data(), length);
    EXPECT_EQ(MenuItemText(menu, command.id), expected) << command.name;
  }
  EXPECT_EQ(MenuItemText(menu, host::kCmdExit), L"Exit");
  DestroyMenu(menu);

  HACCEL keys = LoadAcceleratorsW(Viewer().module, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(keys, nullptr);
  std::vector<ACCEL> table(size_t(CopyAcceleratorTableW(keys, nullptr, 0)));
  CopyAcceleratorTableW(keys, table.data(), int(table.size()));
  ASSERT_EQ(table.size(), host::kDefaultAccelerators.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const host::AccelEntry& expected = host::kDefaultAccelerators[i];
    EXPECT_EQ(table[i].fVirt & host::kAcceleratorFlagMask, expected.fVirt) << i;
    EXPECT_EQ(table[i].key, expected.key) << i;
    EXPECT_EQ(table[i].cmd, expected.cmd) << i;
  }
}

TEST_F(ViewerTest, AParentNamedInAnotherCaseIsAListerWindow) {
  HostWindow main, lookalike;
  CreateHostWindow(main, L"TTOTAL_CMD", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  CreateHostWindow(lookalike, L"orbisk", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  // The wide-name flag is not read outside standalone mode: the name is 8-bit.
  std::string name(red_.begin(), red_.end());
  HWND result = Viewer().listLoad(lookalike.hwnd, name.data(), 1);
  ASSERT_NE(result, nullptr);
  lookalike.stub = result;
  EXPECT_EQ(GetParent(result), lookalike.hwnd);
  EXPECT_NE(ClassOf(result), L"Orbisk");  // the stub, not the viewer
  EXPECT_TRUE(WaitUntil([&] { return Text(lookalike.hwnd) == TitleFor(L"red.bmp"); }));
  DestroyHostWindow(lookalike);
  DestroyHostWindow(main);
}

// ---- standalone ----

TEST_F(ViewerTest, StandaloneShowsTheImageCentredThenFitted) {
  WriteIni(kBareView);
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ClassOf(viewer), L"Orbisk");
  EXPECT_EQ(GetParent(viewer), Frame());
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"red.bmp"); }));
  EXPECT_EQ(Text(viewer), TitleFor(L"red.bmp"));

  SizeDisplay(viewer, 400, 300);
  HWND display = Child(viewer, L"OrbiskView");
  // Best fit: 100 x 50 at actual size, centred at (150, 125).
  EXPECT_EQ(PixelAt(display, 200, 150), kRed);
  EXPECT_EQ(PixelAt(display, 150, 125), kRed);
  EXPECT_EQ(PixelAt(display, 249, 174), kRed);
  EXPECT_EQ(PixelAt(display, 149, 150), kWhite);
  EXPECT_EQ(PixelAt(display, 250, 150), kWhite);
  EXPECT_EQ(PixelAt(display, 200, 124), kWhite);
  EXPECT_EQ(PixelAt(display, 200, 175), kWhite);

  // Fit in window: 400 x 200 from y = 50.
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(PixelAt(display, 0, 50), kRed);
  EXPECT_EQ(PixelAt(display, 399, 249), kRed);
  EXPECT_EQ(PixelAt(display, 200, 49), kWhite);
  EXPECT_EQ(PixelAt(display, 200, 250), kWhite);
  CloseStandalone(viewer);
  EXPECT_NE(ReadIni().find("View=#2"), std::string::npos);
}

TEST_F(ViewerTest, StatusPanesMenusAndSettingsWrittenAtExit) {
  WriteIni("AutoLoadLastImage=#0\r\nShowInfo=#0\r\n");
  SetProfileNumber(L"FirstRun", 1);
  HWND viewer = nullptr;
  {
    DialogAnswer welcome(L"Welcome to Orbisk !", [](HWND box) { AnswerMessageBox(box, IDCANCEL); });
    viewer = OpenStandalone(nullptr);
    EXPECT_TRUE(welcome.Answered());
  }
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ProfileNumber(L"FirstRun"), 0u);  // shown once
  EXPECT_EQ(StatusText(viewer, 1), L"No file loaded");
  HMENU bar = GetMenu(Frame());
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuItemText(bar, host::kCmdOpenImage), L"Open Image...");
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdZoomIn) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdSaveImageAs) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdShowInfoPanel) & MF_GRAYED);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdShowToolBar) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdShowToolBar) & MF_CHECKED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdBestFit) & MF_CHECKED);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdFitWidth) & MF_CHECKED);
  HMENU file = GetSubMenu(bar, 0);
  SendMessageW(Frame(), WM_INITMENUPOPUP, WPARAM(file), 0);
  EXPECT_TRUE(GetMenuState(file, 3, MF_BYPOSITION) & MF_GRAYED);  // no history yet

  // Dropping a file shows it.
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 60, 40, 0x0000FF);
  DropFile(viewer, blue);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"blue.bmp"); }));
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 0) == L"blue.bmp"; }));
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"60 x 40 ");
  EXPECT_EQ(StatusText(viewer, 2), L"1/1 Page(s)");
  EXPECT_FALSE(StatusText(viewer, 3).empty());
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdZoomIn) & MF_GRAYED);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdSaveImageAs) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdSaveImage) & MF_GRAYED);  // not modified
  SendMessageW(Frame(), WM_INITMENUPOPUP, WPARAM(file), 0);
  EXPECT_FALSE(GetMenuState(file, 3, MF_BYPOSITION) & MF_GRAYED);
  HMENU recent = GetSubMenu(file, 3);
  ASSERT_EQ(GetMenuItemCount(recent), 1);
  wchar_t entry[MAX_PATH + 8] = {};
  GetMenuStringW(recent, 0, entry, MAX_PATH + 8, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(entry).substr(0, 2), L"1 ");

  SendMessageW(Frame(), WM_COMMAND, host::kCmdShowToolBar, 0);
  EXPECT_FALSE(IsWindowVisible(Child(viewer, L"ToolbarWindow32")));
  CloseStandalone(viewer);

  std::string ini = ReadIni();
  EXPECT_NE(ini.find("ShowToolBar=#0"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ShowStatusBar=#1"), std::string::npos);
  EXPECT_NE(ini.find("MRUD0="), std::string::npos);
  EXPECT_NE(ini.find("blue.bmp"), std::string::npos);
  EXPECT_NE(ini.find("\nPos="), std::string::npos);
  EXPECT_EQ(ini.find("\nPos=#"), std::string::npos);  // decimal
  EXPECT_NE(ini.find("key0="), std::string::npos);
  // The profile remembers the last image, lower-cased as the loader reads it.
  std::wstring last = ProfileString(L"LastOpenedImage");
  EXPECT_EQ(last.substr(last.size() - 8), L"blue.bmp");
}

bool HasRow(const std::vector<std::wstring>& rows, const std::wstring& text) {
  return std::find(rows.begin(), rows.end(), text) != rows.end();
}
bool HasRowStarting(const std::vector<std::wstring>& rows, const std::wstring& start) {
  return std::any_of(rows.begin(), rows.end(), [&](auto& row) { return row.rfind(start, 0) == 0; });
}

TEST_F(ViewerTest, AFileThatFailsToLoadIsReportedWithTheErrorPicture) {
  WriteIni(kBareView);
  // A bitmap whose header asks for 7 bits per pixel: recognised, but not readable.
  std::wstring broken = folder_.File(L"broken.bmp");
  WriteBmp(broken, 100, 50, kRed);
  {
    std::fstream file(std::filesystem::path(broken),
                      std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(28);
    file.put(7);
  }
  HWND viewer = OpenStandalone(&broken);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Load Error Info"); }));
  auto rows = InfoRows(viewer);
  EXPECT_EQ(rows[0], L"File Info");
  EXPECT_TRUE(HasRowStarting(rows, L"File size\t"));
  EXPECT_TRUE(HasRowStarting(rows, L"Code\t"));
  EXPECT_FALSE(HasRow(rows, L"Code\t"));  // with the return code's message
  EXPECT_TRUE(IsWindowVisible(InfoPanel(viewer)));
  EXPECT_EQ(Text(Frame()), L"Orbisk");
  // The display shows the built-in picture instead of an empty background.
  HWND display = Child(viewer, L"OrbiskView");
  RECT client{};
  GetClientRect(display, &client);
  EXPECT_TRUE(
      WaitUntil([&] { return PixelAt(display, client.right / 2, client.bottom / 2) != kWhite; }));
  // The next good load shows its own information and nothing of the error.
  DropFile(viewer, red_);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  EXPECT_FALSE(HasRow(InfoRows(viewer), L"Load Error Info"));
  ASSERT_TRUE(WaitUntil([&] { return Text(viewer) == TitleFor(L"red.bmp"); }));
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"100 x 50", 0) == 0; }));
  RunPostedMessages();
  // A failure after it takes the name off both windows, the host's and the viewer's.
  DropFile(viewer, broken);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Load Error Info"); }));
  EXPECT_EQ(Text(Frame()), L"Orbisk");
  EXPECT_EQ(Text(viewer), L"Orbisk");
  CloseStandalone(viewer);

  // With "NotifyAboutError" off nothing is reported.
  WriteIni(std::string(kBareView) + "NotifyAboutError=#0\r\n");
  viewer = OpenStandalone(&broken);
  ASSERT_NE(viewer, nullptr);
  // A drop is taken once the broken file is done with (not while it loads); the next
  // file shows and nothing was reported.
  ASSERT_TRUE(WaitUntil([&] {
    if (Text(Frame()) == TitleFor(L"red.bmp")) return true;
    DropFile(viewer, red_);
    RunPostedMessages();
    return false;
  }));
  EXPECT_FALSE(HasRow(InfoRows(viewer), L"Load Error Info"));
  EXPECT_FALSE(IsWindowVisible(InfoPanel(viewer)));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, MenusShowTheKeysOfTheirCommands) {
  HWND viewer = OpenStandalone(nullptr);
  ASSERT_NE(viewer, nullptr);
  HMENU bar = GetMenu(Frame());
  MenuState(Frame(), bar, host::kCmdOpenNext);
  MenuState(Frame(), bar, host::kCmdExit);
  wchar_t next[256] = {}, exit[256] = {};
  GetMenuStringW(bar, host::kCmdOpenNext, next, 256, MF_BYCOMMAND);
  GetMenuStringW(bar, host::kCmdExit, exit, 256, MF_BYCOMMAND);
  std::wstring shown(next);
  ASSERT_NE(shown.find(L'\t'), std::wstring::npos) << shown;
  EXPECT_EQ(shown.substr(0, shown.find(L'\t')), L"Next Image");
  EXPECT_EQ(std::count(shown.begin(), shown.end(), L','), 2) << shown;  // three keys
  EXPECT_EQ(std::wstring(exit), L"Exit");  // not a listed command: no keys
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, FullScreenPutsTheDisplayOverTheWholeScreenAndEscLeavesIt) {
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"red.bmp"); }));
  RECT before{};
  GetWindowRect(Frame(), &before);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFullscreen, 0);
  RunPostedMessages();
  HWND display = Child(viewer, L"OrbiskView");
  RECT area{};
  GetWindowRect(display, &area);
  EXPECT_EQ(area.left, 0);
  EXPECT_EQ(area.top, 0);
  EXPECT_EQ(area.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_GE(area.bottom, GetSystemMetrics(SM_CYSCREEN));
  LONG_PTR style = GetWindowLongPtrW(Frame(), GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongPtrW(Frame(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  HMENU bar = GetMenu(Frame());
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdBestFit) & MF_CHECKED);

  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));  // Esc leaves full screen first
  RECT after{};
  GetWindowRect(Frame(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(GetWindowLongPtrW(Frame(), GWL_STYLE) & WS_CAPTION);
  EXPECT_FALSE(GetWindowLongPtrW(Frame(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, FullScreenHidesThePointerAWhileAfterItLastMoved) {
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"red.bmp"); }));
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFullscreen, 0);
  HWND display = Child(viewer, L"OrbiskView");
  POINT at{};
  GetCursorPos(&at);
  ASSERT_EQ(WindowFromPoint(at), display);
  EXPECT_EQ(GetCursor(), nullptr) << "hidden as full screen begins";
  RunPostedMessages();
  PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  RunPostedMessages();
  ASSERT_NE(GetCursor(), nullptr) << "a movement shows the pointer";
  ASSERT_TRUE(WaitUntil([] { return GetCursor() == nullptr; }, 10000));
  // Moving shows it again.
  PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  RunPostedMessages();
  EXPECT_NE(GetCursor(), nullptr);
  CloseStandalone(viewer);
}

constexpr uint32_t kBlue = 0x0000FF;

TEST_F(ViewerTest, AMirrorATurnOrANegativeChangesThePictureAndEnablesSave) {
  HWND viewer = OpenSplitPicture();
  ASSERT_NE(viewer, nullptr);
  HWND display = Child(viewer, L"OrbiskView");
  HMENU bar = GetMenu(Frame());
  // At actual size in the middle: (150, 125) to (250, 175).
  EXPECT_EQ(PixelAt(display, 160, 150), kRed);
  EXPECT_EQ(PixelAt(display, 240, 150), kBlue);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdSaveImage) & MF_GRAYED);

  SendMessageW(viewer, WM_COMMAND, host::kCmdFlipHor, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(PixelAt(display, 160, 150), kBlue);
  EXPECT_EQ(PixelAt(display, 240, 150), kRed);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdSaveImage) & MF_GRAYED);

  // A quarter turn clockwise: the left column goes to the top, 50 x 100.
  SendMessageW(viewer, WM_COMMAND, host::kCmdRotate90, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(StatusText(viewer, 1).rfind(L"50 x 100", 0), 0u) << StatusText(viewer, 1);
  EXPECT_EQ(PixelAt(display, 200, 110), kBlue);
  EXPECT_EQ(PixelAt(display, 200, 190), kRed);
  // Negative, without a dialog, through the colour-effect module.
  SendMessageW(viewer, WM_COMMAND, host::kCmdNegative, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(PixelAt(display, 200, 110), 0xFFFF00u);
  EXPECT_EQ(PixelAt(display, 200, 190), 0x00FFFFu);
  SendMessageW(viewer, WM_COMMAND, host::kCmdNegative, 0);
  // Turned back; a top-to-bottom mirror leaves a left and right split as it is.
  SendMessageW(viewer, WM_COMMAND, host::kCmdRotate270, 0);
  SendMessageW(viewer, WM_COMMAND, host::kCmdFlipVer, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(StatusText(viewer, 1).rfind(L"100 x 50", 0), 0u);
  EXPECT_EQ(PixelAt(display, 160, 150), kBlue);
  EXPECT_EQ(PixelAt(display, 240, 150), kRed);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, AMirroredPictureGetsTheCopiedOneBackByPaste) {
  HWND viewer = OpenSplitPicture();
  ASSERT_NE(viewer, nullptr);
  HWND display = Child(viewer, L"OrbiskView");
  HMENU bar = GetMenu(Frame());
  SendMessageW(viewer, WM_COMMAND, host::kCmdClearClipboard, 0);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdPasteImage) & MF_GRAYED);

  SendMessageW(viewer, WM_COMMAND, host::kCmdCopyImage, 0);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdPasteImage) & MF_GRAYED);
  SendMessageW(viewer, WM_COMMAND, host::kCmdFlipHor, 0);
  RunPostedMessages();
  UpdateWindow(display);
  ASSERT_EQ(PixelAt(display, 160, 150), kBlue);
  // The copy goes on top of the mirrored page, covering it.
  SendMessageW(viewer, WM_COMMAND, host::kCmdPasteImage, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(PixelAt(display, 160, 150), kRed);
  EXPECT_EQ(PixelAt(display, 240, 150), kBlue);
  EXPECT_EQ(StatusText(viewer, 1).rfind(L"100 x 50", 0), 0u) << StatusText(viewer, 1);
  SendMessageW(viewer, WM_COMMAND, host::kCmdClearClipboard, 0);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, ALargeImagePansAndOpensTheNavigationWindow) {
  WriteIni(std::string(kBareView) + "View=#0\r\nZoomCur=^1.0\r\n");
  std::wstring wide = folder_.File(L"wide.bmp");
  WriteBmp(wide, 2000, 1000, 0x208040);
  HWND viewer = OpenStandalone(&wide);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"wide.bmp"); }));
  HWND display = Child(viewer, L"OrbiskView");
  ASSERT_TRUE(WaitUntil([&] {
    LONG_PTR style = GetWindowLongPtrW(display, GWL_STYLE);
    return (style & WS_HSCROLL) && (style & WS_VSCROLL);
  }));

  // Dragging with the left button pans the image.
  SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(display, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 60));
  SendMessageW(display, WM_LBUTTONUP, 0, MAKELPARAM(50, 60));
  EXPECT_EQ(GetScrollPos(display, SB_HORZ), 50);
  EXPECT_EQ(GetScrollPos(display, SB_VERT), 40);

  // A press in the box between the bars shows a 128 x 64 thumbnail in a framed popup.
  RECT window{};
  GetWindowRect(display, &window);
  POINT corner{window.right - 2, window.bottom - 2};
  SendMessageW(display, WM_NCLBUTTONDOWN, HTNOWHERE, MAKELPARAM(corner.x, corner.y));
  HWND navigation = nullptr;
  for (HWND w = FindWindowW(L"OrbiskView", nullptr); w;
       w = FindWindowExW(nullptr, w, L"OrbiskView", nullptr)) {
    if (IsWindowVisible(w)) navigation = w;
  }
  ASSERT_NE(navigation, nullptr);
  RECT client{};
  GetClientRect(navigation, &client);
  EXPECT_EQ(client.right, 128);
  EXPECT_EQ(client.bottom, 64);
  RECT frame{};
  GetWindowRect(navigation, &frame);
  EXPECT_EQ(frame.right - frame.left, 134);
  EXPECT_TRUE(GetWindowLongPtrW(navigation, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // Releasing the button closes it and frees the pointer.
  SendMessageW(navigation, WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(IsWindowVisible(navigation));
  RECT clip{};
  GetClipCursor(&clip);
  EXPECT_EQ(clip.right - clip.left, GetSystemMetrics(SM_CXSCREEN));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, AMultiPageFileOpensAtItsFirstPage) {
  // Made with ImageMagick: red, green and blue pages of 16 x 8.
  std::wstring pages = TestData(L"win/three-pages.tif");
  HWND viewer = OpenStandalone(&pages);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 0) == L"three-pages.tif"; }));
  EXPECT_EQ(StatusText(viewer, 2), L"1/3 Page(s)");  // one page at a time by default
  EXPECT_FALSE(MenuState(Frame(), GetMenu(Frame()), host::kCmdVcrNext) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), GetMenu(Frame()), host::kCmdVcrPlay) & MF_GRAYED);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, EscClosesAStandaloneViewerOnlyWhenAsked) {
  HWND viewer = OpenStandalone(nullptr);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));
  CloseStandalone(viewer);

  WriteIni("AutoLoadLastImage=#0\r\nSingleESCtoExit=#1\r\n");
  viewer = OpenStandalone(nullptr);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer) && frame_->Destroyed(); }));
}

TEST_F(ViewerTest, OptionNamesLoadNothingAndLogFileOpensTheLog) {
  // AutoLoadLastImage is on but an option stands in place of the file.
  WriteIni("");
  SetProfileString(L"LastOpenedImage", red_);
  std::wstring dash = L"-";
  HWND viewer = OpenStandalone(&dash);
  ASSERT_NE(viewer, nullptr);
  RunPostedMessages();
  EXPECT_EQ(StatusText(viewer, 1), L"No file loaded");
  CloseStandalone(viewer);

  auto logs = [] {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator("c:\\")) {
      if (entry.path().filename().wstring().rfind(L"orbisk_log_", 0) == 0) {
        found.push_back(entry.path());
      }
    }
    return found;
  };
  for (const auto& old : logs()) std::filesystem::remove(old);
  WriteIni("AutoLoadLastImage=#0\r\nPageByPageMode=#1\r\n");
  std::wstring option = L"-logfile";
  viewer = OpenStandalone(&option);
  ASSERT_NE(viewer, nullptr);
  RunPostedMessages();
  EXPECT_EQ(StatusText(viewer, 1), L"No file loaded");
  // Two files and a page of the first: each load has its lines, numbered in turn.
  auto shows = [&](const wchar_t* size) {
    return WaitUntil([&] { return StatusText(viewer, 1).rfind(size, 0) == 0; });
  };
  DropFile(viewer, TestData(L"win/two-sizes.tif"));
  ASSERT_TRUE(shows(L"40 x 20"));
  RunPostedMessages();
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  ASSERT_TRUE(shows(L"80 x 60"));
  RunPostedMessages();
  DropFile(viewer, red_);
  ASSERT_TRUE(shows(L"100 x 50"));
  CloseStandalone(viewer);
  ASSERT_EQ(logs().size(), 1u);
  std::string log;
  {
    std::ifstream in(logs().front());
    log.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(log.rfind("Orbisk started. Time=", 0), 0u) << log;
  EXPECT_NE(log.find("Orbisk ended. Time="), std::string::npos) << log;
  size_t first = log.find(") Try to load: "), second = log.find(") Try to load: ", first + 1);
  ASSERT_NE(second, std::string::npos) << log;
  auto number = [&](size_t at) { return std::stoi(log.substr(log.rfind('(', at) + 1)); };
  EXPECT_EQ(number(second), number(first) + 1) << log;
  size_t page = log.find("Try to load page #1\n");
  ASSERT_NE(page, std::string::npos) << log;
  size_t lineStart = log.rfind('\n', log.rfind('\n', page) - 1) + 1;
  EXPECT_EQ(log.compare(lineStart, 4, "MEM="), 0) << "a memory line before the page's: " << log;
  std::filesystem::remove(logs().front());
}

TEST_F(ViewerTest, ClosingWhileLoadingEndsTheViewerWhenTheLoadStops) {
  std::wstring large = folder_.File(L"large.bmp");
  WriteBmp(large, 3000, 3000, 0x336699);
  frame_ = std::make_unique<app::StandaloneFrame>();
  frame_->quitOnDestroy = false;
  ASSERT_TRUE(frame_->CreateFrame(nullptr));
  HWND viewer =
      Viewer().listLoad(Frame(), reinterpret_cast<char*>(const_cast<wchar_t*>(large.c_str())), 1);
  ASSERT_NE(viewer, nullptr);
  // Queued behind the start-up message: the close meets a running load.
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer) && frame_->Destroyed(); }, 60000));
}

TEST_F(ViewerTest, AMultiPageFileLaysOutThePageShownAtItsOwnSize) {
  // A red page of 40 x 20, then a green one of 80 x 60, both loaded: fitted into
  // 400 x 300, the first shows at 1000 % (at the second's size it would be 500 %).
  std::wstring pages = TestData(L"win/two-sizes.tif");
  WriteIni("ShowInfo=#0\r\nShowToolBar=#0\r\nAutoLoadLastImage=#0\r\nPageByPageMode=#0\r\n");
  HWND viewer = OpenStandalone(&pages);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 2) == L"1/2 Page(s)"; }));
  SizeDisplay(viewer, 400, 300);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) == L"1000%"; }))
      << StatusText(viewer, 3);
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"40 x 20 ");
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, TheStatusFollowsAFitTheDisplayMadeOnItsOwn) {
  // The display alone is made smaller, so the frame hears nothing of it: the window's
  // timer brings the zoom text up to date. The 100 x 50 picture fits 200 x 150 at 200 %.
  HWND viewer = OpenSplitPicture();
  ASSERT_NE(viewer, nullptr);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) == L"400%"; })) << StatusText(viewer, 3);
  HWND display = Child(viewer, L"OrbiskView");
  SetWindowPos(display, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) == L"200%"; })) << StatusText(viewer, 3);
  CloseStandalone(viewer);
}

// ---- the information panel ----

constexpr char kInfoView[] =
    "ShowInfo=#1\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";

// The status texts come when a load has ended, folder list and all: a file dropped
// before that is ignored, as the viewer is still busy.
bool LoadEnded(HWND viewer, const wchar_t* size) {
  return WaitUntil([&] { return StatusText(viewer, 1).rfind(size, 0) == 0; });
}

TEST_F(ViewerTest, InfoPanelDescribesEachFileShown) {
  WriteIni(kInfoView);
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  ASSERT_TRUE(LoadEnded(viewer, L"100 x 50"));
  auto rows = InfoRows(viewer);
  EXPECT_EQ(rows[0], L"Common Info");
  EXPECT_TRUE(HasRow(rows, L"File path\t" + red_));
  EXPECT_TRUE(HasRow(rows, L"Dimension\t100 x 50 pixels"));  // no resolution, no inches
  EXPECT_TRUE(HasRow(rows, L"File size\t15 KB (15054 bytes)"));
  EXPECT_TRUE(HasRow(rows, L"Color depth\t24 bpp"));
  EXPECT_TRUE(IsWindowVisible(InfoPanel(viewer)));

  // The next file replaces every row.
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 30, 20, 0x0000FF);
  DropFile(viewer, blue);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Dimension\t30 x 20 pixels"); }));
  rows = InfoRows(viewer);
  EXPECT_FALSE(HasRow(rows, L"Dimension\t100 x 50 pixels"));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), L"Common Info"), 1);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, InfoPanelGroupsStayCollapsedAcrossFilesAndRuns) {
  WriteIni(kInfoView);
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  ASSERT_TRUE(LoadEnded(viewer, L"100 x 50"));
  size_t expanded = InfoRows(viewer).size();
  ASSERT_GT(expanded, 3u);
  ASSERT_TRUE(ClickListRow(InfoListBox(viewer), 0));
  EXPECT_EQ(InfoRows(viewer), std::vector<std::wstring>{L"Common Info"});

  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 30, 20, 0x0000FF);
  DropFile(viewer, blue);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"blue.bmp"); }));
  RunPostedMessages();
  EXPECT_EQ(InfoRows(viewer), std::vector<std::wstring>{L"Common Info"});
  CloseStandalone(viewer);

  viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  EXPECT_EQ(InfoRows(viewer), std::vector<std::wstring>{L"Common Info"});
  // A click on the header opens it again, and that is remembered too.
  ASSERT_TRUE(ClickListRow(InfoListBox(viewer), 0));
  EXPECT_EQ(InfoRows(viewer).size(), expanded);
  CloseStandalone(viewer);
  viewer = OpenStandalone(&red_);
  ASSERT_TRUE(WaitUntil([&] { return InfoRows(viewer).size() == expanded; }));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, InfoPanelCopiesAndSavesItsText) {
  WriteIni(kInfoView);
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  SendMessageW(InfoPanel(viewer), WM_COMMAND, 2001, 0);  // "Copy all Info to Clipboard"
  std::string text = ClipboardText();
  EXPECT_EQ(text.rfind("Common Info\r\nFile path\t", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nDimension\t100 x 50 pixels\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  {
    // "Save Info to File...": a name without an extension is saved as a .txt file.
    std::wstring name = folder_.File(L"info");
    DialogAnswer answer(L"Save Info to File", [&](HWND dialog) { AnswerFileDialog(dialog, name); });
    SendMessageW(InfoPanel(viewer), WM_COMMAND, 2002, 0);
    EXPECT_TRUE(answer.Answered());
  }
  std::ifstream saved(std::filesystem::path(folder_.File(L"info.txt")), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, text);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, AFileOfBarePixelsOpensAsRawInTheLayoutTheUserGives) {
  // 150 x 103 pixels of three bytes, red first: a size no screen resolution has.
  std::wstring raw = folder_.File(L"pixels.bin");
  {
    std::ofstream out(std::filesystem::path(raw), std::ios::binary);
    for (int i = 0; i < 150 * 103; ++i) out.write("\x20\x80\xC0", 3);
  }
  std::wstring split = folder_.File(L"split.bmp");
  WriteBmp(split, 40, 30, kRed);
  HWND viewer = OpenStandalone(&split);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"split.bmp"); }));
  SizeDisplay(viewer, 400, 300);
  std::wstring sizeText, guessedWidth;
  uint32_t previewPixel = 0;
  bool refreshAfterPreview = true, refreshAfterChange = false;
  {
    DialogAnswer chooser(L"Open RAW file", [&](HWND dialog) { AnswerFileDialog(dialog, raw); });
    DialogAnswer options(L"Select RAW file options", [&](HWND dialog) {
      sizeText = Text(GetDlgItem(dialog, IDC_RAW_SIZE));
      guessedWidth = Text(GetDlgItem(dialog, IDC_RAW_WIDTH));
      SetDlgItemTextW(dialog, IDC_RAW_WIDTH, L"150");
      SetDlgItemTextW(dialog, IDC_RAW_HEIGHT, L"103");
      // The preview decodes the layout as it stands; then nothing is left to refresh.
      SendMessageW(GetDlgItem(dialog, IDC_RAW_SHOW_PREVIEW), BM_CLICK, 0, 0);
      std::vector<uint32_t> grid = PictureGrid(Child(dialog, L"OrbiskView"));
      previewPixel = grid.empty() ? 0 : grid[grid.size() / 2];  // the middle sample
      refreshAfterPreview = IsWindowEnabled(GetDlgItem(dialog, IDC_RAW_REFRESH)) != FALSE;
      SetDlgItemTextW(dialog, IDC_RAW_HEADER, L"3");
      refreshAfterChange = IsWindowEnabled(GetDlgItem(dialog, IDC_RAW_REFRESH)) != FALSE;
      SetDlgItemTextW(dialog, IDC_RAW_HEADER, L"0");
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageW(viewer, WM_COMMAND, host::kCmdOpenImageAsRaw, 0);
  }  // both answers have run to their end here
  ASSERT_FALSE(sizeText.empty()) << "the RAW dialog did not come";
  EXPECT_EQ(sizeText, L"46350 byte(s)");
  EXPECT_EQ(guessedWidth, L"215") << "below the smallest resolution: a square";
  EXPECT_EQ(previewPixel, 0x2080C0u);
  EXPECT_FALSE(refreshAfterPreview);
  EXPECT_TRUE(refreshAfterChange);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"150 x 103", 0) == 0; }))
      << StatusText(viewer, 1);
  HWND display = Child(viewer, L"OrbiskView");
  UpdateWindow(display);
  EXPECT_EQ(PixelAt(display, 200, 150), 0x2080C0u);
  CloseStandalone(viewer);
}

// ---- walking the folder ----

TEST_F(ViewerTest, WalkRightArrowThroughTheFolderSkippingWhatCannotBeShown) {
  WriteIni(
      "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"
      "SortFileType=#1\r\nAskDirectoryBound=#1\r\n");
  std::wstring walk = folder_.File(L"walk\\");
  CreateDirectoryW(walk.c_str(), nullptr);
  std::wstring first = walk + L"a.bmp";
  WriteBmp(first, 40, 30, kRed);
  std::ofstream(std::filesystem::path(walk + L"b.txt")) << "not a picture";
  std::wstring broken = walk + L"c.bmp";
  WriteBmp(broken, 40, 30, kRed);
  {
    std::fstream file(std::filesystem::path(broken),
                      std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(28);
    file.put(7);  // 7 bits per pixel: recognised, not readable
  }
  WriteBmp(walk + L"d.bmp", 20, 10, 0x0000FF);
  HWND viewer = OpenStandalone(&first);
  ASSERT_NE(viewer, nullptr);
  // The status bar shows a picture once its load, folder list included, is over.
  auto shows = [&](const wchar_t* name, const wchar_t* size) {
    return WaitUntil([&] {
      return Text(Frame()) == TitleFor(name) && StatusText(viewer, 1).rfind(size, 0) == 0;
    });
  };
  ASSERT_TRUE(shows(L"a.bmp", L"40 x 30"));

  // The text file and the broken picture are passed over.
  PostMessageW(viewer, WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(shows(L"d.bmp", L"20 x 10")) << Text(Frame());

  // At the end: the question; Cancel keeps the picture.
  {
    DialogAnswer answer(
        L"Orbisk", [](HWND box) { AnswerMessageBox(box, IDCANCEL); }, L"Jump to the first image");
    PostMessageW(viewer, WM_KEYDOWN, VK_RIGHT, 0);
    // (Not RunPostedMessages: the box's own loop would swallow its marker.)
    EXPECT_TRUE(WaitUntil([&] { return answer.Answered(); }));
  }
  RunPostedMessages();
  EXPECT_EQ(Text(Frame()), TitleFor(L"d.bmp"));

  // Ticked and OK: on from the first, and the question is off from now on.
  {
    DialogAnswer answer(
        L"Orbisk", [](HWND box) { AnswerMessageBox(box, IDOK, L"Do not show this dialog again"); },
        L"Jump to the first image");
    PostMessageW(viewer, WM_KEYDOWN, VK_RIGHT, 0);
    // (Not RunPostedMessages: the box's own loop would swallow its marker.)
    EXPECT_TRUE(WaitUntil([&] { return answer.Answered(); }));
  }
  ASSERT_TRUE(shows(L"a.bmp", L"40 x 30")) << Text(Frame());
  // No question any more: Left wraps to the last at once.
  PostMessageW(viewer, WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_TRUE(shows(L"d.bmp", L"20 x 10")) << Text(Frame());

  // Back through the history: a, d, a, d.
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  EXPECT_TRUE(shows(L"a.bmp", L"40 x 30"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  EXPECT_TRUE(shows(L"d.bmp", L"20 x 10"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepNext, 0);
  EXPECT_TRUE(shows(L"a.bmp", L"40 x 30"));
  CloseStandalone(viewer);
  EXPECT_NE(ReadIni().find("AskDirectoryBound=#0"), std::string::npos) << ReadIni();
}

BOOL CALLBACK FindPreviewText(HWND child, LPARAM found) {
  if (GetDlgCtrlID(child) == 1011) *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

TEST_F(ViewerTest, WalkStartsFromTheOpenDialogWithItsPreview) {
  WriteIni("ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n");
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"100 x 50", 0) == 0; }));
  std::wstring other = folder_.File(L"other.bmp");
  WriteBmp(other, 30, 20, kRed);
  bool preview = false;
  {
    DialogAnswer answer(L"Open image", [&](HWND dialog) {
      EnumChildWindows(dialog, &FindPreviewText, reinterpret_cast<LPARAM>(&preview));
      AnswerFileDialog(dialog, L"other.bmp");  // starts in the shown file's folder
    });
    SendMessageW(viewer, WM_COMMAND, host::kCmdOpenImage, 0);
    EXPECT_TRUE(answer.Answered());
  }
  EXPECT_TRUE(preview);
  EXPECT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"other.bmp"); })) << Text(Frame());
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, WalkOnAfterDeletingUntilTheFolderIsEmpty) {
  WriteIni(
      "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"
      "SortFileType=#1\r\nAskDeletingFile=#1\r\nSendToRecyleBin=#0\r\n");
  std::wstring dir = folder_.File(L"delete\\");
  CreateDirectoryW(dir.c_str(), nullptr);
  WriteBmp(dir + L"x.bmp", 10, 10, kRed);
  WriteBmp(dir + L"y.bmp", 20, 20, kRed);
  WriteBmp(dir + L"z.bmp", 30, 30, kRed);
  std::wstring middle = dir + L"y.bmp";
  HWND viewer = OpenStandalone(&middle);
  ASSERT_NE(viewer, nullptr);
  auto shows = [&](const wchar_t* name, const wchar_t* size) {
    return WaitUntil([&] {
      return Text(Frame()) == TitleFor(name) && StatusText(viewer, 1).rfind(size, 0) == 0;
    });
  };
  ASSERT_TRUE(shows(L"y.bmp", L"20 x 20"));
  auto exists = [&](const wchar_t* name) {
    return GetFileAttributesW((dir + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  };

  {  // Cancel keeps the file.
    DialogAnswer answer(
        L"Orbisk", [](HWND box) { AnswerMessageBox(box, IDCANCEL); },
        L"Are you sure you want to remove");
    PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
    EXPECT_TRUE(WaitUntil([&] { return answer.Answered(); }));
    EXPECT_NE(answer.SeenText().find(L"y.bmp'"), std::wstring::npos) << answer.SeenText();
  }
  EXPECT_TRUE(exists(L"y.bmp"));
  {  // OK deletes it and shows the file that followed; the box is not asked again.
    DialogAnswer answer(
        L"Orbisk", [](HWND box) { AnswerMessageBox(box, IDOK, L"Do not show this dialog again"); },
        L"Are you sure you want to remove");
    PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
    EXPECT_TRUE(WaitUntil([&] { return answer.Answered(); }));
  }
  ASSERT_TRUE(shows(L"z.bmp", L"30 x 30"));
  EXPECT_FALSE(exists(L"y.bmp"));
  PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
  ASSERT_TRUE(shows(L"x.bmp", L"10 x 10"));  // the only one left
  EXPECT_FALSE(exists(L"z.bmp"));
  // The last file: no title, no picture.
  PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
  EXPECT_TRUE(WaitUntil([&] { return Text(Frame()) == L"Orbisk"; }));
  EXPECT_FALSE(exists(L"x.bmp"));
  HWND display = Child(viewer, L"OrbiskView");
  RECT client{};
  GetClientRect(display, &client);
  EXPECT_TRUE(
      WaitUntil([&] { return PixelAt(display, client.right / 2, client.bottom / 2) != kRed; }));
  CloseStandalone(viewer);
  EXPECT_NE(ReadIni().find("AskDeletingFile=#0"), std::string::npos);
}

TEST_F(ViewerTest, WalkFromAShortcutShowsItsTarget) {
  WriteIni("ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n");
  std::wstring target = folder_.File(L"target.bmp");
  WriteBmp(target, 30, 20, kRed);
  std::wstring link = folder_.File(L"picture.lnk");
  ASSERT_TRUE(WriteShortcut(link, target));
  HWND viewer = OpenStandalone(&red_);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"100 x 50", 0) == 0; }));
  DropFile(viewer, link);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"target.bmp"); })) << Text(Frame());
  // The history holds the target: stepping back and forth returns to it.
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"30 x 20", 0) == 0; }));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"100 x 50", 0) == 0; }));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepNext, 0);
  EXPECT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"target.bmp"); }));
  CloseStandalone(viewer);
}

// ---- pages and animation ----

TEST_F(ViewerTest, PagesLoadOneByOneFromTheFileInPageByPageMode) {
  WriteIni(
      "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"
      "PageByPageMode=#1\r\n");
  std::wstring pages = TestData(L"win/two-sizes.tif");
  HWND viewer = OpenStandalone(&pages);
  ASSERT_NE(viewer, nullptr);
  auto showsSize = [&](const wchar_t* size) {
    return WaitUntil([&] { return StatusText(viewer, 1).rfind(size, 0) == 0; });
  };
  ASSERT_TRUE(showsSize(L"40 x 20"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  ASSERT_TRUE(showsSize(L"80 x 60"));
  // The last page: nothing more.
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  RunPostedMessages();
  EXPECT_TRUE(showsSize(L"80 x 60"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPrev, 0);
  EXPECT_TRUE(showsSize(L"40 x 20"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrLast, 0);
  EXPECT_TRUE(showsSize(L"80 x 60"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrFirst, 0);
  EXPECT_TRUE(showsSize(L"40 x 20"));
  RunPostedMessages();
  // A file that fails to load ends the pages of the one before: the page commands
  // are greyed and load nothing of the old file.
  std::wstring broken = folder_.File(L"broken.bmp");
  WriteBmp(broken, 10, 10, kRed);
  {
    std::fstream file(std::filesystem::path(broken),
                      std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(28);
    file.put(7);
  }
  DropFile(viewer, broken);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == L"Orbisk"; }));
  RunPostedMessages();
  std::wstring failed = StatusText(viewer, 1);
  EXPECT_TRUE(MenuState(Frame(), GetMenu(Frame()), host::kCmdVcrNext) & MF_GRAYED);
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  RunPostedMessages();
  EXPECT_EQ(StatusText(viewer, 1), failed);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, PagesOfAReducedResolutionAreChosenBeforeOpening) {
  std::wstring file = TestData(L"win/two-resolutions.tif");
  const char* kIni =
      "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";
  // The largest, without a question.
  WriteIni(std::string(kIni) + "ImageResolution=#0\r\n");
  HWND viewer = OpenStandalone(&file);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"64 x 48", 0) == 0; }));
  CloseStandalone(viewer);

  WriteIni(std::string(kIni) + "ImageResolution=#2\r\n");
  std::vector<std::wstring> rows;
  DialogAnswer answer(L"Select Image Resolution", [&](HWND dialog) {
    HWND list = GetDlgItem(dialog, 1044);
    for (int i = 0; i < int(SendMessageW(list, LB_GETCOUNT, 0, 0)); ++i) {
      wchar_t row[64] = {};
      SendMessageW(list, LB_GETTEXT, i, LPARAM(row));
      rows.push_back(row);
    }
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  viewer = OpenStandalone(&file);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"32 x 24", 0) == 0; }))
      << StatusText(viewer, 1);
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"64 x 48", L"32 x 24"}));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, PagesOfAnAnimationPlayWithTheirDelaysAndPauseOnTheFirst) {
  HWND viewer = OpenAnimation();
  ASSERT_NE(viewer, nullptr);
  HWND display = Child(viewer, L"OrbiskView");
  auto picture = [&] { return PictureGrid(display); };

  // It plays by itself: the picture changes; Pause is what can be chosen, and the
  // status counts the frames.
  std::vector<uint32_t> seen = picture();
  EXPECT_TRUE(WaitUntil([&] { return picture() != seen; }));
  HMENU bar = GetMenu(Frame());
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdVcrPause) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdVcrPlay) & MF_GRAYED);
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdDeleteCurrentPage) & MF_GRAYED);
  EXPECT_EQ(StatusText(viewer, 2), L"3 Page(s)");
  // Paused: the first frame, and it stays.
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPause, 0);
  RunPostedMessages();
  UpdateWindow(display);
  std::vector<uint32_t> first = picture();
  EXPECT_TRUE(MenuState(Frame(), bar, host::kCmdVcrPause) & MF_GRAYED);
  EXPECT_FALSE(MenuState(Frame(), bar, host::kCmdVcrPlay) & MF_GRAYED);
  EXPECT_EQ(StatusText(viewer, 2), L"1/3 Page(s)");
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPlay, 0);
  EXPECT_TRUE(WaitUntil([&] { return picture() != first; }));
  EXPECT_TRUE(WaitUntil([&] { return picture() == first; }));  // it loops
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPause, 0);
  RunPostedMessages();
  UpdateWindow(display);
  EXPECT_EQ(picture(), first);
  // Stepping in memory.
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  UpdateWindow(display);
  EXPECT_NE(picture(), first);
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrFirst, 0);
  UpdateWindow(display);
  EXPECT_EQ(picture(), first);
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, PagesGoToPausesAPlayingAnimationAndCancelResumesIt) {
  HWND viewer = OpenAnimation();
  ASSERT_NE(viewer, nullptr);
  HWND display = Child(viewer, L"OrbiskView");
  auto picture = [&] { return PictureGrid(display); };

  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPause, 0);
  std::vector<uint32_t> first = picture();
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPlay, 0);
  {
    DialogAnswer answer(
        L"Go To Page", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); },
        L"of 3 pages");
    SendMessageW(viewer, WM_COMMAND, host::kCmdPageGoto, 0);
    EXPECT_TRUE(answer.Answered());
  }
  // Playing again after Cancel.
  EXPECT_TRUE(WaitUntil([&] { return picture() != first; }));
  EXPECT_TRUE(WaitUntil([&] { return picture() == first; }));
  {
    DialogAnswer answer(
        L"Go To Page",
        [](HWND dialog) {
          SetDlgItemTextW(dialog, 1000, L"3");
          PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        },
        L"of 3 pages");
    SendMessageW(viewer, WM_COMMAND, host::kCmdPageGoto, 0);
    EXPECT_TRUE(answer.Answered());
  }
  // The third frame, and it stays: the animation is paused.
  std::vector<uint32_t> third = picture();
  EXPECT_NE(third, first);
  EXPECT_FALSE(WaitUntil([&] { return picture() != third; }, 800));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, PagesOfASlideShowVisitEveryPictureInTurn) {
  WriteIni(
      "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"
      "SortFileType=#1\r\nSetFullScreenOnSlideShow=#0\r\nRandomImageOrder=#0\r\n"
      "AskDirectoryBound=#1\r\nTimeout_slideshow=#C8\r\n");
  std::wstring dir = folder_.File(L"show\\");
  CreateDirectoryW(dir.c_str(), nullptr);
  WriteBmp(dir + L"1.bmp", 10, 10, kRed);
  WriteBmp(dir + L"2.bmp", 20, 20, kRed);
  WriteBmp(dir + L"3.bmp", 30, 30, kRed);
  std::wstring first = dir + L"1.bmp";
  HWND viewer = OpenStandalone(&first);
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).rfind(L"10 x 10", 0) == 0; }));
  SendMessageW(viewer, WM_COMMAND, host::kCmdSlideshow, 0);
  // Every picture in turn, past the end without the question, in the window.
  std::set<std::wstring> seen;
  std::vector<std::wstring> order;
  EXPECT_TRUE(WaitUntil([&] {
    std::wstring size = StatusText(viewer, 1).substr(0, 7);
    if (order.empty() || order.back() != size) order.push_back(size);
    seen.insert(size);
    return order.size() >= 5;
  }));
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(order[0], L"10 x 10");
  EXPECT_EQ(order[1], L"20 x 20");
  EXPECT_EQ(order[2], L"30 x 30");
  EXPECT_EQ(order[3], L"10 x 10");
  EXPECT_FALSE(IsWindow(FindWindowW(L"#32770", L"Orbisk")));
  // Stopped: it stays.
  SendMessageW(viewer, WM_COMMAND, host::kCmdSlideshow, 0);
  RunPostedMessages();
  std::wstring stopped = StatusText(viewer, 1);
  EXPECT_FALSE(WaitUntil([&] { return StatusText(viewer, 1) != stopped; }, 1500));
  CloseStandalone(viewer);
}

// ---- the file manager's windows ----

class FileManagerTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    CreateHostWindow(main_, L"TTOTAL_CMD", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
    ownMenu_ = CreateMenu();
    AppendMenuW(ownMenu_, MF_STRING, 1, L"Lister menu");
    CreateHostWindow(lister_, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, ownMenu_);
    ownProc_ = GetWindowLongPtrW(lister_.hwnd, GWLP_WNDPROC);
    name_.assign(red_.begin(), red_.end());
  }
  void TearDown() override {
    DestroyHostWindow(lister_);
    DestroyHostWindow(main_);
  }

  HWND OpenLister() {
    HWND stub = Viewer().listLoad(lister_.hwnd, name_.data(), 0);
    lister_.stub = stub;
    RunPostedMessages();
    return stub;
  }

  HostWindow main_, lister_;
  HMENU ownMenu_ = nullptr;
  LONG_PTR ownProc_ = 0;
  std::string name_;
};

TEST_F(FileManagerTest, ListerWindowIsWiredToTheViewer) {
  HWND stub = OpenLister();
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(GetParent(stub), lister_.hwnd);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(IsWindow(viewer));
  EXPECT_EQ(ClassOf(viewer), L"Orbisk");
  EXPECT_EQ(GetParent(viewer), lister_.hwnd);
  EXPECT_NE(GetWindowLongPtrW(lister_.hwnd, GWLP_WNDPROC), ownProc_);
  HMENU bar = GetMenu(lister_.hwnd);
  EXPECT_NE(bar, ownMenu_);
  EXPECT_EQ(MenuItemText(bar, host::kCmdExit), L"Exit");
  ASSERT_TRUE(WaitUntil([&] { return Text(lister_.hwnd) == TitleFor(L"red.bmp"); }));

  // The Lister's menu is the viewer's: its commands and menu states go there.
  EXPECT_FALSE(MenuState(lister_.hwnd, bar, host::kCmdFitInWindow) & MF_GRAYED);
  SendMessageW(lister_.hwnd, WM_COMMAND, host::kCmdShowStatusBar, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Child(viewer, L"msctls_statusbar32")); }));

  // "3" goes back to the Lister, which keeps its window, menu and procedure.
  PostMessageW(lister_.hwnd, WM_KEYDOWN, '3', 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(lister_.hwnd));
  EXPECT_EQ(lister_.keys, std::vector<UINT>{'3'});
  EXPECT_EQ(GetMenu(lister_.hwnd), ownMenu_);
  EXPECT_EQ(GetWindowLongPtrW(lister_.hwnd, GWLP_WNDPROC), ownProc_);
}

TEST_F(FileManagerTest, ListLoadWOpensAUnicodeNameAndTheDetectStringNamesTheTypes) {
  using ListLoadWEntry = HWND(__stdcall*)(HWND, WCHAR*, int);
  using DetectEntry = void(__stdcall*)(char*, int);
  using DefaultsEntry = void(__stdcall*)(void*);
  auto loadW = reinterpret_cast<ListLoadWEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListLoadW")));
  auto detect = reinterpret_cast<DetectEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListGetDetectString")));
  auto defaults = reinterpret_cast<DefaultsEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListSetDefaultParams")));
  ASSERT_TRUE(loadW && detect && defaults);

  // A name no 8-bit code page holds, and the file manager's display flags.
  std::wstring name = folder_.File(L"\u00e9t\u00e9 \u4e2d\u6587.bmp");
  WriteBmp(name, 70, 20, 0x00FF00);
  HostWindow host;
  CreateHostWindow(host, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  host.stub = loadW(host.hwnd, name.data(), 3);
  ASSERT_NE(host.stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(host.stub, GWLP_USERDATA));
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 8) == L"70 x 20 "; }))
      << StatusText(viewer, 1);
  Viewer().listClose(host.stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  DestroyHostWindow(host);
  // A file no plug-in reads is declined, as by ListLoad.
  std::wstring text = folder_.File(L"\u4e2d.txt");
  std::ofstream(std::filesystem::path(text)) << "words\n";
  HostWindow other;
  CreateHostWindow(other, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  EXPECT_EQ(loadW(other.hwnd, text.data(), 0), nullptr);
  DestroyHostWindow(other);

  char all[4096];
  detect(all, sizeof all);
  std::string found = all;
  for (const char* term : {"EXT=\"BMP\"", "EXT=\"JPG\"", "EXT=\"PNG\"", "EXT=\"TIF\""})
    EXPECT_NE(found.find(term), std::string::npos) << term << " in " << found;
  // A short buffer gets whole terms and its NUL, nothing past it.
  char small[16];
  std::memset(small, 'x', sizeof small);
  detect(small, 12);
  EXPECT_LT(std::strlen(small), 12u);
  EXPECT_EQ(found.rfind(small, 0), 0u) << small;
  EXPECT_EQ(small[12], 'x');
  detect(nullptr, 100);
  detect(small, 0);

  // The file manager's defaults are taken; a short or missing record is ignored.
  struct {
    int size;
    DWORD low, high;
    char ini[MAX_PATH];
  } params{int(sizeof params), 10, 2, "C:\\fm\\wincmd.ini"};
  defaults(&params);
  params.size = 4;
  defaults(&params);
  defaults(nullptr);
}

TEST_F(FileManagerTest, ListLoadNextShowsTheNextFileInTheSameWindowAfterTheSaveQuestion) {
  using LoadNextEntry = int(__stdcall*)(HWND, HWND, char*, int);
  using LoadNextWEntry = int(__stdcall*)(HWND, HWND, WCHAR*, int);
  auto next = reinterpret_cast<LoadNextEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListLoadNext")));
  auto nextW = reinterpret_cast<LoadNextWEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListLoadNextW")));
  ASSERT_TRUE(next && nextW);
  WriteIni("AutoLoadLastImage=#0\r\nAskCloseUpdatedImage=#1\r\n");
  std::wstring blue = folder_.File(L"\u4e2d blue.bmp");
  WriteBmp(blue, 60, 90, 0x0000FF);
  std::wstring text = folder_.File(L"notes.txt");
  std::ofstream(std::filesystem::path(text)) << "words\n";
  std::string narrowText(text.begin(), text.end());

  HWND stub = OpenLister();
  ASSERT_NE(stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 9) == L"100 x 50 "; }));
  // Another file, same window.
  EXPECT_EQ(nextW(lister_.hwnd, stub, blue.data(), 0), 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 8) == L"60 x 90 "; }));
  EXPECT_EQ(HWND(GetWindowLongPtrW(stub, GWLP_USERDATA)), viewer);
  // Declined: a file no plug-in reads, and a window that is not ours.
  EXPECT_EQ(next(lister_.hwnd, stub, narrowText.data(), 0), 1);
  EXPECT_EQ(next(lister_.hwnd, main_.hwnd, name_.data(), 0), 1);
  EXPECT_EQ(next(lister_.hwnd, stub, nullptr, 0), 1);

  // After an edit the question comes first; Cancel keeps the changed picture.
  SendMessageW(viewer, WM_COMMAND, host::kCmdRotate90, 0);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 8) == L"90 x 60 "; }));
  {
    DialogAnswer cancel(L"Warning", [](HWND box) { AnswerMessageBox(box, IDCANCEL); });
    EXPECT_EQ(next(lister_.hwnd, stub, name_.data(), 0), 0);
    EXPECT_TRUE(cancel.Answered());
  }
  EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"90 x 60 ");
  {
    DialogAnswer skip(L"Warning", [](HWND box) { AnswerMessageBox(box, 1026); });
    EXPECT_EQ(next(lister_.hwnd, stub, name_.data(), 0), 0);
    EXPECT_TRUE(skip.Answered());
  }
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 9) == L"100 x 50 "; }));
  Viewer().listClose(stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
}

TEST_F(FileManagerTest, ListSendCommandCopiesAndTakesTheListersFitChoices) {
  using SendEntry = int(__stdcall*)(HWND, int, int);
  auto send = reinterpret_cast<SendEntry>(
      reinterpret_cast<void*>(GetProcAddress(Viewer().module, "ListSendCommand")));
  ASSERT_TRUE(send);
  constexpr int kCopy = 1, kNewParams = 2, kSelectAll = 3, kFit = 2, kLargerOnly = 32;
  HWND stub = OpenLister();
  ASSERT_NE(stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 9) == L"100 x 50 "; }));

  // The picture is smaller than the window: "fit" enlarges it, "larger only" and no
  // fit show it at its size.
  EXPECT_EQ(send(stub, kNewParams, kFit), 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) != L"100%"; })) << StatusText(viewer, 3);
  EXPECT_EQ(send(stub, kNewParams, kFit | kLargerOnly), 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) == L"100%"; })) << StatusText(viewer, 3);
  EXPECT_EQ(send(stub, kNewParams, kFit), 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) != L"100%"; }));
  EXPECT_EQ(send(stub, kNewParams, 0), 0);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 3) == L"100%"; }));

  // Copy puts the picture on the clipboard.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(send(stub, kCopy, 0), 0);
  EXPECT_TRUE(WaitUntil([] { return IsClipboardFormatAvailable(CF_DIB) != 0; }));
  // Nothing to select in a picture, and a window that is not ours.
  EXPECT_EQ(send(stub, kSelectAll, 0), 1);
  EXPECT_EQ(send(main_.hwnd, kCopy, 0), 1);
  EXPECT_EQ(send(nullptr, kCopy, 0), 1);
  Viewer().listClose(stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
}

// The file manager's own order of calls: its defaults, the detect string, a Lister
// window in its fit and then centre and dark modes, the next file into the same
// window, a thumbnail from another thread while that file loads, copy and close. The
// viewer tells the Lister when the user changes the fit.
TEST_F(FileManagerTest, TheFileManagersSequenceFromDefaultsToClose) {
  const ListerEntries& lister = Lister();
  ASSERT_TRUE(lister.Complete());
  constexpr int kCopy = 1, kNewParams = 2, kFit = 2, kCenter = 64, kDark = 128;
  constexpr WORD kFitCommand = 0xFFFB;
  WriteIni("ShowInfo=#1\r\nShowToolBar=#0\r\nAutoLoadLastImage=#0\r\nView=#0\r\n");
  std::wstring photo = folder_.File(L"photo 24mp.jpg");
  ASSERT_TRUE(WriteQuadrantJpeg(photo, 6000, 4000));

  struct {
    int size;
    DWORD low, high;
    char ini[MAX_PATH];
  } params{int(sizeof params), 10, 2, "C:\\fm\\wincmd.ini"};
  lister.setDefaultParams(&params);
  char detect[2048];
  lister.detectString(detect, sizeof detect);
  EXPECT_TRUE(DetectStringTakes(detect, L"holiday.png")) << detect;
  EXPECT_TRUE(DetectStringTakes(detect, photo)) << detect;
  EXPECT_FALSE(DetectStringTakes(detect, L"notes.txt")) << detect;

  std::wstring red(red_);
  HWND stub = lister.loadW(lister_.hwnd, red.data(), kFit);
  lister_.stub = stub;
  ASSERT_NE(stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 9) == L"100 x 50 "; }));
  HWND display = Child(viewer, L"OrbiskView");
  RECT client{};
  GetClientRect(display, &client);
  ASSERT_GT(client.right, 200);
  ASSERT_GT(client.bottom, 100);
  const int midX = client.right / 2, midY = client.bottom / 2;
  // Our saved mode holds at load: the picture at its size in the middle.
  EXPECT_TRUE(WaitUntil([&] { return PixelAt(display, midX, midY) == kRed; }));
  EXPECT_EQ(PixelAt(display, 2, 2), kWhite);
  HWND list = InfoListBox(viewer);
  RECT listClient{};
  GetClientRect(list, &listClient);
  uint32_t lightList = PixelAt(list, listClient.right - 3, listClient.bottom - 3);

  // Centre and dark mode, no fit: still at its size, on a dark background.
  EXPECT_EQ(lister.sendCommand(stub, kNewParams, kCenter | kDark), 0);
  EXPECT_TRUE(WaitUntil([&] { return PixelAt(display, 2, 2) == 0x202020; }))
      << std::hex << PixelAt(display, 2, 2);
  EXPECT_EQ(PixelAt(display, midX, midY), kRed);
  EXPECT_TRUE(WaitUntil(
      [&] { return PixelAt(list, listClient.right - 3, listClient.bottom - 3) != lightList; }));
  // Without centring the picture goes to the top left.
  EXPECT_EQ(lister.sendCommand(stub, kNewParams, kDark), 0);
  EXPECT_TRUE(WaitUntil([&] { return PixelAt(display, 2, 2) == kRed; }));
  EXPECT_EQ(PixelAt(display, midX, midY), 0x202020u);
  // The Lister's fit: the picture fills the width.
  EXPECT_EQ(lister.sendCommand(stub, kNewParams, kFit | kCenter | kDark), 0);
  EXPECT_TRUE(WaitUntil([&] { return PixelAt(display, 2, midY) == kRed; }));
  lister_.commands.clear();

  // The next file in the same window; meanwhile the file list wants its thumbnail.
  EXPECT_EQ(lister.loadNextW(lister_.hwnd, stub, photo.data(), 0), 0);
  HBITMAP thumbnail = nullptr;
  std::thread thumbnails([&] { thumbnail = lister.previewW(photo.data(), 200, 200, nullptr, 0); });
  EXPECT_TRUE(WaitUntil([&] { return StatusText(viewer, 1).substr(0, 12) == L"6000 x 4000 "; }))
      << StatusText(viewer, 1);
  thumbnails.join();
  EXPECT_EQ(HWND(GetWindowLongPtrW(stub, GWLP_USERDATA)), viewer);
  EXPECT_TRUE(IsWindow(viewer));
  BitmapPixels small = ReadBitmap(thumbnail);
  EXPECT_EQ(small.width, 200);
  EXPECT_EQ(small.height, 133);
  EXPECT_TRUE(ColourNear(small.At(0.25, 0.25), 0xFF0000)) << std::hex << small.At(0.25, 0.25);
  EXPECT_TRUE(ColourNear(small.At(0.75, 0.25), 0x00FF00)) << std::hex << small.At(0.75, 0.25);
  EXPECT_TRUE(ColourNear(small.At(0.25, 0.75), 0x0000FF)) << std::hex << small.At(0.25, 0.75);
  EXPECT_TRUE(ColourNear(small.At(0.75, 0.75), 0xFFFFFF)) << std::hex << small.At(0.75, 0.75);
  if (thumbnail) DeleteObject(thumbnail);
  // The 8-bit entry, and files that give no thumbnail.
  std::string narrowRed(red_.begin(), red_.end());
  HBITMAP redThumbnail = lister.preview(narrowRed.data(), 64, 64, nullptr, 0);
  BitmapPixels redSmall = ReadBitmap(redThumbnail);
  EXPECT_EQ(redSmall.width, 64);
  EXPECT_EQ(redSmall.height, 32);
  if (redThumbnail) DeleteObject(redThumbnail);
  std::wstring text = folder_.File(L"notes.txt");
  std::ofstream(std::filesystem::path(text)) << "words\n";
  EXPECT_EQ(lister.previewW(text.data(), 200, 200, nullptr, 0), nullptr);
  EXPECT_EQ(lister.previewW(photo.data(), 0, 200, nullptr, 0), nullptr);
  EXPECT_EQ(lister.previewW(nullptr, 200, 200, nullptr, 0), nullptr);

  // The user leaves the fit here: the Lister hears of it once, from the window it knows.
  SendMessageW(viewer, WM_COMMAND, host::kCmdActualSize, 0);
  SendMessageW(viewer, WM_COMMAND, host::kCmdZoomIn, 0);
  RunPostedMessages();
  ASSERT_EQ(lister_.commands.size(), 1u);
  EXPECT_EQ(lister_.commands[0].first, MAKEWPARAM(0, kFitCommand));
  EXPECT_EQ(HWND(lister_.commands[0].second), stub);
  SendMessageW(viewer, WM_COMMAND, host::kCmdFitInWindow, 0);
  RunPostedMessages();
  ASSERT_EQ(lister_.commands.size(), 2u);
  EXPECT_EQ(lister_.commands[1].first, MAKEWPARAM(1, kFitCommand));
  // Its answer repeats the options it now has: the mode stays as the user chose it.
  SendMessageW(viewer, WM_COMMAND, host::kCmdBestFit, 0);
  EXPECT_EQ(lister.sendCommand(stub, kNewParams, kFit | kCenter | kDark), 0);
  RunPostedMessages();
  EXPECT_EQ(lister_.commands.size(), 2u);
  EXPECT_TRUE(MenuState(lister_.hwnd, GetMenu(lister_.hwnd), host::kCmdBestFit) & MF_CHECKED);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(lister.sendCommand(stub, kCopy, 0), 0);
  EXPECT_TRUE(WaitUntil([] { return IsClipboardFormatAvailable(CF_DIB) != 0; }));
  Viewer().listClose(stub);
  lister_.stub = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
}

TEST_F(FileManagerTest, TwoListersKeepTheirOwnFileZoomKeysAndMenus) {
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 60, 90, 0x0000FF);
  std::string blueName(blue.begin(), blue.end());
  auto viewerOf = [](HWND stub) { return HWND(GetWindowLongPtrW(stub, GWLP_USERDATA)); };
  // A fresh Lister window showing a file; closing a viewer closes its Lister too.
  auto open = [&](HostWindow& host, std::string& name) {
    CreateHostWindow(host, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
    host.stub = Viewer().listLoad(host.hwnd, name.data(), 0);
    return host.stub ? viewerOf(host.stub) : nullptr;
  };

  // Closed in either order; each time the one left goes on as before.
  for (bool redGoesFirst : {true, false}) {
    HostWindow listerA, listerB;
    HWND a = open(listerA, name_), b = open(listerB, blueName);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(WaitUntil([&] { return Text(listerA.hwnd) == TitleFor(L"red.bmp"); }));
    ASSERT_TRUE(WaitUntil([&] { return Text(listerB.hwnd) == TitleFor(L"blue.bmp"); }));
    EXPECT_TRUE(WaitUntil([&] { return StatusText(a, 1).substr(0, 9) == L"100 x 50 "; }));
    EXPECT_TRUE(WaitUntil([&] { return StatusText(b, 1).substr(0, 8) == L"60 x 90 "; }));

    // Each Lister got a menu of its own.
    HMENU barA = GetMenu(listerA.hwnd), barB = GetMenu(listerB.hwnd);
    EXPECT_NE(barA, barB);
    EXPECT_EQ(MenuItemText(barA, host::kCmdExit), L"Exit");
    EXPECT_EQ(MenuItemText(barB, host::kCmdExit), L"Exit");

    // A zoom in one leaves the other's zoom alone.
    const std::wstring zoomA = StatusText(a, 3), zoomB = StatusText(b, 3);
    SendMessageW(listerA.hwnd, WM_COMMAND, host::kCmdZoomIn, 0);
    EXPECT_TRUE(WaitUntil([&] { return StatusText(a, 3) != zoomA; }));
    EXPECT_EQ(StatusText(b, 3), zoomB);
    SendMessageW(listerB.hwnd, WM_COMMAND, host::kCmdZoomIn, 0);
    EXPECT_TRUE(WaitUntil([&] { return StatusText(b, 3) != zoomB; }));

    // A digit in one goes back to its own Lister only; the other is closed by its host.
    HostWindow& first = redGoesFirst ? listerA : listerB;
    HostWindow& second = redGoesFirst ? listerB : listerA;
    HWND firstViewer = redGoesFirst ? a : b, secondViewer = redGoesFirst ? b : a;
    PostMessageW(firstViewer, WM_KEYDOWN, '3', 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(firstViewer); }));
    EXPECT_EQ(first.keys, std::vector<UINT>{'3'});
    EXPECT_TRUE(second.keys.empty());
    ASSERT_TRUE(IsWindow(secondViewer));
    EXPECT_EQ(GetMenu(second.hwnd), redGoesFirst ? barB : barA);
    SendMessageW(second.hwnd, WM_COMMAND, host::kCmdActualSize, 0);
    EXPECT_TRUE(WaitUntil([&] { return StatusText(secondViewer, 3) == L"100%"; }));
    Viewer().listClose(second.stub);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(secondViewer); }));
    DestroyHostWindow(first);
    DestroyHostWindow(second);
  }

  // A third after both closed works as the first did.
  HostWindow listerC;
  HWND c = open(listerC, name_);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return Text(listerC.hwnd) == TitleFor(L"red.bmp"); }));
  EXPECT_TRUE(WaitUntil([&] { return StatusText(c, 1).substr(0, 9) == L"100 x 50 "; }));
  Viewer().listClose(listerC.stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(c); }));
  DestroyHostWindow(listerC);
}

TEST_F(FileManagerTest, ADigitPressedInTheViewerGoesBackToTheLister) {
  HWND stub = OpenLister();
  ASSERT_NE(stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(WaitUntil([&] { return Text(lister_.hwnd) == TitleFor(L"red.bmp"); }));
  PostMessageW(viewer, WM_KEYDOWN, '5', 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(lister_.hwnd));
  EXPECT_EQ(lister_.keys, std::vector<UINT>{'5'});
  EXPECT_EQ(GetMenu(lister_.hwnd), ownMenu_);
}

TEST_F(FileManagerTest, EscClosesTheViewerAndTheLister) {
  HWND stub = OpenLister();
  ASSERT_NE(stub, nullptr);
  HWND viewer = HWND(GetWindowLongPtrW(stub, GWLP_USERDATA));
  ASSERT_TRUE(WaitUntil([&] { return Text(lister_.hwnd) == TitleFor(L"red.bmp"); }));
  PostMessageW(lister_.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return lister_.destroyed && !IsWindow(viewer); }));
  EXPECT_EQ(lister_.keys, std::vector<UINT>{VK_ESCAPE});
}

TEST_F(FileManagerTest, QuickViewLeavesTheFileManagerAlone) {
  HMENU mainMenu = CreateMenu();
  AppendMenuW(mainMenu, MF_STRING, 1, L"Files");
  SetMenu(main_.hwnd, mainMenu);
  HostWindow panel;
  CreateHostWindow(panel, L"TQuickView", WS_CHILD | WS_VISIBLE, main_.hwnd, nullptr);
  LONG_PTR panelProc = GetWindowLongPtrW(panel.hwnd, GWLP_WNDPROC);
  HWND viewer = Viewer().listLoad(panel.hwnd, name_.data(), 0);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ClassOf(viewer), L"Orbisk");  // its own window, no stub
  EXPECT_EQ(GetParent(viewer), panel.hwnd);
  EXPECT_EQ(GetMenu(main_.hwnd), mainMenu);
  EXPECT_EQ(GetWindowLongPtrW(panel.hwnd, GWLP_WNDPROC), panelProc);
  RunPostedMessages();
  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_TRUE(panel.keys.empty());
  Viewer().listClose(viewer);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  EXPECT_TRUE(IsWindow(panel.hwnd));  // the panel stays
  DestroyHostWindow(panel);
}

// ---- other processes ----

DWORD RunAndWait(const std::wstring& commandLine, const std::function<void(DWORD)>& whileRunning) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 0xDEADu;
  }
  if (whileRunning) whileRunning(process.dwProcessId);
  WaitUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST_F(ViewerTest, ASecondInstanceHandsItsFileToTheFirst) {
  WriteIni("AutoLoadLastImage=#0\r\nAllowOnly1CopyAtATime=#1\r\n");
  HWND viewer = OpenStandalone(&red_);  // the first instance has no one to hand to
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"red.bmp"); }));
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 30, 20, 0x0000FF);
  DWORD code = RunAndWait(L"\"" + BinFolder() + L"Orbisk.exe\" \"" + blue + L"\"", nullptr);
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(ProfileString(L"PassImage"), blue);
  EXPECT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"blue.bmp"); }));
  CloseStandalone(viewer);
}

TEST_F(ViewerTest, AMissingMainWindowEndsTheProcessAfterSayingSo) {
  std::wstring text;
  std::wstring line =
      L"\"" + BinFolder() + L"test_win_Viewer.exe\" --lister-without-main \"" + red_ + L"\"";
  DWORD code = RunAndWait(line, [&](DWORD process) {
    // The message box belongs to the other process; find it, read it, answer it.
    HWND box = nullptr;
    WaitUntil([&] {
      box = FindWindowW(L"#32770", L"Orbisk");
      DWORD owner = 0;
      if (box) GetWindowThreadProcessId(box, &owner);
      if (!box || owner != process) return false;
      for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && !Text(child).empty()) text = Text(child);
      }
      return !text.empty();
    });
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(text, L"Internal error #312\nPlease report this error to the Developer!");
}

}  // namespace

// The other process of the last test: a Lister window with no main window around.
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--lister-without-main") {
    HostWindow lister;
    CreateHostWindow(lister, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
    return Viewer().listLoad(lister.hwnd, argv[2], 0) ? 0 : 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
