// "Filter Browser..." in the standalone viewer: what the preview and the view show
// while and after a user works the dialog, the Custom kernel with its files, Apply.
// The dialog is modal: a second thread drives it (DialogAnswer) while the command
// runs on the test's own thread.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kGrey = 0x404040;
constexpr char kBareView[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#0\r\nAutoLoadLastImage=#0\r\n";

int Channel(uint32_t colour, int shift) { return int((colour >> shift) & 0xFF); }

// Every channel at least `by` above (or, negative, below) the grey.
bool MovedFromGrey(uint32_t colour, int by) {
  for (int shift : {0, 8, 16}) {
    int delta = Channel(colour, shift) - Channel(kGrey, shift);
    if (by > 0 ? delta < by : delta > by) return false;
  }
  return true;
}

uint32_t CentrePixel(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return PixelAt(window, client.right / 2, client.bottom / 2);
}

class FilterBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart(kBareView)) << "Orbisk library missing beside the test";
    std::wstring grey = folder_.File(L"grey.bmp");
    WriteBmp(grey, 100, 50, kGrey);
    ASSERT_NE(viewer_.Open(grey), nullptr);
    display_ = viewer_.Display();
    ASSERT_EQ(CentrePixel(display_), kGrey);
  }
  void TearDown() override { EXPECT_TRUE(viewer_.Close()); }

  // Opens the browser; `work` drives it from the second thread and ends it. (No
  // ASSERT in there: the dialog must still be ended when a check fails.)
  void Browse(const std::function<void(HWND dialog)>& work) {
    std::atomic<bool> opened{false};
    DialogAnswer answer(L"Filter browser", [&](HWND dialog) {
      opened = true;
      work(dialog);
    });
    // The viewer ignores the command until the load's worker has quite finished.
    EXPECT_TRUE(WaitUntil([&] {
      if (!opened) SendMessageW(viewer_.Window(), WM_COMMAND, host::kCmdFilterBrowser, 0);
      return opened.load();
    }));
    EXPECT_TRUE(answer.Answered());
    RunPostedMessages();
    UpdateWindow(display_);
  }

  bool SaveEnabled() { return !viewer_.Greyed(host::kCmdSaveImage); }

  TempFolder folder_;
  StandaloneViewer viewer_;
  HWND display_ = nullptr;
};

}  // namespace

TEST_F(FilterBrowserTest, BrightnessShowsInThePreviewAndAfterOkInTheView) {
  Browse([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_FB_FILTERS);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 11);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(GetDlgItem(dialog, IDC_FB_ZOOM_TEXT)), L"100%");
    HWND preview = FindWindowExW(dialog, nullptr, L"OrbiskView", nullptr);
    HWND settings = VisibleChildDialog(dialog);
    EXPECT_TRUE(PollUntil([&] { return CentrePixel(preview) == kGrey; }));
    EXPECT_EQ(Text(GetDlgItem(settings, 1203)), L"-100%");
    EXPECT_EQ(Text(GetDlgItem(settings, 1202)), L"0");

    TypeInto(settings, 1202, L"50");
    EXPECT_EQ(SendDlgItemMessageW(settings, 1201, TBM_GETPOS, 0, 0), 50);
    EXPECT_TRUE(PollUntil([&] { return MovedFromGrey(CentrePixel(preview), 100); }))
        << std::hex << CentrePixel(preview);
    // Only the preview so far.
    EXPECT_EQ(CentrePixel(display_), kGrey);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_TRUE(MovedFromGrey(CentrePixel(display_), 100)) << std::hex << CentrePixel(display_);
  EXPECT_TRUE(SaveEnabled());
}

TEST_F(FilterBrowserTest, CancelLeavesTheViewAsItWas) {
  Browse([&](HWND dialog) {
    HWND preview = FindWindowExW(dialog, nullptr, L"OrbiskView", nullptr);
    HWND list = GetDlgItem(dialog, IDC_FB_FILTERS);
    // Gamma reads in hundredths on the same slider dialog.
    EXPECT_TRUE(ChooseListEntry(list, L"Gamma correction"));
    HWND gamma = VisibleChildDialog(dialog);
    EXPECT_EQ(Text(GetDlgItem(gamma, 1202)), L"1");
    EXPECT_EQ(Text(GetDlgItem(gamma, 1203)), L"0");
    EXPECT_EQ(Text(GetDlgItem(gamma, 1204)), L"7");
    TypeInto(gamma, 1202, L"2.5");
    EXPECT_EQ(SendDlgItemMessageW(gamma, 1201, TBM_GETPOS, 0, 0), 250);
    EXPECT_TRUE(ChooseListEntry(list, L"Brightness"));
    TypeInto(VisibleChildDialog(dialog), 1202, L"-60");
    EXPECT_TRUE(PollUntil([&] { return MovedFromGrey(CentrePixel(preview), -30); }));
    // The preview's zoom goes one step at a time and stops at its ends.
    PressButton(dialog, IDC_FB_ZOOM_OUT, true);
    EXPECT_EQ(Text(GetDlgItem(dialog, IDC_FB_ZOOM_TEXT)), L"50%");
    for (int i = 0; i < 4; ++i) PressButton(dialog, IDC_FB_ZOOM_OUT, true);
    EXPECT_EQ(Text(GetDlgItem(dialog, IDC_FB_ZOOM_TEXT)), L"10%");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_FB_ZOOM_OUT)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_FB_ZOOM_IN)));
    // Small, the picture sits in the middle; at 500% it fills the preview.
    EXPECT_NE(PixelAt(preview, 3, 3), CentrePixel(preview));
    for (int i = 0; i < 8; ++i) PressButton(dialog, IDC_FB_ZOOM_IN, true);
    EXPECT_EQ(Text(GetDlgItem(dialog, IDC_FB_ZOOM_TEXT)), L"500%");
    EXPECT_TRUE(PollUntil([&] { return PixelAt(preview, 3, 3) == CentrePixel(preview); }));
    for (int i = 0; i < 11; ++i) PressButton(dialog, IDC_FB_ZOOM_IN, true);
    EXPECT_EQ(Text(GetDlgItem(dialog, IDC_FB_ZOOM_TEXT)), L"1600%");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_FB_ZOOM_IN)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(CentrePixel(display_), kGrey);
  EXPECT_FALSE(SaveEnabled());
}

TEST_F(FilterBrowserTest, ApplyKeepsTheDialogAndACustomDivisorOfZeroCountsAsOne) {
  Browse([&](HWND dialog) {
    EXPECT_TRUE(ChooseListEntry(GetDlgItem(dialog, IDC_FB_FILTERS), L"Custom"));
    HWND custom = VisibleChildDialog(dialog);
    EXPECT_EQ(Text(GetDlgItem(custom, 1012)), L"1");  // the centre of the identity
    EXPECT_EQ(Text(GetDlgItem(custom, 1000)), L"0");
    TypeInto(custom, 1025, L"0");
    PressButton(dialog, IDC_FB_APPLY, true);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(CentrePixel(display_), kGrey);
    // Twice the centre over a divisor taken as 1: twice as bright.
    TypeInto(custom, 1012, L"2");
    PressButton(dialog, IDC_FB_APPLY, true);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(CentrePixel(display_), 0x808080u);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  // What Apply did stays after Cancel, and counts as a change.
  EXPECT_EQ(CentrePixel(display_), 0x808080u);
  EXPECT_TRUE(SaveEnabled());
}

TEST_F(FilterBrowserTest, AKernelSavedAndLoadedAgainHasTheSameValues) {
  const std::wstring saved = folder_.File(L"sharp");
  std::array<std::wstring, 27> typed;
  for (size_t i = 0; i < 25; ++i) typed[i] = std::to_wstring(int(i) - 12);
  typed[3] = L"-2.5";
  typed[24] = L"0.125";
  typed[25] = L"7";  // divisor
  typed[26] = L"4";  // offset
  std::array<std::wstring, 27> loaded;
  Browse([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_FB_FILTERS);
    EXPECT_TRUE(ChooseListEntry(list, L"Custom"));
    HWND custom = VisibleChildDialog(dialog);
    for (size_t i = 0; i < typed.size(); ++i) TypeInto(custom, int(1000 + i), typed[i]);
    {
      DialogAnswer save(L"Save kernel", [&](HWND box) { AnswerFileDialog(box, saved); });
      PressButton(custom, 1028, false);
      EXPECT_TRUE(PollUntil([&] { return save.Answered(); }));
    }
    EXPECT_TRUE(PollUntil([&] { return std::filesystem::exists(saved + L".kernel"); }));
    // Selected again, the kernel is the identity.
    EXPECT_TRUE(ChooseListEntry(list, L"Blur"));
    EXPECT_TRUE(ChooseListEntry(list, L"Custom"));
    EXPECT_EQ(Text(GetDlgItem(custom, 1000)), L"0");
    {
      DialogAnswer load(L"Load kernel",
                        [&](HWND box) { AnswerFileDialog(box, saved + L".kernel"); });
      PressButton(custom, 1027, false);
      EXPECT_TRUE(PollUntil([&] { return load.Answered(); }));
    }
    EXPECT_TRUE(PollUntil([&] { return Text(GetDlgItem(custom, 1000)) == typed[0]; }));
    for (size_t i = 0; i < loaded.size(); ++i) loaded[i] = Text(GetDlgItem(custom, int(1000 + i)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(loaded, typed);
  // A text file of Windows: "M5x5" and its line end first.
  std::ifstream file(std::filesystem::path(saved + L".kernel"), std::ios::binary);
  std::string head(6, '\0');
  file.read(head.data(), 6);
  EXPECT_EQ(head, "M5x5\r\n");
}
