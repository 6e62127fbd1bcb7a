// "Options" in the real viewer: every page's controls reach the settings file only on
// OK, the zoom step's range, and the shortcut list with its hot-key dialog, whose keys
// work after OK while Esc and the host's digits keep working.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "ui/Controls.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr wchar_t kOptions[] = L"Options";
constexpr wchar_t kHotKey[] = L"Press a key(s) to be used as the HOT key";
constexpr char kStart[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n"
    "RenderingFast=#1\r\nShowAlphaChannel=#0\r\nSortFileType=#0\r\nRecurseSubDir=#0\r\n"
    "StartViewInFullscreen=#0\r\nShowScrollBars=#0\r\nTimeout_slideshow=#1388\r\n"
    "HideMouseCursor=#0\r\nRandomImageOrder=#0\r\nSetFullScreenOnSlideShow=#0\r\n"
    "AskDeletingFile=#0\r\nAskDirectoryBound=#0\r\nSendToRecyleBin=#0\r\nSaveEXIF=#0\r\n"
    "SaveIPTC=#0\r\nAskCloseUpdatedImage=#0\r\nSingleESCtoExit=#0\r\n"
    "AllowOnly1CopyAtATime=#0\r\nBps16=#0\r\nImageResolution=#0\r\nProfileUsing=#0\r\n"
    "NotifyAboutError=#0\r\nResampleByResolution=#0\r\nDisableImageAnimation=#0\r\n"
    "AskAboutMissingPlugin=#0\r\nFastRAWInterpolation=#1\r\nWhiteBalanceType=#1\r\n"
    "ZoomStep=^0_1\r\n";

// What a user does on a page: the check boxes and radio buttons clicked, the fields
// typed into, and the key each one changes with the value it then has.
struct Click {
  const wchar_t* page;
  int id;
  const char* key;
  const char* value;
};

constexpr Click kClicks[] = {
    {L"View", IDC_OPT_RENDER_QUALITY, "RenderingFast", "#0"},
    {L"View", IDC_OPT_ALPHA_SUPPRESS, "ShowAlphaChannel", "#2"},
    {L"View", IDC_OPT_SORT_NATURAL, "SortFileType", "#3"},
    {L"View", IDC_OPT_RECURSE, "RecurseSubDir", "#1"},
    {L"View", IDC_OPT_START_FULLSCREEN, "StartViewInFullscreen", "#1"},
    {L"View", IDC_OPT_SCROLLBARS, "ShowScrollBars", "#1"},
    {L"Slide Show", IDC_OPT_HIDE_CURSOR, "HideMouseCursor", "#1"},
    {L"Slide Show", IDC_OPT_RANDOM_ORDER, "RandomImageOrder", "#1"},
    {L"Slide Show", IDC_OPT_SLIDE_FULLSCREEN, "SetFullScreenOnSlideShow", "#1"},
    {L"Operations", IDC_OPT_ASK_DELETE, "AskDeletingFile", "#1"},
    {L"Operations", IDC_OPT_ASK_BOUND, "AskDirectoryBound", "#1"},
    {L"Operations", IDC_OPT_RECYCLE, "SendToRecyleBin", "#1"},
    {L"Operations", IDC_OPT_SAVE_EXIF, "SaveEXIF", "#1"},
    {L"Operations", IDC_OPT_SAVE_IPTC, "SaveIPTC", "#1"},
    {L"Operations", IDC_OPT_ASK_CLOSE_UPDATED, "AskCloseUpdatedImage", "#1"},
    {L"Operations", IDC_OPT_AUTO_LOAD_LAST, "AutoLoadLastImage", "#1"},
    {L"Operations", IDC_OPT_SINGLE_ESC, "SingleESCtoExit", "#1"},
    {L"Operations", IDC_OPT_ONE_COPY, "AllowOnly1CopyAtATime", "#1"},
    {L"Operations", IDC_OPT_BPS16, "Bps16", "#1"},
    {L"Read", IDC_OPT_RES_CUSTOM, "ImageResolution", "#2"},
    {L"Read", IDC_OPT_PROFILE_NON_RGB, "ProfileUsing", "#2"},
    {L"Read", IDC_OPT_NOTIFY_ERROR, "NotifyAboutError", "#1"},
    {L"Read", IDC_OPT_RESAMPLE, "ResampleByResolution", "#1"},
    {L"Read", IDC_OPT_NO_ANIMATION, "DisableImageAnimation", "#1"},
    {L"Read", IDC_OPT_ASK_PLUGIN, "AskAboutMissingPlugin", "#1"},
    {L"Photo RAW", IDC_OPT_RAW_QUALITY, "FastRAWInterpolation", "#0"},
    {L"Photo RAW", IDC_OPT_WB_AUTO, "WhiteBalanceType", "#0"},
};

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart(kStart)) << "Orbisk library missing beside the test";
    red_ = folder_.File(L"red.bmp");
    WriteBmp(red_, 100, 50, 0xFF0000);
  }

  // Opens the dialog, lets `act` drive it from the answering thread, and returns
  // once the dialog is gone.
  bool RunOptions(HWND viewer, const std::function<void(HWND)>& act) {
    DialogAnswer answer(kOptions, act);
    SendMessageW(viewer, WM_COMMAND, host::kCmdOptions, 0);
    RunPostedMessages();
    return answer.Answered();
  }

  // On the answering thread: every control of kClicks clicked, the fields typed.
  static void ChangeEverything(HWND dialog) {
    for (const Click& click : kClicks) {
      SelectTreeItem(dialog, IDC_OPT_TREE, click.page);
      ClickButton(VisibleChildDialog(dialog), click.id);
    }
    SelectTreeItem(dialog, IDC_OPT_TREE, L"View");
    TypeInto(VisibleChildDialog(dialog), IDC_OPT_ZOOM_STEP, L"25");
    SelectTreeItem(dialog, IDC_OPT_TREE, L"Slide Show");
    TypeInto(VisibleChildDialog(dialog), IDC_OPT_TIMEOUT, L"7");
  }

  // Edits a row of the "Shortcut" page in the hot-key dialog: key 1 set to `key`.
  static bool GiveKey(HWND dialog, const wchar_t* command, WORD key) {
    SelectTreeItem(dialog, IDC_OPT_TREE, L"Shortcut");
    HWND page = VisibleChildDialog(dialog);
    if (!page || SelectListViewRow(page, IDC_SHORTCUT_LIST, command) < 0) return false;
    DialogAnswer hotKey(kHotKey, [key](HWND box) {
      SendDlgItemMessageW(box, IDC_HOTKEY_1, HKM_SETHOTKEY, key, 0);
      PressButton(box, IDOK, true);
    });
    PressButton(page, IDC_SHORTCUT_EDIT, false);
    return PollUntil([&] { return hotKey.Answered(); }) &&
           PollUntil([&] { return FindWindowW(nullptr, kHotKey) == nullptr; });
  }

  static std::wstring Cell(HWND dialog, const wchar_t* command, int column) {
    HWND page = VisibleChildDialog(dialog);
    HWND list = GetDlgItem(page, IDC_SHORTCUT_LIST);
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
      if (ui::ListViewCellText(list, row, 0) == command)
        return ui::ListViewCellText(list, row, column);
    return L"<no row>";
  }

  TempFolder folder_;
  std::wstring red_;
};

constexpr WORD kCtrlC = (HOTKEYF_CONTROL << 8) | 'C';

TEST_F(OptionsTest, EveryPageControlReachesTheSettingsFileOnOkAndNoneOnCancel) {
  for (int button : {IDCANCEL, IDOK}) {
    StandaloneViewer viewer;
    HWND window = viewer.Open(red_);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(RunOptions(window, [button](HWND dialog) {
      ChangeEverything(dialog);
      PressButton(dialog, button, false);
    }));
    ASSERT_TRUE(viewer.Close());
    const std::string ini = ReadIni();
    const bool ok = button == IDOK;
    for (const Click& click : kClicks)
      EXPECT_EQ(IniValue(ini, click.key) == click.value, ok) << click.key << " after " << button;
    EXPECT_EQ(IniValue(ini, "ZoomStep"), ok ? "^0_25" : "^0_1");
    EXPECT_EQ(IniValue(ini, "Timeout_slideshow"), ok ? "#1B58" : "#1388");
  }
}

TEST_F(OptionsTest, ZoomStepOutsideItsRangeIsRefusedAndTheDialogStays) {
  StandaloneViewer viewer;
  HWND window = viewer.Open(red_);
  ASSERT_NE(window, nullptr);
  bool stayed = false, focused = false, boxSeen = false;
  EXPECT_TRUE(RunOptions(window, [&](HWND dialog) {
    SelectTreeItem(dialog, IDC_OPT_TREE, L"View");
    HWND page = VisibleChildDialog(dialog);
    for (const wchar_t* wrong : {L"0.01", L"1000.5", L"ten"}) {
      TypeInto(page, IDC_OPT_ZOOM_STEP, wrong);
      DialogAnswer refusal(
          kOptions, [](HWND box) { AnswerMessageBox(box, IDOK); }, L"zoom step");
      PressButton(dialog, IDOK, false);
      boxSeen = PollUntil([&] { return refusal.Answered(); });
      if (!boxSeen) break;
    }
    stayed = PollUntil([&] { return IsWindowVisible(dialog) != 0; });
    focused =
        PollUntil([&] { return FocusOfThreadOf(dialog) == GetDlgItem(page, IDC_OPT_ZOOM_STEP); });
    TypeInto(page, IDC_OPT_ZOOM_STEP, L"0.05");
    PressButton(dialog, IDOK, false);
  }));
  EXPECT_TRUE(boxSeen);
  EXPECT_TRUE(stayed);
  EXPECT_TRUE(focused);
  ASSERT_TRUE(viewer.Close());
  EXPECT_EQ(IniValue(ReadIni(), "ZoomStep"), "^0_0005");
}

TEST_F(OptionsTest, CtrlCGivenToCopyPathLeavesCopyImageAtOnceAndCopiesThePathAfterOk) {
  StandaloneViewer viewer;
  HWND window = viewer.Open(red_);
  ASSERT_NE(window, nullptr);
  std::wstring ctrlC, imageAfter, pathAfter, nextKeys;
  bool given = false;
  EXPECT_TRUE(RunOptions(window, [&](HWND dialog) {
    SelectTreeItem(dialog, IDC_OPT_TREE, L"Shortcut");
    ctrlC = Cell(dialog, L"CopyImage", 1);
    nextKeys = Cell(dialog, L"OpenNext", 3);
    given = GiveKey(dialog, L"CopyPath", kCtrlC);
    imageAfter = Cell(dialog, L"CopyImage", 1);
    pathAfter = Cell(dialog, L"CopyPath", 1);
    PressButton(dialog, IDOK, false);
  }));
  EXPECT_TRUE(given);
  EXPECT_FALSE(ctrlC.empty());
  EXPECT_FALSE(nextKeys.empty()) << "OpenNext has three keys by default";
  EXPECT_EQ(imageAfter, L"");
  EXPECT_EQ(pathAfter, ctrlC);

  // Ctrl+C now copies the file's path as text.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  PressKeyWith(window, 'C', true, false, false);
  RunPostedMessages();
  EXPECT_NE(ClipboardText().find("red.bmp"), std::string::npos) << ClipboardText();
  ASSERT_TRUE(viewer.Close());
  // Written back: CopyImage's record holds only an empty key, so that next time it
  // does not get Ctrl+C back from the built-in keys.
  char record[32];
  std::snprintf(record, sizeof record, "=#%X,#10000\r", unsigned(host::kCmdCopyImage));
  const std::string ini = ReadIni();
  EXPECT_NE(ini.find(record), std::string::npos) << ini;
}

TEST_F(OptionsTest, DefaultThenCancelKeepsTheKeysAndTheMenuShowsThemJoined) {
  StandaloneViewer viewer;
  HWND window = viewer.Open(red_);
  ASSERT_NE(window, nullptr);
  std::wstring afterDefault;
  EXPECT_TRUE(RunOptions(window, [&](HWND dialog) {
    GiveKey(dialog, L"CopyPath", kCtrlC);
    PressButton(dialog, IDOK, false);
  }));
  EXPECT_TRUE(RunOptions(window, [&](HWND dialog) {
    SelectTreeItem(dialog, IDC_OPT_TREE, L"Shortcut");
    PressButton(VisibleChildDialog(dialog), IDC_SHORTCUT_DEFAULT, true);
    afterDefault = Cell(dialog, L"CopyPath", 1);
    PressButton(dialog, IDCANCEL, false);
  }));
  // "Default" showed CopyPath with its own key again, not Ctrl+C.
  EXPECT_FALSE(afterDefault.empty());
  // Cancel: CopyPath still has Ctrl+C.
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  PressKeyWith(window, 'C', true, false, false);
  RunPostedMessages();
  EXPECT_NE(ClipboardText().find("red.bmp"), std::string::npos) << ClipboardText();

  // "Next Image" with its three keys after a tab, separated by ", ".
  HMENU bar = GetMenu(viewer.Frame());
  std::wstring next = DecoratedMenuItemText(viewer.Frame(), bar, host::kCmdOpenNext);
  const size_t tab = next.find(L'\t');
  ASSERT_NE(tab, std::wstring::npos) << next;
  EXPECT_EQ(next.substr(0, tab), L"Next Image");
  std::wstring keys = next.substr(tab + 1);
  size_t commas = 0;
  for (size_t at = keys.find(L", "); at != std::wstring::npos; at = keys.find(L", ", at + 2))
    ++commas;
  EXPECT_EQ(commas, 2u) << keys;
  // A command that is not listed has no keys.
  EXPECT_EQ(DecoratedMenuItemText(viewer.Frame(), bar, host::kCmdExit), L"Exit");
  ASSERT_TRUE(viewer.Close());
}

// In a Lister window: after shortcut edits, Esc still closes, a digit still goes back.
class OptionsListerTest : public OptionsTest {
 protected:
  void SetUp() override {
    OptionsTest::SetUp();
    CreateHostWindow(main_, L"TTOTAL_CMD", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  }
  void TearDown() override { DestroyHostWindow(main_); }
  // Ctrl+C to CopyPath, Esc to ZoomIn and the digit 3 to ZoomOut, all on OK.
  void EditKeys(HWND viewer) {
    EXPECT_TRUE(RunOptions(viewer, [](HWND dialog) {
      GiveKey(dialog, L"CopyPath", kCtrlC);
      GiveKey(dialog, L"ZoomIn", VK_ESCAPE);
      GiveKey(dialog, L"ZoomOut", '3');
      PressButton(dialog, IDOK, false);
    }));
  }
  HostWindow main_;
};

TEST_F(OptionsListerTest, EscAndTheDigitsStillGoToTheListerAfterShortcutEdits) {
  for (UINT key : {UINT(VK_ESCAPE), UINT('1'), UINT('3'), UINT('7')}) {
    HostWindow lister;
    HWND viewer = OpenInLister(lister, red_);
    ASSERT_NE(viewer, nullptr);
    EditKeys(viewer);
    PostMessageW(viewer, WM_KEYDOWN, key, 0);
    if (key == VK_ESCAPE) {
      EXPECT_TRUE(WaitUntil([&] { return lister.destroyed && !IsWindow(viewer); }));
    } else {
      ASSERT_TRUE(WaitUntil([&] { return !IsWindow(viewer); })) << key;
      RunPostedMessages();
      EXPECT_EQ(lister.keys, std::vector<UINT>{key});
    }
    DestroyHostWindow(lister);
  }
}

}  // namespace
