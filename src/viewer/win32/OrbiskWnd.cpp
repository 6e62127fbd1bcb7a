#include "viewer/win32/OrbiskWnd.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <windowsx.h>

#include "ResourceIds.h"
#include "host/HostPlatform.h"
#include "host/ProfileStore.h"
#include "platform/Module.h"
#include "ui/ActivationScope.h"
#include "ui/Text.h"
#include "viewer/win32/AboutDlg.h"
#include "viewer/win32/AssociationDlg.h"
#include "viewer/win32/ListerWiring.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/SelectResolutionDlg.h"

namespace viewer {

COrbiskWnd::COrbiskWnd(InstanceMode mode) : mode_(mode), profile_(host::OpenUserProfile()) {}

COrbiskWnd::~COrbiskWnd() = default;

void COrbiskWnd::SetStartupName(const std::string& narrow, const std::u16string* wide) {
  StartupArgument argument = SplitStartupName(narrow);
  option_ = argument.option;
  startupFile_ = argument.file;
  startupFileW_ = wide && option_.empty() ? *wide : std::u16string();
}

bool COrbiskWnd::FindMainWindow() {
  mainWindow_ = FindFileManagerMainWindow(parent_);
  return mainWindow_ != nullptr;
}

void COrbiskWnd::TakeOverListerMenu() {
  savedParentMenu_ = ui::SwapMenu(parent_, LoadMainMenu());
  HICON icon = LoadIconW(ui::ThisModule(), MAKEINTRESOURCEW(IDI_ORBISK));
  SendMessageW(parent_, WM_SETICON, ICON_BIG, LPARAM(icon));
  SetWindowLongPtrW(parent_, GWL_STYLE, GetWindowLongPtrW(parent_, GWL_STYLE) | WS_CLIPCHILDREN);
}

bool COrbiskWnd::CreateViewer() {
  ui::Window::CreateArgs args;
  args.className = L"Orbisk";
  args.title = L"Orbisk";
  args.style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  args.exStyle = WS_EX_APPWINDOW;
  args.rect = {0, 0, 0, 0};
  args.classStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
  args.icon = LoadIconW(ui::ThisModule(), MAKEINTRESOURCEW(IDI_ORBISK));
  return Create(args) != nullptr;
}

void COrbiskWnd::SubclassParent() {
  savedParentUserData_ = GetWindowLongPtrW(parent_, GWLP_USERDATA);
  savedParentProc_ = WNDPROC(GetWindowLongPtrW(parent_, GWLP_WNDPROC));
  SetWindowLongPtrW(parent_, GWLP_USERDATA, LONG_PTR(this));
  SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(&ListerSubclassProc));
  parentSubclassed_ = true;
}

void COrbiskWnd::RestoreParentProcedure() {
  if (!parentSubclassed_) return;
  parentSubclassed_ = false;
  if (!IsWindow(parent_)) return;
  SetWindowLongPtrW(parent_, GWLP_USERDATA, savedParentUserData_);
  SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(savedParentProc_));
}

void COrbiskWnd::ShowAtStart() {
  if (SkinActive()) {
    // The skinned window takes the host's place; the host stays hidden.
    SetWindowPos(parent_, nullptr, savedNormalRect_.left, savedNormalRect_.top,
                 savedNormalRect_.right - savedNormalRect_.left,
                 savedNormalRect_.bottom - savedNormalRect_.top, SWP_NOZORDER | SWP_NOACTIVATE);
    DetachFromHost();
    if (settings_.pos.maximized != 0) ShowWindow(hwnd(), SW_MAXIMIZE);
    UpdateWindow(hwnd());
    return;
  }
  bool maximized = settings_.pos.maximized != 0 && !QuickView();
  if (maximized) {
    ShowWindow(parent_, SW_MAXIMIZE);
    RECT client{};
    GetClientRect(parent_, &client);
    MoveWindow(hwnd(), 0, 0, client.right, client.bottom, TRUE);
  } else {
    ShowWindow(parent_, SW_SHOW);
  }
  ShowWindow(hwnd(), SW_SHOW);
  UpdateWindow(hwnd());
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
}

HWND COrbiskWnd::CreateStub() {
  HWND stub = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent_,
                              nullptr, ui::ThisModule(), nullptr);
  if (stub) SetWindowLongPtrW(stub, GWLP_USERDATA, LONG_PTR(hwnd()));
  stub_ = stub;
  return stub;
}

LRESULT COrbiskWnd::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  // While a scanner is enabled its messages come first.
  if (SourceEnabled()) {
    MSG msg{hwnd(), message, wparam, lparam, DWORD(GetMessageTime()), {}};
    if (ProcessMessage(msg)) return 0;
  }
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST && TranslateKeys(message, wparam, lparam)) {
    return 1;
  }
  if (LRESULT handled = 0; OnSkinMessage(message, wparam, lparam, handled)) return handled;
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_SIZE:
      Layout();
      return 0;
    case WM_ERASEBKGND: {
      // The flat tool bar shows what lies behind it; the children are clipped.
      RECT client{};
      GetClientRect(hwnd(), &client);
      FillRect(HDC(wparam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) >= host::kCmdSkinFirst && LOWORD(wparam) <= host::kCmdSkinLast) {
        ChooseSkin(LOWORD(wparam));
        return 0;
      }
      OnCommand(LOWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (toolBar_.HandleNotify(reinterpret_cast<NMHDR*>(lparam), result)) return result;
      break;
    }
    case WM_INITMENUPOPUP:
      OnInitMenuPopup(HMENU(wparam), HIWORD(lparam) != 0);
      return 0;
    case WM_LBUTTONDBLCLK:
      Default(message, wparam, lparam);
      OnCommand(host::kCmdMaximize);
      return 0;
    case WM_MOUSEWHEEL:
      OnMouseWheel(int16_t(HIWORD(wparam)));
      break;
    case WM_DROPFILES:
      OnDropFiles(HDROP(wparam));
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case WM_GETMINMAXINFO:
      if (SkinActive()) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize = {host::kMinWindowWidth, host::kMinWindowHeight};
      }
      break;
    case kMsgProgress:
      OnProgressMessage(wparam, lparam);
      return 0;
    case shell::kMsgTwainCloseRequest:
      batchActive_ = false;
      return 0;
    case UWM_STARTUP:
      OnStartup();
      return 0;
    case UWM_NOTIFY:
      return OnNotify(wparam, lparam);
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return Default(message, wparam, lparam);
}

bool COrbiskWnd::TranslateKeys(UINT message, WPARAM wparam, LPARAM lparam) {
  if (!accelerators_) return false;
  MSG msg{hwnd(), message, wparam, lparam, 0, {}};
  return TranslateAcceleratorW(hwnd(), accelerators_.get(), &msg) != 0;
}

LRESULT COrbiskWnd::OnCreate() {
  LoadBuiltInKeys();
  ReadSettings();
  InitSkin();
  if (!CreateChildren()) return -1;
  ApplyLookColours();
  SetTimer(hwnd(), kWindowTimer, kWindowTimerMs, nullptr);
  ApplySettingsToDisplay();
  ApplyPlacement();
  ApplyShortcuts();
  DragAcceptFiles(hwnd(), TRUE);
  Attach(hwnd());  // the scanner's source manager, when there is one
  if (!QuickView()) ToggleKeepVisible(false);
  return 0;
}

void COrbiskWnd::OnStartup() {
  if (!QuickView()) SetFocus(hwnd());
  WriteAppPath();
  if (Standalone() && profile_->GetInt(host::kFirstRun, 0) != 0) {
    profile_->SetInt(host::kFirstRun, 0);
    if (WelcomeDlg().Run(TopLevelWindow()) && !AssociateAllFileTypes()) {
      ShowAssociationFailure(TopLevelWindow());
    }
  }
  if (option_ == kOptionLogFile) log_.Open();
  if (startupFile_.empty() && startupFileW_.empty()) {
    RefreshStatusTexts();
    return;
  }
  userInitiated_ = true;
  if (Standalone() && settings_.startViewInFullscreen) EnterFullScreen();
  if (!startupFileW_.empty()) {
    LoadFileW(startupFileW_, true, nullptr, true);
  } else {
    LoadFile(startupFile_, true, nullptr, true);
  }
}

// Lets the shell start "Orbisk.exe" by name; the key needs rights we may not have.
void COrbiskWnd::WriteAppPath() {
  std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orbisk.exe";
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  ui::UniqueRegKey appPath(raw);
  std::wstring exe = ui::WideFromNarrow(platform::ModuleFolder(
                         reinterpret_cast<const void*>(&ListerAccelerators))) +
                     L"Orbisk.exe";
  RegSetValueExW(raw, L"Orbisk.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                 DWORD((exe.size() + 1) * sizeof(wchar_t)));
}

namespace {

struct ArmedPayloads {
  std::mutex lock;
  std::vector<const void*> live;
};

ArmedPayloads& Armed() {
  static ArmedPayloads armed;
  return armed;
}

}  // namespace

ArmedPayload::ArmedPayload(const void* payload) : payload_(payload) {
  std::lock_guard guard(Armed().lock);
  Armed().live.push_back(payload);
}

ArmedPayload::~ArmedPayload() {
  std::lock_guard guard(Armed().lock);
  auto& live = Armed().live;
  auto it = std::find(live.begin(), live.end(), payload_);
  if (it != live.end()) live.erase(it);
}

bool ArmedPayload::IsArmed(LPARAM value) {
  if (!value) return false;
  std::lock_guard guard(Armed().lock);
  const auto& live = Armed().live;
  return std::find(live.begin(), live.end(), reinterpret_cast<const void*>(value)) != live.end();
}

LRESULT COrbiskWnd::OnNotify(WPARAM code, LPARAM lparam) {
  if (destroying_) return 0;
  switch (code) {
    case kNotifyTitle:
      RefreshTitle();
      break;
    case kNotifyInfo:
      ShowFileInfo();
      if (startAnimation_.exchange(false) && display_ && display_->StartAnimation()) {
        RefreshStatusTexts();
      }
      break;
    case kNotifyChooseResolution: {
      if (!ArmedPayload::IsArmed(lparam)) return 0;
      auto* question = reinterpret_cast<ResolutionQuestion*>(lparam);
      question->chosen = SelectResolutionDlg(*question->sizes).Run(TopLevelWindow());
      break;
    }
    case kNotifyMissingPlugin:
      if (!ArmedPayload::IsArmed(lparam)) return 0;
      return AskAboutMissingPlugin(reinterpret_cast<const char*>(lparam));
    case kNotifyReset:
      ResetTitleAndBars();
      break;
    case kNotifyListerWheel:
      if (!loadRunning_) OnCommand(lparam == 1 ? host::kCmdOpenNext : host::kCmdOpenPrev);
      break;
    case kNotifyFullScreen:
      ToggleFullScreen();
      break;
    case kNotifyClosing:
      // The host closes the window whatever the answer; the question lets the user
      // save first, and is not asked twice.
      if (!loadRunning_ && !closeAsked_) ConfirmDiscardChanges();
      closeAsked_ = true;
      break;
    case kNotifyHostDisplay:
      if (!ArmedPayload::IsArmed(lparam)) return 0;
      ApplyHostDisplay(*reinterpret_cast<const HostDisplay*>(lparam));
      return 1;
    case kNotifyLoadNext: {
      // The host's next file in this window. Cancel in the save question keeps the
      // picture, and the window stays.
      if (loadRunning_ || !ArmedPayload::IsArmed(lparam)) return 0;
      if (!ConfirmDiscardChanges()) return 1;
      userInitiated_ = true;
      if (!LoadFileW(*reinterpret_cast<const std::u16string*>(lparam), true, nullptr, true)) {
        userInitiated_ = false;
        return 0;
      }
      return 1;
    }
    case kNotifyLoadFailed:
      ShowLoadError(uint32_t(lparam));
      break;
    case kNotifyMouseMoved:
      OnMouseMoved(lparam);
      break;
    case kNotifyStatus:
      RefreshStatusTexts();
      RefreshToolBar();
      break;
    case kNotifyLoadEnded:
      if (!loadRunning_ && !pendingDrop_.empty()) OpenDropped(std::exchange(pendingDrop_, {}));
      break;
    case kNotifyHandOff: {
      std::string name = profile_->GetString(host::kPassImage, "");
      DWORD attributes = name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(name.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !loadRunning_ && ConfirmDiscardChanges()) {
        // The user asked for this file in the other instance: show it in front.
        SetForegroundWindow(TopLevelWindow());
        LoadFile(name, true, nullptr, true);
      }
      break;
    }
  }
  return 0;
}

void COrbiskWnd::OnClose() {
  // A load under way has already been let replace the picture.
  if (!loadRunning_ && !closeAsked_ && !ConfirmDiscardChanges()) return;
  if (loadRunning_) {
    // The worker ends the window with the Exit command when it is done.
    abortRequest_ = true;
    closePending_ = true;
    return;
  }
  DestroyWindow(hwnd());
}

// A window torn down while a load runs (the host destroyed its parent) waits for the
// worker, which polls the abort flag; messages the worker sends meanwhile are let
// through and ignored, so neither side waits for the other.
void COrbiskWnd::WaitForWorker() {
  if (!worker_) return;
  abortRequest_ = true;
  closePending_ = true;
  WaitForThread(worker_.get());
  worker_.reset();
}

void COrbiskWnd::WaitForThread(HANDLE thread) {
  if (!thread) return;
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
         WAIT_OBJECT_0 + 1) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void COrbiskWnd::OnDestroy() {
  destroying_ = true;
  WaitForWorker();
  Detach();
  KillTimer(hwnd(), kWindowTimer);
  if (fullScreen_ && handBack_) LeaveFullScreen();
  WriteSettings();
  if (Standalone() && IsWindow(parent_)) {
    ui::SwapMenu(parent_, nullptr);
  }
  if (ListerWindow()) {
    if (handBack_ && IsWindow(parent_)) {
      // The Lister goes on without us: its own menu, or none when it had none.
      ui::SwapMenu(parent_, savedParentMenu_.release());
    }
    RestoreParentProcedure();
  }
  savedParentMenu_.reset();
  if (!QuickView() && !handBack_ && IsWindow(parent_)) {
    PostMessageW(parent_, WM_CLOSE, 0, kCloseFromViewer);
  }
}

void COrbiskWnd::OnFinalDestroy() noexcept { delete this; }

}  // namespace viewer
