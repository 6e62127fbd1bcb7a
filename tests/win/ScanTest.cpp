// Scanning through the source manager with the test scanner: choosing it, a single
// acquisition shown as a new, changed document, and batches written to numbered files.
#include <windows.h>

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "runtime/TiffDirectory.h"
#include "win/HostKit.h"

using namespace wintest;

namespace {

// The test scanner reads what it offers from this variable when it is opened.
void OfferPages(const char* settings) { SetEnvironmentVariableA("ORBISK_TEST_SCANNER", settings); }

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        FreshStart("AutoLoadLastImage=#0\r\nShowStatusBar=#1\r\nAskCloseUpdatedImage=#1\r\n"))
        << "Orbisk library missing beside the test";
    picture_ = folder_.File(L"before.bmp");
    WriteBmp(picture_, 100, 50, 0xFF0000, 0x0000FF);
    ASSERT_TRUE(viewer_.Open(picture_));
  }
  void TearDown() override {
    OfferPages("");
    if (viewer_.Window() && changed_) {
      // A changed document left in the viewer: the question comes.
      DialogAnswer skip(L"Warning", [](HWND box) { AnswerMessageBox(box, 1026); });
      EXPECT_TRUE(viewer_.Close());
    } else if (viewer_.Window()) {
      EXPECT_TRUE(viewer_.Close());
    }
  }
  void Command(UINT command) { PostMessageW(viewer_.Window(), WM_COMMAND, command, 0); }
  bool ShowsSize(const std::wstring& size) { return StatusStarts(viewer_.Window(), size); }

  // "Batch scanning" filled in and started: the numbered files from `start` in
  // `format` (its description in the list) to the test's folder, under the pattern
  // the dialog offers.
  bool StartBatch(const wchar_t* format, int start, bool multipage = false, bool skip = false) {
    std::wstring pattern;
    DialogAnswer fill(L"Batch scanning", [&](HWND dialog) {
      TypeInto(dialog, IDC_BATCH_FOLDER, folder_.File(L""));
      pattern = ItemText(dialog, IDC_BATCH_PATTERN);
      TypeInto(dialog, IDC_BATCH_START, std::to_wstring(start));
      if (multipage) ClickButton(dialog, IDC_BATCH_MULTIPAGE);
      if (skip) ClickButton(dialog, IDC_BATCH_SKIP);
      LRESULT row = SendDlgItemMessageW(dialog, IDC_BATCH_FORMAT, CB_FINDSTRINGEXACT, WPARAM(-1),
                                        LPARAM(format));
      ChooseListEntry(dialog, IDC_BATCH_FORMAT, int(row));
      ClickButton(dialog, IDOK);
    });
    Command(host::kCmdBatchScanning);
    bool answered = WaitUntil([&] { return fill.Answered(); });
    EXPECT_EQ(pattern, L"ScanImage");
    return answered;
  }
  bool Exists(const wchar_t* name) {
    return GetFileAttributesW(folder_.File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Page count of a TIFF file: its chain of directories.
  int TiffPages(const wchar_t* name) {
    std::string bytes = FileBytes(folder_.File(name));
    glib::Libtiff::Reader reader;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    return reader.Open(std::span(data, bytes.size())) ? int(reader.Directories().size()) : 0;
  }

  TempFolder folder_;
  std::wstring picture_;
  bool changed_ = false;  // the test leaves a changed document
  StandaloneViewer viewer_;
};

TEST_F(ScanTest, SelectSourceListsTheTestScanner) {
  std::wstring offered;
  {
    DialogAnswer choose(L"Select Source", [&](HWND dialog) {
      HWND list = Child(dialog, L"ListBox");
      int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        wchar_t name[64] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 63)
          SendMessageW(list, LB_GETTEXT, i, LPARAM(name));
        offered += name + std::wstring(L"\n");
      }
      ClickButton(dialog, IDOK);
    });
    Command(host::kCmdSelectTwainSource);
    ASSERT_TRUE(WaitUntil([&] { return choose.Answered(); }));
  }
  EXPECT_NE(offered.find(L"Orbisk Test Scanner\n"), std::wstring::npos) << offered;
  // Choosing a source leaves the picture alone.
  EXPECT_TRUE(ShowsSize(L"100 x 50"));
}

TEST_F(ScanTest, AcquireShowsThePageAsANewChangedImage) {
  OfferPages("pages=1;width=320;height=200;dpi=300;type=rgb");
  Command(host::kCmdAcquireImage);
  ASSERT_TRUE(ShowsSize(L"320 x 200")) << StatusText(viewer_.Window(), 1);
  // Leaving it asks about "New Image", which cannot be saved in place.
  std::wstring said;
  {
    DialogAnswer skip(
        L"Warning", [&](HWND box) { AnswerMessageBox(box, 1026); }, L"before closing ?");
    EXPECT_TRUE(viewer_.Close());
    said = skip.SeenText();
  }
  EXPECT_NE(said.find(L"New Image"), std::wstring::npos) << said;
}

TEST_F(ScanTest, AcquireAfterAnEditAsksFirstAndCancelKeepsThePicture) {
  SendMessageW(viewer_.Window(), WM_COMMAND, host::kCmdFlipHor, 0);
  changed_ = true;
  OfferPages("pages=1;width=320;height=200");
  {
    DialogAnswer cancel(L"Warning", [](HWND box) { AnswerMessageBox(box, IDCANCEL); });
    Command(host::kCmdAcquireImage);
    ASSERT_TRUE(WaitUntil([&] { return cancel.Answered(); }));
  }
  RunPostedMessages();
  EXPECT_TRUE(ShowsSize(L"100 x 50"));
}

TEST_F(ScanTest, ABatchWritesNumberedFilesAndSkipsOnesThatAreThere) {
  OfferPages("pages=5;width=64;height=48;type=rgb");
  WriteBmp(folder_.File(L"ScanImage8.png"), 10, 10, 0x00FF00, 0x00FF00);
  std::string kept = FileBytes(folder_.File(L"ScanImage8.png"));
  ASSERT_TRUE(StartBatch(L"Portable Network Graphics", 7, false, true));
  ASSERT_TRUE(WaitUntil([&] { return Exists(L"ScanImage12.png"); }));
  for (const wchar_t* name :
       {L"ScanImage7.png", L"ScanImage9.png", L"ScanImage10.png", L"ScanImage11.png"})
    EXPECT_TRUE(Exists(name)) << name;
  EXPECT_EQ(FileBytes(folder_.File(L"ScanImage8.png")), kept);
  EXPECT_FALSE(Exists(L"ScanImage13.png"));
  // The last page stays in the viewer, which is not asked about: its pages are saved.
  EXPECT_TRUE(ShowsSize(L"64 x 48"));
}

TEST_F(ScanTest, MultipageWritesOneTiffOfEveryPage) {
  OfferPages("pages=5;width=40;height=30;type=gray");
  ASSERT_TRUE(StartBatch(L"Tagged Image File Format", 1, true));
  ASSERT_TRUE(WaitUntil([&] { return TiffPages(L"ScanImage1.tif") == 5; }))
      << TiffPages(L"ScanImage1.tif");
  EXPECT_FALSE(Exists(L"ScanImage2.tif"));
  // The scan's EXIF block names the scanner.
  EXPECT_NE(FileBytes(folder_.File(L"ScanImage1.tif")).find("Orbisk Test Scanner"),
            std::string::npos);
}

TEST_F(ScanTest, AFailedTransferKeepsTheFilesBeforeItAndACloseRequestEndsTheBatch) {
  OfferPages("pages=5;width=40;height=30;type=rgb;fail=3");
  ASSERT_TRUE(StartBatch(L"Windows Bitmap", 1));
  ASSERT_TRUE(WaitUntil([&] { return Exists(L"ScanImage2.bmp"); }));
  RunPostedMessages();
  EXPECT_FALSE(Exists(L"ScanImage3.bmp"));
  EXPECT_EQ(FileBytes(folder_.File(L"ScanImage1.bmp")).size(),
            FileBytes(folder_.File(L"ScanImage2.bmp")).size());
  // The viewer goes on: the next acquisition works.
  OfferPages("pages=2;width=50;height=20;type=rgb;close=1");
  ASSERT_TRUE(StartBatch(L"Windows Bitmap", 20));
  ASSERT_TRUE(WaitUntil([&] { return Exists(L"ScanImage20.bmp"); }));
  RunPostedMessages();
  EXPECT_FALSE(Exists(L"ScanImage21.bmp"));
  // Ended: a single acquisition afterwards is a changed document again, not a file.
  OfferPages("pages=1;width=33;height=22;type=rgb");
  changed_ = true;
  Command(host::kCmdAcquireImage);
  ASSERT_TRUE(ShowsSize(L"33 x 22"));
  EXPECT_FALSE(Exists(L"ScanImage21.bmp"));
}

}  // namespace
