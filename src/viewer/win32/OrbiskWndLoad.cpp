// Loading a file: LoadFile starts one worker thread at a time; the worker runs the
// load procedure on the display's document and talks back only through UWM_NOTIFY,
// WM_COMMAND and the load-running, abort-request and close-pending flags.
#include <objbase.h>
#include <process.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <memory>
#include <utility>

#include "ResourceIds.h"
#include "formats/FileInfoRecord.h"
#include "formats/Retcode.h"
#include "formats/StdioFileStream.h"
#include "host/ProfileStore.h"
#include "platform/Text.h"
#include "ui/ActivationScope.h"
#include "ui/Text.h"
#include "viewer/FolderWalk.h"
#include "viewer/LoadAdjustments.h"
#include "viewer/LoadPlan.h"
#include "viewer/Resolutions.h"
#include "viewer/win32/ListerWiring.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

using glib::ERetcode;

// Loads are numbered across the process for the log.
std::atomic<int> loadCounter{0};

std::string LowerAnsi(std::string text) {
  if (!text.empty()) CharLowerBuffA(text.data(), DWORD(text.size()));
  return text;
}

// The target of a shell link, or nothing when it cannot be resolved.
std::optional<std::string> ResolveShortcut(const std::string& link) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::optional<std::string> target;
  IShellLinkW* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      std::wstring path = ui::WideFromNarrow(link);
      wchar_t resolved[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
          SUCCEEDED(shellLink->GetPath(resolved, MAX_PATH, nullptr, 0)) && resolved[0]) {
        target = ui::NarrowFromWide(resolved);
      }
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return target;
}

// What the Film's file information says about pages and format.
struct FileFacts {
  uint32_t pages = kPagesUnknown;
  uint32_t format = 0xFFFFFFFF;
};

}  // namespace

bool COrbiskWnd::LoadFile(const std::string& path, bool recordHistory, const glib::RAWLoad* raw,
                          bool rebuildFolder) {
  return BeginLoad(path, {}, recordHistory, raw, rebuildFolder);
}

bool COrbiskWnd::LoadFileW(const std::u16string& path, bool recordHistory, const glib::RAWLoad* raw,
                           bool rebuildFolder) {
  return BeginLoad(platform::NarrowFromUtf16(path), path, recordHistory, raw, rebuildFolder);
}

bool COrbiskWnd::BeginLoad(const std::string& narrow, const std::u16string& wide,
                           bool recordHistory, const glib::RAWLoad* raw, bool rebuildFolder) {
  if (loadRunning_.exchange(true)) return false;
  abortRequest_ = false;
  loadName_ = narrow;
  loadNameW_ = wide;
  loadRebuildsFolder_ = rebuildFolder;
  if (raw) {
    loadRaw_.emplace(*raw);
  } else {
    loadRaw_.reset();
  }
  {
    std::lock_guard lock(listsMutex_);
    loadRecordsHistory_ = recordHistory || folderList_.Empty();
  }
  if (!StartWorker()) {
    loadRunning_ = false;
    return false;
  }
  return true;
}

bool COrbiskWnd::StartWorker() {
  if (!display_) return false;
  // A previous worker may still be on its last steps.
  WaitForThread(worker_.get());
  worker_.reset();
  progressText_ = ui::WideFromNarrow(loadName_);
  uintptr_t thread = _beginthreadex(nullptr, 0, &COrbiskWnd::WorkerEntry, this, 0, nullptr);
  if (thread == 0) return false;
  worker_.reset(HANDLE(thread));
  return true;
}

unsigned __stdcall COrbiskWnd::WorkerEntry(void* self) noexcept {
  ui::ActivationScope scope;
  try {
    static_cast<COrbiskWnd*>(self)->WorkerBody();
  } catch (...) {
    // The body ends the load on every path; nothing may escape the thread.
  }
  return 0;
}

void COrbiskWnd::WorkerBody() {
  uint32_t rc = glib::IERR;
  bool page = std::exchange(pageLoad_, false);
  try {
    rc = page ? PageLoadProcedure() : LoadProcedure();
  } catch (...) {
    rc = glib::IERR;
  }
  if (page) {
    if (rc == glib::USRA) PostMessageW(hwnd(), kMsgProgress, kProgressHide, 0);
    loadRunning_ = false;
    if (closePending_) {
      SendMessageW(hwnd(), WM_COMMAND, host::kCmdExit, 0);
      return;
    }
    PostMessageW(hwnd(), UWM_NOTIFY, kNotifyLoadEnded, 0);
    return;
  }
  loadRaw_.reset();
  if (rc == glib::USRA) PostMessageW(hwnd(), kMsgProgress, kProgressHide, 0);
  loadRunning_ = false;
  if (closePending_) {
    SendMessageW(hwnd(), WM_COMMAND, host::kCmdExit, 0);
    return;
  }
  // The bars show the new picture once the viewer takes commands again.
  if (rc == glib::RCOK) PostMessageW(hwnd(), UWM_NOTIFY, kNotifyStatus, 0);
  if (rc != glib::RCOK && rc != glib::USRA) {
    // A file that failed while walking the folder is skipped and the walk goes on.
    std::lock_guard lock(listsMutex_);
    if (loadRecordsHistory_) {
      folderList_.RemoveCurrent();
    } else {
      history_.RemoveCurrent();
    }
    if (direction_ != 0) {
      resumeWalk_ = direction_ == 1 && loadRecordsHistory_;
      PostMessageW(hwnd(), WM_COMMAND, direction_ == 1 ? host::kCmdOpenNext : host::kCmdOpenPrev,
                   0);
      direction_ = 0;
    }
  }
  // Last: a file dropped meanwhile opens only after the lists are settled.
  PostMessageW(hwnd(), UWM_NOTIFY, kNotifyLoadEnded, 0);
}

uint32_t COrbiskWnd::LoadProcedure() {
  bool wide = !loadNameW_.empty();
  std::string name = LowerAnsi(loadName_);
  if (name.find(".lnk") != std::string::npos) {
    if (std::optional<std::string> target = ResolveShortcut(name)) {
      name = LowerAnsi(*target);
      wide = false;
    }
  }
  loadName_ = name;
  const char16_t* widePath = wide ? loadNameW_.c_str() : nullptr;
  host::ForgetLastOpenedImage(*profile_);

  CLiteCtrlExEx& film = *display_;
  if (!loadRaw_) {
    ERetcode can = wide ? film.CanOpenW(widePath) : film.CanOpen(name.c_str());
    if (can != glib::RCOK) return glib::NSUP;
  }
  film.ShowWaitCursor();
  int number = ++loadCounter;
  log_.WriteMemoryStatus();
  if (wide) {
    log_.WriteWide(L"(%d) Try to load: %ls\n", number, reinterpret_cast<const wchar_t*>(widePath));
  } else {
    log_.Write("(%d) Try to load: %s\n", number, name.c_str());
  }

  FileFacts facts;
  std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter> info;
  try {
    glib::FileInfoRecord* record = nullptr;
    ERetcode rc = wide ? film.GetFileInfoW(widePath, &record, glib::kFormatNone)
                       : film.GetFileInfo(name.c_str(), &record, glib::kFormatNone);
    info.reset(record);
    if (rc == glib::RCOK && info) {
      facts.pages = info->pageCount;
      facts.format = info->format;
    } else {
      info.reset();
    }
  } catch (...) {
    info.reset();
    log_.Write("Exception on getinfo!\n");
  }

  LoadPlan plan = PlanLoad(settings_, facts.pages, facts.format);
  if (!plan.thumbnail && !loadRaw_ && IsMultiResolutionFormat(facts.format))
    plan.resolution = ChooseLoadResolution(name, widePath);
  LoadRecord record(facts.format);
  FillLoadRecord(plan, record.Get());
  glib::ImageLoad* loadParams = &record.Get();
  if (loadRaw_) loadParams = &*loadRaw_;

  // The display lets go of the document before it is replaced.
  ForgetLoadedFile();
  film.LoadingBegun();
  film.Clear();
  progress_.Begin();
  ERetcode rc = glib::IERR;
  try {
    if (plan.thumbnail) {
      Size size = plan.thumbnailSize;
      rc = wide ? film.LoadThumbnailW(widePath, glib::kFormatNone, true, size.width, size.height,
                                      loadParams)
                : film.LoadThumbnail(name.c_str(), glib::kFormatNone, true, size.width, size.height,
                                     loadParams);
    } else {
      // Bare pixels have no signature: the RAW layout names the format.
      const uint32_t format = loadRaw_ ? uint32_t(glib::kFormatRAW) : uint32_t(glib::kFormatNone);
      rc = wide ? film.LoadW(widePath, format, loadParams)
                : film.Load(name.c_str(), format, loadParams);
    }
  } catch (...) {
    log_.Write("Exception!\n");
    rc = glib::IERR;
  }
  rc = EndLoad(film, rc);
  if (rc != glib::RCOK) {
    ForgetPages();
    return rc;
  }
  pageByPage_ = plan.pageByPage;
  pageCount_ = int32_t(plan.pageByPage ? plan.filePages : 0);
  currentPage_ = 0;
  std::optional<std::u16string_view> widePathView;
  if (wide) widePathView = loadNameW_;
  host::RecordLastOpenedImage(*profile_, name, widePathView);
  if (loadRecordsHistory_) {
    std::lock_guard lock(listsMutex_);
    history_.Add(name, true);
  }
  KeepLoadedFile(name, wide ? loadNameW_ : std::u16string(), facts.format, info.get(),
                 !plan.thumbnail && !plan.pageByPage && plan.resolution == Size{} &&
                     plan.firstPage == 0 && plan.pageCount == kAllPages);
  {
    std::lock_guard lock(listsMutex_);
    loadedInfo_ = std::move(info);
  }
  startAnimation_ = !settings_.disableImageAnimation && IsAnimationFormat(facts.format) &&
                    film.GetSlideCount() >= 2;
  SendMessageW(hwnd(), UWM_NOTIFY, kNotifyInfo, 0);
  SendMessageW(hwnd(), UWM_NOTIFY, kNotifyTitle, 0);
  // The picture is up; a big folder may take its time now.
  if (loadRebuildsFolder_) RebuildFolderList(name);
  return glib::RCOK;
}

Size COrbiskWnd::ChooseLoadResolution(const std::string& name, const char16_t* widePath) {
  // Only the largest and the user's choice need the file's sizes.
  if (settings_.imageResolution != 0 && settings_.imageResolution != 2) return {};
  std::vector<Size> sizes;
  {
    VStdioFileStream file;
    if (widePath ? file.Open(widePath, u"rb") : file.Open(name.c_str(), "rb"))
      sizes = TiffResolutions(&file);
  }
  ResolutionChoice choice = ChooseResolution(settings_.imageResolution, sizes);
  if (choice.kind == ResolutionChoice::kAsk) {
    // The dialog belongs to the window's thread; the worker waits for the answer.
    ResolutionQuestion question{&sizes, std::nullopt};
    ArmedPayload payload(&question);
    SendMessageW(hwnd(), UWM_NOTIFY, kNotifyChooseResolution, payload.lparam());
    // Cancel keeps the picture's own size.
    choice.index = question.chosen.value_or(0);
  } else if (choice.kind == ResolutionChoice::kDefault) {
    choice.index = 0;
  }
  // The first is the picture itself, loaded with all its pages as usual.
  return choice.index == 0 ? Size{} : sizes[choice.index];
}

ERetcode COrbiskWnd::EndLoad(CLiteCtrlExEx& film, ERetcode rc) {
  if (rc == glib::RCOK) rc = ERetcode(AdjustForDisplay(film));
  film.LoadingEnded();
  log_.Write("\t%s\n", glib::RetcodeMessage(rc));
  if (rc != glib::RCOK) {
    PostMessageW(hwnd(), UWM_NOTIFY, kNotifyLoadFailed, LPARAM(rc));
    InvalidateRect(film.hwnd(), nullptr, FALSE);
    return rc;
  }
  direction_ = 0;
  userInitiated_ = false;
  modified_ = false;
  return rc;
}

uint32_t COrbiskWnd::PageLoadProcedure() {
  CLiteCtrlExEx& film = *display_;
  film.ShowWaitCursor();
  log_.WriteMemoryStatus();
  log_.Write("Try to load page #%d\n", requestedPage_);
  LoadPlan plan = PlanLoad(settings_, uint32_t(pageCount_.load()), glib::kFormatNone);
  plan.firstPage = uint32_t(requestedPage_);
  plan.pageCount = 1;
  glib::ImageLoad params;
  FillLoadRecord(plan, params);
  film.LoadingBegun();
  film.Clear();
  progress_.Begin();
  ERetcode rc = glib::IERR;
  try {
    rc = loadNameW_.empty() ? film.Load(loadName_.c_str(), glib::kFormatNone, &params)
                            : film.LoadW(loadNameW_.c_str(), glib::kFormatNone, &params);
  } catch (...) {
    log_.Write("Exception!\n");
    rc = glib::IERR;
  }
  // The page asked for is the current one, whatever came of it.
  currentPage_ = requestedPage_;
  rc = EndLoad(film, rc);
  if (rc == glib::RCOK) SendMessageW(hwnd(), UWM_NOTIFY, kNotifyStatus, 0);
  return rc;
}

void COrbiskWnd::RebuildFolderList(const std::string& loaded) {
  std::string folder = FolderOf(loaded);
  {
    std::lock_guard lock(listsMutex_);
    if (folder == folderOfList_) {
      // The same folder: the list stays, the loaded file becomes its current entry.
      const std::vector<std::string>& paths = folderList_.Paths();
      if (std::find(paths.begin(), paths.end(), loaded) != paths.end())
        folderList_.Sort(PathList::Order::kNone, loaded);
      return;
    }
  }
  std::vector<std::string> files;
  // The folder-loading panel appears only for a walk that takes a while, and is
  // brought up to date a few times a second.
  DWORD start = GetTickCount(), shown = 0;
  bool panel = false;
  auto collect = [&](const std::string& path) {
    files.push_back(path);
    DWORD now = GetTickCount();
    if (now - start >= 300 && (!panel || now - shown >= 100)) {
      {
        std::lock_guard lock(listsMutex_);
        folderPanelText_ =
            L"Loading folder (" + std::to_wstring(files.size()) + L"): " + ui::WideFromNarrow(path);
      }
      PostMessageW(hwnd(), kMsgProgress, kProgressFolder, 0);
      panel = true;
      shown = now;
    }
    return !closePending_;
  };
  bool complete = CollectFolder(folder, settings_.recurseSubDir, &LowerAnsi, collect);
  if (panel) PostMessageW(hwnd(), kMsgProgress, kProgressHide, 0);
  log_.Write("***Total files=%d\n", int(files.size()));
  PathList list;
  list.Assign(std::move(files));
  list.Sort(PathList::Order(std::clamp(settings_.sortFileType, 0, 3)), loaded);
  std::lock_guard lock(listsMutex_);
  folderList_ = std::move(list);
  // A walk cut short by closing is not remembered as the folder's list.
  folderOfList_ = complete ? folder : std::string();
}

// "ShowAlphaChannel" 2 makes every slide opaque; "ResampleByResolution" gives slides
// with oblong pixels square ones, and a failure there fails the load.
uint32_t COrbiskWnd::AdjustForDisplay(glib::Film& film) {
  AlphaHandling alpha = AlphaHandlingFor(AlphaDisplayFromSetting(settings_.showAlphaChannel));
  if (alpha.opaqueAfterLoad) film.SetAlpha(255, 0, -1);
  if (!settings_.resampleByResolution) return glib::RCOK;
  bool oblong = false;
  for (int32_t i = 0; i < int32_t(film.GetSlideCount()); ++i) {
    float x = 0, y = 0;
    if (glib::Slide* slide = film.GetSlide(i)) slide->GetResolution(x, y);
    oblong |= HasNonSquarePixels(x, y);
  }
  if (oblong && !film.ApplyResolution(0, -1, 0)) return glib::IERR;
  return glib::RCOK;
}

bool __cdecl COrbiskWnd::ProgressEntry(ClbData* data) noexcept {
  try {
    auto* self = data ? reinterpret_cast<COrbiskWnd*>(data->context) : nullptr;
    return self ? self->OnProgress(data) : true;
  } catch (...) {
    return true;
  }
}

bool COrbiskWnd::OnProgress(ClbData* data) {
  if (!loadRunning_) return true;  // drawing and editing on the window's thread
  if (abortRequest_) {
    PostMessageW(hwnd(), kMsgProgress, kProgressHide, 0);
    abortRequest_ = false;
    return false;
  }
  switch (data->step) {
    case ClbData::kBegin:
      progress_.Begin();
      return true;
    case ClbData::kEnd:
      if (progress_.End() == LoadProgress::Action::HidePanel) {
        PostMessageW(hwnd(), kMsgProgress, kProgressHide, 0);
      }
      return true;
    case ClbData::kWaitBegin:
    case ClbData::kWaitEnd:
      return true;
    case ClbData::kEvent: {
      const glib::FilmEvent* event = glib::AsFilmEvent(data);
      if (event && event->eventKind == glib::kEventUnavailable &&
          event->parameter == glib::kUnavailablePlugin) {
        // The question belongs to the window's thread; Retry looks for plug-ins again.
        if (!settings_.askAboutMissingPlugin) return false;
        const char* name = event->text ? event->text : "";
        ArmedPayload payload(name);
        return SendMessageW(hwnd(), UWM_NOTIFY, kNotifyMissingPlugin, payload.lparam()) == IDRETRY;
      }
      if (!event || event->eventKind != glib::kEventBaseLayerFill) return true;
      if (AlphaDisplayFromSetting(settings_.showAlphaChannel) != AlphaDisplay::CheckedPattern) {
        return true;
      }
      for (int32_t y = 0; y < event->height; ++y) {
        FillCheckerRow(event->pixels + size_t(y) * size_t(event->width) * 4, event->width, y);
      }
      return false;  // filled here
    }
  }
  if (data->step < 1) return true;
  switch (progress_.Report(data->step, data->stepCount, GetTickCount())) {
    case LoadProgress::Action::ShowPanel:
      PostMessageW(hwnd(), kMsgProgress, kProgressShow, data->stepCount);
      PostMessageW(hwnd(), kMsgProgress, kProgressUpdate, data->step);
      break;
    case LoadProgress::Action::UpdatePanel:
      PostMessageW(hwnd(), kMsgProgress, kProgressUpdate, data->step);
      break;
    default:
      break;
  }
  return true;
}

void COrbiskWnd::OnProgressMessage(WPARAM action, LPARAM value) {
  if (!progressBar_) {
    progressBar_ = CreateWindowExW(WS_EX_CLIENTEDGE, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0,
                                   0, 0, 0, hwnd(), nullptr, ui::ThisModule(), nullptr);
    progressLabel_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_CENTER | SS_PATHELLIPSIS, 0,
                                     0, 0, 0, hwnd(), nullptr, ui::ThisModule(), nullptr);
    SendMessageW(progressLabel_, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), 0);
  }
  if (action == kProgressHide) {
    ShowWindow(progressBar_, SW_HIDE);
    ShowWindow(progressLabel_, SW_HIDE);
    return;
  }
  if (action == kProgressFolder) {
    RECT client{};
    GetClientRect(hwnd(), &client);
    int width = std::min<int>(480, client.right - 20);
    std::wstring text;
    {
      std::lock_guard lock(listsMutex_);
      text = folderPanelText_;
    }
    SetWindowTextW(progressLabel_, text.c_str());
    SetWindowPos(progressLabel_, HWND_TOP, (client.right - width) / 2, client.bottom / 2 - 9, width,
                 18, SWP_SHOWWINDOW);
    return;
  }
  if (action == kProgressShow) {
    RECT client{};
    GetClientRect(hwnd(), &client);
    int width = std::min<int>(360, client.right - 20);
    int x = (client.right - width) / 2;
    int y = client.bottom / 2 - 20;
    SetWindowTextW(progressLabel_, progressText_.c_str());
    SetWindowPos(progressLabel_, HWND_TOP, x, y, width, 18, SWP_SHOWWINDOW);
    SetWindowPos(progressBar_, HWND_TOP, x, y + 20, width, 18, SWP_SHOWWINDOW);
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, std::max<LPARAM>(value, 1));
    return;
  }
  SendMessageW(progressBar_, PBM_SETPOS, WPARAM(value), 0);
}

void COrbiskWnd::ShowErrorPicture() {
  if (!display_) return;
  // The picture is a PNG kept in the library.
  display_->LoadResource(ui::ThisModule(), IDR_ERROR_PICTURE, MAKEINTRESOURCEA(10),
                         glib::kFormatNone, nullptr);
}

}  // namespace viewer
