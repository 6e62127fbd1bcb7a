// The test scanner: a TWAIN data source with no user interface that delivers generated
// pages through native transfers. Each test configures it through ORBISK_TEST_SCANNER
// (read when the source is opened and when it is enabled), for example
//   pages=5;width=320;height=200;dpi=300;type=rgb;fail=3;close=2;xfercount=unsigned;log=C:\x.log
// The pixels follow TestSourcePattern.h. One source per process: the source manager
// opens it at most once at a time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TestSourcePattern.h"
#include "shell/TwainProtocol.h"

using namespace twain;

namespace {

constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;  // bounds every bitmap we allocate
constexpr int kMaxSide = 65535;
constexpr UINT kNotifyMessage = WM_APP + 1;  // wParam: the TWAIN message to raise
constexpr wchar_t kEventClass[] = L"OrbiskTestSourceEvents";

enum class PixelKind { Rgb, Gray, Bw };

struct Config {
  int pages = 1;
  int width = 64;
  int height = 48;
  int dpi = 300;
  PixelKind kind = PixelKind::Rgb;
  int failAt = 0;   // the native transfer (1-based) that fails, 0 for none
  int closeAt = 0;  // the transfer after whose end the batch stops, 0 for the last
  bool unsignedXferCount = false;
  std::string logPath;
};

// TWAIN states as a source sees them.
enum class State { Loaded = 3, Open = 4, Enabled = 5, XferReady = 6, Transferring = 7 };

struct Source {
  State state = State::Loaded;
  Config config;
  TW_IDENTITY self{};
  TW_IDENTITY app{};
  TW_UINT16 condition = TWCC_SUCCESS;
  TW_INT16 xferCount = -1;
  int pending = 0;
  int transfersStarted = 0;  // native transfers asked for in this batch
  int transfersEnded = 0;    // MSG_ENDXFERs in this batch
  HWND events = nullptr;
};

HINSTANCE g_instance = nullptr;
Source g_source;

void CopyName(TW_STR32& to, const char* from) {
  std::strncpy(to, from, sizeof(TW_STR32) - 1);
  to[sizeof(TW_STR32) - 1] = '\0';
}

void FillIdentity(TW_IDENTITY& id) {
  id.Version.MajorNum = 1;
  id.Version.MinorNum = 0;
  id.Version.Language = 13;  // English
  id.Version.Country = 1;    // USA
  CopyName(id.Version.Info, "Orbisk test fixture");
  id.ProtocolMajor = kProtocolMajor;
  id.ProtocolMinor = kProtocolMinor;
  id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyName(id.Manufacturer, "Orbisk");
  CopyName(id.ProductFamily, "Test");
  CopyName(id.ProductName, "Orbisk Test Scanner");
}

// ---- configuration ---------------------------------------------------------------------

bool ParseInt(const std::string& text, int low, int high, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  int value = std::atoi(text.c_str());
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool ApplySetting(Config& config, const std::string& key, const std::string& value) {
  if (key == "pages") return ParseInt(value, 0, 10000, config.pages);
  if (key == "width") return ParseInt(value, 1, kMaxSide, config.width);
  if (key == "height") return ParseInt(value, 1, kMaxSide, config.height);
  if (key == "dpi") return ParseInt(value, 1, 32767, config.dpi);
  if (key == "fail") return ParseInt(value, 1, 10000, config.failAt);
  if (key == "close") return ParseInt(value, 1, 10000, config.closeAt);
  if (key == "log") {
    config.logPath = value;
    return !value.empty();
  }
  if (key == "xfercount") {
    config.unsignedXferCount = value == "unsigned";
    return config.unsignedXferCount || value == "signed";
  }
  if (key != "type") return false;
  static const struct {
    const char* name;
    PixelKind kind;
  } kTypes[] = {{"rgb", PixelKind::Rgb}, {"gray", PixelKind::Gray}, {"bw", PixelKind::Bw}};
  for (const auto& type : kTypes)
    if (value == type.name) {
      config.kind = type.kind;
      return true;
    }
  return false;
}

// False for an unknown key, a bad value or a picture over the pixel limit.
bool ReadConfig(Config& config) {
  config = Config{};
  char buffer[2048];
  DWORD length = GetEnvironmentVariableA("ORBISK_TEST_SCANNER", buffer, sizeof buffer);
  if (length >= sizeof buffer) return false;
  std::string text(buffer, length);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    size_t equals = item.find('=');
    if (equals == std::string::npos) return false;
    if (!ApplySetting(config, item.substr(0, equals), item.substr(equals + 1))) return false;
  }
  return uint64_t(config.width) * uint64_t(config.height) <= kMaxPixels;
}

void Log(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 rc) {
  if (g_source.config.logPath.empty()) return;
  HANDLE file = CreateFileA(g_source.config.logPath.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[64];
  int n = std::snprintf(line, sizeof line, "%04lx %04x %04x -> %04x\r\n",
                        static_cast<unsigned long>(dg), dat, msg, rc);
  DWORD written = 0;
  WriteFile(file, line, DWORD(n), &written, nullptr);
  CloseHandle(file);
}

// ---- events to the application ---------------------------------------------------------

// Raised from the source's hidden window, so the application sees the event once it is
// back in its message loop, never from inside the call that caused it.
void RaiseLater(TW_UINT16 message) {
  if (g_source.events) PostMessageW(g_source.events, kNotifyMessage, message, 0);
}

void Raise(TW_UINT16 message) {
  HMODULE manager = GetModuleHandleA("twain_32.dll");
  if (!manager) return;
  auto entry =
      reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(manager, "DSM_Entry")));
  if (entry) entry(&g_source.self, &g_source.app, DG_CONTROL, DAT_NULL, message, nullptr);
}

void StartBatch() {
  Source& s = g_source;
  s.pending = s.config.pages;
  if (s.xferCount > 0 && s.xferCount < s.pending) s.pending = s.xferCount;
  s.transfersStarted = 0;
  s.transfersEnded = 0;
  if (s.pending == 0) {  // an empty feeder: the scanner's window closes at once
    Raise(MSG_CLOSEDSREQ);
    return;
  }
  s.state = State::XferReady;
  Raise(MSG_XFERREADY);
}

LRESULT CALLBACK EventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message != kNotifyMessage) return DefWindowProcW(window, message, wParam, lParam);
  // The state may have moved on since the event was posted.
  if (wParam == MSG_XFERREADY && g_source.state == State::Enabled) StartBatch();
  if (wParam == MSG_CLOSEDSREQ && g_source.state == State::Enabled) Raise(MSG_CLOSEDSREQ);
  return 0;
}

bool CreateEventWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = EventWindowProc;
  wc.hInstance = g_instance;
  wc.lpszClassName = kEventClass;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  g_source.events = CreateWindowExW(0, kEventClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    g_instance, nullptr);
  return g_source.events != nullptr;
}

// ---- triplets ---------------------------------------------------------------------------

TW_UINT16 Fail(TW_UINT16 condition) {
  g_source.condition = condition;
  return TWRC_FAILURE;
}

bool IsOpen() { return g_source.state >= State::Open; }

TW_UINT16 OnIdentity(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data) {
  Source& s = g_source;
  auto* id = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GET:
      if (!id) return Fail(TWCC_BADVALUE);
      FillIdentity(*id);  // the manager's Id stays as it is
      return TWRC_SUCCESS;
    case MSG_OPENDS: {
      if (IsOpen()) return Fail(TWCC_SEQERROR);
      if (!id || !origin) return Fail(TWCC_BADVALUE);
      Config config;
      if (!ReadConfig(config)) return Fail(TWCC_BADVALUE);
      if (!CreateEventWindow()) return Fail(TWCC_LOWMEMORY);
      s.config = config;
      FillIdentity(*id);
      s.self = *id;
      s.app = *origin;
      s.xferCount = -1;
      s.pending = 0;
      s.state = State::Open;
      return TWRC_SUCCESS;
    }
    case MSG_CLOSEDS:
      // Closed from any open state: Wine's manager forgets a source whose close failed,
      // and closes open sources itself on MSG_CLOSEDSM, passing something else than an
      // identity (data is not read).
      if (!IsOpen()) return Fail(TWCC_SEQERROR);
      DestroyWindow(s.events);
      s.events = nullptr;
      s.state = State::Loaded;
      return TWRC_SUCCESS;
  }
  return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 GetXferCount(TW_CAPABILITY& cap) {
  HGLOBAL handle = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
  if (!handle) return Fail(TWCC_LOWMEMORY);
  auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(handle));
  one->ItemType = TWTY_INT16;
  one->Item = TW_UINT16(g_source.xferCount);
  GlobalUnlock(handle);
  cap.ConType = TWON_ONEVALUE;
  cap.hContainer = handle;  // the application's to free
  return TWRC_SUCCESS;
}

TW_UINT16 SetXferCount(const TW_CAPABILITY& cap) {
  if (g_source.state != State::Open) return Fail(TWCC_SEQERROR);
  if (cap.ConType != TWON_ONEVALUE || !cap.hContainer ||
      GlobalSize(cap.hContainer) < sizeof(TW_ONEVALUE))
    return Fail(TWCC_BADVALUE);
  auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer));
  if (!one) return Fail(TWCC_BADVALUE);
  TW_UINT16 type = one->ItemType;
  auto value = TW_INT16(TW_UINT16(one->Item));
  GlobalUnlock(cap.hContainer);
  if (type != TWTY_INT16 && type != TWTY_UINT16) return Fail(TWCC_BADVALUE);
  if (type == TWTY_INT16 && g_source.config.unsignedXferCount) {
    g_source.condition = TWCC_BADVALUE;
    return TWRC_CHECKSTATUS;  // this model takes the count only as an unsigned value
  }
  if (value == 0 || value < -1) return Fail(TWCC_BADVALUE);
  g_source.xferCount = value;
  return TWRC_SUCCESS;
}

TW_UINT16 OnCapability(TW_UINT16 msg, TW_MEMREF data) {
  if (!IsOpen()) return Fail(TWCC_SEQERROR);
  auto* cap = static_cast<TW_CAPABILITY*>(data);
  if (!cap) return Fail(TWCC_BADVALUE);
  if (cap->Cap != CAP_XFERCOUNT) return Fail(TWCC_CAPUNSUPPORTED);
  if (msg == MSG_GET) return GetXferCount(*cap);
  if (msg == MSG_SET) return SetXferCount(*cap);
  return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 OnUserInterface(TW_UINT16 msg, TW_MEMREF data) {
  Source& s = g_source;
  if (msg == MSG_ENABLEDS) {
    if (s.state != State::Open) return Fail(TWCC_SEQERROR);
    if (!data) return Fail(TWCC_BADVALUE);
    Config config;
    if (!ReadConfig(config)) return Fail(TWCC_BADVALUE);
    s.config = config;
    s.state = State::Enabled;
    RaiseLater(MSG_XFERREADY);
    return TWRC_SUCCESS;
  }
  if (msg == MSG_DISABLEDS) {
    if (s.state != State::Enabled) return Fail(TWCC_SEQERROR);
    s.state = State::Open;
    return TWRC_SUCCESS;
  }
  return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 OnPendingXfers(TW_UINT16 msg, TW_MEMREF data) {
  Source& s = g_source;
  auto* pending = static_cast<TW_PENDINGXFERS*>(data);
  if (s.state != State::XferReady && s.state != State::Transferring) return Fail(TWCC_SEQERROR);
  if (!pending) return Fail(TWCC_BADVALUE);
  if (msg == MSG_ENDXFER) {
    ++s.transfersEnded;
    --s.pending;
    if (s.config.closeAt == s.transfersEnded) s.pending = 0;  // the user closed the window
  } else if (msg == MSG_RESET) {
    s.pending = 0;
  } else {
    return Fail(TWCC_BADPROTOCOL);
  }
  pending->Count = TW_UINT16(s.pending);
  pending->EOJ = 0;
  s.state = s.pending > 0 ? State::XferReady : State::Enabled;
  if (msg == MSG_ENDXFER && s.pending == 0) RaiseLater(MSG_CLOSEDSREQ);
  return TWRC_SUCCESS;
}

TW_UINT16 OnEvent(TW_MEMREF data) {
  auto* event = static_cast<TW_EVENT*>(data);
  if (!IsOpen()) return Fail(TWCC_SEQERROR);
  if (!event) return Fail(TWCC_BADVALUE);
  event->TWMessage = MSG_NULL;
  return TWRC_NOTDSEVENT;  // no user interface: no message is ours
}

TW_UINT16 OnStatus(TW_MEMREF data) {
  auto* status = static_cast<TW_STATUS*>(data);
  if (!status) return Fail(TWCC_BADVALUE);
  status->ConditionCode = g_source.condition;
  status->Reserved = 0;
  g_source.condition = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

// ---- images ------------------------------------------------------------------------------

struct Layout {
  int bitsPerPixel;
  int paletteEntries;
  size_t stride;
};

Layout LayoutOf(const Config& c) {
  int bits = c.kind == PixelKind::Rgb ? 24 : c.kind == PixelKind::Gray ? 8 : 1;
  int colours = c.kind == PixelKind::Rgb ? 0 : c.kind == PixelKind::Gray ? 256 : 2;
  size_t stride = ((size_t(c.width) * bits + 31) / 32) * 4;
  return {bits, colours, stride};
}

TW_UINT16 OnImageInfo(TW_MEMREF data) {
  const Config& c = g_source.config;
  auto* info = static_cast<TW_IMAGEINFO*>(data);
  if (g_source.state != State::XferReady && g_source.state != State::Transferring)
    return Fail(TWCC_SEQERROR);
  if (!info) return Fail(TWCC_BADVALUE);
  *info = TW_IMAGEINFO{};
  info->XResolution = {TW_INT16(c.dpi), 0};
  info->YResolution = {TW_INT16(c.dpi), 0};
  info->ImageWidth = c.width;
  info->ImageLength = c.height;
  bool rgb = c.kind == PixelKind::Rgb;
  info->SamplesPerPixel = rgb ? 3 : 1;
  for (int i = 0; i < info->SamplesPerPixel; ++i)
    info->BitsPerSample[i] = c.kind == PixelKind::Bw ? 1 : 8;
  info->BitsPerPixel = TW_INT16(LayoutOf(c).bitsPerPixel);
  info->PixelType = rgb ? TWPT_RGB : c.kind == PixelKind::Gray ? TWPT_GRAY : TWPT_BW;
  return TWRC_SUCCESS;
}

void FillPalette(RGBQUAD* palette, int entries) {
  for (int i = 0; i < entries; ++i) {
    auto level = BYTE(entries == 2 ? i * 255 : i);
    palette[i] = RGBQUAD{level, level, level, 0};
  }
}

void FillRow(BYTE* row, const Config& c, int page, int y) {
  namespace p = orbisk::testsource;
  for (int x = 0; x < c.width; ++x) {
    if (c.kind == PixelKind::Rgb) {
      row[3 * x] = p::RgbBlue(page, x, y);  // a DIB stores blue first
      row[3 * x + 1] = p::RgbGreen(page, x, y);
      row[3 * x + 2] = p::RgbRed(page, x, y);
    } else if (c.kind == PixelKind::Gray) {
      row[x] = p::GrayLevel(page, x, y);
    } else if (p::BwIndex(page, x, y)) {
      row[x / 8] |= BYTE(0x80 >> (x % 8));
    }
  }
}

// A packed DIB of the current page: header, palette, rows bottom-up.
HGLOBAL MakeDib(const Config& c, int page) {
  Layout layout = LayoutOf(c);
  size_t header = sizeof(BITMAPINFOHEADER) + size_t(layout.paletteEntries) * sizeof(RGBQUAD);
  size_t pixels = layout.stride * size_t(c.height);  // bounded by kMaxPixels in ReadConfig
  HGLOBAL handle = GlobalAlloc(GHND, header + pixels);
  if (!handle) return nullptr;
  auto* bytes = static_cast<BYTE*>(GlobalLock(handle));
  auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(bytes);
  bih->biSize = sizeof(BITMAPINFOHEADER);
  bih->biWidth = c.width;
  bih->biHeight = c.height;
  bih->biPlanes = 1;
  bih->biBitCount = WORD(layout.bitsPerPixel);
  bih->biCompression = BI_RGB;
  bih->biSizeImage = DWORD(pixels);
  bih->biXPelsPerMeter = LONG((c.dpi * 10000 + 127) / 254);
  bih->biYPelsPerMeter = bih->biXPelsPerMeter;
  bih->biClrUsed = DWORD(layout.paletteEntries);
  FillPalette(reinterpret_cast<RGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER)), layout.paletteEntries);
  for (int y = 0; y < c.height; ++y)
    FillRow(bytes + header + size_t(c.height - 1 - y) * layout.stride, c, page, y);
  GlobalUnlock(handle);
  return handle;
}

TW_UINT16 OnNativeXfer(TW_MEMREF data) {
  Source& s = g_source;
  if (s.state != State::XferReady) return Fail(TWCC_SEQERROR);
  if (!data) return Fail(TWCC_BADVALUE);
  int transfer = ++s.transfersStarted;
  if (transfer == s.config.failAt) return Fail(TWCC_OPERATIONERROR);
  HGLOBAL dib = MakeDib(s.config, s.transfersEnded + 1);
  if (!dib) return Fail(TWCC_LOWMEMORY);
  *static_cast<TW_HANDLE*>(data) = dib;
  s.state = State::Transferring;
  return TWRC_XFERDONE;
}

TW_UINT16 Dispatch(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                   TW_MEMREF data) {
  if (dg == DG_CONTROL) {
    switch (dat) {
      case DAT_IDENTITY:
        return OnIdentity(origin, msg, data);
      case DAT_CAPABILITY:
        return OnCapability(msg, data);
      case DAT_USERINTERFACE:
        return OnUserInterface(msg, data);
      case DAT_EVENT:
        return msg == MSG_PROCESSEVENT ? OnEvent(data) : Fail(TWCC_BADPROTOCOL);
      case DAT_PENDINGXFERS:
        return OnPendingXfers(msg, data);
      case DAT_STATUS:
        return msg == MSG_GET ? OnStatus(data) : Fail(TWCC_BADPROTOCOL);
    }
  } else if (dg == DG_IMAGE && msg == MSG_GET) {
    if (dat == DAT_IMAGEINFO) return OnImageInfo(data);
    if (dat == DAT_IMAGENATIVEXFER) return OnNativeXfer(data);
  }
  return Fail(TWCC_BADPROTOCOL);
}

}  // namespace

// Exported undecorated through TestSource.def in both bitnesses.
extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat,
                                     TW_UINT16 msg, TW_MEMREF data) {
  TW_UINT16 rc = Dispatch(origin, dg, dat, msg, data);
  Log(dg, dat, msg, rc);
  return rc;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {  // unloaded, not at process exit
    if (g_source.events) DestroyWindow(g_source.events);
    UnregisterClassW(kEventClass, instance);
  }
  return TRUE;
}
