// The test scanner (twainds/) driven through Wine's real source manager, as an
// application would: a hidden window, a message loop that hands every message to the
// manager first, and the events the source raises read back from it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "TestSourcePattern.h"
#include "shell/TwainProtocol.h"

using namespace twain;
namespace pattern = orbisk::testsource;

namespace {

constexpr DWORD kDeadlineMs = 20000;

class Session {
 public:
  explicit Session(const char* config) {
    SetEnvironmentVariableA("ORBISK_TEST_SCANNER", config);
    manager_ = LoadLibraryA("twain_32.dll");
    if (manager_)
      entry_ = reinterpret_cast<DSMENTRYPROC>(
          reinterpret_cast<void*>(GetProcAddress(manager_, "DSM_Entry")));
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    app_.Version.MajorNum = 1;
    app_.ProtocolMajor = kProtocolMajor;
    app_.ProtocolMinor = kProtocolMinor;
    app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpyA(app_.ProductName, "TwainSourceTest");
  }
  ~Session() {
    TW_PENDINGXFERS pending{};
    if (open_) Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    if (enabled_) Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui_);
    if (open_) Manager(DAT_IDENTITY, MSG_CLOSEDS, &source_);
    if (managerOpen_) Manager(DAT_PARENT, MSG_CLOSEDSM, &window_);
    DestroyWindow(window_);
  }

  TW_UINT16 Manager(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return entry_(&app_, nullptr, DG_CONTROL, dat, msg, data);
  }
  TW_UINT16 Source(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return entry_(&app_, &source_, dg, dat, msg, data);
  }
  TW_UINT16 Condition() {
    TW_STATUS status{};
    Source(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
  }

  // Finds the test scanner in the manager's list; the answer of MSG_OPENDS.
  TW_UINT16 Open() {
    if (!entry_ || Manager(DAT_PARENT, MSG_OPENDSM, &window_) != TWRC_SUCCESS) return 0xFFFF;
    managerOpen_ = true;
    TW_IDENTITY id{};
    TW_UINT16 listed = Manager(DAT_IDENTITY, MSG_GETFIRST, &id);
    while (listed == TWRC_SUCCESS && std::string(id.ProductName) != "Orbisk Test Scanner")
      listed = Manager(DAT_IDENTITY, MSG_GETNEXT, &id);
    if (listed != TWRC_SUCCESS) return 0xFFFE;
    source_ = id;
    TW_UINT16 rc = Manager(DAT_IDENTITY, MSG_OPENDS, &source_);
    open_ = rc == TWRC_SUCCESS;
    return rc;
  }

  TW_UINT16 SetXferCount(TW_UINT16 type, TW_UINT32 value) {
    TW_CAPABILITY cap{CAP_XFERCOUNT, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
    *one = TW_ONEVALUE{type, value};
    GlobalUnlock(cap.hContainer);
    TW_UINT16 rc = Source(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    GlobalFree(cap.hContainer);
    return rc;
  }

  TW_UINT16 Enable() {
    ui_ = TW_USERINTERFACE{FALSE, FALSE, window_};
    TW_UINT16 rc = Source(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui_);
    enabled_ = rc == TWRC_SUCCESS;
    return rc;
  }

  // Opens and enables the source and waits until its first image is ready.
  bool StartTransfers() {
    return Open() == TWRC_SUCCESS && Enable() == TWRC_SUCCESS && WaitForEvent(MSG_XFERREADY);
  }

  // Runs the message loop until the source has raised `wanted`; false at the deadline.
  bool WaitForEvent(TW_UINT16 wanted) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kDeadlineMs) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TW_EVENT event{&msg, MSG_NULL};
        if (Source(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT) {
          if (event.TWMessage != MSG_NULL) events_.push_back(event.TWMessage);
          continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      for (size_t i = 0; i < events_.size(); ++i)
        if (events_[i] == wanted) return events_.erase(events_.begin() + long(i)), true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return false;
  }

  // One native transfer; the DIB's bytes, empty when the transfer did not complete.
  std::vector<BYTE> Transfer(TW_UINT16& rc) {
    TW_HANDLE handle = nullptr;
    rc = Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc != TWRC_XFERDONE || !handle) return {};
    auto* bytes = static_cast<BYTE*>(GlobalLock(handle));
    std::vector<BYTE> dib(bytes, bytes + GlobalSize(handle));
    GlobalUnlock(handle);
    GlobalFree(handle);
    return dib;
  }

  TW_UINT16 EndXfer() {
    TW_PENDINGXFERS pending{0xBEEF, 0};
    EXPECT_EQ(Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }

 private:
  HMODULE manager_ = nullptr;
  DSMENTRYPROC entry_ = nullptr;
  HWND window_ = nullptr;
  TW_IDENTITY app_{};
  TW_IDENTITY source_{};
  TW_USERINTERFACE ui_{};
  bool managerOpen_ = false, open_ = false, enabled_ = false;
  std::vector<TW_UINT16> events_;
};

const BITMAPINFOHEADER& Header(const std::vector<BYTE>& dib) {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

// Pixel (x, y) from the top of a bottom-up DIB: the palette index, or for 24 bits the
// red byte.
int PixelAt(const std::vector<BYTE>& dib, int x, int y) {
  const BITMAPINFOHEADER& h = Header(dib);
  size_t stride = ((size_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  const BYTE* row =
      dib.data() + h.biSize + h.biClrUsed * sizeof(RGBQUAD) + size_t(h.biHeight - 1 - y) * stride;
  if (h.biBitCount == 24) return row[3 * x + 2];
  if (h.biBitCount == 8) return row[x];
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

TEST(TwainSourceTest, IsListedAndTransfersThreePagesThatTellThemselvesApart) {
  char log[MAX_PATH];
  GetTempPathA(MAX_PATH, log);
  lstrcatA(log, "orbisk-twainds.log");
  DeleteFileA(log);
  std::string config = std::string("pages=5;width=50;height=7;dpi=150;log=") + log;
  Session session(config.c_str());
  ASSERT_EQ(session.Open(), TWRC_SUCCESS);
  ASSERT_EQ(session.SetXferCount(TWTY_INT16, 3), TWRC_SUCCESS);
  ASSERT_EQ(session.Enable(), TWRC_SUCCESS);
  ASSERT_TRUE(session.WaitForEvent(MSG_XFERREADY));
  for (int page = 1; page <= 3; ++page) {
    TW_IMAGEINFO info{};
    ASSERT_EQ(session.Source(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(info.ImageWidth, 50);
    EXPECT_EQ(info.XResolution.Whole, 150);
    TW_UINT16 rc = 0;
    std::vector<BYTE> dib = session.Transfer(rc);
    ASSERT_EQ(rc, TWRC_XFERDONE);
    ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER) + 52 * 7);
    EXPECT_EQ(Header(dib).biWidth, 50);
    EXPECT_EQ(Header(dib).biHeight, 7);
    EXPECT_EQ(Header(dib).biBitCount, 24);
    EXPECT_EQ(Header(dib).biXPelsPerMeter, 5906);
    EXPECT_EQ(PixelAt(dib, 0, 0), pattern::RgbRed(page, 0, 0));
    EXPECT_EQ(session.EndXfer(), 3 - page);
  }
  EXPECT_TRUE(session.WaitForEvent(MSG_CLOSEDSREQ));
  // The log shows our module answered the manager's open.
  char text[4096] = {};
  HANDLE file = CreateFileA(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  DWORD read = 0;
  ReadFile(file, text, sizeof text - 1, &read, nullptr);
  CloseHandle(file);
  EXPECT_NE(std::string(text).find("0001 0003 0401 -> 0000"), std::string::npos) << text;
}

TEST(TwainSourceTest, GreyAndBlackAndWhitePagesCarryTheirPalettes) {
  for (const char* type : {"gray", "bw"}) {
    std::string config = std::string("width=20;height=3;type=") + type;
    Session session(config.c_str());
    ASSERT_TRUE(session.StartTransfers());
    TW_UINT16 rc = 0;
    std::vector<BYTE> dib = session.Transfer(rc);
    ASSERT_EQ(rc, TWRC_XFERDONE) << type;
    bool gray = type[0] == 'g';
    EXPECT_EQ(Header(dib).biBitCount, gray ? 8 : 1);
    EXPECT_EQ(Header(dib).biClrUsed, gray ? 256u : 2u);
    for (int x = 0; x < 20; ++x)
      EXPECT_EQ(PixelAt(dib, x, 0), gray ? pattern::GrayLevel(1, x, 0) : pattern::BwIndex(1, x, 0))
          << type << " x=" << x;
    EXPECT_EQ(PixelAt(dib, 3, 2), gray ? pattern::GrayLevel(1, 3, 2) : pattern::BwIndex(1, 3, 2));
    EXPECT_EQ(session.EndXfer(), 0);
  }
}

TEST(TwainSourceTest, FailsTheChosenTransferAndGoesOn) {
  Session session("pages=3;fail=2");
  ASSERT_TRUE(session.StartTransfers());
  TW_UINT16 rc = 0;
  session.Transfer(rc);
  EXPECT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(session.EndXfer(), 2);
  session.Transfer(rc);
  EXPECT_EQ(rc, TWRC_FAILURE);
  EXPECT_EQ(session.Condition(), TWCC_OPERATIONERROR);
  EXPECT_EQ(session.EndXfer(), 1);
  std::vector<BYTE> dib = session.Transfer(rc);
  ASSERT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(PixelAt(dib, 0, 0), 3);
}

TEST(TwainSourceTest, ClosingAfterTheFirstPageEndsTheBatch) {
  Session session("pages=3;close=1");
  ASSERT_TRUE(session.StartTransfers());
  TW_UINT16 rc = 0;
  session.Transfer(rc);
  EXPECT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(session.EndXfer(), 0);
  EXPECT_TRUE(session.WaitForEvent(MSG_CLOSEDSREQ));
}

TEST(TwainSourceTest, RefusesWhatItCannotDo) {
  {
    Session session("xfercount=unsigned");
    ASSERT_EQ(session.Open(), TWRC_SUCCESS);
    EXPECT_EQ(session.SetXferCount(TWTY_INT16, 1), TWRC_CHECKSTATUS);
    EXPECT_EQ(session.SetXferCount(TWTY_UINT16, 1), TWRC_SUCCESS);
    // Out of sequence, without data, an unknown capability.
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(session.Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(session.Condition(), TWCC_SEQERROR);
    EXPECT_EQ(session.Source(DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr), TWRC_FAILURE);
    TW_CAPABILITY other{0x1101, TWON_ONEVALUE, nullptr};
    EXPECT_EQ(session.Source(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &other), TWRC_FAILURE);
    EXPECT_EQ(session.Condition(), TWCC_CAPUNSUPPORTED);
  }
  Session oversized("width=10000;height=10000");
  EXPECT_EQ(oversized.Open(), TWRC_FAILURE);
}

}  // namespace
