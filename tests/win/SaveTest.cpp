// "Save" and "Save Image as..." in the standalone viewer: what is written, the boxes
// shown, the save dialog's file types and option list, and what it remembers.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "host/Commands.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr wchar_t kSection[] = L"SaveImage";
constexpr wchar_t kSaveDialog[] = L"Save Image as...";
constexpr wchar_t kDepth[] = L"Color depth (bits per pixel)";
constexpr DWORD kFormatPNG = 0x2C504E47;
constexpr DWORD kIndexed8 = 0x02010108;
// The display and the status bar only.
constexpr char kViewWithStatus[] =
    "ShowInfo=#0\r\nShowToolBar=#0\r\nShowStatusBar=#1\r\nAutoLoadLastImage=#0\r\n";

void CancelDialog(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart(kViewWithStatus)) << "Orbisk library missing beside the test";
    RemoveSaveDialogValues(kSection);
    split_ = folder_.File(L"split.bmp");
    WriteBmp(split_, 100, 50, kRed, kBlue);
  }
  void TearDown() override {
    EXPECT_TRUE(viewer_.Close());
    RemoveSaveDialogValues(kSection);
  }

  void Command(UINT command) { viewer_.Command(command); }
  bool SaveGreyed() { return viewer_.Greyed(host::kCmdSaveImage); }
  // The display's pixel in the left and the right half of the 100 x 50 picture shown
  // at its size in the middle of the display.
  std::pair<uint32_t, uint32_t> Halves() {
    HWND display = viewer_.Display();
    RedrawWindow(display, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client{};
    GetClientRect(display, &client);
    int x = client.right / 2, y = client.bottom / 2;
    return {PixelAt(display, x - 30, y), PixelAt(display, x + 30, y)};
  }

  TempFolder folder_;
  std::wstring split_;
  StandaloneViewer viewer_;
};

TEST_F(SaveTest, SaveWritesOnlyAChangedPictureAndThenGreysItself) {
  ASSERT_TRUE(viewer_.Open(split_));
  std::string before = FileBytes(split_);
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(SaveGreyed());
  // Nothing changed: nothing is written.
  Command(host::kCmdSaveImage);
  EXPECT_EQ(FileBytes(split_), before);

  Command(host::kCmdFlipHor);
  ASSERT_FALSE(SaveGreyed());
  Command(host::kCmdSaveImage);
  EXPECT_TRUE(SaveGreyed());
  EXPECT_NE(FileBytes(split_), before);
  // What was written is the mirrored picture.
  ASSERT_TRUE(viewer_.Close());
  ASSERT_TRUE(viewer_.Open(split_));
  EXPECT_EQ(Halves(), std::make_pair(kBlue, kRed));
}

TEST_F(SaveTest, SaveOfAFormatThatCannotBeRewrittenWarnsAndKeepsTheChange) {
  // WebP is read but not written by the plug-ins.
  std::wstring webp = folder_.File(L"camera.webp");
  ASSERT_TRUE(CopyFileW(TestData(L"info/camera.webp").c_str(), webp.c_str(), FALSE));
  ASSERT_TRUE(viewer_.Open(webp));
  std::string before = FileBytes(webp);
  Command(host::kCmdFlipVer);
  ASSERT_FALSE(SaveGreyed());
  {
    DialogAnswer warning(L"Save warning", [](HWND box) { AnswerMessageBox(box, IDOK); });
    Command(host::kCmdSaveImage);
    ASSERT_TRUE(warning.Answered());
    EXPECT_NE(warning.SeenText().find(L"Sorry, this type of image can't be saved."),
              std::wstring::npos)
        << warning.SeenText();
  }
  EXPECT_FALSE(SaveGreyed());
  EXPECT_EQ(FileBytes(webp), before);
}

TEST_F(SaveTest, AFailedWriteSaysSoAndLosesNothing) {
  ASSERT_TRUE(viewer_.Open(split_));
  std::string before = FileBytes(split_);
  Command(host::kCmdFlipHor);
  ASSERT_TRUE(SetFileAttributesW(split_.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    DialogAnswer error(
        L"Orbisk", [](HWND box) { AnswerMessageBox(box, IDOK); }, L"Error on save image!");
    Command(host::kCmdSaveImage);
    EXPECT_TRUE(error.Answered());
  }
  SetFileAttributesW(split_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(FileBytes(split_), before);
  // Still changed, and nothing but the picture in its folder.
  EXPECT_FALSE(SaveGreyed());
  auto files = std::filesystem::directory_iterator(folder_.File(L""));
  EXPECT_EQ(std::distance(begin(files), end(files)), 1);
}

TEST_F(SaveTest, SaveAsWritesTheChosenFormatWithItsOptionsAndRemembersThem) {
  ASSERT_TRUE(viewer_.Open(split_));
  Command(host::kCmdFlipHor);
  std::wstring saved = folder_.File(L"flipped.png");
  std::wstring folder = std::filesystem::path(saved).parent_path().wstring();
  std::wstring typeBefore, depthBefore, typeAfter, step;
  {
    DialogAnswer dialog(kSaveDialog, [&](HWND box) {
      // Whatever fails, the dialog goes: the check below reports where.
      HWND list = nullptr;
      step = L"option list";
      if (!PollUntil([&] { return (list = PropertyList(box)) != nullptr; }))
        return CancelDialog(box);
      typeBefore = ChosenFileType(box);
      int png = FileTypeIndex(box, L"Portable Network Graphics");
      step = L"PNG type";
      if (png == 0) return CancelDialog(box);
      ChooseFileType(box, png);
      step = L"PNG rows";
      if (!PollUntil([&] { return !PropertyValue(list, L"Compression Level").empty(); }))
        return CancelDialog(box);
      depthBefore = PropertyValue(list, kDepth);
      typeAfter = ChosenFileType(box);
      step = L"depth edit";
      if (!EditProperty(list, kDepth, L"8 (Indexed)")) return CancelDialog(box);
      // The folder first, as a user types it, then the name in it.
      step = L"folder";
      AnswerFileDialog(box, folder);
      if (!PollUntil([&] { return DialogFolder(box) == folder; })) return CancelDialog(box);
      step = L"done";
      AnswerFileDialog(box, L"flipped.png");
    });
    Command(host::kCmdSaveImageAs);
    ASSERT_TRUE(dialog.Answered());
  }
  ASSERT_EQ(step, L"done");
  // JPEG is chosen the first time; PNG offers its own depths.
  EXPECT_NE(typeBefore.find(L"JPEG"), std::wstring::npos) << typeBefore;
  EXPECT_NE(typeAfter.find(L"Portable Network Graphics"), std::wstring::npos) << typeAfter;
  EXPECT_EQ(depthBefore, L"24 (True color, RGB)");

  // The viewer shows the saved file, in 8 bits, mirrored.
  EXPECT_TRUE(viewer_.Shows(L"flipped.png", L"100 x 50 8 BPP")) << viewer_.Status(1);
  EXPECT_EQ(Halves(), std::make_pair(kBlue, kRed));
  EXPECT_TRUE(SaveGreyed());
  EXPECT_EQ(SaveDialogString(kSection, L"Pt_PNG"), std::to_wstring(kIndexed8));
  EXPECT_EQ(SaveDialogNumber(kSection, L"SFormat"), kFormatPNG);
  EXPECT_EQ(SaveDialogString(kSection, L"SInitialDir"), folder);

  // The next time the dialog opens on PNG with the depth chosen before.
  std::wstring typeAgain, depthAgain, folderAgain;
  {
    DialogAnswer dialog(kSaveDialog, [&](HWND box) {
      HWND list = nullptr;
      if (!PollUntil([&] { return (list = PropertyList(box)) && PropertyRowCount(list) > 0; }))
        return CancelDialog(box);
      typeAgain = ChosenFileType(box);
      folderAgain = DialogFolder(box);
      depthAgain = PropertyValue(list, kDepth);
      CancelDialog(box);
    });
    Command(host::kCmdSaveImageAs);
    ASSERT_TRUE(dialog.Answered());
  }
  EXPECT_NE(typeAgain.find(L"Portable Network Graphics"), std::wstring::npos) << typeAgain;
  EXPECT_EQ(depthAgain, L"8 (Indexed)");
  EXPECT_EQ(folderAgain, folder);
}

TEST_F(SaveTest, TheOptionListRefusesANumberOutOfRangeAndRebuildsTheJpegDepths) {
  ASSERT_TRUE(viewer_.Open(split_));
  std::wstring quality, qualityAfterBad, depthLossless, depthBack;
  bool modeChanged = false;
  {
    DialogAnswer dialog(kSaveDialog, [&](HWND box) {
      HWND list = nullptr;
      if (!PollUntil([&] { return (list = PropertyList(box)) && PropertyRowCount(list) > 0; }))
        return CancelDialog(box);
      EditProperty(list, L"Quality", L"90");
      quality = PropertyValue(list, L"Quality");
      EditProperty(list, L"Quality", L"101");
      qualityAfterBad = PropertyValue(list, L"Quality");
      modeChanged = EditProperty(list, L"Mode", L"Lossless");
      depthLossless = PropertyValue(list, kDepth);
      EditProperty(list, L"Mode", L"Baseline");
      depthBack = PropertyValue(list, kDepth);
      CancelDialog(box);
    });
    Command(host::kCmdSaveImageAs);
    ASSERT_TRUE(dialog.Answered());
  }
  EXPECT_EQ(quality, L"90");
  EXPECT_EQ(qualityAfterBad, L"90");
  EXPECT_TRUE(modeChanged);
  // Each mode edits its own depth option, with its own list.
  EXPECT_EQ(depthLossless, L"24 (True color, RGB)");
  EXPECT_EQ(depthBack, L"24 (True color, YCbCr)");
  // Cancel keeps nothing.
  EXPECT_EQ(SaveDialogString(kSection, L"Quality_JPG"), L"<none>");
}

}  // namespace

// ---- the question before a changed picture is dropped ----

constexpr wchar_t kQuestion[] = L"Warning";
constexpr wchar_t kQuestionText[] = L"before closing ?";
constexpr int kSaveAsButton = 1025, kSkipButton = 1026, kSaveButton = IDOK;
constexpr wchar_t kAlwaysIgnore[] = L"Always ignore changes";

class CloseQuestionTest : public SaveTest {
 protected:
  void SetUp() override {
    SaveTest::SetUp();
    WriteIni(std::string(kViewWithStatus) + "AskCloseUpdatedImage=#1\r\nAskDirectoryBound=#0\r\n");
    // The folder: a.bmp, b.bmp and split.bmp, in this order.
    first_ = folder_.File(L"a.bmp");
    second_ = folder_.File(L"b.bmp");
    WriteBmp(first_, 100, 50, kRed, kBlue);
    WriteBmp(second_, 40, 30, kBlue, kBlue);
  }
  // The file in the title and, once its load has ended, its size in the status bar.
  bool Shows(const wchar_t* name) {
    return viewer_.Shows(name, std::wstring(name) == L"b.bmp" ? L"40 x 30" : L"100 x 50");
  }
  // Right Arrow with the question answered by `button` (and the tick when asked);
  // what the question said, empty when it did not come.
  std::wstring NextAnswering(int button, bool tick = false) {
    return PostAnswering(viewer_.Window(), WM_KEYDOWN, VK_RIGHT, kQuestion, kQuestionText, button,
                         tick ? kAlwaysIgnore : nullptr);
  }

  std::wstring first_, second_;
};

TEST_F(CloseQuestionTest, RightArrowAfterAnEditAsksAndCancelSkipAndAlwaysIgnoreDoWhatTheySay) {
  ASSERT_TRUE(viewer_.Open(first_));
  std::string before = FileBytes(first_);
  // Nothing changed yet: on without a question.
  PostMessageW(viewer_.Window(), WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(Shows(L"b.bmp"));
  PostMessageW(viewer_.Window(), WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_TRUE(Shows(L"a.bmp"));

  Command(host::kCmdFlipHor);
  // Cancel: the edited picture stays.
  std::wstring said = NextAnswering(IDCANCEL);
  EXPECT_NE(said.find(L"Do you want to save changes to"), std::wstring::npos) << said;
  EXPECT_NE(said.find(L"\\a.bmp'\n"), std::wstring::npos) << said;
  RunPostedMessages();
  EXPECT_EQ(Text(viewer_.Frame()), TitleFor(L"a.bmp"));
  EXPECT_FALSE(SaveGreyed());
  EXPECT_EQ(Halves(), std::make_pair(kBlue, kRed));

  // Skip: on to the next, the file as it was.
  EXPECT_FALSE(NextAnswering(kSkipButton).empty());
  EXPECT_TRUE(Shows(L"b.bmp"));
  EXPECT_EQ(FileBytes(first_), before);

  // Ticked and skipped: no question about any later change.
  Command(host::kCmdFlipVer);
  EXPECT_FALSE(NextAnswering(kSkipButton, true).empty());
  ASSERT_TRUE(Shows(L"split.bmp"));
  Command(host::kCmdFlipHor);
  // From the last file of the folder back to the first.
  PostMessageW(viewer_.Window(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_TRUE(Shows(L"a.bmp"));
  EXPECT_EQ(FileBytes(first_), before);
  ASSERT_TRUE(viewer_.Close());
  EXPECT_NE(ReadIni().find("AskCloseUpdatedImage=#0"), std::string::npos) << ReadIni();
}

TEST_F(CloseQuestionTest, SaveAndSaveAsWriteTheChangeBeforeThePictureGoes) {
  ASSERT_TRUE(viewer_.Open(first_));
  std::string before = FileBytes(first_), secondBefore = FileBytes(second_);
  Command(host::kCmdFlipHor);
  EXPECT_FALSE(NextAnswering(kSaveButton).empty());
  EXPECT_TRUE(Shows(L"b.bmp"));
  EXPECT_NE(FileBytes(first_), before);

  // "Save as..." writes where the save dialog says, and the walk goes on.
  Command(host::kCmdFlipHor);
  std::wstring copy = folder_.File(L"copy.png");
  {
    DialogAnswer dialog(kSaveDialog, [&](HWND box) {
      int png = FileTypeIndex(box, L"Portable Network Graphics");
      if (png == 0) return CancelDialog(box);
      ChooseFileType(box, png);
      AnswerFileDialog(box, copy);
    });
    EXPECT_FALSE(NextAnswering(kSaveAsButton).empty());
    EXPECT_TRUE(WaitUntil([&] { return dialog.Answered(); }));
  }
  EXPECT_TRUE(Shows(L"split.bmp"));
  // A PNG file, the picture it was made from untouched.
  EXPECT_EQ(FileBytes(copy).substr(1, 3), "PNG");
  EXPECT_EQ(FileBytes(second_), secondBefore);
}

TEST_F(CloseQuestionTest, ClosingTheWindowAsksAndCancelKeepsItOpen) {
  ASSERT_TRUE(viewer_.Open(first_));
  Command(host::kCmdFlipHor);
  EXPECT_NE(PostAnswering(viewer_.Frame(), WM_CLOSE, 0, kQuestion, kQuestionText, IDCANCEL), L"");
  RunPostedMessages();
  EXPECT_TRUE(IsWindow(viewer_.Window()));
  EXPECT_FALSE(SaveGreyed());
  // The host's own close cannot be refused, but still offers to save first.
  std::string before = FileBytes(first_);
  {
    DialogAnswer answer(
        kQuestion, [](HWND box) { AnswerMessageBox(box, kSaveButton); }, kQuestionText);
    EXPECT_TRUE(viewer_.Close());
    EXPECT_TRUE(answer.Answered());
  }
  EXPECT_NE(FileBytes(first_), before);
}
