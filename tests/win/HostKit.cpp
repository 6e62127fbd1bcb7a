#include "win/HostKit.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <sstream>
#include <utility>

#include "app/StandaloneFrame.h"
#include "filters/FilterManager.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/ImageSave.h"
#include "formats/Retcode.h"
#include "platform/Text.h"
#include "runtime/TiffDirectory.h"
#include "ui/Controls.h"

namespace wintest {
namespace {

constexpr wchar_t kProfileKey[] = L"Software\\Quintel\\Settings";

std::map<HWND, HostWindow*>& Hosts() {
  static std::map<HWND, HostWindow*> hosts;
  return hosts;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto it = Hosts().find(window);
  HostWindow* host = it == Hosts().end() ? nullptr : it->second;
  if (host) {
    switch (message) {
      case WM_COMMAND:
        if (lparam) host->commands.emplace_back(wparam, lparam);
        return 0;
      case WM_KEYDOWN:
        host->keys.push_back(UINT(wparam));
        if (wparam == VK_ESCAPE) {
          if (host->stub) Viewer().listClose(host->stub);
          DestroyWindow(window);
          return 0;
        }
        if (wparam >= '1' && wparam <= '7' && host->stub) {
          Viewer().listClose(host->stub);  // another view mode takes over the window
          host->stub = nullptr;
        }
        return 0;
      case WM_CLOSE:
        if (host->stub) Viewer().listClose(host->stub);
        host->stub = nullptr;
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        host->destroyed = true;
        Hosts().erase(window);
        return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The host classes belong to a module of their own: class names ignore letter case,
// and this program has a frame class "Orbisk" already.
HINSTANCE HostModule() { return GetModuleHandleW(L"kernel32.dll"); }

void RegisterHostClass(const wchar_t* name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &HostProc;
  wc.hInstance = HostModule();
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);  // a second registration fails harmlessly
}

HKEY OpenProfile() {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kProfileKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

}  // namespace

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

const Library& Viewer() {
  static Library library = [] {
    Library l;
#if defined(_WIN64)
    std::wstring path = BinFolder() + L"Orbisk.wlx64";
#else
    std::wstring path = BinFolder() + L"Orbisk.wlx";
#endif
    l.module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (l.module) {
      l.listLoad = reinterpret_cast<ListLoadEntry>(
          reinterpret_cast<void*>(GetProcAddress(l.module, "ListLoad")));
      l.listClose = reinterpret_cast<ListCloseEntry>(
          reinterpret_cast<void*>(GetProcAddress(l.module, "ListCloseWindow")));
    }
    return l;
  }();
  return library;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

namespace {

// Markers go to a window of their own, so that a modal loop that runs meanwhile
// dispatches them too instead of dropping them as thread messages.
constexpr UINT kMarker = WM_APP + 0x3FF0;
volatile LONG markersSeen = 0;

LRESULT CALLBACK MarkerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kMarker) {
    InterlockedIncrement(&markersSeen);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND MarkerWindow() {
  static HWND window = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MarkerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrbiskTestMarker";
    RegisterClassW(&wc);
    return CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                         nullptr);
  }();
  return window;
}

}  // namespace

bool RunPostedMessages(DWORD timeoutMs) {
  // A marker posted behind everything else: once it has been dispatched, so has what
  // was posted before it. Rounds go on while they run anything new.
  const DWORD start = GetTickCount();
  HWND marker = MarkerWindow();
  for (int round = 0; round < 200; ++round) {
    const LONG before = markersSeen;
    PostMessageW(marker, kMarker, 0, 0);
    bool ranOthers = false;
    while (markersSeen == before) {
      MSG msg;
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        continue;
      }
      if (msg.hwnd != marker && msg.message != WM_TIMER && msg.message != WM_PAINT)
        ranOthers = true;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!ranOthers) return true;
  }
  return false;
}

namespace {
std::wstring IniPath() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_CREATE, nullptr, 0, folder);
  return std::wstring(folder) + L"\\Orbisk\\Orbisk.ini";
}
}  // namespace

void WriteIni(const std::string& settingsLines) {
  std::filesystem::create_directories(std::filesystem::path(IniPath()).parent_path());
  std::ofstream out(std::filesystem::path(IniPath()), std::ios::binary);
  out << "[Settings]\r\n" << settingsLines;
  // A changed picture is dropped without the question unless a test asks for it.
  if (settingsLines.find("AskCloseUpdatedImage=") == std::string::npos)
    out << "AskCloseUpdatedImage=#0\r\n";
}

std::string ReadIni() {
  std::ifstream in(std::filesystem::path(IniPath()), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FreshStart(const std::string& settingsLines) {
  if (!Viewer().listLoad) return false;
  ResetProfile();
  WriteIni(settingsLines);
  return true;
}

void SetProfileString(const wchar_t* name, const std::wstring& value) {
  HKEY key = OpenProfile();
  // The library reads the 8-bit form.
  std::string narrow(value.begin(), value.end());
  RegSetValueExA(key, std::string(name, name + wcslen(name)).c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(narrow.c_str()), DWORD(narrow.size() + 1));
  RegCloseKey(key);
}

std::wstring ProfileString(const wchar_t* name) { return RegistryString(kProfileKey, name, L""); }

void SetProfileNumber(const wchar_t* name, DWORD value) {
  HKEY key = OpenProfile();
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

DWORD ProfileNumber(const wchar_t* name) {
  HKEY key = OpenProfile();
  DWORD value = 0xFFFFFFFF, size = sizeof value, type = 0;
  RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return value;
}

void ResetProfile() {
  HKEY key = OpenProfile();
  for (const wchar_t* name : {L"LastOpenedImage", L"LastOpenedImageW", L"PassImage"}) {
    RegDeleteValueW(key, name);
  }
  DWORD zero = 0;
  RegSetValueExW(key, L"FirstRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
  RegCloseKey(key);
}

std::wstring TestData(const wchar_t* relative) {
  wchar_t data[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ORBISK_TEST_DATA", data, MAX_PATH);
  return std::wstring(data) + L"/" + relative;
}

namespace {

// A bottom-up BMP of 24 or 32 bits; each row's pixels from colourAt(x) as 0xRRGGBB
// (32-bit ones opaque).
void WriteBmpRows(const std::wstring& path, int width, int height, int bits,
                  const std::function<uint32_t(int x)>& colourAt) {
  const int bytes = bits / 8;
  const int stride = (width * bytes + 3) & ~3;
  std::vector<uint8_t> file(54 + size_t(stride) * size_t(height), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, uint32_t(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(width));
  put32(22, uint32_t(height));
  file[26] = 1;
  file[28] = uint8_t(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t at = 54 + size_t(y) * size_t(stride) + size_t(x) * size_t(bytes);
      uint32_t c = colourAt(x) | 0xFF000000u;
      for (int i = 0; i < bytes; ++i) file[at + size_t(i)] = uint8_t(c >> (8 * i));
    }
  }
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

}  // namespace

void WriteBmp(const std::wstring& path, int width, int height, uint32_t colour,
              int64_t rightColour) {
  WriteBmpRows(path, width, height, 24, [&](int x) {
    return rightColour >= 0 && x >= width / 2 ? uint32_t(rightColour) : colour;
  });
}

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  path_ = std::wstring(base) + L"orbisk-win-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter++) + L"\\";
  std::filesystem::create_directories(std::filesystem::path(path_));
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

std::wstring Text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[257] = {};
  GetClassNameW(window, name, 257);
  return name;
}

HWND Child(HWND parent, const wchar_t* className) {
  return FindWindowExW(parent, nullptr, className, nullptr);
}

std::vector<uint32_t> PictureGrid(HWND window) {
  UpdateWindow(window);
  RECT client{};
  GetClientRect(window, &client);
  std::vector<uint32_t> grid;
  for (int y = 1; y < 32; ++y)
    for (int x = 1; x < 32; ++x)
      grid.push_back(PixelAt(window, client.right * x / 32, client.bottom * y / 32));
  return grid;
}

HWND InfoPanel(HWND viewer) { return Child(viewer, L"OrbiskInfoList"); }

HWND InfoListBox(HWND viewer) { return Child(InfoPanel(viewer), L"ListBox"); }

std::vector<std::wstring> InfoRows(HWND viewer) {
  HWND list = InfoListBox(viewer);
  std::vector<std::wstring> rows;
  int count = list ? int(SendMessageW(list, LB_GETCOUNT, 0, 0)) : 0;
  for (int row = 0; row < count; ++row) {
    std::wstring text(size_t(std::max<LRESULT>(0, SendMessageW(list, LB_GETTEXTLEN, row, 0))),
                      L'\0');
    SendMessageW(list, LB_GETTEXT, row, LPARAM(text.data()));
    rows.push_back(text);
  }
  return rows;
}

bool ClickListRow(HWND list, int row) {
  RECT area{};
  if (SendMessageW(list, LB_GETITEMRECT, row, LPARAM(&area)) == LB_ERR) return false;
  LPARAM at = MAKELPARAM(area.left + 40, (area.top + area.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  RunPostedMessages();
  return true;
}

std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "<none>";
  std::string text = "<none>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

DialogAnswer::DialogAnswer(std::wstring caption, std::function<void(HWND)> act,
                           std::wstring containing)
    : caption_(std::move(caption)), containing_(std::move(containing)), act_(std::move(act)) {
  thread_ = CreateThread(nullptr, 0, &DialogAnswer::Run, this, 0, nullptr);
}

DialogAnswer::~DialogAnswer() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

unsigned long __stdcall DialogAnswer::Run(void* self) {
  auto* answer = static_cast<DialogAnswer*>(self);
  DWORD deadline = GetTickCount() + 20000;
  while (GetTickCount() < deadline) {
    HWND dialog = FindWindowW(L"#32770", answer->caption_.c_str());
    DWORD process = 0;
    if (dialog) GetWindowThreadProcessId(dialog, &process);
    if (dialog && process == GetCurrentProcessId() && IsWindowVisible(dialog)) {
      std::wstring seen = StaticTexts(dialog);
      if (seen.find(answer->containing_) != std::wstring::npos) {
        answer->seen_ = seen;
        answer->act_(dialog);
        answer->answered_ = true;
        return 0;
      }
    }
    Sleep(20);  // polling another thread's windows, with the deadline above
  }
  return 1;
}

std::wstring StaticTexts(HWND dialog) {
  std::wstring texts;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"Static" && !Text(child).empty()) texts += Text(child) + L"\n";
  return texts;
}

std::wstring PostAnswering(HWND window, UINT message, WPARAM wparam, const wchar_t* caption,
                           const wchar_t* containing, int button, const wchar_t* checkLabel) {
  DialogAnswer answer(
      caption, [&](HWND box) { AnswerMessageBox(box, button, checkLabel); }, containing);
  PostMessageW(window, message, wparam, 0);
  // (Not RunPostedMessages: the box's own loop would swallow its marker.)
  if (!WaitUntil([&] { return answer.Answered(); })) return L"";
  return answer.SeenText();
}

void AnswerFileDialog(HWND dialog, const std::wstring& path) {
  // The file name box: a combo box in the explorer style, an edit in the old one.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (!name) name = GetDlgItem(dialog, 0x480);
  SendMessageW(name, WM_SETTEXT, 0, LPARAM(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

void AnswerMessageBox(HWND box, int button, const wchar_t* checkLabel) {
  if (checkLabel) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (ClassOf(child) == L"Button" && Text(child) == checkLabel)
        SendMessageW(child, BM_CLICK, 0, 0);
  }
  PostMessageW(box, WM_COMMAND, WPARAM(button), 0);
}

bool WriteShortcut(const std::wstring& link, const std::wstring& target) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool written = false;
  IShellLinkW* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->SetPath(target.c_str())) &&
        SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      written = SUCCEEDED(file->Save(link.c_str(), TRUE));
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return written;
}

std::wstring StatusText(HWND viewer, int pane) {
  HWND bar = Child(viewer, L"msctls_statusbar32");
  if (!bar) return L"<no status bar>";
  wchar_t text[512] = {};
  SendMessageW(bar, WM_USER + 13 /* SB_GETTEXTW */, WPARAM(pane), LPARAM(text));
  return text;
}

std::wstring MenuItemText(HMENU menu, UINT command) {
  wchar_t text[512] = {};
  GetMenuStringW(menu, command, text, 512, MF_BYCOMMAND);
  std::wstring shown(text);
  return shown.substr(0, shown.find(L'\t'));
}

UINT MenuState(HWND host, HMENU bar, UINT command) {
  // Every popup on the way to the item is opened, outermost first.
  std::function<bool(HMENU)> open = [&](HMENU menu) {
    SendMessageW(host, WM_INITMENUPOPUP, WPARAM(menu), 0);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      if (GetMenuItemID(menu, i) == command) return true;
      if (HMENU sub = GetSubMenu(menu, i); sub && open(sub)) return true;
    }
    return false;
  };
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    if (HMENU popup = GetSubMenu(bar, i); popup && open(popup)) break;
  }
  return GetMenuState(bar, command, MF_BYCOMMAND);
}

void DropFile(HWND window, const std::wstring& path) {
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
  if (!drop) return;
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  memcpy(files + 1, path.c_str(), path.size() * sizeof(wchar_t));
  GlobalUnlock(drop);
  PostMessageW(window, WM_DROPFILES, WPARAM(drop), 0);
}

namespace {
uint32_t Rgb(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
uint32_t ReadPixel(HWND window, bool wholeWindow, int x, int y) {
  HDC dc = wholeWindow ? GetWindowDC(window) : GetDC(window);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return Rgb(c);
}
}  // namespace

uint32_t PixelAt(HWND window, int x, int y) { return ReadPixel(window, false, x, y); }

uint32_t WindowPixelAt(HWND window, int x, int y) { return ReadPixel(window, true, x, y); }

void CreateHostWindow(HostWindow& host, const wchar_t* className, DWORD style, HWND parent,
                      HMENU menu) {
  RegisterHostClass(className);
  host.hwnd = CreateWindowExW(0, className, L"host", style, 40, 40, 700, 500, parent, menu,
                              HostModule(), nullptr);
  if (host.hwnd) Hosts()[host.hwnd] = &host;
}

void DestroyHostWindow(HostWindow& host) {
  if (host.hwnd && IsWindow(host.hwnd) && !host.destroyed) DestroyWindow(host.hwnd);
  RunPostedMessages();
}

HWND ViewerOf(HWND stub) { return HWND(GetWindowLongPtrW(stub, GWLP_USERDATA)); }

bool StatusStarts(HWND viewer, const std::wstring& start, int pane) {
  return WaitUntil([&] { return StatusText(viewer, pane).rfind(start, 0) == 0; });
}

namespace {
// The viewer names files in lower case, as its loader reads them.
bool TitleNames(HWND window, const std::wstring& file) {
  return lstrcmpiW(Text(window).c_str(),
                   TitleFor(std::filesystem::path(file).filename().wstring()).c_str()) == 0;
}
}  // namespace

HWND OpenInLister(HostWindow& lister, const std::wstring& file) {
  if (!lister.hwnd) CreateHostWindow(lister, L"TLister", WS_OVERLAPPEDWINDOW, nullptr, nullptr);
  std::string name(file.begin(), file.end());
  lister.stub = Viewer().listLoad(lister.hwnd, name.data(), 0);
  RunPostedMessages();
  if (!lister.stub) return nullptr;
  HWND viewer = ViewerOf(lister.stub);
  if (!WaitUntil([&] {
        return TitleNames(lister.hwnd, file) &&
               StatusText(viewer, 1).find(L" x ") != std::wstring::npos;
      }))
    return nullptr;
  RunPostedMessages();
  return viewer;
}

// ---- the controls of a dialog ----

std::wstring ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);  // another thread's windows change by themselves; polled to the deadline
  }
  return true;
}

HWND VisibleChildDialog(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"#32770" && IsWindowVisible(child)) return child;
  return nullptr;
}

bool ChooseListEntry(HWND list, const std::wstring& text) {
  LRESULT row = SendMessageW(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text.c_str()));
  if (row == LB_ERR) return false;
  SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
  SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               LPARAM(list));
  return true;
}

void TypeInto(HWND dialog, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, LPARAM(text.c_str()));
}

void ChooseListEntry(HWND dialog, int id, int entry) {
  HWND list = GetDlgItem(dialog, id);
  SendMessageW(list, CB_SETCURSEL, WPARAM(entry), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(list));
}

int ListSelection(HWND dialog, int id) {
  return int(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

int ListCount(HWND dialog, int id) {
  return int(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
}

void ClickButton(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0); }

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void MouseDown(HWND window, int x, int y) {
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void MouseMove(HWND window, int x, int y) {
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
}

void MouseUp(HWND window, int x, int y) { SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

void WriteBmp32(const std::wstring& path, int width, int height, uint32_t colour) {
  WriteBmpRows(path, width, height, 32, [&](int) { return colour; });
}

void PressButton(HWND dialog, int id, bool wait) {
  WPARAM command = MAKEWPARAM(id, BN_CLICKED);
  LPARAM button = LPARAM(GetDlgItem(dialog, id));
  if (wait) {
    SendMessageW(dialog, WM_COMMAND, command, button);
  } else {
    PostMessageW(dialog, WM_COMMAND, command, button);
  }
}

}  // namespace wintest

// ---- the save dialog ----
namespace wintest {
namespace {

constexpr int kFileTypeBox = 0x470;  // cmb1
constexpr wchar_t kSaveDialogRoot[] = L"software\\Quintel\\Dorvane\\";

std::wstring SaveDialogKey(const wchar_t* section) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = std::filesystem::path(path).stem().wstring();
  return kSaveDialogRoot + name + L"\\" + section;
}

HWND FindDescendant(HWND window, const wchar_t* className) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == className) return child;
    if (HWND inner = FindDescendant(child, className)) return inner;
  }
  return nullptr;
}

// The row of a list view whose first cell reads `label`; -1 when none does.
int LabelledRow(HWND list, const std::wstring& label) {
  const int count = list ? int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  for (int row = 0; row < count; ++row)
    if (ui::ListViewCellText(list, row, 0) == label) return row;
  return -1;
}

// Sets the states of the mask of a list view's row.
void SetRowState(HWND list, int row, UINT mask, UINT state) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), LPARAM(&item));
}

// The cell's control while a row is edited: a visible combo box or edit beside the list.
HWND CellEditor(HWND list) {
  for (HWND child = GetWindow(GetParent(list), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring cls = ClassOf(child);
    if ((cls == L"ComboBox" || cls == L"Edit") && IsWindowVisible(child)) return child;
  }
  return nullptr;
}

}  // namespace

std::vector<std::wstring> FileTypes(HWND dialog) {
  HWND box = GetDlgItem(dialog, kFileTypeBox);
  std::vector<std::wstring> types;
  int count = int(SendMessageW(box, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    int length = int(SendMessageW(box, CB_GETLBTEXTLEN, WPARAM(i), 0));
    std::wstring text(size_t(std::max(length, 0)) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, WPARAM(i), LPARAM(text.data()));
    text.resize(wcslen(text.c_str()));
    types.push_back(text);
  }
  return types;
}

int FileTypeIndex(HWND dialog, const std::wstring& part) {
  std::vector<std::wstring> types = FileTypes(dialog);
  for (size_t i = 0; i < types.size(); ++i)
    if (types[i].find(part) != std::wstring::npos) return int(i) + 1;
  return 0;
}

void ChooseFileType(HWND dialog, int filterIndex) {
  HWND box = GetDlgItem(dialog, kFileTypeBox);
  SendMessageW(box, CB_SETCURSEL, WPARAM(filterIndex - 1), 0);
  // What the box tells its dialog when a user picks an entry from its list.
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeBox, CBN_SELCHANGE), LPARAM(box));
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeBox, CBN_SELENDOK), LPARAM(box));
}

std::wstring DialogFolder(HWND dialog) {
  wchar_t folder[MAX_PATH * 2] = {};
  SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH * 2, LPARAM(folder));
  return folder;
}

std::wstring ChosenFileType(HWND dialog) {
  int chosen = int(SendDlgItemMessageW(dialog, kFileTypeBox, CB_GETCURSEL, 0, 0));
  std::vector<std::wstring> types = FileTypes(dialog);
  return chosen >= 0 && size_t(chosen) < types.size() ? types[size_t(chosen)] : L"";
}

HWND PropertyList(HWND window) {
  HWND editor = FindDescendant(window, L"OrbiskPropertyEditor");
  return editor ? FindDescendant(editor, L"SysListView32") : nullptr;
}

int PropertyRowCount(HWND list) {
  return list ? int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring PropertyValue(HWND list, const std::wstring& label) {
  int row = LabelledRow(list, label);
  return row < 0 ? L"" : ui::ListViewCellText(list, row, 1);
}

bool EditProperty(HWND list, const std::wstring& label, const std::wstring& value) {
  int row = LabelledRow(list, label);
  if (row < 0) return false;
  SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
  HWND editor = CellEditor(list);
  if (!editor) return false;
  if (ClassOf(editor) == L"ComboBox") {
    LRESULT choice = SendMessageW(editor, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(value.c_str()));
    if (choice == CB_ERR) return false;
    SendMessageW(editor, CB_SETCURSEL, WPARAM(choice), 0);
  } else {
    SendMessageW(editor, WM_SETTEXT, 0, LPARAM(value.c_str()));
  }
  SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
  return PropertyValue(list, label) == value;
}

std::wstring SaveDialogString(const wchar_t* section, const wchar_t* name) {
  return RegistryString(SaveDialogKey(section), name, L"<none>");
}

DWORD SaveDialogNumber(const wchar_t* section, const wchar_t* name, DWORD missing) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, SaveDialogKey(section).c_str(), name, RRF_RT_REG_DWORD,
                   nullptr, &value, &size) != ERROR_SUCCESS)
    return missing;
  return value;
}

void RemoveSaveDialogValues(const wchar_t* section) {
  RegDeleteTreeW(HKEY_CURRENT_USER, SaveDialogKey(section).c_str());
}

StandaloneViewer::StandaloneViewer() = default;

StandaloneViewer::~StandaloneViewer() {
  if (frame_ && frame_->hwnd()) DestroyWindow(frame_->hwnd());
}

HWND StandaloneViewer::Start(const wchar_t* file, bool runPosted) {
  if (frame_ && frame_->hwnd()) DestroyWindow(frame_->hwnd());
  frame_ = std::make_unique<app::StandaloneFrame>();
  frame_->quitOnDestroy = false;
  if (!frame_->CreateFrame(nullptr)) return viewer_ = nullptr;
  // The wide-name flag (1) makes the library read the name as UTF-16.
  char* name = reinterpret_cast<char*>(const_cast<wchar_t*>(file));
  viewer_ = Viewer().listLoad(frame_->hwnd(), name, 1);
  if (runPosted) RunPostedMessages();
  return viewer_;
}

HWND StandaloneViewer::Open(const std::wstring& file) {
  // The status bar shows the picture once the load has ended and commands are taken.
  if (Start(file.c_str()) && !WaitUntil([&] {
        return TitleNames(Frame(), file) && Status(1).find(L" x ") != std::wstring::npos;
      }))
    return nullptr;
  return viewer_;
}

HWND StandaloneViewer::Frame() const { return frame_ ? frame_->hwnd() : nullptr; }

HWND StandaloneViewer::Display() const { return Child(viewer_, L"OrbiskView"); }

bool StandaloneViewer::Gone() {
  HWND viewer = std::exchange(viewer_, nullptr);
  return WaitUntil([&] { return !IsWindow(viewer) && frame_->Destroyed(); }, 60000);
}

void StandaloneViewer::Command(UINT command) {
  SendMessageW(viewer_, WM_COMMAND, command, 0);
  RunPostedMessages();
}

bool StandaloneViewer::Greyed(UINT command) const {
  return (MenuState(Frame(), GetMenu(Frame()), command) & MF_GRAYED) != 0;
}

bool StandaloneViewer::Checked(UINT command) const {
  return (MenuState(Frame(), GetMenu(Frame()), command) & MF_CHECKED) != 0;
}

std::wstring StandaloneViewer::Status(int pane) const { return StatusText(viewer_, pane); }

bool StandaloneViewer::Shows(const std::wstring& fileName, const std::wstring& size) {
  return WaitUntil(
      [&] { return Text(Frame()) == TitleFor(fileName) && Status(1).rfind(size, 0) == 0; });
}

bool StandaloneViewer::Close() {
  if (!viewer_) return true;
  Viewer().listClose(viewer_);
  HWND viewer = std::exchange(viewer_, nullptr);
  return WaitUntil([&] { return !IsWindow(viewer) && frame_->Destroyed(); });
}

std::wstring TitleFor(const std::wstring& fileName) { return L"Orbisk - [" + fileName + L"]"; }

std::string FileBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// ---- the registry ----

namespace {

void Snapshot(HKEY key, const std::wstring& indent, std::wstring& out) {
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameSize = 512, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::vector<BYTE> data(size + 2);
    nameSize = 512;
    RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
    out += indent + (nameSize ? name : L"@") + L" [" + std::to_wstring(type) + L"] ";
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      out += std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    } else {
      for (DWORD b = 0; b < size; ++b) out += std::to_wstring(data[b]) + L" ";
    }
    out += L"\n";
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameSize = 512;
    if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    out += indent + L"[" + name + L"]\n";
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      Snapshot(sub, indent + L"  ", out);
      RegCloseKey(sub);
    }
  }
}

}  // namespace

// ---- skins ----

std::optional<uint32_t> TiffRgbPixel(const std::string& file, int x, int y) {
  using glib::Libtiff::Reader;
  Reader reader;
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  if (!reader.Open(std::span<const uint8_t>(bytes, file.size())) || reader.Directories().empty())
    return std::nullopt;
  const glib::Libtiff::Directory& image = reader.Directories().front();
  auto value = [&](uint16_t tag) -> std::optional<uint32_t> {
    const glib::Libtiff::Entry* entry = Reader::Find(image, tag);
    return entry ? reader.Unsigned(*entry) : std::nullopt;
  };
  const auto width = value(256), height = value(257), strip = value(273);
  if (!width || !height || !strip || value(259).value_or(1) != 1) return std::nullopt;
  if (x < 0 || y < 0 || uint32_t(x) >= *width || uint32_t(y) >= *height) return std::nullopt;
  const uint64_t at = *strip + (uint64_t(y) * *width + uint64_t(x)) * 3;
  if (at + 3 > file.size()) return std::nullopt;
  return uint32_t(bytes[at]) << 16 | uint32_t(bytes[at + 1]) << 8 | bytes[at + 2];
}

int CountPixels(HWND window, const RECT& area, uint32_t colour) {
  HDC dc = GetDC(window);
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += Rgb(GetPixel(dc, x, y)) == colour;
  }
  ReleaseDC(window, dc);
  return count;
}

namespace {

void ListMenu(HMENU menu, const std::wstring& indent, std::vector<std::wstring>& items, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && depth < 8; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 255;
    if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &info)) continue;
    items.push_back(indent + ((info.fType & MFT_SEPARATOR) ? L"-" : text));
    if (info.hSubMenu) ListMenu(info.hSubMenu, indent + L"  ", items, depth + 1);
  }
}

struct MenuReading {
  std::vector<std::wstring> items;
};

unsigned long __stdcall ReadShownMenu(void* context) {
  auto* reading = static_cast<MenuReading*>(context);
  const DWORD deadline = GetTickCount() + 20000;
  HWND shown = nullptr;
  while (GetTickCount() < deadline) {
    HWND window = FindWindowW(L"#32768", nullptr);
    DWORD process = 0;
    if (window) GetWindowThreadProcessId(window, &process);
    if (!shown && window && process == GetCurrentProcessId() && IsWindowVisible(window)) {
      shown = window;
      constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
      if (auto menu = HMENU(SendMessageW(window, kGetMenu, 0, 0)))
        ListMenu(menu, L"", reading->items, 0);
    }
    if (shown) {
      if (!IsWindow(shown) || !IsWindowVisible(shown)) return 0;
      PostMessageW(shown, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    Sleep(20);  // polling another thread's menu, with the deadline above
  }
  return 1;
}

}  // namespace

std::wstring RegistrySnapshot(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return L"(absent)";
  std::wstring out;
  Snapshot(key, L"", out);
  RegCloseKey(key);
  return out;
}

std::wstring RegistryString(const std::wstring& path, const wchar_t* name, const wchar_t* missing) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return missing;
  return value;
}

bool TickListRow(HWND dialog, int id, const std::wstring& label, bool tick) {
  HWND list = GetDlgItem(dialog, id);
  const int row = LabelledRow(list, label);
  if (row >= 0) SetRowState(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(tick ? 2 : 1));
  return row >= 0;
}

std::vector<std::wstring> PopupMenuItems(const std::function<void()>& show) {
  MenuReading reading;
  HANDLE thread = CreateThread(nullptr, 0, &ReadShownMenu, &reading, 0, nullptr);
  show();
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  return reading.items;
}

bool IsTopLevel(HWND window) {
  return GetAncestor(window, GA_PARENT) == GetDesktopWindow() &&
         (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0;
}

HWND OpenNavigation(HWND display) {
  if (!WaitUntil([&] {
        LONG_PTR style = GetWindowLongPtrW(display, GWL_STYLE);
        return (style & WS_HSCROLL) && (style & WS_VSCROLL);
      }))
    return nullptr;
  RECT window{};
  GetWindowRect(display, &window);
  SendMessageW(display, WM_NCLBUTTONDOWN, HTNOWHERE,
               MAKELPARAM(window.right - 2, window.bottom - 2));
  HWND navigation = nullptr;
  for (HWND w = FindWindowW(L"OrbiskView", nullptr); w;
       w = FindWindowExW(nullptr, w, L"OrbiskView", nullptr)) {
    if (IsWindowVisible(w) && w != display) navigation = w;
  }
  return navigation;
}

std::optional<POINT> FirstDifference(const std::string& file, POINT a, POINT b, SIZE size) {
  for (int dy = 0; dy < size.cy; ++dy)
    for (int dx = 0; dx < size.cx; ++dx)
      if (TiffRgbPixel(file, a.x + dx, a.y + dy) != TiffRgbPixel(file, b.x + dx, b.y + dy))
        return POINT{dx, dy};
  return std::nullopt;
}

}  // namespace wintest

// ---- the Options dialog ----
namespace wintest {

bool SelectTreeItem(HWND dialog, int id, const std::wstring& text) {
  HWND tree = GetDlgItem(dialog, id);
  for (auto item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item;
       item = HTREEITEM(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)))) {
    wchar_t shown[128] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = shown;
    query.cchTextMax = int(std::size(shown));
    SendMessageW(tree, TVM_GETITEMW, 0, LPARAM(&query));
    if (text == shown) return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(item)) != 0;
  }
  return false;
}

int SelectListViewRow(HWND dialog, int id, const std::wstring& label) {
  HWND list = GetDlgItem(dialog, id);
  const int row = LabelledRow(list, label);
  if (row >= 0) SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  return row;
}

void PressKeyWith(HWND window, UINT key, bool ctrl, bool shift, bool alt) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  BYTE before[256];
  std::copy(std::begin(state), std::end(state), before);
  auto hold = [&](int vk, bool down) { state[vk] = down ? 0x80 : 0; };
  hold(VK_CONTROL, ctrl);
  hold(VK_LCONTROL, ctrl);
  hold(VK_SHIFT, shift);
  hold(VK_LSHIFT, shift);
  hold(VK_MENU, alt);
  hold(VK_LMENU, alt);
  SetKeyboardState(state);
  const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
  const LPARAM altBit = alt ? (LPARAM(1) << 29) : 0;
  SendMessageW(window, down, key, 1 | altBit);
  SendMessageW(window, up, key, 1 | altBit | (LPARAM(3) << 30));
  SetKeyboardState(before);
}

std::string IniValue(const std::string& ini, const std::string& key) {
  const std::string start = key + "=";
  size_t at = 0;
  while (at < ini.size()) {
    size_t end = ini.find('\n', at);
    if (end == std::string::npos) end = ini.size();
    std::string line = ini.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, start.size(), start) == 0) return line.substr(start.size());
    at = end + 1;
  }
  return "<none>";
}

std::wstring DecoratedMenuItemText(HWND host, HMENU bar, UINT command) {
  MenuState(host, bar, command);
  wchar_t text[512] = {};
  GetMenuStringW(bar, command, text, 512, MF_BYCOMMAND);
  return text;
}

HWND FocusOfThreadOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

}  // namespace wintest

// ---- the rest of the file manager's plug-in interface ----
namespace wintest {

namespace {

template <typename Entry>
void Find(Entry& entry, const char* name) {
  entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(Viewer().module, name)));
}

}  // namespace

const ListerEntries& Lister() {
  static ListerEntries entries = [] {
    ListerEntries e;
    if (!Viewer().module) return e;
    Find(e.loadW, "ListLoadW");
    Find(e.loadNext, "ListLoadNext");
    Find(e.loadNextW, "ListLoadNextW");
    Find(e.sendCommand, "ListSendCommand");
    Find(e.detectString, "ListGetDetectString");
    Find(e.setDefaultParams, "ListSetDefaultParams");
    Find(e.previewW, "ListGetPreviewBitmapW");
    Find(e.preview, "ListGetPreviewBitmap");
    return e;
  }();
  return entries;
}

bool DetectStringTakes(const std::string& detect, const std::wstring& fileName) {
  size_t dot = fileName.rfind(L'.');
  std::string extension;
  if (dot != std::wstring::npos) {
    for (wchar_t c : fileName.substr(dot + 1)) extension += char(std::towupper(c));
  }
  std::stringstream terms(detect);
  std::string term;
  bool taken = false;
  while (std::getline(terms, term, '|')) {
    size_t first = term.find_first_not_of(' '), last = term.find_last_not_of(' ');
    if (first == std::string::npos) return false;
    term = term.substr(first, last - first + 1);
    if (term.rfind("EXT=\"", 0) != 0 || term.size() < 6 || term.back() != '"') return false;
    if (term.substr(5, term.size() - 6) == extension) taken = true;
  }
  return taken;
}

bool WriteQuadrantJpeg(const std::wstring& path, int width, int height) {
  std::vector<uint8_t> rows(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool right = x >= width / 2, bottom = y >= height / 2;
      uint32_t c = !bottom ? (right ? 0x00FF00 : 0xFF0000) : (right ? 0xFFFFFF : 0x0000FF);
      uint8_t* p = &rows[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);  // blue first
    }
  }
  glib::FilterManager manager;
  const std::wstring bin = BinFolder();
  std::string folder = platform::NarrowFromUtf16(std::u16string(bin.begin(), bin.end()));
  manager.Configure(folder.c_str(), "vexlo");
  glib::ImageDataExchange request;
  auto* page = new glib::IDEPage;
  page->bitmap.width = width;
  page->bitmap.height = height;
  page->bitmap.pixelType = glib::kPixelRGB24;
  page->bitmap.pixels = rows.data();
  page->bitmap.ownsPixels = 0;
  request.pages.Add(page);
  glib::JPGSave params;
  params.quality = 90;
  std::string narrow = platform::NarrowFromUtf16(std::u16string(path.begin(), path.end()));
  return manager.SaveImageData(narrow.c_str(), &request, &params) == glib::RCOK;
}

uint32_t BitmapPixels::At(double fx, double fy) const {
  int x = std::clamp(int(fx * width), 0, width - 1),
      y = std::clamp(int(fy * height), 0, height - 1);
  return pixels.empty() ? 0 : pixels[size_t(y) * width + x];
}

BitmapPixels ReadBitmap(HBITMAP bitmap) {
  BitmapPixels out;
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return out;
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> bgrx(size_t(info.bmWidth) * info.bmHeight);
  HDC screen = GetDC(nullptr);
  int lines =
      GetDIBits(screen, bitmap, 0, UINT(info.bmHeight), bgrx.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (lines != info.bmHeight) return out;
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.pixels.reserve(bgrx.size());
  for (uint32_t p : bgrx) out.pixels.push_back(p & 0xFFFFFF);
  return out;
}

std::vector<std::wstring> ToolTipTexts(HWND owner) {
  struct Search {
    HWND owner;
    std::vector<HWND> found;
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
      auto* search = reinterpret_cast<Search*>(self);
      if (ClassOf(window) == TOOLTIPS_CLASSW && GetWindow(window, GW_OWNER) == search->owner)
        search->found.push_back(window);
      return TRUE;
    }
  } search{owner, {}};
  EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), &Search::Visit, LPARAM(&search));
  std::vector<std::wstring> texts;
  for (HWND tips : search.found) {
    int count = int(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[256] = {};
      TTTOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      if (!SendMessageW(tips, TTM_ENUMTOOLSW, WPARAM(i), LPARAM(&tool))) continue;
      tool.lpszText = text;
      SendMessageW(tips, TTM_GETTEXTW, WPARAM(std::size(text)), LPARAM(&tool));
      texts.emplace_back(text);
    }
  }
  return texts;
}

bool ColourNear(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > tolerance) return false;
  }
  return true;
}

}  // namespace wintest
