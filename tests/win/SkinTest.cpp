// Skins in the standalone viewer: the shipped skins drawn from their files, the switch
// between the skinned top-level window and the classic child of the host, sizing by
// the frame, and a broken skin file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "host/Commands.h"
#include "viewer/SkinDescription.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr UINT kClassic = 3100;
constexpr UINT kFirstSkin = 3101;
constexpr char kPlain[] = "ShowInfo=#0\r\nAutoLoadLastImage=#0\r\n";

// 0xAABBGGRR of a skin to the 0xRRGGBB of a pixel.
uint32_t Rgb(uint32_t skinColour) {
  return (skinColour & 0xFF) << 16 | (skinColour & 0xFF00) | ((skinColour >> 16) & 0xFF);
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart()) << "Orbisk library missing beside the test";
    red_ = folder_.File(L"red.bmp");
    WriteBmp(red_, 100, 50, kRed);
  }
  void TearDown() override {
    EXPECT_TRUE(viewer_.Close());
    if (!broken_.empty()) std::filesystem::remove(broken_);
    WriteIni("AutoLoadLastImage=#0\r\n");
  }

  // The menu identifier of a skin file: its place among the files beside the library,
  // in the order the viewer lists them.
  static UINT SkinId(const std::wstring& name) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(BinFolder())) {
      if (entry.path().extension() == L".skin") names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return kFirstSkin + UINT(std::find(names.begin(), names.end(), name) - names.begin());
  }
  static std::string SkinFile(const wchar_t* name) { return FileBytes(BinFolder() + name); }
  static viewer::SkinDescription Description(const std::string& file) {
    auto text = viewer::SkinDescriptionText(
        std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    return viewer::ParseSkinDescription(text.value_or(""));
  }
  // The viewer on the red picture with the skin named in the settings file.
  HWND OpenSkinned(const std::string& skin, const std::string& more = kPlain) {
    WriteIni("Skin=\"" + skin + "\"\r\n" + more);
    return viewer_.Open(red_);
  }
  static bool ChildOf(HWND window, HWND host) {
    return GetParent(window) == host && (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
  }

  TempFolder folder_;
  std::wstring red_;
  std::wstring broken_;
  StandaloneViewer viewer_;
};

}  // namespace

TEST_F(SkinTest, AShippedSkinDrawsItsFrameTitleAndButtonsFromItsFile) {
  HWND viewer = OpenSkinned("Graphite.skin");
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(IsTopLevel(viewer));
  EXPECT_FALSE(IsWindowVisible(viewer_.Frame()));

  const std::string file = SkinFile(L"Graphite.skin");
  const viewer::SkinDescription skin = Description(file);
  const viewer::Rect& left = skin.Named(viewer::kSkinLeftMiddle);
  const viewer::Rect& right = skin.Named(viewer::kSkinRightMiddle);
  ASSERT_FALSE(left.IsEmpty());
  RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT client{};
  GetClientRect(viewer, &client);
  EXPECT_EQ(PixelAt(viewer, 0, client.bottom / 2), TiffRgbPixel(file, left.left, left.top));
  EXPECT_EQ(PixelAt(viewer, client.right - 1, client.bottom / 2),
            TiffRgbPixel(file, right.right - 1, right.top));

  // The caption in the title's rectangle, in the title colour.
  EXPECT_EQ(Text(viewer), TitleFor(L"red.bmp"));
  const viewer::Rect& title = skin.Named(viewer::kSkinTitleText);
  const RECT titleArea{title.left, title.top, title.right + client.right - skin.DesignSize().width,
                       title.bottom};
  const uint32_t titleColour = Rgb(skin.colours[viewer::kSkinTitleColour]);
  EXPECT_GT(CountPixels(viewer, titleArea, titleColour), 20);
  // Nothing of that colour where no text is drawn: the bar right of the caption.
  const RECT bar{titleArea.right, title.top, titleArea.right + 8, title.bottom};
  EXPECT_EQ(CountPixels(viewer, bar, titleColour), 0);
  // The three status texts start at the status area's left edge, 145 pixels further
  // and another 94 further: each column holds text, the gap before the second none.
  const viewer::Rect& status = skin.Named(viewer::kSkinStatusText);
  const int statusTop = status.top + client.bottom - skin.DesignSize().height;
  const uint32_t textColour = Rgb(skin.colours[viewer::kSkinTextColour]);
  for (int start : {0, 145, 239}) {
    const RECT column{status.left + start, statusTop, status.left + start + 40,
                      statusTop + int(status.Height())};
    EXPECT_GT(CountPixels(viewer, column, textColour), 5) << start;
    if (start == 0) continue;
    const RECT gap{status.left + start - 12, statusTop, status.left + start - 1,
                   statusTop + int(status.Height())};
    EXPECT_EQ(CountPixels(viewer, gap, textColour), 0) << start;
  }

  // The maximise button, moved with the right edge, maximises and restores.
  const viewer::Rect& maximize = skin.Button(viewer::kSkinMaximize, 0);
  const int x = maximize.left + 4 + client.right - skin.DesignSize().width;
  MouseDown(viewer, x, maximize.top + 4);
  MouseUp(viewer, x, maximize.top + 4);
  EXPECT_TRUE(WaitUntil([&] { return IsZoomed(viewer) != 0; }));
  GetClientRect(viewer, &client);
  const int x2 = maximize.left + 4 + client.right - skin.DesignSize().width;
  // Maximised, the button stays down: its pressed look (of the restore button, when the
  // skin has one), told by a pixel where the pressed and normal looks differ.
  const bool hasRestore = !skin.Button(viewer::kSkinRestore, 3).IsEmpty();
  const int looks = hasRestore ? viewer::kSkinRestore : viewer::kSkinMaximize;
  const viewer::Rect& down = skin.Button(looks, 3);
  const viewer::Rect& up = skin.Button(looks, 1);
  auto at = FirstDifference(file, {down.left, down.top}, {up.left, up.top},
                            {LONG(down.Width()), LONG(down.Height())});
  ASSERT_TRUE(at) << "the looks differ somewhere";
  RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(PixelAt(viewer, x2 - 4 + at->x, maximize.top + at->y),
            TiffRgbPixel(file, down.left + at->x, down.top + at->y));
  MouseDown(viewer, x2, maximize.top + 4);
  MouseUp(viewer, x2, maximize.top + 4);
  EXPECT_TRUE(WaitUntil([&] { return IsZoomed(viewer) == 0; }));
}

TEST_F(SkinTest, DraggingTheGripResizesButNeverBelowTheSmallestSize) {
  HWND viewer = OpenSkinned("Meadow.skin");
  ASSERT_NE(viewer, nullptr);
  RECT before{}, client{};
  GetWindowRect(viewer, &before);
  GetClientRect(viewer, &client);
  const int x = client.right - 2, y = client.bottom - 2;
  MouseDown(viewer, x, y);
  MouseMove(viewer, x + 30, y + 20);
  RECT grown{};
  GetWindowRect(viewer, &grown);
  EXPECT_EQ(grown.right - grown.left, before.right - before.left + 30);
  EXPECT_EQ(grown.bottom - grown.top, before.bottom - before.top + 20);
  // The window moved its corner with the pointer; far up and left it stops.
  MouseMove(viewer, x + 30 - 2000, y + 20 - 2000);
  MouseUp(viewer, x - 2000, y - 2000);
  RECT small{};
  GetWindowRect(viewer, &small);
  EXPECT_EQ(small.left, before.left);
  EXPECT_EQ(small.top, before.top);
  EXPECT_EQ(small.right - small.left, viewer::kSkinMinDragWidth);
  EXPECT_EQ(small.bottom - small.top, viewer::kSkinMinDragHeight);
}

TEST_F(SkinTest, WindowsClassicPutsTheViewerBackIntoItsHostAndASkinTakesItOutAgain) {
  HWND viewer = OpenSkinned("Graphite.skin");
  ASSERT_NE(viewer, nullptr);
  ASSERT_TRUE(IsTopLevel(viewer));
  // The skin's buttons say what they do; the classic look has none of them.
  std::vector<std::wstring> tips = ToolTipTexts(viewer);
  for (const wchar_t* tip : {L"Keep Visible", L"Close Orbisk", L"Maximize Orbisk",
                             L"Copy showing image to clipboard", L"Open/Close image info"}) {
    EXPECT_NE(std::find(tips.begin(), tips.end(), tip), tips.end()) << tip;
  }

  SendMessageW(viewer, WM_COMMAND, kClassic, 0);
  RunPostedMessages();
  EXPECT_TRUE(ToolTipTexts(viewer).empty());
  EXPECT_TRUE(ChildOf(viewer, viewer_.Frame()));
  EXPECT_TRUE(IsWindowVisible(viewer_.Frame()));
  RECT frame{}, own{};
  GetClientRect(viewer_.Frame(), &frame);
  GetClientRect(viewer, &own);
  EXPECT_EQ(own.right, frame.right);
  EXPECT_EQ(own.bottom, frame.bottom);

  SendMessageW(viewer, WM_COMMAND, SkinId(L"Meadow.skin"), 0);
  RunPostedMessages();
  EXPECT_TRUE(IsTopLevel(viewer));
  EXPECT_FALSE(IsWindowVisible(viewer_.Frame()));
  const viewer::SkinDescription meadow = Description(SkinFile(L"Meadow.skin"));
  RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  GetClientRect(viewer, &own);
  const viewer::Rect& left = meadow.Named(viewer::kSkinLeftMiddle);
  EXPECT_EQ(PixelAt(viewer, 0, own.bottom / 2),
            TiffRgbPixel(SkinFile(L"Meadow.skin"), left.left, left.top));
  EXPECT_TRUE(viewer_.Close());
  EXPECT_NE(ReadIni().find("Skin=\"Meadow.skin\""), std::string::npos);
}

TEST_F(SkinTest, ATruncatedSkinFileFallsBackToTheClassicLookAndTheMenuSaysSo) {
  broken_ = BinFolder() + L"Broken.skin";
  {
    const std::string whole = SkinFile(L"Graphite.skin");
    std::ofstream out(std::filesystem::path(broken_), std::ios::binary);
    out.write(whole.data(), 1000);  // the description runs on past this
  }
  HWND viewer = OpenSkinned("Broken.skin");
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(ChildOf(viewer, viewer_.Frame()));

  EXPECT_NE(PostAnswering(viewer, WM_COMMAND, SkinId(L"Broken.skin"), L"Orbisk",
                          L"Skin file not found or corrupted!", IDOK),
            L"");
  RunPostedMessages();
  EXPECT_TRUE(ChildOf(viewer, viewer_.Frame()));
  EXPECT_TRUE(IsWindowVisible(viewer_.Frame()));
  EXPECT_TRUE(viewer_.Close());
  EXPECT_NE(ReadIni().find("Skin=\"*\""), std::string::npos);
}

// Keep Visible from the menu shows on the skin's button too: its second look.
TEST_F(SkinTest, KeepVisibleTurnsTheSkinsButtonAndItsMaximiseAndMinimiseWork) {
  HWND viewer = OpenSkinned("Graphite.skin");
  ASSERT_NE(viewer, nullptr);
  const std::string file = SkinFile(L"Graphite.skin");
  const viewer::SkinDescription skin = Description(file);
  const viewer::Rect& place = skin.Button(viewer::kSkinToggle, 0);
  const viewer::Rect& off = skin.Button(viewer::kSkinToggle, 1);
  const viewer::Rect& on = skin.Button(viewer::kSkinToggle2, 1);
  ASSERT_FALSE(on.IsEmpty());
  auto at = FirstDifference(file, {on.left, on.top}, {off.left, off.top},
                            {LONG(on.Width()), LONG(on.Height())});
  ASSERT_TRUE(at) << "the two looks differ somewhere";
  const int x = place.left + at->x, y = place.top + at->y;
  RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(PixelAt(viewer, x, y), TiffRgbPixel(file, off.left + at->x, off.top + at->y));
  SendMessageW(viewer, WM_COMMAND, host::kCmdKeepVisible, 0);
  EXPECT_EQ(PixelAt(viewer, x, y), TiffRgbPixel(file, on.left + at->x, on.top + at->y));
  SendMessageW(viewer, WM_COMMAND, host::kCmdKeepVisible, 0);

  // The skin's maximise command toggles, its minimise iconises.
  ASSERT_FALSE(IsZoomed(viewer));
  SendMessageW(viewer, WM_COMMAND, host::kCmdMaximize, 0);
  EXPECT_TRUE(IsZoomed(viewer));
  SendMessageW(viewer, WM_COMMAND, host::kCmdMaximize, 0);
  EXPECT_FALSE(IsZoomed(viewer));
  SendMessageW(viewer, WM_COMMAND, host::kCmdMinimize, 0);
  EXPECT_TRUE(IsIconic(viewer));
  ShowWindow(viewer, SW_RESTORE);
}

// A skin that cannot be loaded at start-up is not tried again at the next start.
TEST_F(SkinTest, ASkinThatFailsAtStartUpIsForgotten) {
  HWND viewer = OpenSkinned("Missing.skin");
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(ChildOf(viewer, viewer_.Frame()));
  EXPECT_TRUE(viewer_.Close());
  EXPECT_NE(ReadIni().find("Skin=\"*\""), std::string::npos) << ReadIni();
}

TEST_F(SkinTest, TheInformationListTakesTheSkinsTableColours) {
  HWND viewer = OpenSkinned("Graphite.skin", "ShowInfo=#1\r\nAutoLoadLastImage=#0\r\n");
  ASSERT_NE(viewer, nullptr);
  HWND list = InfoListBox(viewer);
  ASSERT_NE(list, nullptr);
  const viewer::SkinDescription skin = Description(SkinFile(L"Graphite.skin"));
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT client{};
  GetClientRect(list, &client);
  // Below the last row the list shows its background.
  EXPECT_EQ(PixelAt(list, client.right / 2, client.bottom - 2),
            Rgb(skin.colours[viewer::kSkinTbl0]));
}

TEST_F(SkinTest, TheNavigationWindowIsFramedInTheSkinsColours) {
  WriteIni("Skin=\"Graphite.skin\"\r\nView=#0\r\nZoomCur=^1.0\r\n" + std::string(kPlain));
  std::wstring wide = folder_.File(L"wide.bmp");
  WriteBmp(wide, 2000, 1000, 0x208040);
  HWND viewer = viewer_.Open(wide);
  ASSERT_NE(viewer, nullptr);
  HWND navigation = OpenNavigation(viewer_.Display());
  ASSERT_NE(navigation, nullptr);
  RedrawWindow(navigation, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  const viewer::SkinDescription skin = Description(SkinFile(L"Graphite.skin"));
  const uint32_t first = Rgb(skin.colours[viewer::kSkinBackground]);
  const uint32_t second = Rgb(skin.colours[viewer::kSkinDark]);
  ASSERT_NE(first, second);
  // Three one-pixel lines: outer and inner in the first colour, the middle one in the second.
  EXPECT_EQ(WindowPixelAt(navigation, 0, 20), first);
  EXPECT_EQ(WindowPixelAt(navigation, 1, 20), second);
  EXPECT_EQ(WindowPixelAt(navigation, 2, 20), first);
  SendMessageW(navigation, WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(IsWindowVisible(navigation));
}

TEST_F(SkinTest, TheContextMenuListsTheOtherSkinsAndTheClassicLookOnlyWithASkin) {
  HWND viewer = OpenSkinned("Graphite.skin");
  ASSERT_NE(viewer, nullptr);
  auto menu = [&] {
    return PopupMenuItems([&] { SendMessageW(viewer, WM_CONTEXTMENU, WPARAM(viewer), -1); });
  };
  auto has = [](const std::vector<std::wstring>& items, const wchar_t* item) {
    return std::find(items.begin(), items.end(), item) != items.end();
  };
  std::vector<std::wstring> skinned = menu();
  ASSERT_TRUE(has(skinned, L"  Skins list")) << skinned.size();
  EXPECT_TRUE(has(skinned, L"    Meadow.skin"));
  EXPECT_FALSE(has(skinned, L"    Graphite.skin"));  // the loaded one
  EXPECT_TRUE(has(skinned, L"    Windows classic"));

  SendMessageW(viewer, WM_COMMAND, kClassic, 0);
  RunPostedMessages();
  std::vector<std::wstring> classic = menu();
  EXPECT_TRUE(has(classic, L"    Graphite.skin"));
  EXPECT_TRUE(has(classic, L"    Meadow.skin"));
  EXPECT_FALSE(has(classic, L"    Windows classic"));
}
