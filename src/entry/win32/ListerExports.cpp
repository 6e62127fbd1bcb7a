// The functions the file manager (and the standalone host) call: ListLoad and
// ListLoadW make a viewer for a parent window and ListCloseWindow ends it;
// ListGetDetectString names the files we show, ListSetDefaultParams hands us the
// file manager's settings and ListGetPreviewBitmap draws its thumbnails. Nothing
// throws out of them: a failure is a null window or bitmap, or an error code.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <cstring>

#include "ResourceIds.h"
#include "entry/win32/OrbiskApp.h"
#include "filters/FilterManager.h"
#include "formats/Retcode.h"
#include "host/Commands.h"
#include "host/FileTypes.h"
#include "host/HostPlatform.h"
#include "host/ProfileStore.h"
#include "image/Film.h"
#include "image/Preview.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "ui/ActivationScope.h"
#include "ui/Window.h"
#include "viewer/WindowRules.h"
#include "viewer/win32/AssociationDlg.h"
#include "viewer/win32/ListerWiring.h"
#include "viewer/win32/OrbiskWnd.h"

// Exported undecorated through Orbisk.def.
// The file manager's record of its defaults.
struct ListDefaultParamStruct {
  int size;
  DWORD PluginInterfaceVersionLow;
  DWORD PluginInterfaceVersionHi;
  char DefaultIniName[MAX_PATH];
};

extern "C" {
HWND __stdcall ListLoad(HWND parent, char* file, int flags) noexcept;
HWND __stdcall ListLoadW(HWND parent, WCHAR* file, int flags) noexcept;
int __stdcall ListLoadNext(HWND parent, HWND window, char* file, int flags) noexcept;
int __stdcall ListLoadNextW(HWND parent, HWND window, WCHAR* file, int flags) noexcept;
int __stdcall ListSendCommand(HWND window, int command, int parameter) noexcept;
void __stdcall ListCloseWindow(HWND window) noexcept;
void __stdcall ListGetDetectString(char* detect, int capacity) noexcept;
void __stdcall ListSetDefaultParams(ListDefaultParamStruct* params) noexcept;
HBITMAP __stdcall ListGetPreviewBitmap(char* file, int width, int height, char* content,
                                       int contentLength) noexcept;
HBITMAP __stdcall ListGetPreviewBitmapW(WCHAR* file, int width, int height, char* content,
                                        int contentLength) noexcept;
}

namespace entry {
namespace {

using host::kPassImage;
using host::OpenUserProfile;
using viewer::COrbiskWnd;
using viewer::InstanceMode;

constexpr std::string_view kMainWindowMissing =
    "Internal error #312\nPlease report this error to the Developer!";

std::u16string ClassNameOf(HWND window) {
  wchar_t name[257] = {};
  int length = window ? GetClassNameW(window, name, 257) : 0;
  return std::u16string(name, name + length);
}

// The file argument: UTF-16 in wide-name mode, else 8-bit.
struct FileArgument {
  bool present = false;
  bool wide = false;
  std::string narrow;
  std::u16string utf16;
};

FileArgument ReadFileArgument(const char* file, bool wide) {
  FileArgument argument;
  if (!file) return argument;
  argument.present = true;
  argument.wide = wide;
  if (wide) {
    argument.utf16 = reinterpret_cast<const char16_t*>(file);
    argument.narrow = platform::NarrowFromUtf16(argument.utf16);
  } else {
    argument.narrow = file;
  }
  return argument;
}

bool IsLastRun(const FileArgument& file) {
  if (!file.present) return false;
  return file.wide ? file.utf16 == u"-last_run" : file.narrow == viewer::kOptionLastRun;
}

// Another instance takes the file; this process always ends here.
[[noreturn]] void HandOff(HWND parent, const FileArgument& file, int flags) {
  HWND other = FindWindowW(L"Orbisk", nullptr);
  if (!other) ExitProcess(UINT(-1));
  if (other == parent) {
    DestroyWindow(parent);
    other = FindWindowW(L"Orbisk", nullptr);
  }
  OpenUserProfile()->SetString(kPassImage, file.narrow);
  if (other) PostMessageW(other, viewer::UWM_NOTIFY, viewer::kNotifyHandOff, LPARAM(flags));
  ExitProcess(UINT(-1));
}

// What the file manager told us of itself; our own settings stay where they are.
struct FileManagerDefaults {
  DWORD interfaceLow = 0;
  DWORD interfaceHigh = 0;
  std::string iniPath;
};
FileManagerDefaults& Defaults() {
  static FileManagerDefaults defaults;
  return defaults;
}

constexpr int kListerOk = 0, kListerError = 1;
// The file manager's commands and display flags.
constexpr int kListCopy = 1, kListNewParams = 2;
constexpr int kShowFitToWindow = 2, kShowFitLargerOnly = 32, kShowCenter = 64;
constexpr int kShowDarkMode = 128, kShowDarkModeNative = 256;

// The display flags of ListLoad and of the parameter command: dark mode always, the
// fit and centring choices only from the command (the user changed them in the
// Lister; at load our own saved view mode holds).
viewer::HostDisplay HostDisplayOf(int flags, bool choices) {
  viewer::HostDisplay display;
  display.dark = (flags & (kShowDarkMode | kShowDarkModeNative)) != 0;
  if (choices) {
    display.centred = (flags & kShowCenter) != 0;
    display.fit = (flags & kShowFitToWindow) != 0;
    display.largerOnly = (flags & kShowFitLargerOnly) != 0;
  }
  return display;
}

HWND ListLoadImpl(HWND parent, const char* file, int flags, bool wideFile) {
  EnsureInitialised();
  std::u16string parentClass = ClassNameOf(parent);
  if (parentClass.empty() || !parent) return nullptr;
  bool parentIsChild = (GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD) != 0;
  InstanceMode mode = viewer::DecideInstanceMode(parentClass, parentIsChild);
  bool standalone = mode == InstanceMode::Standalone;
  if (!standalone && !file) return nullptr;
  FileArgument argument =
      ReadFileArgument(file, wideFile || (standalone && (flags & viewer::kFlagWideName)));

  glib::Film registry;  // reaches the format plug-ins
  // The last run before the program goes: the file types go back to their programs.
  if (IsLastRun(argument)) {
    viewer::RestoreAllFileTypes();
    return nullptr;
  }
  if (!standalone) {
    glib::ERetcode readable = argument.wide ? registry.CanOpenW(argument.utf16.c_str())
                                            : registry.CanOpen(argument.narrow.c_str());
    if (readable != glib::RCOK) return nullptr;
  }

  auto viewer = std::make_unique<COrbiskWnd>(mode);
  viewer->SetParentWindow(parent);
  if (argument.present) {
    viewer->SetStartupName(argument.narrow, argument.wide ? &argument.utf16 : nullptr);
  }
  if (standalone) {
    // The standalone frame shows our menu; one it had before is destroyed.
    ui::SwapMenu(parent, viewer::LoadMainMenu());
  } else {
    if (!viewer->FindMainWindow()) {
      platform::ShowMessage(nullptr, kMainWindowMissing, "Orbisk",
                            platform::mb::kIconError | platform::mb::kTopMost);
      ExitProcess(UINT(-1));
    }
    if (mode == InstanceMode::ListerWindow) viewer->TakeOverListerMenu();
  }
  viewer->ReadSettings();
  if (standalone && (flags & viewer::kFlagHandOff) && viewer->Settings().allowOnly1CopyAtATime) {
    HandOff(parent, argument, flags);
  }
  if (!viewer->CreateViewer()) return nullptr;
  // From here the window owns the object: it goes when the window goes.
  COrbiskWnd* view = viewer.release();
  if (mode == InstanceMode::ListerWindow) view->SubclassParent();
  SetWindowTextW(parent, L"Orbisk");
  view->ShowAtStart();
  if (!standalone) {
    // The file manager in dark mode shows us dark from the start.
    viewer::HostDisplay display = HostDisplayOf(flags, false);
    if (display.dark) {
      viewer::ArmedPayload payload(&display);
      SendMessageW(view->hwnd(), viewer::UWM_NOTIFY, viewer::kNotifyHostDisplay, payload.lparam());
    }
  }
  HWND result = view->hwnd();
  if (mode == InstanceMode::ListerWindow) result = view->CreateStub();
  PostMessageW(view->hwnd(), viewer::UWM_STARTUP, 0, 0);
  return result;
}

bool IsViewerWindow(HWND window) {
  return window && IsWindow(window) && ClassNameOf(window) == viewer::kViewerClassName;
}

// The viewer behind the window ListLoad returned (the stub in a Lister window).
HWND ViewerOf(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  HWND viewer = IsViewerWindow(window) ? window : HWND(GetWindowLongPtrW(window, GWLP_USERDATA));
  return IsViewerWindow(viewer) ? viewer : nullptr;
}

// Copy from the Lister's menu, and its fit choices as our view mode. Other commands
// (select all, the text position) mean nothing for a picture.
int SendCommandImpl(HWND window, int command, int parameter) {
  HWND viewer = ViewerOf(window);
  if (!viewer) return kListerError;
  switch (command) {
    case kListCopy:
      SendMessageW(viewer, WM_COMMAND, host::kCmdCopyImage, 0);
      return kListerOk;
    case kListNewParams: {
      viewer::HostDisplay display = HostDisplayOf(parameter, true);
      viewer::ArmedPayload payload(&display);
      SendMessageW(viewer, viewer::UWM_NOTIFY, viewer::kNotifyHostDisplay, payload.lparam());
      return kListerOk;
    }
    default:
      return kListerError;
  }
}

// Another file into the viewer that ListLoad made (the window it returned); declined
// for a file no plug-in reads.
int LoadNextImpl(HWND window, const std::u16string& path) {
  EnsureInitialised();
  HWND viewer = ViewerOf(window);
  if (!viewer || path.empty()) return kListerError;
  glib::Film registry;
  if (registry.CanOpenW(path.c_str()) != glib::RCOK) return kListerError;
  viewer::ArmedPayload payload(&path);
  LRESULT taken =
      SendMessageW(viewer, viewer::UWM_NOTIFY, viewer::kNotifyLoadNext, payload.lparam());
  return taken ? kListerOk : kListerError;
}

// The file manager asks for thumbnails from a thread of its own, perhaps while a
// viewer loads on the window thread and its worker. Those requests keep to a filter
// manager of their own, one request at a time, so the viewer's manager never meets a
// second thread and takes no locks.
struct PreviewService {
  std::mutex lock;
  glib::FilterManager manager;
  bool configured = false;
};

PreviewService& Previews() {
  static PreviewService service;
  return service;
}

HBITMAP PreviewImpl(const std::u16string& path, int width, int height) {
  if (path.empty() || width <= 0 || height <= 0) return nullptr;
  PreviewService& service = Previews();
  std::lock_guard<std::mutex> guard(service.lock);
  if (!service.configured) {
    ConfigureFormatPlugins(service.manager);
    service.configured = true;
  }
  glib::Film film(service.manager);
  if (glib::LoadPreviewW(film, path.c_str(), width, height) != glib::RCOK) return nullptr;
  // The file manager owns the bitmap from here.
  return static_cast<HBITMAP>(film.CreateSlideDIB(0, true));
}

}  // namespace
}  // namespace entry

HWND __stdcall ListLoad(HWND parent, char* file, int flags) noexcept {
  ui::ActivationScope scope;
  try {
    return entry::ListLoadImpl(parent, file, flags, false);
  } catch (...) {
    return nullptr;
  }
}

HWND __stdcall ListLoadW(HWND parent, WCHAR* file, int flags) noexcept {
  ui::ActivationScope scope;
  try {
    // The file manager's display flags are not the standalone host's bits.
    int ours = flags & ~int(viewer::kFlagWideName | viewer::kFlagHandOff);
    return entry::ListLoadImpl(parent, reinterpret_cast<const char*>(file), ours, true);
  } catch (...) {
    return nullptr;
  }
}

int __stdcall ListLoadNext(HWND, HWND window, char* file, int) noexcept {
  ui::ActivationScope scope;
  try {
    if (!file) return entry::kListerError;
    return entry::LoadNextImpl(window, platform::Utf16FromNarrow(file));
  } catch (...) {
    return entry::kListerError;
  }
}

int __stdcall ListLoadNextW(HWND, HWND window, WCHAR* file, int) noexcept {
  ui::ActivationScope scope;
  try {
    if (!file) return entry::kListerError;
    return entry::LoadNextImpl(window, reinterpret_cast<const char16_t*>(file));
  } catch (...) {
    return entry::kListerError;
  }
}

int __stdcall ListSendCommand(HWND window, int command, int parameter) noexcept {
  ui::ActivationScope scope;
  try {
    return entry::SendCommandImpl(window, command, parameter);
  } catch (...) {
    return entry::kListerError;
  }
}

void __stdcall ListGetDetectString(char* detect, int capacity) noexcept {
  try {
    if (!detect || capacity <= 0) return;
    entry::EnsureInitialised();
    std::vector<host::FileType> types = viewer::ReadableFileTypes();
    std::string text = host::DetectString(types, size_t(capacity));
    memcpy(detect, text.c_str(), text.size() + 1);
  } catch (...) {
    if (detect && capacity > 0) detect[0] = '\0';
  }
}

void __stdcall ListSetDefaultParams(ListDefaultParamStruct* params) noexcept {
  try {
    if (!params || params->size < int(sizeof(int) + 2 * sizeof(DWORD))) return;
    entry::FileManagerDefaults& defaults = entry::Defaults();
    defaults.interfaceLow = params->PluginInterfaceVersionLow;
    defaults.interfaceHigh = params->PluginInterfaceVersionHi;
    if (params->size >= int(sizeof(ListDefaultParamStruct))) {
      defaults.iniPath.assign(params->DefaultIniName,
                              strnlen(params->DefaultIniName, sizeof params->DefaultIniName));
    }
  } catch (...) {
  }
}

void __stdcall ListCloseWindow(HWND window) noexcept {
  ui::ActivationScope scope;
  try {
    if (!window || !IsWindow(window)) return;
    HWND parent = GetParent(window);
    // In a Lister window the host holds the stub, which names the viewer.
    HWND named = HWND(GetWindowLongPtrW(window, GWLP_USERDATA));
    // The host destroys its window when we return: a changed picture is offered for
    // saving now, while the viewer still stands.
    HWND viewer = entry::IsViewerWindow(window) ? window : named;
    if (entry::IsViewerWindow(viewer)) {
      SendMessageW(viewer, viewer::UWM_NOTIFY, viewer::kNotifyClosing, 0);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (entry::IsViewerWindow(named)) {
      PostMessageW(named, WM_CLOSE, 0, 0);
      if (parent && IsZoomed(parent)) ShowWindow(parent, SW_RESTORE);
    }
  } catch (...) {
  }
}

HBITMAP __stdcall ListGetPreviewBitmap(char* file, int width, int height, char*, int) noexcept {
  try {
    if (!file) return nullptr;
    return entry::PreviewImpl(platform::Utf16FromNarrow(file), width, height);
  } catch (...) {
    return nullptr;
  }
}

HBITMAP __stdcall ListGetPreviewBitmapW(WCHAR* file, int width, int height, char*, int) noexcept {
  try {
    if (!file) return nullptr;
    return entry::PreviewImpl(reinterpret_cast<const char16_t*>(file), width, height);
  } catch (...) {
    return nullptr;
  }
}
