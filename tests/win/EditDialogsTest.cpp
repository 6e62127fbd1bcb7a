// The Edit menu's dialogs of the real Orbisk.wlx64 in the standalone frame: the
// histogram window, "Scale settings", "Rotate the image clockwise", "Swap channels"
// and "Decrease color depth". A second thread plays the user in each dialog; the test
// then checks what the viewer shows.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGraphBackground = 0xFFFF96;

class EditDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FreshStart()) << "Orbisk library missing beside the test"; }
  void TearDown() override { EXPECT_TRUE(viewer_.Close()); }

  // The standalone viewer showing a new `width` x `height` BMP of the colours.
  HWND OpenBmp(const wchar_t* name, int width, int height, uint32_t colour,
               int64_t rightColour = -1) {
    std::wstring file = folder_.File(name);
    WriteBmp(file, width, height, colour, rightColour);
    return viewer_.Open(file);
  }

  // Runs the command; `act` answers the dialog with the caption from another thread.
  bool Answer(UINT command, const wchar_t* caption, const std::function<void(HWND)>& act) {
    bool acted = false;
    {
      DialogAnswer answer(caption, [&](HWND dialog) {
        act(dialog);
        acted = true;
      });
      SendMessageW(viewer_.Window(), WM_COMMAND, command, 0);
    }  // the answering thread is done here
    RunPostedMessages();
    return acted;
  }

  std::wstring ImageStatus() const { return viewer_.Status(1); }
  bool SaveEnabled() const { return !viewer_.Greyed(host::kCmdSaveImage); }
  uint32_t DisplayCentre() const {
    HWND display = viewer_.Display();
    UpdateWindow(display);
    RECT client{};
    GetClientRect(display, &client);
    return PixelAt(display, client.right / 2, client.bottom / 2);
  }

  TempFolder folder_;
  StandaloneViewer viewer_;
};

void PressOk(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); }
void PressCancel(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }

}  // namespace

TEST_F(EditDialogsTest, HistogramShowsTheLevelsColoursAndTheRangeDraggedOnTheGraph) {
  ASSERT_TRUE(OpenBmp(L"split.bmp", 40, 20, kRed, kBlue));

  struct Seen {
    std::wstring colours, range, percent, pixels, mean, median;
  } all, red, dragged, released;
  auto read = [](HWND d) {
    return Seen{ItemText(d, IDC_HISTOGRAM_COLOURS), ItemText(d, IDC_HISTOGRAM_RANGE),
                ItemText(d, IDC_HISTOGRAM_PERCENT), ItemText(d, IDC_HISTOGRAM_PIXELS),
                ItemText(d, IDC_HISTOGRAM_MEAN),    ItemText(d, IDC_HISTOGRAM_MEDIAN)};
  };
  int quarterLevel = -1;
  uint32_t background = 0, lastColumn = 0;
  ASSERT_TRUE(Answer(host::kCmdHistogram, L"Histogram", [&](HWND d) {
    all = read(d);
    ChooseListEntry(d, IDC_HISTOGRAM_CHANNEL, 1);  // "Red"
    red = read(d);
    HWND graph = GetDlgItem(d, IDC_HISTOGRAM_GRAPH);
    RECT client{};
    GetClientRect(graph, &client);
    UpdateWindow(graph);
    // Levels above 128 hold no red: the pale yellow shows; the last level is the tallest.
    background = PixelAt(graph, client.right * 3 / 4, client.bottom / 2);
    lastColumn = PixelAt(graph, client.right - 1, client.bottom / 2);
    MouseDown(graph, 0, client.bottom / 2);
    MouseMove(graph, client.right / 4, client.bottom / 2);
    quarterLevel = client.right / 4 * 256 / client.right;
    dragged = read(d);
    MouseUp(graph, client.right / 4, client.bottom / 2);
    released = read(d);
    PressOk(d);
  }));
  // Red and blue halves: two colours, every pixel counted; both are level 85 in "RGB".
  EXPECT_EQ(all.colours, L"2");
  EXPECT_EQ(all.range, L"0...255");
  EXPECT_EQ(all.percent, L"100%");
  EXPECT_EQ(all.pixels, L"800");
  EXPECT_EQ(all.mean, L"85");
  EXPECT_EQ(all.median, L"85");
  // Red: half the pixels at 0, half at 255.
  EXPECT_EQ(red.pixels, L"800");
  EXPECT_EQ(red.mean, L"127.5");
  EXPECT_EQ(red.median, L"255");
  EXPECT_EQ(background, kGraphBackground);
  EXPECT_NE(lastColumn, kGraphBackground);
  // The left quarter of the scale holds the blue half only, live while dragging.
  EXPECT_EQ(dragged.range, L"0..." + std::to_wstring(quarterLevel));
  EXPECT_EQ(dragged.pixels, L"400");
  EXPECT_EQ(dragged.mean, L"0");
  EXPECT_EQ(dragged.median, L"0");
  EXPECT_EQ(released.range, L"0...255");
  EXPECT_EQ(released.pixels, L"800");
  EXPECT_FALSE(SaveEnabled());  // looking changes nothing
}

TEST_F(EditDialogsTest, TheOneStepCorrectionsChangeThePictureAndMarkItChanged) {
  // Two dull colours, neither reaching black or white, neither grey.
  for (UINT command : {host::kCmdAutoLevels, host::kCmdAutoContrast, host::kCmdDesaturate}) {
    ASSERT_TRUE(OpenBmp(L"dull.bmp", 40, 20, 0x603020, 0xA07050)) << command;
    HWND display = viewer_.Display();
    UpdateWindow(display);
    const std::vector<uint32_t> before = PictureGrid(display);
    viewer_.Command(command);
    UpdateWindow(display);
    EXPECT_NE(PictureGrid(display), before) << command;
    EXPECT_TRUE(SaveEnabled()) << command;
    if (command == host::kCmdDesaturate) {
      const uint32_t grey = DisplayCentre();
      EXPECT_EQ(grey >> 16, grey & 0xFF) << std::hex << grey;
      EXPECT_EQ((grey >> 8) & 0xFF, grey & 0xFF) << std::hex << grey;
    }
    ASSERT_TRUE(viewer_.Close());
  }
}

TEST_F(EditDialogsTest, HistogramPausesAPlayingAnimationUntilItCloses) {
  // Only the display, the frames filling it.
  WriteIni("ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#0\r\nAutoLoadLastImage=#0\r\n");
  ASSERT_TRUE(viewer_.Open(TestData(L"vexlo/animation.gif")));
  // A window of one size whatever the platform's default placement: the sampled grid
  // sees the frames' differences.
  SetWindowPos(viewer_.Frame(), nullptr, 0, 0, 480, 360, SWP_NOZORDER | SWP_NOACTIVATE);
  viewer_.Command(host::kCmdFitInWindow);
  HWND display = viewer_.Display();
  auto picture = [&] { return PictureGrid(display); };
  ASSERT_TRUE(WaitUntil([&, first = picture()] { return picture() != first; }));  // playing

  bool stoodStill = false;
  ASSERT_TRUE(Answer(host::kCmdHistogram, L"Histogram", [&](HWND d) {
    std::vector<uint32_t> shown = PictureGrid(display);
    stoodStill = !WaitUntil([&] { return PictureGrid(display) != shown; }, 800);
    PressCancel(d);
  }));
  EXPECT_TRUE(stoodStill);
  EXPECT_TRUE(WaitUntil([&, after = picture()] { return picture() != after; }));  // again
}

TEST_F(EditDialogsTest, ColourDepthOffersTheDepthsBelowAndConvertsTheShownPage) {
  ASSERT_TRUE(OpenBmp(L"split.bmp", 40, 20, kRed, kBlue));
  ASSERT_EQ(ImageStatus().rfind(L"40 x 20 24 BPP", 0), 0u) << ImageStatus();

  bool trueColourEnabled = true, eightChecked = false, dithering = false;
  ASSERT_TRUE(Answer(host::kCmdChangeColorDepth, L"Decrease color depth", [&](HWND d) {
    trueColourEnabled = IsItemEnabled(d, IDC_DEPTH_24);
    eightChecked = IsChecked(d, IDC_DEPTH_8);
    dithering = IsChecked(d, IDC_DEPTH_DITHERING);
    PressCancel(d);
  }));
  EXPECT_FALSE(trueColourEnabled);
  EXPECT_TRUE(eightChecked);
  EXPECT_TRUE(dithering);
  EXPECT_EQ(ImageStatus().rfind(L"40 x 20 24 BPP", 0), 0u);
  EXPECT_FALSE(SaveEnabled());

  ASSERT_TRUE(Answer(host::kCmdChangeColorDepth, L"Decrease color depth", [](HWND d) {
    ClickButton(d, IDC_DEPTH_8);
    PressOk(d);
  }));
  EXPECT_EQ(ImageStatus().rfind(L"40 x 20 8 BPP", 0), 0u) << ImageStatus();
  EXPECT_TRUE(SaveEnabled());
  ASSERT_TRUE(viewer_.Close());

  // A 32-bit picture: its own choice is off, 24 bits are offered first.
  std::wstring deep = folder_.File(L"deep.bmp");
  WriteBmp32(deep, 30, 10, kRed);
  ASSERT_TRUE(viewer_.Open(deep));
  ASSERT_EQ(ImageStatus().rfind(L"30 x 10 32 BPP", 0), 0u) << ImageStatus();
  bool deepEnabled = true, trueColourChecked = false;
  ASSERT_TRUE(Answer(host::kCmdChangeColorDepth, L"Decrease color depth", [&](HWND d) {
    deepEnabled = IsItemEnabled(d, IDC_DEPTH_32);
    trueColourChecked = IsChecked(d, IDC_DEPTH_24);
    PressOk(d);
  }));
  EXPECT_FALSE(deepEnabled);
  EXPECT_TRUE(trueColourChecked);
  EXPECT_EQ(ImageStatus().rfind(L"30 x 10 24 BPP", 0), 0u) << ImageStatus();
}

TEST_F(EditDialogsTest, ScaleKeepsProportionsRefusesZeroAndRemembersItsChoices) {
  ASSERT_TRUE(OpenBmp(L"big.bmp", 400, 300, kRed));

  struct {
    std::wstring width, height, followed, printedWidth, printedHeight, afterZero, boxText;
    bool constrained = false, okAtStart = true, okAfterTyping = false, refused = false;
  } seen;
  ASSERT_TRUE(Answer(host::kCmdScale, L"Scale settings", [&](HWND d) {
    seen.width = ItemText(d, IDC_SCALE_IMAGE_WIDTH);
    seen.height = ItemText(d, IDC_SCALE_IMAGE_HEIGHT);
    seen.constrained = IsChecked(d, IDC_SCALE_CONSTRAIN);
    seen.okAtStart = IsItemEnabled(d, IDOK);
    TypeInto(d, IDC_SCALE_NEW_WIDTH, L"200");
    seen.followed = ItemText(d, IDC_SCALE_NEW_HEIGHT);
    seen.printedWidth = ItemText(d, IDC_SCALE_PRINTED_WIDTH);
    seen.printedHeight = ItemText(d, IDC_SCALE_PRINTED_HEIGHT);
    seen.okAfterTyping = IsItemEnabled(d, IDOK);
    // A height of 0 is not taken: the width stays, and OK says why and stays open.
    TypeInto(d, IDC_SCALE_NEW_HEIGHT, L"0");
    seen.afterZero = ItemText(d, IDC_SCALE_NEW_WIDTH);
    std::optional<DialogAnswer> box;
    box.emplace(
        L"Orbisk", [](HWND b) { PressOk(b); }, L"New height");
    PressOk(d);
    box.reset();  // joins the box's thread once it has answered
    seen.refused =
        WaitUntil([] { return !FindWindowW(L"#32770", L"Orbisk"); }) && IsWindowVisible(d) != 0;
    TypeInto(d, IDC_SCALE_NEW_WIDTH, L"200");
    ChooseListEntry(d, IDC_SCALE_INTERPOLATION, 2);  // "Bicubic"
    PressOk(d);
  }));
  EXPECT_EQ(seen.width, L"400");
  EXPECT_EQ(seen.height, L"300");
  EXPECT_TRUE(seen.constrained);
  EXPECT_FALSE(seen.okAtStart);
  EXPECT_EQ(seen.followed, L"150");
  EXPECT_EQ(seen.printedWidth, L"2.77");  // inches at 72 dpi, cut to hundredths
  EXPECT_EQ(seen.printedHeight, L"2.08");
  EXPECT_TRUE(seen.okAfterTyping);
  EXPECT_EQ(seen.afterZero, L"200");
  EXPECT_TRUE(seen.refused);
  EXPECT_EQ(ImageStatus().rfind(L"200 x 150", 0), 0u) << ImageStatus();
  EXPECT_TRUE(SaveEnabled());

  // The next time: the new size, and the interpolation chosen before.
  std::wstring width, interpolation;
  ASSERT_TRUE(Answer(host::kCmdScale, L"Scale settings", [&](HWND d) {
    width = ItemText(d, IDC_SCALE_IMAGE_WIDTH);
    interpolation = std::to_wstring(ListSelection(d, IDC_SCALE_INTERPOLATION));
    PressCancel(d);
  }));
  EXPECT_EQ(width, L"200");
  EXPECT_EQ(interpolation, L"2");
}

TEST_F(EditDialogsTest, RotateFollowsEveryControlAndTurnsThePicture) {
  ASSERT_TRUE(OpenBmp(L"red.bmp", 100, 50, kRed));

  struct {
    std::wstring start, clamped, clampedEdit, typed, chosen, chosenEdit;
    bool startChecked = false, clampedChecked = false, typedNoneChecked = false;
    LRESULT typedSlider = 0, chosenSlider = 0;
    uint32_t onLine = 0, aboveCentre = 0;
  } seen;
  ASSERT_TRUE(Answer(host::kCmdRotate, L"Rotate the image clockwise", [&](HWND d) {
    seen.start = ItemText(d, IDC_ROTATE_TEXT);
    seen.startChecked = IsChecked(d, IDC_ROTATE_90);
    TypeInto(d, IDC_ROTATE_EDIT, L"450");
    seen.clamped = ItemText(d, IDC_ROTATE_TEXT);
    seen.clampedEdit = ItemText(d, IDC_ROTATE_EDIT);
    seen.clampedChecked = IsChecked(d, IDC_ROTATE_360);
    TypeInto(d, IDC_ROTATE_EDIT, L"45.5");
    seen.typed = ItemText(d, IDC_ROTATE_TEXT);
    seen.typedSlider = SendDlgItemMessageW(d, IDC_ROTATE_SLIDER, TBM_GETPOS, 0, 0);
    seen.typedNoneChecked = true;
    for (int id : {IDC_ROTATE_0, IDC_ROTATE_90, IDC_ROTATE_180, IDC_ROTATE_270, IDC_ROTATE_360})
      seen.typedNoneChecked = seen.typedNoneChecked && !IsChecked(d, id);
    ClickButton(d, IDC_ROTATE_90);
    seen.chosen = ItemText(d, IDC_ROTATE_TEXT);
    seen.chosenEdit = ItemText(d, IDC_ROTATE_EDIT);
    seen.chosenSlider = SendDlgItemMessageW(d, IDC_ROTATE_SLIDER, TBM_GETPOS, 0, 0);
    // The dial at 90 degrees: a red line from the centre to the right on white.
    HWND dial = GetDlgItem(d, IDC_ROTATE_DIAL);
    RECT client{};
    GetClientRect(dial, &client);
    UpdateWindow(dial);
    const int radius = (std::min(client.right, client.bottom) - 2) / 2;
    seen.onLine = PixelAt(dial, 1 + radius + radius / 2, 1 + radius);
    seen.aboveCentre = PixelAt(dial, 1 + radius, 1 + radius / 2);
    PressOk(d);
  }));
  EXPECT_EQ(seen.start, L"90.0\u00b0 CW");
  EXPECT_TRUE(seen.startChecked);
  EXPECT_EQ(seen.clamped, L"360.0\u00b0 CW");
  EXPECT_EQ(seen.clampedEdit, L"360");
  EXPECT_TRUE(seen.clampedChecked);
  EXPECT_EQ(seen.typed, L"45.5\u00b0 CW");
  EXPECT_EQ(seen.typedSlider, 455);
  EXPECT_TRUE(seen.typedNoneChecked);
  EXPECT_EQ(seen.chosen, L"90.0\u00b0 CW");
  EXPECT_EQ(seen.chosenEdit, L"90");
  EXPECT_EQ(seen.chosenSlider, 900);
  EXPECT_EQ(seen.onLine, kRed);
  EXPECT_EQ(seen.aboveCentre, 0xFFFFFFu);
  EXPECT_EQ(ImageStatus().rfind(L"50 x 100", 0), 0u) << ImageStatus();
  EXPECT_TRUE(SaveEnabled());
}

TEST_F(EditDialogsTest, SwapChannelsKeepsEachColumnAPermutationAndTurnsRedBlue) {
  ASSERT_TRUE(OpenBmp(L"red.bmp", 100, 50, kRed));
  ASSERT_EQ(DisplayCentre(), kRed);

  struct {
    int source0 = -1, destination0 = -1, destination2 = -1, entries = -1;
    int traded = -1, tradedBack = -1;
    bool alphaRow = true;
  } seen;
  ASSERT_TRUE(Answer(host::kCmdSwapColorChannel, L"Swap channels", [&](HWND d) {
    seen.source0 = ListSelection(d, IDC_SWAP_SOURCE_0);
    seen.destination0 = ListSelection(d, IDC_SWAP_DESTINATION_0);
    seen.destination2 = ListSelection(d, IDC_SWAP_DESTINATION_2);
    seen.entries = ListCount(d, IDC_SWAP_SOURCE_0);
    seen.alphaRow = IsItemEnabled(d, IDC_SWAP_SOURCE_3) || IsItemEnabled(d, IDC_SWAP_DESTINATION_3);
    // "G" in the first row: the row that held "G" takes the first row's "B".
    ChooseListEntry(d, IDC_SWAP_DESTINATION_0, 1);
    seen.traded = ListSelection(d, IDC_SWAP_DESTINATION_1);
    ChooseListEntry(d, IDC_SWAP_DESTINATION_0, 2);
    seen.tradedBack = ListSelection(d, IDC_SWAP_DESTINATION_1);
    PressOk(d);
  }));
  // Sources R, G, B; destinations B, G, R; a 24-bit picture has no "A".
  EXPECT_EQ(seen.source0, 0);
  EXPECT_EQ(seen.destination0, 2);
  EXPECT_EQ(seen.destination2, 0);
  EXPECT_EQ(seen.entries, 3);
  EXPECT_FALSE(seen.alphaRow);
  EXPECT_EQ(seen.traded, 2);
  EXPECT_EQ(seen.tradedBack, 1);
  EXPECT_TRUE(WaitUntil([&] { return DisplayCentre() == kBlue; })) << std::hex << DisplayCentre();
  EXPECT_TRUE(SaveEnabled());
}
