// Orbisk.exe: the standalone host. It makes the frame of class "Orbisk", loads the
// lister library of its own bitness from its own folder and hands it the file named
// on the command line (as UTF-16, asking for the single-instance hand-off), then runs
// the message loop until the frame is gone.
#include <windows.h>

#include <shellapi.h>

#include <clocale>
#include <string>

#include "ResourceIds.h"
#include "app/StandaloneFrame.h"
#include "ui/Handles.h"

namespace {

using ListLoadEntry = HWND(__stdcall*)(HWND, char*, int);

constexpr int kWideName = 1;
constexpr int kHandOff = 2;

#if defined(_WIN64)
constexpr wchar_t kLibraryName[] = L"Orbisk.wlx64";
#else
constexpr wchar_t kLibraryName[] = L"Orbisk.wlx";
#endif

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// The first argument, made absolute unless it is an option ("-last_run", "-logfile").
std::wstring FileArgument() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring file;
  if (args && count > 1) file = args[1];
  if (args) LocalFree(args);
  if (file.empty() || file[0] == L'-') return file;
  wchar_t full[MAX_PATH * 2] = {};
  DWORD length = GetFullPathNameW(file.c_str(), MAX_PATH * 2, full, nullptr);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(full, length) : file;
}

void Fail(const wchar_t* text) { MessageBoxW(nullptr, text, L"Orbisk", MB_ICONERROR | MB_OK); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Our own process: 8-bit texts and numbers follow the user's ANSI code page and
  // regional settings, as they do in the file manager.
  std::setlocale(LC_ALL, ".ACP");
  _wsetlocale(LC_ALL, L".ACP");
  std::wstring libraryPath = OwnFolder() + kLibraryName;
  ui::UniqueModule library(
      LoadLibraryExW(libraryPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library) {
    Fail((L"Cannot load " + libraryPath).c_str());
    return 1;
  }
  auto listLoad = reinterpret_cast<ListLoadEntry>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "ListLoad")));
  if (!listLoad) {
    Fail(L"The viewer library has no ListLoad.");
    return 1;
  }

  // The hand-off is asked for only when another viewer runs already: with none, the
  // library would find this frame alone and end the process.
  std::wstring file = FileArgument();
  bool anotherRuns = FindWindowW(L"Orbisk", nullptr) != nullptr;
  int flags = kWideName | (anotherRuns && !file.empty() ? kHandOff : 0);
  app::StandaloneFrame frame;
  if (!frame.CreateFrame(LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORBISK)))) return 1;
  char* name = file.empty() ? nullptr : reinterpret_cast<char*>(file.data());
  if (!listLoad(frame.hwnd(), name, flags)) {
    // "-last_run" ends here on purpose; anything else could not be shown.
    return file == L"-last_run" ? 0 : 1;
  }

  MSG msg;
  while (!frame.Destroyed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
