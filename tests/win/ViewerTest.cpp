// The real Orbisk.wlx64 in each of its hosts: the standalone frame, a Lister window of
// the file manager, its quick-view panel, and a parent that only looks like the
// standalone frame. Everything checked is what a user could see: windows and their
// texts, menus, status panes, pixels, the settings file and the profile values.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "platform/Text.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;
// Only the display in the viewer: its client area is the frame's.
constexpr char kBareView[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#0\r\nAutoLoadLastImage=#0\r\n";
// The display and the status bar.
constexpr char kStatusView[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";

// A bitmap whose header asks for 7 bits per pixel: recognised, but not readable.
void WriteBrokenBmp(const std::wstring& path) {
  WriteBmp(path, 40, 30, kRed);
  std::fstream file(std::filesystem::path(path), std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(28);
  file.put(7);
}

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart()) << "Orbisk library missing beside the test";
    red_ = folder_.File(L"Red.bmp");
    WriteBmp(red_, 100, 50, kRed);
  }

  HWND Frame() const { return viewer_.Frame(); }
  // A file of words in the test's folder, which no plug-in reads.
  std::wstring TextFile(const wchar_t* name) {
    std::wstring text = folder_.File(name);
    std::ofstream(std::filesystem::path(text)) << "just some words\n";
    return text;
  }
  // The command, and then the display repainted.
  void Run(UINT command) {
    viewer_.Command(command);
    UpdateWindow(viewer_.Display());
  }

  // Makes the display's client area exactly width x height.
  void SizeDisplay(int width, int height) {
    HWND display = viewer_.Display();
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
  }
  // A 100 x 50 picture, red on the left and blue on the right, at actual size in the
  // middle of a 400 x 300 display: (150, 125) to (250, 175). Null when it did not show.
  HWND OpenSplitPicture() {
    std::wstring split = folder_.File(L"split.bmp");
    WriteBmp(split, 100, 50, kRed, kBlue);
    if (!viewer_.Open(split)) return nullptr;
    SizeDisplay(400, 300);
    return viewer_.Window();
  }
  // The colours in the left and the right half of the split picture.
  std::pair<uint32_t, uint32_t> Halves() {
    HWND display = viewer_.Display();
    return {PixelAt(display, 160, 150), PixelAt(display, 240, 150)};
  }

  // The test data's animated GIF in a 240 x 160 display, fitted so the frames fill it;
  // null when it did not show.
  HWND OpenAnimation() {
    WriteIni(kBareView);
    if (!viewer_.Open(TestData(L"vexlo/animation.gif"))) return nullptr;
    SizeDisplay(240, 160);
    viewer_.Command(host::kCmdFitInWindow);
    return viewer_.Window();
  }

  TempFolder folder_;
  std::wstring red_;
  StandaloneViewer viewer_;
};

// ---- the exports ----

TEST_F(ViewerTest, ListLoadDeclinesWhatItCannotShow) {
  EXPECT_EQ(Viewer().listLoad(nullptr, nullptr, 0), nullptr);
  HostWindow main, lister;
  CreateHostWindow(main, L"TTOTAL_CMD", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  CreateHostWindow(lister, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  // Outside standalone mode a file is needed, and it must be one a plug-in reads.
  EXPECT_EQ(Viewer().listLoad(lister.hwnd, nullptr, 0), nullptr);
  EXPECT_EQ(OpenInLister(lister, TextFile(L"notes.txt")), nullptr);
  EXPECT_EQ(lister.stub, nullptr);
  EXPECT_EQ(Child(lister.hwnd, L"Orbisk"), nullptr);
  // "-last_run" makes no window.
  EXPECT_EQ(viewer_.Start(L"-last_run"), nullptr);
  EXPECT_EQ(Child(Frame(), L"Orbisk"), nullptr);
  DestroyHostWindow(lister);
  DestroyHostWindow(main);
}

TEST_F(ViewerTest, TheLibraryHoldsEveryCommandsMenuItemAndTheBuiltInKeys) {
  HMENU menu = LoadMenuW(Viewer().module, MAKEINTRESOURCEW(IDR_MAIN_MENU));
  ASSERT_NE(menu, nullptr);
  for (const host::NamedCommand& command : host::kShortcutCommands) {
    const std::u16string expected = platform::Utf16FromUtf8(command.menuText);
    EXPECT_EQ(MenuItemText(menu, command.id), std::wstring(expected.begin(), expected.end()))
        << command.name;
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
  HWND viewer = viewer_.Open(red_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ClassOf(viewer), L"Orbisk");
  EXPECT_EQ(GetParent(viewer), Frame());
  // Both titles name the file in lower case, as the loader reads it.
  EXPECT_EQ(Text(Frame()), TitleFor(L"red.bmp"));
  EXPECT_EQ(Text(viewer), TitleFor(L"red.bmp"));

  SizeDisplay(400, 300);
  HWND display = viewer_.Display();
  const struct {
    int x, y;
    uint32_t colour;
  } bestFit[] =
      {// 100 x 50 at actual size, centred at (150, 125)
       {200, 150, kRed},   {150, 125, kRed},   {249, 174, kRed},  {149, 150, kWhite},
       {250, 150, kWhite}, {200, 124, kWhite}, {200, 175, kWhite}},
    fitInWindow[] = {// 400 x 200 from y = 50
                     {0, 50, kRed},
                     {399, 249, kRed},
                     {200, 49, kWhite},
                     {200, 250, kWhite}};
  for (const auto& at : bestFit) EXPECT_EQ(PixelAt(display, at.x, at.y), at.colour) << at.x;
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  RunPostedMessages();
  UpdateWindow(display);
  for (const auto& at : fitInWindow) EXPECT_EQ(PixelAt(display, at.x, at.y), at.colour) << at.x;
  EXPECT_TRUE(viewer_.Close());
  EXPECT_EQ(IniValue(ReadIni(), "View"), "#2");
}

TEST_F(ViewerTest, StatusPanesMenusAndSettingsWrittenAtExit) {
  WriteIni("AutoLoadLastImage=#0\r\nShowInfo=#0\r\n");
  HWND viewer = viewer_.Start(nullptr);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer_.Status(1), L"No file loaded");
  HMENU bar = GetMenu(Frame());
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuItemText(bar, host::kCmdOpenImage), L"Open Image...");
  EXPECT_TRUE(viewer_.Greyed(host::kCmdZoomIn));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdSaveImageAs));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdShowInfoPanel));
  EXPECT_FALSE(viewer_.Greyed(host::kCmdShowToolBar));
  EXPECT_TRUE(viewer_.Checked(host::kCmdShowToolBar));
  EXPECT_TRUE(viewer_.Checked(host::kCmdBestFit));
  EXPECT_FALSE(viewer_.Checked(host::kCmdFitWidth));
  HMENU file = GetSubMenu(bar, 0);
  SendMessageW(Frame(), WM_INITMENUPOPUP, WPARAM(file), 0);
  EXPECT_TRUE(GetMenuState(file, 3, MF_BYPOSITION) & MF_GRAYED);  // no history yet

  // Dropping a file shows it.
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 60, 40, kBlue);
  DropFile(viewer, blue);
  ASSERT_TRUE(viewer_.Shows(L"blue.bmp", L"60 x 40 "));
  ASSERT_TRUE(WaitUntil([&] { return viewer_.Status(0) == L"blue.bmp"; }));
  EXPECT_EQ(viewer_.Status(2), L"1/1 Page(s)");
  EXPECT_FALSE(viewer_.Status(3).empty());
  EXPECT_FALSE(viewer_.Greyed(host::kCmdZoomIn));
  EXPECT_FALSE(viewer_.Greyed(host::kCmdSaveImageAs));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdSaveImage));  // not modified
  SendMessageW(Frame(), WM_INITMENUPOPUP, WPARAM(file), 0);
  EXPECT_FALSE(GetMenuState(file, 3, MF_BYPOSITION) & MF_GRAYED);
  HMENU recent = GetSubMenu(file, 3);
  ASSERT_EQ(GetMenuItemCount(recent), 1);
  wchar_t entry[MAX_PATH + 8] = {};
  GetMenuStringW(recent, 0, entry, MAX_PATH + 8, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(entry).substr(0, 2), L"1 ");

  SendMessageW(Frame(), WM_COMMAND, host::kCmdShowToolBar, 0);
  EXPECT_FALSE(IsWindowVisible(Child(viewer, L"ToolbarWindow32")));
  EXPECT_TRUE(viewer_.Close());

  std::string ini = ReadIni();
  EXPECT_EQ(IniValue(ini, "ShowToolBar"), "#0") << ini;
  EXPECT_EQ(IniValue(ini, "ShowStatusBar"), "#1");
  EXPECT_NE(IniValue(ini, "MRUD0"), "<none>");
  EXPECT_NE(ini.find("blue.bmp"), std::string::npos);
  EXPECT_NE(IniValue(ini, "Pos"), "<none>");
  EXPECT_NE(IniValue(ini, "Pos")[0], '#');  // decimal
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
  std::wstring broken = folder_.File(L"broken.bmp");
  WriteBrokenBmp(broken);
  HWND viewer = viewer_.Start(broken.c_str());
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
  HWND display = viewer_.Display();
  RECT client{};
  GetClientRect(display, &client);
  EXPECT_TRUE(
      WaitUntil([&] { return PixelAt(display, client.right / 2, client.bottom / 2) != kWhite; }));
  // The next good load shows its own information and nothing of the error.
  DropFile(viewer, red_);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }));
  EXPECT_FALSE(HasRow(InfoRows(viewer), L"Load Error Info"));
  ASSERT_TRUE(WaitUntil([&] { return Text(viewer) == TitleFor(L"red.bmp"); }));
  ASSERT_TRUE(viewer_.Shows(L"red.bmp", L"100 x 50"));
  RunPostedMessages();
  // A failure after it takes the name off both windows, the host's and the viewer's.
  DropFile(viewer, broken);
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Load Error Info"); }));
  EXPECT_EQ(Text(Frame()), L"Orbisk");
  EXPECT_EQ(Text(viewer), L"Orbisk");
  EXPECT_TRUE(viewer_.Close());

  // With "NotifyAboutError" off nothing is reported.
  WriteIni(std::string(kBareView) + "NotifyAboutError=#0\r\n");
  viewer = viewer_.Start(broken.c_str());
  ASSERT_NE(viewer, nullptr);
  // A drop while a file loads waits for that load's end, and a later drop takes its
  // place: the broken file again, and red.bmp dropped straight behind it, leave
  // red.bmp shown; nothing was reported.
  DropFile(viewer, broken);
  DropFile(viewer, red_);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == TitleFor(L"red.bmp"); }));
  EXPECT_FALSE(HasRow(InfoRows(viewer), L"Load Error Info"));
  EXPECT_FALSE(IsWindowVisible(InfoPanel(viewer)));
}

TEST_F(ViewerTest, FullScreenCoversTheScreenHidesThePointerAWhileAndEscLeavesIt) {
  HWND viewer = viewer_.Open(red_);
  ASSERT_NE(viewer, nullptr);
  RECT before{};
  GetWindowRect(Frame(), &before);
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFullscreen, 0);
  HWND display = viewer_.Display();
  POINT at{};
  GetCursorPos(&at);
  ASSERT_EQ(WindowFromPoint(at), display);
  EXPECT_EQ(GetCursor(), nullptr) << "hidden as full screen begins";
  RunPostedMessages();
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
  EXPECT_TRUE(viewer_.Checked(host::kCmdBestFit));

  PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  RunPostedMessages();
  ASSERT_NE(GetCursor(), nullptr) << "a movement shows the pointer";
  ASSERT_TRUE(WaitUntil([] { return GetCursor() == nullptr; }, 10000));
  // Moving shows it again.
  PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  RunPostedMessages();
  EXPECT_NE(GetCursor(), nullptr);

  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));  // Esc leaves full screen first
  RECT after{};
  GetWindowRect(Frame(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(GetWindowLongPtrW(Frame(), GWL_STYLE) & WS_CAPTION);
  EXPECT_FALSE(GetWindowLongPtrW(Frame(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(ViewerTest, AMirrorATurnOrANegativeChangesThePictureEnablesSaveAndPasteCoversIt) {
  HWND viewer = OpenSplitPicture();
  ASSERT_NE(viewer, nullptr);
  HWND display = viewer_.Display();
  EXPECT_EQ(Halves(), std::make_pair(kRed, kBlue));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdSaveImage));
  viewer_.Command(host::kCmdClearClipboard);
  EXPECT_TRUE(viewer_.Greyed(host::kCmdPasteImage));
  viewer_.Command(host::kCmdCopyImage);
  EXPECT_FALSE(viewer_.Greyed(host::kCmdPasteImage));

  Run(host::kCmdFlipHor);
  EXPECT_EQ(Halves(), std::make_pair(kBlue, kRed));
  EXPECT_FALSE(viewer_.Greyed(host::kCmdSaveImage));

  // A quarter turn clockwise: the left column goes to the top, 50 x 100.
  Run(host::kCmdRotate90);
  EXPECT_EQ(viewer_.Status(1).rfind(L"50 x 100", 0), 0u) << viewer_.Status(1);
  EXPECT_EQ(PixelAt(display, 200, 110), kBlue);
  EXPECT_EQ(PixelAt(display, 200, 190), kRed);
  // Negative, without a dialog, through the colour-effect module.
  Run(host::kCmdNegative);
  EXPECT_EQ(PixelAt(display, 200, 110), 0xFFFF00u);
  EXPECT_EQ(PixelAt(display, 200, 190), 0x00FFFFu);
  SendMessageW(viewer, WM_COMMAND, host::kCmdNegative, 0);
  // Turned back; a top-to-bottom mirror leaves a left and right split as it is.
  SendMessageW(viewer, WM_COMMAND, host::kCmdRotate270, 0);
  Run(host::kCmdFlipVer);
  EXPECT_EQ(viewer_.Status(1).rfind(L"100 x 50", 0), 0u);
  EXPECT_EQ(Halves(), std::make_pair(kBlue, kRed));
  // The copy of the picture as it came goes on top of the mirrored page, covering it.
  Run(host::kCmdPasteImage);
  EXPECT_EQ(Halves(), std::make_pair(kRed, kBlue));
  EXPECT_EQ(viewer_.Status(1).rfind(L"100 x 50", 0), 0u) << viewer_.Status(1);
  viewer_.Command(host::kCmdClearClipboard);
}

TEST_F(ViewerTest, ALargeImagePansAndOpensTheNavigationWindow) {
  WriteIni(std::string(kBareView) + "View=#0\r\nZoomCur=^1.0\r\n");
  std::wstring wide = folder_.File(L"wide.bmp");
  WriteBmp(wide, 2000, 1000, 0x208040);
  ASSERT_NE(viewer_.Open(wide), nullptr);
  HWND display = viewer_.Display();
  const LONG_PTR bars = WS_HSCROLL | WS_VSCROLL;
  ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongPtrW(display, GWL_STYLE) & bars) == bars; }));

  // Dragging with the left button pans the image.
  MouseDown(display, 100, 100);
  MouseMove(display, 50, 60);
  MouseUp(display, 50, 60);
  EXPECT_EQ(GetScrollPos(display, SB_HORZ), 50);
  EXPECT_EQ(GetScrollPos(display, SB_VERT), 40);

  // A press in the box between the bars shows a 128 x 64 thumbnail in a framed popup.
  HWND navigation = OpenNavigation(display);
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
}

TEST_F(ViewerTest, AMultiPageFileOpensAtItsFirstPage) {
  // Made with ImageMagick: red, green and blue pages of 16 x 8.
  ASSERT_NE(viewer_.Open(TestData(L"win/three-pages.tif")), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return viewer_.Status(0) == L"three-pages.tif"; }));
  EXPECT_EQ(viewer_.Status(2), L"1/3 Page(s)");  // one page at a time by default
  EXPECT_FALSE(viewer_.Greyed(host::kCmdVcrNext));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdVcrPlay));
}

TEST_F(ViewerTest, EscClosesAStandaloneViewerOnlyWhenAsked) {
  HWND viewer = viewer_.Start(nullptr);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_TRUE(viewer_.Close());

  WriteIni("AutoLoadLastImage=#0\r\nSingleESCtoExit=#1\r\n");
  viewer = viewer_.Start(nullptr);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(viewer_.Gone());
}

TEST_F(ViewerTest, OptionNamesLoadNothingAndLogFileOpensTheLog) {
  // AutoLoadLastImage is on but an option stands in place of the file.
  WriteIni("");
  SetProfileString(L"LastOpenedImage", red_);
  ASSERT_NE(viewer_.Start(L"-"), nullptr);
  EXPECT_EQ(viewer_.Status(1), L"No file loaded");
  EXPECT_TRUE(viewer_.Close());

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
  HWND viewer = viewer_.Start(L"-logfile");
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer_.Status(1), L"No file loaded");
  // Two files and a page of the first: each load has its lines, numbered in turn.
  DropFile(viewer, TestData(L"win/two-sizes.tif"));
  ASSERT_TRUE(StatusStarts(viewer, L"40 x 20"));
  RunPostedMessages();
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  ASSERT_TRUE(StatusStarts(viewer, L"80 x 60"));
  RunPostedMessages();
  DropFile(viewer, red_);
  ASSERT_TRUE(StatusStarts(viewer, L"100 x 50"));
  EXPECT_TRUE(viewer_.Close());
  ASSERT_EQ(logs().size(), 1u);
  std::string log = [&] {  // read as text: line ends as "\n"
    std::ifstream in(logs().front());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
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
  HWND viewer = viewer_.Start(large.c_str(), false);
  ASSERT_NE(viewer, nullptr);
  // Queued behind the start-up message: the close meets a running load.
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  EXPECT_TRUE(viewer_.Gone());
}

TEST_F(ViewerTest, AMultiPageFileLaysOutThePageShownAtItsOwnSize) {
  // A red page of 40 x 20, then a green one of 80 x 60, both loaded: fitted into
  // 400 x 300, the first shows at 1000 % (at the second's size it would be 500 %).
  WriteIni("ShowInfo=#0\r\nShowToolBar=#0\r\nAutoLoadLastImage=#0\r\nPageByPageMode=#0\r\n");
  ASSERT_NE(viewer_.Open(TestData(L"win/two-sizes.tif")), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return viewer_.Status(2) == L"1/2 Page(s)"; }));
  SizeDisplay(400, 300);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  EXPECT_TRUE(WaitUntil([&] { return viewer_.Status(3) == L"1000%"; })) << viewer_.Status(3);
  EXPECT_EQ(viewer_.Status(1).substr(0, 8), L"40 x 20 ");
}

TEST_F(ViewerTest, TheStatusFollowsAFitTheDisplayMadeOnItsOwn) {
  // The display alone is made smaller, so the frame hears nothing of it: the window's
  // timer brings the zoom text up to date. The 100 x 50 picture fits 200 x 150 at 200 %.
  ASSERT_NE(OpenSplitPicture(), nullptr);
  SendMessageW(Frame(), WM_COMMAND, host::kCmdFitInWindow, 0);
  ASSERT_TRUE(WaitUntil([&] { return viewer_.Status(3) == L"400%"; })) << viewer_.Status(3);
  SetWindowPos(viewer_.Display(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(WaitUntil([&] { return viewer_.Status(3) == L"200%"; })) << viewer_.Status(3);
}

// ---- the information panel ----

class InfoPanelTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    WriteIni("ShowInfo=#1\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n");
  }
  // The viewer with its information panel showing the red picture's rows.
  HWND OpenWithInfo() {
    HWND viewer = viewer_.Open(red_);
    if (!viewer || !WaitUntil([&] { return HasRow(InfoRows(viewer), L"Common Info"); }))
      return nullptr;
    return viewer;
  }
  std::wstring DropBlue() {
    std::wstring blue = folder_.File(L"blue.bmp");
    WriteBmp(blue, 30, 20, kBlue);
    DropFile(viewer_.Window(), blue);
    return blue;
  }
};

TEST_F(InfoPanelTest, DescribesEachFileShownAndCopiesAndSavesItsText) {
  HWND viewer = OpenWithInfo();
  ASSERT_NE(viewer, nullptr);
  auto rows = InfoRows(viewer);
  EXPECT_EQ(rows[0], L"Common Info");
  EXPECT_TRUE(HasRow(rows, L"File path\t" + red_));
  EXPECT_TRUE(HasRow(rows, L"Dimension\t100 x 50 pixels"));  // no resolution, no inches
  EXPECT_TRUE(HasRow(rows, L"File size\t15 KB (15054 bytes)"));
  EXPECT_TRUE(HasRow(rows, L"Color depth\t24 bpp"));
  EXPECT_TRUE(IsWindowVisible(InfoPanel(viewer)));

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
  EXPECT_EQ(FileBytes(folder_.File(L"info.txt")), text);

  // The next file replaces every row.
  DropBlue();
  ASSERT_TRUE(WaitUntil([&] { return HasRow(InfoRows(viewer), L"Dimension\t30 x 20 pixels"); }));
  rows = InfoRows(viewer);
  EXPECT_FALSE(HasRow(rows, L"Dimension\t100 x 50 pixels"));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), L"Common Info"), 1);
}

TEST_F(InfoPanelTest, GroupsStayCollapsedAcrossFilesAndRuns) {
  HWND viewer = OpenWithInfo();
  ASSERT_NE(viewer, nullptr);
  size_t expanded = InfoRows(viewer).size();
  ASSERT_GT(expanded, 3u);
  ASSERT_TRUE(ClickListRow(InfoListBox(viewer), 0));
  const std::vector<std::wstring> collapsed{L"Common Info"};
  EXPECT_EQ(InfoRows(viewer), collapsed);
  DropBlue();
  ASSERT_TRUE(viewer_.Shows(L"blue.bmp", L"30 x 20"));
  RunPostedMessages();
  EXPECT_EQ(InfoRows(viewer), collapsed);
  ASSERT_TRUE(viewer_.Close());

  viewer = OpenWithInfo();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(InfoRows(viewer), collapsed);
  // A click on the header opens it again, and that is remembered too.
  ASSERT_TRUE(ClickListRow(InfoListBox(viewer), 0));
  EXPECT_EQ(InfoRows(viewer).size(), expanded);
  ASSERT_TRUE(viewer_.Close());
  viewer = viewer_.Open(red_);
  ASSERT_TRUE(WaitUntil([&] { return InfoRows(viewer).size() == expanded; }));
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
  HWND viewer = viewer_.Open(split);
  ASSERT_NE(viewer, nullptr);
  SizeDisplay(400, 300);
  std::wstring sizeText, guessedWidth;
  uint32_t previewPixel = 0;
  bool refreshAfterPreview = true, refreshAfterChange = false;
  {
    DialogAnswer chooser(L"Open RAW file", [&](HWND dialog) { AnswerFileDialog(dialog, raw); });
    DialogAnswer options(L"Select RAW file options", [&](HWND dialog) {
      sizeText = ItemText(dialog, IDC_RAW_SIZE);
      guessedWidth = ItemText(dialog, IDC_RAW_WIDTH);
      SetDlgItemTextW(dialog, IDC_RAW_WIDTH, L"150");
      SetDlgItemTextW(dialog, IDC_RAW_HEIGHT, L"103");
      // The preview decodes the layout as it stands; then nothing is left to refresh.
      ClickButton(dialog, IDC_RAW_SHOW_PREVIEW);
      std::vector<uint32_t> grid = PictureGrid(Child(dialog, L"OrbiskView"));
      previewPixel = grid.empty() ? 0 : grid[grid.size() / 2];  // the middle sample
      refreshAfterPreview = IsItemEnabled(dialog, IDC_RAW_REFRESH);
      SetDlgItemTextW(dialog, IDC_RAW_HEADER, L"3");
      refreshAfterChange = IsItemEnabled(dialog, IDC_RAW_REFRESH);
      SetDlgItemTextW(dialog, IDC_RAW_HEADER, L"0");
      ClickButton(dialog, IDOK);
    });
    SendMessageW(viewer, WM_COMMAND, host::kCmdOpenImageAsRaw, 0);
  }  // both answers have run to their end here
  ASSERT_FALSE(sizeText.empty()) << "the RAW dialog did not come";
  EXPECT_EQ(sizeText, L"46350 byte(s)");
  EXPECT_EQ(guessedWidth, L"215") << "below the smallest resolution: a square";
  EXPECT_EQ(previewPixel, 0x2080C0u);
  EXPECT_FALSE(refreshAfterPreview);
  EXPECT_TRUE(refreshAfterChange);
  ASSERT_TRUE(StatusStarts(viewer, L"150 x 103")) << viewer_.Status(1);
  UpdateWindow(viewer_.Display());
  EXPECT_EQ(PixelAt(viewer_.Display(), 200, 150), 0x2080C0u);
}

// ---- walking the folder ----

TEST_F(ViewerTest, WalkRightArrowThroughTheFolderSkippingWhatCannotBeShown) {
  WriteIni(std::string(kStatusView) + "SortFileType=#1\r\nAskDirectoryBound=#1\r\n");
  std::wstring walk = folder_.File(L"walk\\");
  CreateDirectoryW(walk.c_str(), nullptr);
  WriteBmp(walk + L"a.bmp", 40, 30, kRed);
  std::ofstream(std::filesystem::path(walk + L"b.txt")) << "not a picture";
  WriteBrokenBmp(walk + L"c.bmp");
  WriteBmp(walk + L"d.bmp", 20, 10, kBlue);
  HWND viewer = viewer_.Open(walk + L"a.bmp");
  ASSERT_NE(viewer, nullptr);

  // The text file and the broken picture are passed over.
  PostMessageW(viewer, WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(viewer_.Shows(L"d.bmp", L"20 x 10")) << Text(Frame());
  // At the end: the question; Cancel keeps the picture.
  constexpr wchar_t kQuestion[] = L"Jump to the first image";
  EXPECT_NE(PostAnswering(viewer, WM_KEYDOWN, VK_RIGHT, L"Orbisk", kQuestion, IDCANCEL), L"");
  RunPostedMessages();
  EXPECT_EQ(Text(Frame()), TitleFor(L"d.bmp"));
  // Ticked and OK: on from the first, and the question is off from now on.
  EXPECT_NE(PostAnswering(viewer, WM_KEYDOWN, VK_RIGHT, L"Orbisk", kQuestion, IDOK,
                          L"Do not show this dialog again"),
            L"");
  ASSERT_TRUE(viewer_.Shows(L"a.bmp", L"40 x 30")) << Text(Frame());
  // No question any more: Left wraps to the last at once.
  PostMessageW(viewer, WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_TRUE(viewer_.Shows(L"d.bmp", L"20 x 10")) << Text(Frame());

  // Back through the history: a, d, a, d.
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  EXPECT_TRUE(viewer_.Shows(L"a.bmp", L"40 x 30"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  EXPECT_TRUE(viewer_.Shows(L"d.bmp", L"20 x 10"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepNext, 0);
  EXPECT_TRUE(viewer_.Shows(L"a.bmp", L"40 x 30"));
  EXPECT_TRUE(viewer_.Close());
  EXPECT_EQ(IniValue(ReadIni(), "AskDirectoryBound"), "#0") << ReadIni();
}

BOOL CALLBACK FindPreviewText(HWND child, LPARAM found) {
  if (GetDlgCtrlID(child) == 1011) *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

TEST_F(ViewerTest, WalkStartsFromTheOpenDialogWithItsPreview) {
  WriteIni(kStatusView);
  HWND viewer = viewer_.Open(red_);
  ASSERT_NE(viewer, nullptr);
  WriteBmp(folder_.File(L"other.bmp"), 30, 20, kRed);
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
  EXPECT_TRUE(viewer_.Shows(L"other.bmp", L"30 x 20")) << Text(Frame());
}

TEST_F(ViewerTest, WalkOnAfterDeletingUntilTheFolderIsEmpty) {
  WriteIni(std::string(kStatusView) +
           "SortFileType=#1\r\nAskDeletingFile=#1\r\nSendToRecyleBin=#0\r\n");
  std::wstring dir = folder_.File(L"delete\\");
  CreateDirectoryW(dir.c_str(), nullptr);
  WriteBmp(dir + L"x.bmp", 10, 10, kRed);
  WriteBmp(dir + L"y.bmp", 20, 20, kRed);
  WriteBmp(dir + L"z.bmp", 30, 30, kRed);
  HWND viewer = viewer_.Open(dir + L"y.bmp");
  ASSERT_NE(viewer, nullptr);
  auto exists = [&](const wchar_t* name) {
    return GetFileAttributesW((dir + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  constexpr wchar_t kQuestion[] = L"Are you sure you want to remove";
  // Cancel keeps the file.
  std::wstring said =
      PostAnswering(viewer, WM_COMMAND, host::kCmdDeleteImage, L"Orbisk", kQuestion, IDCANCEL);
  EXPECT_NE(said.find(L"y.bmp'"), std::wstring::npos) << said;
  EXPECT_TRUE(exists(L"y.bmp"));
  // OK deletes it and shows the file that followed; the box is not asked again.
  EXPECT_NE(PostAnswering(viewer, WM_COMMAND, host::kCmdDeleteImage, L"Orbisk", kQuestion, IDOK,
                          L"Do not show this dialog again"),
            L"");
  ASSERT_TRUE(viewer_.Shows(L"z.bmp", L"30 x 30"));
  EXPECT_FALSE(exists(L"y.bmp"));
  PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
  ASSERT_TRUE(viewer_.Shows(L"x.bmp", L"10 x 10"));  // the only one left
  EXPECT_FALSE(exists(L"z.bmp"));
  // The last file: no title, no picture.
  PostMessageW(viewer, WM_COMMAND, host::kCmdDeleteImage, 0);
  EXPECT_TRUE(WaitUntil([&] { return Text(Frame()) == L"Orbisk"; }));
  EXPECT_FALSE(exists(L"x.bmp"));
  HWND display = viewer_.Display();
  RECT client{};
  GetClientRect(display, &client);
  EXPECT_TRUE(
      WaitUntil([&] { return PixelAt(display, client.right / 2, client.bottom / 2) != kRed; }));
  EXPECT_TRUE(viewer_.Close());
  EXPECT_EQ(IniValue(ReadIni(), "AskDeletingFile"), "#0");
}

TEST_F(ViewerTest, WalkFromAShortcutShowsItsTarget) {
  WriteIni(kStatusView);
  std::wstring target = folder_.File(L"target.bmp");
  WriteBmp(target, 30, 20, kRed);
  std::wstring link = folder_.File(L"picture.lnk");
  ASSERT_TRUE(WriteShortcut(link, target));
  HWND viewer = viewer_.Open(red_);
  ASSERT_NE(viewer, nullptr);
  DropFile(viewer, link);
  ASSERT_TRUE(viewer_.Shows(L"target.bmp", L"30 x 20")) << Text(Frame());
  // The history holds the target: stepping back and forth returns to it.
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepBack, 0);
  ASSERT_TRUE(viewer_.Shows(L"red.bmp", L"100 x 50"));
  SendMessageW(viewer, WM_COMMAND, host::kCmdStepNext, 0);
  EXPECT_TRUE(viewer_.Shows(L"target.bmp", L"30 x 20"));
}

// ---- pages and animation ----

TEST_F(ViewerTest, PagesLoadOneByOneFromTheFileInPageByPageMode) {
  WriteIni(std::string(kStatusView) + "PageByPageMode=#1\r\n");
  HWND viewer = viewer_.Open(TestData(L"win/two-sizes.tif"));
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(StatusStarts(viewer, L"40 x 20"));
  const std::pair<UINT, const wchar_t*> steps[] = {
      {host::kCmdVcrNext, L"80 x 60"},
      {host::kCmdVcrNext, L"80 x 60"},  // the last: no more
      {host::kCmdVcrPrev, L"40 x 20"},
      {host::kCmdVcrLast, L"80 x 60"},
      {host::kCmdVcrFirst, L"40 x 20"}};
  for (const auto& [command, size] : steps) {
    viewer_.Command(command);
    EXPECT_TRUE(StatusStarts(viewer, size)) << command;
  }
  RunPostedMessages();
  // A file that fails to load ends the pages of the one before: the page commands
  // are greyed and load nothing of the old file.
  std::wstring broken = folder_.File(L"broken.bmp");
  WriteBrokenBmp(broken);
  DropFile(viewer, broken);
  ASSERT_TRUE(WaitUntil([&] { return Text(Frame()) == L"Orbisk"; }));
  RunPostedMessages();
  std::wstring failed = viewer_.Status(1);
  EXPECT_TRUE(viewer_.Greyed(host::kCmdVcrNext));
  viewer_.Command(host::kCmdVcrNext);
  EXPECT_EQ(viewer_.Status(1), failed);
}

TEST_F(ViewerTest, PagesOfAReducedResolutionAreChosenBeforeOpening) {
  std::wstring file = TestData(L"win/two-resolutions.tif");
  // The largest, without a question.
  WriteIni(std::string(kStatusView) + "ImageResolution=#0\r\n");
  ASSERT_NE(viewer_.Open(file), nullptr);
  EXPECT_TRUE(viewer_.Shows(L"two-resolutions.tif", L"64 x 48"));
  ASSERT_TRUE(viewer_.Close());

  WriteIni(std::string(kStatusView) + "ImageResolution=#2\r\n");
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
  ASSERT_NE(viewer_.Open(file), nullptr);
  EXPECT_TRUE(viewer_.Shows(L"two-resolutions.tif", L"32 x 24")) << viewer_.Status(1);
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"64 x 48", L"32 x 24"}));
}

TEST_F(ViewerTest, PagesOfAnAnimationPlayWithTheirDelaysAndPauseOnTheFirst) {
  HWND viewer = OpenAnimation();
  ASSERT_NE(viewer, nullptr);
  HWND display = viewer_.Display();
  auto picture = [&] { return PictureGrid(display); };

  // It plays by itself: the picture changes; Pause is what can be chosen, and the
  // status counts the frames.
  std::vector<uint32_t> seen = picture();
  EXPECT_TRUE(WaitUntil([&] { return picture() != seen; }));
  EXPECT_FALSE(viewer_.Greyed(host::kCmdVcrPause));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdVcrPlay));
  EXPECT_TRUE(viewer_.Greyed(host::kCmdDeleteCurrentPage));
  EXPECT_EQ(viewer_.Status(2), L"3 Page(s)");
  // Paused: the first frame, and it stays.
  Run(host::kCmdVcrPause);
  std::vector<uint32_t> first = picture();
  EXPECT_TRUE(viewer_.Greyed(host::kCmdVcrPause));
  EXPECT_FALSE(viewer_.Greyed(host::kCmdVcrPlay));
  EXPECT_EQ(viewer_.Status(2), L"1/3 Page(s)");
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrPlay, 0);
  EXPECT_TRUE(WaitUntil([&] { return picture() != first; }));
  EXPECT_TRUE(WaitUntil([&] { return picture() == first; }));  // it loops
  Run(host::kCmdVcrPause);
  EXPECT_EQ(picture(), first);
  // Stepping in memory.
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrNext, 0);
  UpdateWindow(display);
  EXPECT_NE(picture(), first);
  SendMessageW(viewer, WM_COMMAND, host::kCmdVcrFirst, 0);
  UpdateWindow(display);
  EXPECT_EQ(picture(), first);
}

TEST_F(ViewerTest, PagesGoToPausesAPlayingAnimationAndCancelResumesIt) {
  HWND viewer = OpenAnimation();
  ASSERT_NE(viewer, nullptr);
  auto picture = [&] { return PictureGrid(viewer_.Display()); };

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
}

TEST_F(ViewerTest, PagesOfASlideShowVisitEveryPictureInTurn) {
  WriteIni(std::string(kStatusView) +
           "SortFileType=#1\r\nSetFullScreenOnSlideShow=#0\r\nRandomImageOrder=#0\r\n"
           "AskDirectoryBound=#1\r\nTimeout_slideshow=#C8\r\n");
  std::wstring dir = folder_.File(L"show\\");
  CreateDirectoryW(dir.c_str(), nullptr);
  for (int side : {10, 20, 30})
    WriteBmp(dir + std::to_wstring(side / 10) + L".bmp", side, side, kRed);
  HWND viewer = viewer_.Open(dir + L"1.bmp");
  ASSERT_NE(viewer, nullptr);
  SendMessageW(viewer, WM_COMMAND, host::kCmdSlideshow, 0);
  // Every picture in turn, past the end without the question, in the window.
  std::vector<std::wstring> order;
  EXPECT_TRUE(WaitUntil([&] {
    std::wstring size = viewer_.Status(1).substr(0, 7);
    if (order.empty() || order.back() != size) order.push_back(size);
    return order.size() >= 5;
  }));
  order.resize(4);
  EXPECT_EQ(order, (std::vector<std::wstring>{L"10 x 10", L"20 x 20", L"30 x 30", L"10 x 10"}));
  EXPECT_FALSE(IsWindow(FindWindowW(L"#32770", L"Orbisk")));
  // Stopped: it stays.
  viewer_.Command(host::kCmdSlideshow);
  std::wstring stopped = viewer_.Status(1);
  EXPECT_FALSE(WaitUntil([&] { return viewer_.Status(1) != stopped; }, 1500));
}

// ---- the file manager's windows ----

class FileManagerTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    ASSERT_TRUE(Lister().Complete());
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
  // Closes the viewer as the file manager does; true once it is gone.
  bool CloseLister(HWND viewer) {
    Viewer().listClose(std::exchange(lister_.stub, nullptr));
    return WaitUntil([&] { return !IsWindow(viewer); });
  }

  HostWindow main_, lister_;
  HMENU ownMenu_ = nullptr;
  LONG_PTR ownProc_ = 0;
  std::string name_;
};

TEST_F(FileManagerTest, ListerWindowIsWiredToTheViewer) {
  HWND viewer = OpenInLister(lister_, red_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(GetParent(lister_.stub), lister_.hwnd);
  EXPECT_EQ(ClassOf(viewer), L"Orbisk");
  EXPECT_EQ(GetParent(viewer), lister_.hwnd);
  EXPECT_NE(GetWindowLongPtrW(lister_.hwnd, GWLP_WNDPROC), ownProc_);
  HMENU bar = GetMenu(lister_.hwnd);
  EXPECT_NE(bar, ownMenu_);
  EXPECT_EQ(MenuItemText(bar, host::kCmdExit), L"Exit");
  EXPECT_EQ(Text(lister_.hwnd), TitleFor(L"red.bmp"));

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

TEST_F(FileManagerTest, ListLoadWOpensAUnicodeNameAndDeclinesAFileNoPlugInReads) {
  // A name no 8-bit code page holds, and the file manager's display flags.
  std::wstring name = folder_.File(L"\u00e9t\u00e9 \u4e2d\u6587.bmp");
  WriteBmp(name, 70, 20, 0x00FF00);
  HostWindow host;
  CreateHostWindow(host, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  host.stub = Lister().loadW(host.hwnd, name.data(), 3);
  ASSERT_NE(host.stub, nullptr);
  HWND viewer = ViewerOf(host.stub);
  EXPECT_TRUE(StatusStarts(viewer, L"70 x 20 ")) << StatusText(viewer, 1);
  Viewer().listClose(host.stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  DestroyHostWindow(host);
  // A file no plug-in reads is declined, as by ListLoad.
  std::wstring text = TextFile(L"\u4e2d.txt");
  HostWindow other;
  CreateHostWindow(other, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  EXPECT_EQ(Lister().loadW(other.hwnd, text.data(), 0), nullptr);
  DestroyHostWindow(other);
}

TEST_F(FileManagerTest, ListLoadNextShowsTheNextFileInTheSameWindowAfterTheSaveQuestion) {
  auto next = Lister().loadNext;
  WriteIni("AutoLoadLastImage=#0\r\nAskCloseUpdatedImage=#1\r\n");
  std::wstring blue = folder_.File(L"\u4e2d blue.bmp");
  WriteBmp(blue, 60, 90, kBlue);
  std::wstring text = TextFile(L"notes.txt");
  std::string narrowText(text.begin(), text.end());

  HWND viewer = OpenInLister(lister_, red_);
  ASSERT_NE(viewer, nullptr);
  HWND stub = lister_.stub;
  // Another file, same window.
  EXPECT_EQ(Lister().loadNextW(lister_.hwnd, stub, blue.data(), 0), 0);
  EXPECT_TRUE(StatusStarts(viewer, L"60 x 90 "));
  EXPECT_EQ(ViewerOf(stub), viewer);
  // Declined: a file no plug-in reads, and a window that is not ours.
  EXPECT_EQ(next(lister_.hwnd, stub, narrowText.data(), 0), 1);
  EXPECT_EQ(next(lister_.hwnd, main_.hwnd, name_.data(), 0), 1);
  EXPECT_EQ(next(lister_.hwnd, stub, nullptr, 0), 1);

  // After an edit the question comes first; Cancel keeps the changed picture.
  SendMessageW(viewer, WM_COMMAND, host::kCmdRotate90, 0);
  ASSERT_TRUE(StatusStarts(viewer, L"90 x 60 "));
  for (int button : {IDCANCEL, 1026 /* skip */}) {
    DialogAnswer answer(L"Warning", [&](HWND box) { AnswerMessageBox(box, button); });
    EXPECT_EQ(next(lister_.hwnd, stub, name_.data(), 0), 0);
    EXPECT_TRUE(answer.Answered());
    if (button == IDCANCEL) {
      EXPECT_EQ(StatusText(viewer, 1).substr(0, 8), L"90 x 60 ");
    }
  }
  EXPECT_TRUE(StatusStarts(viewer, L"100 x 50 "));
  EXPECT_TRUE(CloseLister(viewer));
}

TEST_F(FileManagerTest, ListSendCommandCopiesAndTakesTheListersFitChoices) {
  auto send = Lister().sendCommand;
  constexpr int kCopy = 1, kNewParams = 2, kSelectAll = 3, kFit = 2, kLargerOnly = 32;
  HWND viewer = OpenInLister(lister_, red_);
  ASSERT_NE(viewer, nullptr);
  HWND stub = lister_.stub;

  // The picture is smaller than the window: "fit" enlarges it, "larger only" and no
  // fit show it at its size.
  for (int params : {kFit, kFit | kLargerOnly, kFit, 0}) {
    EXPECT_EQ(send(stub, kNewParams, params), 0);
    const bool actualSize = params != kFit;
    EXPECT_TRUE(WaitUntil([&] { return (StatusText(viewer, 3) == L"100%") == actualSize; }))
        << params << ": " << StatusText(viewer, 3);
  }

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
  EXPECT_TRUE(CloseLister(viewer));
}

// The file manager's own order of calls: its defaults, the detect string, a Lister
// window in its fit and then centre and dark modes, the next file into the same
// window, a thumbnail from another thread while that file loads, and close. The
// viewer tells the Lister when the user changes the fit.
TEST_F(FileManagerTest, TheFileManagersSequenceFromDefaultsToClose) {
  const ListerEntries& lister = Lister();
  constexpr int kNewParams = 2, kFit = 2, kCenter = 64, kDark = 128;
  constexpr WORD kFitCommand = 0xFFFB;
  WriteIni("ShowInfo=#1\r\nShowToolBar=#0\r\nAutoLoadLastImage=#0\r\nView=#0\r\n");
  std::wstring photo = folder_.File(L"photo 24mp.jpg");
  ASSERT_TRUE(WriteQuadrantJpeg(photo, 6000, 4000));

  // The defaults are taken; a short or missing record is ignored.
  struct {
    int size;
    DWORD low, high;
    char ini[MAX_PATH];
  } params{int(sizeof params), 10, 2, "C:\\fm\\wincmd.ini"};
  lister.setDefaultParams(&params);
  params.size = 4;
  lister.setDefaultParams(&params);
  lister.setDefaultParams(nullptr);
  char detect[2048];
  lister.detectString(detect, sizeof detect);
  EXPECT_TRUE(DetectStringTakes(detect, L"holiday.png")) << detect;
  for (const wchar_t* name : {L"a.bmp", L"a.tif", photo.c_str()})
    EXPECT_TRUE(DetectStringTakes(detect, name)) << detect;
  EXPECT_FALSE(DetectStringTakes(detect, L"notes.txt")) << detect;
  // A short buffer gets whole terms and its NUL, nothing past it.
  char small[16];
  std::memset(small, 'x', sizeof small);
  lister.detectString(small, 12);
  EXPECT_LT(std::strlen(small), 12u);
  EXPECT_EQ(std::string(detect).rfind(small, 0), 0u) << small;
  EXPECT_EQ(small[12], 'x');
  lister.detectString(nullptr, 100);
  lister.detectString(small, 0);

  std::wstring red(red_);
  HWND stub = lister.loadW(lister_.hwnd, red.data(), kFit);
  lister_.stub = stub;
  ASSERT_NE(stub, nullptr);
  HWND viewer = ViewerOf(stub);
  ASSERT_TRUE(StatusStarts(viewer, L"100 x 50 "));
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
  EXPECT_TRUE(StatusStarts(viewer, L"6000 x 4000 ")) << StatusText(viewer, 1);
  thumbnails.join();
  EXPECT_EQ(ViewerOf(stub), viewer);
  EXPECT_TRUE(IsWindow(viewer));
  BitmapPixels small200 = ReadBitmap(thumbnail);
  EXPECT_EQ(small200.width, 200);
  EXPECT_EQ(small200.height, 133);
  const std::pair<double, double> quadrants[] = {
      {0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}};
  const uint32_t colours[] = {kRed, 0x00FF00, kBlue, kWhite};
  for (int i = 0; i < 4; ++i) {
    uint32_t seen = small200.At(quadrants[i].first, quadrants[i].second);
    EXPECT_TRUE(ColourNear(seen, colours[i])) << i << ": " << std::hex << seen;
  }
  if (thumbnail) DeleteObject(thumbnail);
  // The 8-bit entry, and files that give no thumbnail.
  HBITMAP redThumbnail = lister.preview(name_.data(), 64, 64, nullptr, 0);
  BitmapPixels redSmall = ReadBitmap(redThumbnail);
  EXPECT_EQ(redSmall.width, 64);
  EXPECT_EQ(redSmall.height, 32);
  if (redThumbnail) DeleteObject(redThumbnail);
  std::wstring text = TextFile(L"notes.txt");
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
  EXPECT_TRUE(CloseLister(viewer));
}

TEST_F(FileManagerTest, TwoListersKeepTheirOwnFileZoomKeysAndMenus) {
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 60, 90, kBlue);
  // Closed in either order; each time the one left goes on as before.
  for (bool redGoesFirst : {true, false}) {
    HostWindow listerA, listerB;
    HWND a = OpenInLister(listerA, red_), b = OpenInLister(listerB, blue);
    ASSERT_TRUE(a && b);

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
  HWND c = OpenInLister(listerC, red_);
  ASSERT_NE(c, nullptr);
  Viewer().listClose(listerC.stub);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(c); }));
  DestroyHostWindow(listerC);
}

TEST_F(FileManagerTest, ADigitInTheViewerGoesBackToTheListerAndEscClosesBoth) {
  HWND viewer = OpenInLister(lister_, red_);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(viewer, WM_KEYDOWN, '5', 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(viewer); }));
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(lister_.hwnd));
  EXPECT_EQ(lister_.keys, std::vector<UINT>{'5'});
  EXPECT_EQ(GetMenu(lister_.hwnd), ownMenu_);

  viewer = OpenInLister(lister_, red_);
  ASSERT_NE(viewer, nullptr);
  PostMessageW(lister_.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return lister_.destroyed && !IsWindow(viewer); }));
  EXPECT_EQ(lister_.keys, (std::vector<UINT>{'5', VK_ESCAPE}));
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
  ASSERT_NE(viewer_.Open(red_), nullptr);  // the first instance has no one to hand to
  std::wstring blue = folder_.File(L"blue.bmp");
  WriteBmp(blue, 30, 20, kBlue);
  DWORD code = RunAndWait(L"\"" + BinFolder() + L"Orbisk.exe\" \"" + blue + L"\"", nullptr);
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(ProfileString(L"PassImage"), blue);
  EXPECT_TRUE(viewer_.Shows(L"blue.bmp", L"30 x 20"));
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
      text = StaticTexts(box);
      return !text.empty();
    });
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(text, L"Internal error #312\nPlease report this error to the Developer!\n");
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
