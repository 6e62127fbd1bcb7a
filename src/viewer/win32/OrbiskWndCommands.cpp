// Commands by identifier, the menu's enable and check rules, and the window-level
// behaviour: Esc and Exit, Keep Visible, the bars, full screen, the pointer in full
// screen, drag and drop and the wheel.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "host/Commands.h"
#include "shell/Wallpaper.h"
#include "ui/Text.h"
#include "viewer/EffectParams.h"
#include "viewer/FolderWalk.h"
#include "viewer/ViewerTexts.h"
#include "viewer/win32/AboutDlg.h"
#include "viewer/win32/AssociationDlg.h"
#include "viewer/win32/CheckedMessageBox.h"
#include "viewer/win32/GoToPageDlg.h"
#include "viewer/win32/KeyNames.h"
#include "viewer/win32/ListerWiring.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OpenImageDialog.h"
#include "viewer/win32/OrbiskWnd.h"
#include "viewer/win32/RawDialog.h"

namespace viewer {
namespace {

using namespace host;

constexpr wchar_t kWebSite[] = L"https://orbisk.org/";
constexpr wchar_t kConverterPage[] = L"https://orbisk.org/convert/";
constexpr int kRecentMenuPosition = 3;
constexpr DWORD kHidePointerAfterMs = 2000;
// The host window is moved further down in full screen than the frame needs.
constexpr int32_t kHostExtraBottom = 22;
constexpr LONG_PTR kOverlappedParts =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

bool Topmost(HWND window) { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

}  // namespace

void COrbiskWnd::OnCommand(UINT command) {
  if (destroying_) return;
  // What each command of the table does here; commands of the table without a row
  // have no action in the viewer yet.
  using Action = void (*)(COrbiskWnd&);
  struct Handler {
    UINT command;
    Action run;
  };
  static constexpr Handler kHandlers[] = {
      {kCmdExit, [](COrbiskWnd& w) { w.Exit(); }},
      {kCmdEscape, [](COrbiskWnd& w) { w.Escape(); }},
      {kCmdMinimize, [](COrbiskWnd& w) { w.MinimizeTopLevel(); }},
      {kCmdMaximize, [](COrbiskWnd& w) { w.MaximizeTopLevel(); }},
      {kCmdConverterWebPage, [](COrbiskWnd& w) { w.OpenWebPage(kConverterPage); }},
      {kCmdVisitWebSite, [](COrbiskWnd& w) { w.OpenWebPage(kWebSite); }},
      {kCmdAbout, [](COrbiskWnd& w) { w.ShowAbout(); }},
      {kCmdSelectTwainSource, [](COrbiskWnd& w) { w.SelectTwainSource(); }},
      {kCmdAcquireImage, [](COrbiskWnd& w) { w.AcquireImage(); }},
      {kCmdBatchScanning, [](COrbiskWnd& w) { w.BatchScanning(); }},
      {kCmdWallpaperCentered, [](COrbiskWnd& w) { w.SetWallpaper(kCmdWallpaperCentered); }},
      {kCmdWallpaperTiled, [](COrbiskWnd& w) { w.SetWallpaper(kCmdWallpaperTiled); }},
      {kCmdWallpaperStretched, [](COrbiskWnd& w) { w.SetWallpaper(kCmdWallpaperStretched); }},
      {kCmdWallpaperFitOnDesktop, [](COrbiskWnd& w) { w.SetWallpaper(kCmdWallpaperFitOnDesktop); }},
      {kCmdWallpaperRestore, [](COrbiskWnd& w) { w.SetWallpaper(kCmdWallpaperRestore); }},
      {kCmdAssociateFileTypes, [](COrbiskWnd& w) { w.ChooseFileTypes(); }},
      {kCmdCancel, [](COrbiskWnd& w) { w.abortRequest_ = true; }},
      {kCmdKeepVisible, [](COrbiskWnd& w) { w.ToggleKeepVisible(true); }},
      {kCmdShowMenuBar, [](COrbiskWnd& w) { w.ToggleMenuBar(); }},
      {kCmdShowToolBar, [](COrbiskWnd& w) { w.ToggleToolBar(); }},
      {kCmdShowStatusBar, [](COrbiskWnd& w) { w.ToggleStatusBar(); }},
      {kCmdShowInfoPanel, [](COrbiskWnd& w) { w.ToggleInfoPanel(); }},
      {kCmdFullscreen, [](COrbiskWnd& w) { w.ToggleFullScreen(); }},
      {kCmdCopyPath, [](COrbiskWnd& w) { w.CopyPath(); }},
      {kCmdCopyImage, [](COrbiskWnd& w) { w.CopyImage(); }},
      {kCmdPasteImage, [](COrbiskWnd& w) { w.PasteImage(); }},
      {kCmdClearClipboard, [](COrbiskWnd& w) { w.ClearClipboard(); }},
      {kCmdReloadImage, [](COrbiskWnd& w) { w.ReloadImage(); }},
      {kCmdOpenNext, [](COrbiskWnd& w) { w.OpenNeighbour(true); }},
      {kCmdOpenPrev, [](COrbiskWnd& w) { w.OpenNeighbour(false); }},
      {kCmdOpenFirst, [](COrbiskWnd& w) { w.OpenFolderEnd(FolderEnd::kFirst); }},
      {kCmdOpenLast, [](COrbiskWnd& w) { w.OpenFolderEnd(FolderEnd::kLast); }},
      {kCmdOpenRandom, [](COrbiskWnd& w) { w.OpenFolderEnd(FolderEnd::kRandom); }},
      {kCmdStepNext, [](COrbiskWnd& w) { w.StepHistory(true); }},
      {kCmdStepBack, [](COrbiskWnd& w) { w.StepHistory(false); }},
      {kCmdDeleteImage, [](COrbiskWnd& w) { w.DeleteShownFile(); }},
      {kCmdVcrFirst, [](COrbiskWnd& w) { w.StepPage(PageStep::kFirst); }},
      {kCmdVcrPrev, [](COrbiskWnd& w) { w.StepPage(PageStep::kPrev); }},
      {kCmdVcrNext, [](COrbiskWnd& w) { w.StepPage(PageStep::kNext); }},
      {kCmdVcrLast, [](COrbiskWnd& w) { w.StepPage(PageStep::kLast); }},
      {kCmdVcrPlay, [](COrbiskWnd& w) { w.PlayAnimation(true); }},
      {kCmdVcrPause, [](COrbiskWnd& w) { w.PlayAnimation(false); }},
      {kCmdSlideshow, [](COrbiskWnd& w) { w.ToggleSlideShow(); }},
      {kCmdPageGoto, [](COrbiskWnd& w) { w.GoToPageDialog(); }},
      {kCmdOptions, [](COrbiskWnd& w) { w.OptionsDialog(); }},
      {kCmdOpenImage, [](COrbiskWnd& w) { w.OpenImage(); }},
      {kCmdOpenImageAsRaw, [](COrbiskWnd& w) { w.OpenRaw(); }},
      {kCmdDeleteCurrentPage, [](COrbiskWnd& w) { w.DeleteCurrentPage(); }},
      {kCmdFlipHor, [](COrbiskWnd& w) { w.TurnPicture(Turn::kMirrorLeftRight); }},
      {kCmdFlipVer, [](COrbiskWnd& w) { w.TurnPicture(Turn::kMirrorTopBottom); }},
      {kCmdRotate90, [](COrbiskWnd& w) { w.TurnPicture(Turn::kClockwise); }},
      {kCmdRotate270, [](COrbiskWnd& w) { w.TurnPicture(Turn::kCounterClockwise); }},
      {kCmdAutoLevels, [](COrbiskWnd& w) { w.ApplyOneStepEffect(effect::kAutoLevels); }},
      {kCmdAutoContrast, [](COrbiskWnd& w) { w.ApplyOneStepEffect(effect::kAutoContrast); }},
      {kCmdDesaturate, [](COrbiskWnd& w) { w.ApplyOneStepEffect(effect::kDesaturate); }},
      {kCmdNegative, [](COrbiskWnd& w) { w.ApplyOneStepEffect(effect::kNegative); }},
      // The Edit menu's dialogs (OrbiskWndEdit.cpp).
      {kCmdHistogram, [](COrbiskWnd& w) { w.ShowHistogram(); }},
      {kCmdScale, [](COrbiskWnd& w) { w.ScaleDialog(); }},
      {kCmdRotate, [](COrbiskWnd& w) { w.RotateDialog(); }},
      {kCmdSwapColorChannel, [](COrbiskWnd& w) { w.SwapChannelsDialog(); }},
      {kCmdChangeColorDepth, [](COrbiskWnd& w) { w.ColourDepthDialog(); }},
      {kCmdFilterBrowser, [](COrbiskWnd& w) { w.OpenFilterBrowser(); }},
      {kCmdZoomIn, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::ZoomIn); }},
      {kCmdZoomOut, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::ZoomOut); }},
      {kCmdActualSize, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::ActualSize); }},
      {kCmdBestFit, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::BestFit); }},
      {kCmdFitInWindow, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::FitInWindow); }},
      {kCmdFitWidth, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::FitWidth); }},
      {kCmdFitHeight, [](COrbiskWnd& w) { w.RequestZoomFor(ZoomCommand::FitHeight); }},
      {kCmdSaveImage, [](COrbiskWnd& w) { w.SaveCommand(); }},
      {kCmdSaveImageAs, [](COrbiskWnd& w) { w.SaveAsCommand(); }},
  };
  for (const Handler& handler : kHandlers) {
    if (handler.command == command) return handler.run(*this);
  }
  // The ranges of the table: digit keys for the host and the recent files.
  if (command >= kCmdHostKey1 && command <= kCmdHostKey7) return HandKeyToHost(command);
  if (command >= kCmdRecentFirst && command <= kCmdRecentLast) return OpenRecent(command);
}

CommandState COrbiskWnd::CurrentCommandState() const {
  CommandState s;
  if (display_) {
    s.imageShown = display_->HasImage();
    s.bitsPerPixel =
        s.imageShown ? display_->Facts().channels * display_->Facts().bitsPerChannel : 0;
    s.pageCount = s.imageShown ? display_->SlideCount() : 0;
    s.viewMode = display_->GetViewMode();
    s.zoom = display_->GetZoom();
    s.animationPlaying = display_->AnimationPlays();
  }
  s.modified = modified_;
  s.pageByPage = pageByPage_;
  {
    std::lock_guard lock(listsMutex_);
    s.folderListNotEmpty = !folderList_.Empty();
    s.historyNotEmpty = !history_.Empty();
    s.historyHasNext = history_.HasNext();
    s.historyHasPrev = history_.HasPrev();
  }
  s.clipboardHasImage = IsClipboardFormatAvailable(CF_DIB) ||
                        IsClipboardFormatAvailable(CF_BITMAP) ||
                        IsClipboardFormatAvailable(CF_ENHMETAFILE);
  s.clipboardHasAny = CountClipboardFormats() > 0;
  s.quickView = QuickView();
  s.skinActive = SkinActive();
  s.skinHasInfoButton = SkinActive() && !skin_->Button(kSkinInfo, 0).IsEmpty();
  s.topmost = Topmost(TopLevelWindow());
  s.showInfo = settings_.showInfo;
  s.showMenuBar = settings_.showMenuBar;
  s.showToolBar = settings_.showToolBar;
  s.showStatusBar = settings_.showStatusBar;
  s.zoomStep = float(settings_.zoomStep);
  return s;
}

void COrbiskWnd::OnInitMenuPopup(HMENU menu, bool systemMenu) {
  if (systemMenu || !menu) return;
  CommandState state = CurrentCommandState();
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &item) || (item.fType & MFT_SEPARATOR)) continue;
    if (item.hSubMenu) continue;
    CommandRules rules = RulesFor(item.wID);
    EnableMenuItem(menu, UINT(i),
                   MF_BYPOSITION | (IsEnabled(rules.enable, state) ? MF_ENABLED : MF_GRAYED));
    if (rules.radio) {
      item.fMask = MIIM_FTYPE;
      item.fType |= MFT_RADIOCHECK;
      SetMenuItemInfoW(menu, UINT(i), TRUE, &item);
    }
    CheckMenuItem(menu, UINT(i),
                  MF_BYPOSITION | (IsChecked(rules.check, state) ? MF_CHECKED : MF_UNCHECKED));
    DecorateMenuItem(menu, UINT(i), item.wID, accelTable_);
  }
  if (GetMenuItemID(menu, 0) == kCmdOpenImage) {
    if (HMENU recent = GetSubMenu(menu, kRecentMenuPosition)) RebuildRecentMenu(recent);
    EnableMenuItem(menu, kRecentMenuPosition,
                   MF_BYPOSITION | (state.historyNotEmpty ? MF_ENABLED : MF_GRAYED));
  }
}

void COrbiskWnd::RebuildRecentMenu(HMENU recent) {
  while (GetMenuItemCount(recent) > 0) DeleteMenu(recent, 0, MF_BYPOSITION);
  std::vector<std::string> entries;
  {
    std::lock_guard lock(listsMutex_);
    entries = RecentMenuEntries(history_.Paths());
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    std::wstring text = ui::WideFromNarrow(RecentMenuText(i + 1, entries[i]));
    AppendMenuW(recent, MF_STRING, kFirstRecentCommand + i, text.c_str());
  }
  recentEntries_ = std::move(entries);
}

void COrbiskWnd::OpenRecent(UINT command) {
  size_t index = command - kFirstRecentCommand;
  if (loadRunning_ || index >= recentEntries_.size() || !ConfirmDiscardChanges()) return;
  userInitiated_ = true;
  LoadFile(recentEntries_[index], true, nullptr, true);
}

void COrbiskWnd::ReloadImage() {
  if (loadRunning_) return;
  std::optional<std::string> current;
  {
    std::lock_guard lock(listsMutex_);
    current = history_.Current();
  }
  if (current) LoadFile(*current, false, nullptr, true);
}

void COrbiskWnd::OpenNeighbour(bool forward) {
  bool fromCurrent = resumeWalk_.exchange(false) && forward;
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  std::optional<std::string> next;
  {
    std::unique_lock lock(listsMutex_);
    if (folderList_.Count() < 2) return;
    std::string shown = history_.Current().value_or("");
    auto wrap = [&] {
      if (!settings_.askDirectoryBound || slideShow_) return true;
      lock.unlock();  // the box runs a message loop
      CheckedAnswer answer =
          CheckedMessageBox(nullptr, L"Orbisk",
                            forward ? L"No more images in directory\nJump to the first image ?"
                                    : L"No more images in directory\nJump to the last image ?",
                            MB_OKCANCEL);
      lock.lock();
      settings_.askDirectoryBound = !answer.checked;
      return answer.button == IDOK;
    };
    auto canLoad = [&](const std::string& path) {
      return display_ && display_->CanOpen(path.c_str()) == glib::RCOK;
    };
    next = WalkFolder(folderList_, forward, shown, wrap, canLoad, fromCurrent);
  }
  if (!next) return;
  direction_ = forward ? 1 : 2;
  LoadFile(*next, true, nullptr, false);
}

void COrbiskWnd::OpenFolderEnd(FolderEnd which) {
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  std::optional<std::string> entry;
  {
    std::lock_guard lock(listsMutex_);
    if (folderList_.Count() < 2) return;
    if (which == FolderEnd::kFirst) folderList_.First();
    if (which == FolderEnd::kLast) folderList_.Last();
    if (which == FolderEnd::kRandom) folderList_.Random(uint32_t(clock()));
    entry = folderList_.Current();
  }
  if (entry && LoadFile(*entry, true, nullptr, true)) return;
  OpenNeighbour(which != FolderEnd::kLast);
}

void COrbiskWnd::StepHistory(bool forward) {
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  std::optional<std::string> entry;
  {
    std::lock_guard lock(listsMutex_);
    entry = forward ? history_.Next() : history_.Prev();
  }
  if (!entry) return;
  userInitiated_ = true;
  LoadFile(*entry, false, nullptr, true);
}

void COrbiskWnd::DeleteShownFile() {
  if (loadRunning_) return;
  std::optional<std::string> shown;
  {
    std::lock_guard lock(listsMutex_);
    shown = history_.Current();
  }
  if (!shown) return;
  std::wstring path = ui::WideFromNarrow(*shown);
  if (settings_.askDeletingFile) {
    std::wstring text = settings_.sendToRecycleBin
                            ? L"Are you sure you want to send\n'" + path + L"' to the Recycle Bin ?"
                            : L"Are you sure you want to remove\n'" + path + L"' ?";
    CheckedAnswer answer = CheckedMessageBox(nullptr, L"Orbisk", text, MB_OKCANCEL);
    settings_.askDeletingFile = !answer.checked;
    if (answer.button != IDOK) return;
  }
  if (settings_.sendToRecycleBin) {
    std::wstring from = path + L'\0';  // the list ends in a second zero
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = hwnd();
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
    SHFileOperationW(&operation);
  } else {
    DeleteFileW(path.c_str());
  }
  std::optional<std::string> only;
  bool empty = false;
  {
    std::lock_guard lock(listsMutex_);
    history_.RemoveCurrent();
    // The folder list's current entry may be another file after steps through the
    // history: take out the deleted one itself.
    const std::vector<std::string>& paths = folderList_.Paths();
    if (std::find(paths.begin(), paths.end(), *shown) != paths.end()) {
      folderList_.Sort(PathList::Order::kNone, *shown);
      folderList_.RemoveCurrent();
    }
    empty = folderList_.Empty();
    if (folderList_.Count() == 1) only = folderList_.Current();
  }
  if (empty) {
    ResetTitleAndBars();
    if (display_) {
      display_->Clear();
      InvalidateRect(display_->hwnd(), nullptr, TRUE);
    }
    ForgetPages();
    info_.Empty();
    return;
  }
  if (only) {
    LoadFile(*only, true, nullptr, false);
    return;
  }
  // The file that followed the deleted one stands at the current entry now.
  resumeWalk_ = true;
  OpenNeighbour(true);
}

void COrbiskWnd::StepPage(PageStep step) {
  if (loadRunning_ || !display_) return;
  if (pageByPage_) {
    int32_t page = currentPage_;
    switch (step) {
      case PageStep::kFirst:
        page = 0;
        break;
      case PageStep::kPrev:
        page -= 1;
        break;
      case PageStep::kNext:
        page += 1;
        break;
      case PageStep::kLast:
        page = pageCount_ - 1;
        break;
    }
    GoToPage(page);
    return;
  }
  bool changed = false;
  switch (step) {
    case PageStep::kFirst:
      changed = display_->First();
      break;
    case PageStep::kPrev:
      changed = display_->Prev();
      break;
    case PageStep::kNext:
      changed = display_->Next();
      break;
    case PageStep::kLast:
      changed = display_->Last();
      break;
  }
  if (changed) ShowFrameChange();
}

bool COrbiskWnd::GoToPage(int32_t page) {
  if (loadRunning_ || !pageByPage_ || page < 0 || page >= pageCount_ || page == currentPage_)
    return false;
  if (loadRunning_.exchange(true)) return false;
  requestedPage_ = page;
  abortRequest_ = false;
  userInitiated_ = true;
  pageLoad_ = true;
  if (!StartWorker()) {
    pageLoad_ = false;
    loadRunning_ = false;
    return false;
  }
  return true;
}

void COrbiskWnd::PlayAnimation(bool play) {
  if (loadRunning_ || !display_) return;
  if (play ? display_->StartAnimation() : display_->StopAnimation()) ShowFrameChange();
}

void COrbiskWnd::OpenImage() {
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  if (openFolder_.empty()) {
    std::lock_guard lock(listsMutex_);
    if (std::optional<std::string> current = history_.Current())
      openFolder_ = ui::WideFromNarrow(FolderOf(*current));
  }
  std::optional<std::wstring> chosen = RunOpenImageDialog(TopLevelWindow(), openFolder_);
  if (!chosen || !display_) return;
  std::u16string path(chosen->begin(), chosen->end());
  if (display_->CanOpenW(path.c_str()) != glib::RCOK) return;
  userInitiated_ = true;
  if (!LoadFileW(path, true, nullptr, true)) userInitiated_ = false;
}

void COrbiskWnd::OpenRaw() {
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  wchar_t name[MAX_PATH] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = TopLevelWindow();
  ofn.lpstrFilter = L"All files (*.*)\0*.*\0";
  ofn.lpstrTitle = L"Open RAW file";
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&ofn) || !display_) return;
  CharLowerW(name);
  std::optional<RawSettings> settings = CRAWDialog(name).Run(TopLevelWindow());
  if (!settings) return;
  rawRecord_ = glib::RAWLoad();
  FillRawLoad(*settings, rawRecord_);
  userInitiated_ = true;
  const std::wstring path(name);
  if (!LoadFileW(std::u16string(path.begin(), path.end()), true, &rawRecord_, true))
    userInitiated_ = false;
}

void COrbiskWnd::GoToPageDialog() {
  if (loadRunning_ || !display_) return;
  bool playing = display_->StopAnimation();
  int32_t count = pageByPage_ ? pageCount_.load() : int32_t(display_->GetSlideCount());
  std::optional<int32_t> page = GoToPageDlg(count).Run(TopLevelWindow());
  if (!page) {
    if (playing) display_->StartAnimation();
    return;
  }
  if (pageByPage_) {
    GoToPage(*page - 1);
    return;
  }
  display_->GoTo(*page - 1);
  ShowFrameChange();  // also when the pause went back to the first frame
}

void COrbiskWnd::DeleteCurrentPage() {
  if (loadRunning_ || !display_ || display_->GetSlideCount() == 0 || display_->AnimationPlays())
    return;
  int32_t index = display_->GetCurrentIndex();
  if (!display_->RemoveSlides(index, 1)) return;
  if (display_->GetCurrentIndex() >= int32_t(display_->GetSlideCount()) && index > 0)
    display_->GoTo(int32_t(display_->GetSlideCount()) - 1);
  display_->RecalcLayout();
  modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::TurnPicture(Turn turn) {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  bool done = false;
  switch (turn) {
    case Turn::kMirrorLeftRight:
      done = display_->Mirror(false, true, 0, -1);
      break;
    case Turn::kMirrorTopBottom:
      done = display_->Mirror(true, false, 0, -1);
      break;
    case Turn::kClockwise:
      done = display_->Rotate(90.0, true, 0, -1) == glib::RCOK;
      break;
    case Turn::kCounterClockwise:
      done = display_->Rotate(270.0, true, 0, -1) == glib::RCOK;
      break;
  }
  // A failure leaves the view as it was; slides already turned are shown as they are.
  display_->RecalcLayout();
  if (done) modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::ApplyOneStepEffect(uint32_t effect) {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  glib::ERetcode rc = display_->ApplyEffect(effect, nullptr, 0, -1);
  // Pages done before a failure stay changed: the view shows them as they are.
  modified_ = modified_ || rc == glib::RCOK;
  ShowFrameChange();
  UpdateWindow(display_->hwnd());
}

void COrbiskWnd::ShowFrameChange() {
  if (display_) InvalidateRect(display_->hwnd(), nullptr, FALSE);
  RefreshTitle();
  RefreshStatusTexts();
  RefreshToolBar();
}

void COrbiskWnd::HandKeyToHost(UINT command) {
  if (Standalone()) return;
  handBack_ = true;
  PostMessageW(parent_, WM_KEYDOWN, WPARAM('1' + (command - kCmdHostKey1)), 0);
}

void COrbiskWnd::Escape() {
  EscState state;
  state.loadRunning = loadRunning_;
  state.slideShow = slideShow_;
  state.fullScreen = fullScreen_;
  state.standalone = Standalone();
  state.quickView = QuickView();
  state.singleEscToExit = settings_.singleEscToExit;
  EscAction action = DecideEsc(state);
  if (action.abortLoad) abortRequest_ = true;
  if (action.stopSlideShow) StopSlideShow();
  if (action.leaveFullScreen) LeaveFullScreen();
  if (action.close) PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void COrbiskWnd::ShowAbout() {
  bool playing = display_ && display_->StopAnimation();
  AboutDlg(about_).Run(TopLevelWindow());
  if (playing) display_->StartAnimation();
}

void COrbiskWnd::SetWallpaper(UINT command) {
  if (loadRunning_ || !display_) return;
  switch (command) {
    case kCmdWallpaperFitOnDesktop:
      shell::FitOnDesktop(*display_);
      return;
    case kCmdWallpaperRestore:
      shell::SetWallpaperFromFilm(*display_, shell::WallpaperMode::kClear);
      return;
    case kCmdWallpaperTiled:
      shell::SetWallpaperFromFilm(*display_, shell::WallpaperMode::kTiled);
      return;
    case kCmdWallpaperStretched:
      shell::SetWallpaperFromFilm(*display_, shell::WallpaperMode::kStretched);
      return;
    default:
      shell::SetWallpaperFromFilm(*display_, shell::WallpaperMode::kCentered);
  }
}

void COrbiskWnd::ChooseFileTypes() {
  bool playing = display_ && display_->StopAnimation();
  AssociationDlg().Run(TopLevelWindow());
  if (playing) display_->StartAnimation();
}

void COrbiskWnd::Exit() {
  if (fullScreen_) return LeaveFullScreen();
  PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

HWND COrbiskWnd::TopLevelWindow() const { return SkinActive() ? hwnd() : parent_; }

// Without toggling it applies the stored flag.
void COrbiskWnd::ToggleKeepVisible(bool toggle) {
  HWND top = TopLevelWindow();
  bool topmost = toggle ? !Topmost(top) : settings_.isTopmostWindow;
  SetWindowPos(top, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  settings_.isTopmostWindow = topmost;
  // The skin's button shows the state, whoever changed it.
  if (SkinActive()) InvalidateRect(hwnd(), nullptr, FALSE);
  UpdateWindow(top);
}

void COrbiskWnd::ToggleMenuBar() {
  if (SkinActive() || QuickView()) return;
  settings_.showMenuBar = !settings_.showMenuBar;
  ui::SwapMenu(parent_, settings_.showMenuBar ? LoadMainMenu() : nullptr);
}

void COrbiskWnd::ToggleToolBar() {
  if (SkinActive()) return;
  settings_.showToolBar = !settings_.showToolBar;
  Layout();
}

void COrbiskWnd::ToggleStatusBar() {
  if (SkinActive()) return;
  settings_.showStatusBar = !settings_.showStatusBar;
  Layout();
}

void COrbiskWnd::ToggleInfoPanel() {
  settings_.showInfo = !settings_.showInfo;
  Layout();
  RefreshToolBar();
}

void COrbiskWnd::MinimizeTopLevel() {
  if (!QuickView()) ShowWindow(TopLevelWindow(), SW_MINIMIZE);
}

void COrbiskWnd::MaximizeTopLevel() {
  if (QuickView()) return;
  HWND top = TopLevelWindow();
  ShowWindow(top, IsZoomed(top) ? SW_RESTORE : SW_MAXIMIZE);
}

void COrbiskWnd::OpenWebPage(const wchar_t* address) {
  ShellExecuteW(hwnd(), L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void COrbiskWnd::CopyPath() {
  if (loadRunning_) return;
  std::optional<std::string> current;
  {
    std::lock_guard lock(listsMutex_);
    current = history_.Current();
  }
  if (!current) return;
  std::wstring text = ui::WideFromNarrow(*current);
  ui::ClipboardScope clipboard(hwnd());
  if (!clipboard.ok()) return;
  EmptyClipboard();
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  ui::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
  {
    ui::GlobalLockScope lock(block.get());
    if (!lock.data()) return;
    memcpy(lock.data(), text.c_str(), bytes);
  }
  if (SetClipboardData(CF_UNICODETEXT, block.get())) block.release();  // the clipboard's now
}

void COrbiskWnd::CopyImage() {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  // The whole frame on screen, its layers flattened.
  Size size = display_->ImageSize();
  display_->CopyToClipboard(display_->GetCurrentIndex(), glib::Rect{0, 0, size.width, size.height});
  SetCursor(previous);
}

void COrbiskWnd::PasteImage() {
  if (loadRunning_ || !display_) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  // The picture goes on top of the shown page as a layer of its own; an empty view
  // gets a page for it.
  bool pasted = display_->PasteFromClipboard(std::max(0, display_->GetCurrentIndex()));
  SetCursor(previous);
  if (!pasted) return;
  display_->RecalcLayout();
  modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::ClearClipboard() {
  ui::ClipboardScope clipboard(hwnd());
  if (clipboard.ok()) EmptyClipboard();
}

void COrbiskWnd::RequestZoomFor(ZoomCommand command) {
  if (!display_) return;
  RequestZoom(ZoomRequestFor(command, display_->GetZoom(), float(settings_.zoomStep)));
}

void COrbiskWnd::RequestZoom(const ZoomRequest& request) {
  if (loadRunning_ || !display_) return;
  ReentryFlag::Scope scope(zoomGuard_);
  if (!scope.Entered() || !IsZoomRequestAccepted(request)) return;
  display_->SetFrozen(true);
  if (request.zoom != 0.0f) {
    display_->SetViewModeAndZoom(request.mode, request.zoom);
  } else {
    display_->SetViewMode(request.mode);
  }
  display_->CenterView();
  display_->SetFrozen(false);
  display_->RecalcLayout();
  RedrawWindow(display_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  RefreshStatusTexts();
  RefreshToolBar();
  TellHostOfFit();
}

// The first file of a drop; while a load runs it waits for the load's end (a later
// drop takes its place).
void COrbiskWnd::OnDropFiles(HDROP drop) {
  wchar_t name[MAX_PATH + 1] = {};
  bool named = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0 &&
               DragQueryFileW(drop, 0, name, MAX_PATH) > 0;
  DragFinish(drop);
  if (!named) return;
  std::wstring wide(name);
  std::u16string file(wide.begin(), wide.end());
  if (loadRunning_) {
    pendingDrop_ = std::move(file);
    return;
  }
  OpenDropped(file);
}

void COrbiskWnd::OpenDropped(const std::u16string& file) {
  if (!ConfirmDiscardChanges()) return;
  userInitiated_ = true;
  if (!LoadFileW(file, true, nullptr, true)) userInitiated_ = false;
}

void COrbiskWnd::OnMouseWheel(int16_t delta) {
  ReentryFlag::Scope scope(wheelGuard_);
  if (!scope.Entered()) return;
  OnCommand(WheelShowsNext(delta) ? kCmdOpenNext : kCmdOpenPrev);
}

// ---- full screen ----

void COrbiskWnd::ToggleFullScreen() {
  if (QuickView()) return;
  if (fullScreen_) {
    LeaveFullScreen();
  } else {
    EnterFullScreen();
  }
}

void COrbiskWnd::EnterFullScreen() {
  if (QuickView() || fullScreen_ || !display_) return;
  HWND window = TopLevelWindow();
  savedShowInfo_ = settings_.showInfo;
  fullScreen_ = true;
  savedTopmost_ = Topmost(window);
  savedViewMode_ = display_->GetViewMode();
  display_->SetViewMode(ViewMode::BestFit);
  settings_.showInfo = false;
  Layout();
  if (!SkinActive()) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, (style & ~kOverlappedParts) | WS_POPUP);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  GetWindowRect(window, &fullScreenRestore_);
  RECT area{};
  GetWindowRect(display_->hwnd(), &area);
  Rect target = FullScreenWindowRect({fullScreenRestore_.left, fullScreenRestore_.top,
                                      fullScreenRestore_.right, fullScreenRestore_.bottom},
                                     {area.left, area.top, area.right, area.bottom},
                                     {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                     SkinActive() ? 0 : kHostExtraBottom);
  SetWindowPos(window, HWND_TOPMOST, target.left, target.top, target.Width(), target.Height(),
               SWP_FRAMECHANGED);
  if (settings_.hideMouseCursor) display_->SetPointerHidden(true);
  lastMoveTick_ = GetTickCount();
  lastMouse_ = -1;
}

void COrbiskWnd::LeaveFullScreen() {
  if (!fullScreen_) return;
  HWND window = TopLevelWindow();
  settings_.showInfo = savedShowInfo_;
  if (display_) display_->SetViewMode(savedViewMode_);
  fullScreen_ = false;
  if (!SkinActive()) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, (style & ~LONG_PTR(WS_POPUP)) | kOverlappedParts);
  }
  // Keep Visible survives a round trip through full screen.
  SetWindowPos(window, savedTopmost_ ? HWND_TOPMOST : HWND_NOTOPMOST, fullScreenRestore_.left,
               fullScreenRestore_.top, fullScreenRestore_.right - fullScreenRestore_.left,
               fullScreenRestore_.bottom - fullScreenRestore_.top, SWP_FRAMECHANGED);
  Layout();
  if (display_) display_->SetPointerHidden(false);
}

void COrbiskWnd::OnMouseMoved(LPARAM packed) {
  if (!fullScreen_ || !display_ || !display_->HasImage() || packed == lastMouse_) return;
  lastMouse_ = packed;
  lastMoveTick_ = GetTickCount();
  display_->SetPointerHidden(false);
}

void COrbiskWnd::OnTimer(UINT_PTR id) {
  if (id != kWindowTimer || !display_ || loadRunning_) return;
  if (fullScreen_ && settings_.hideMouseCursor &&
      GetTickCount() - lastMoveTick_ >= kHidePointerAfterMs) {
    display_->SetPointerHidden(true);
    lastMoveTick_ = GetTickCount();
  }
  if (slideShow_) {
    OnCommand(settings_.randomImageOrder ? kCmdOpenRandom : kCmdOpenNext);
    return;
  }
  // Whatever changed without telling the frame (the display's own fit after a resize, an
  // animation that started or stopped) shows within a tick; unchanged texts cost no repaint.
  if (BuildStatusTexts() != statusTexts_) {
    RefreshStatusTexts();
    RefreshToolBar();
  }
}

void COrbiskWnd::ToggleSlideShow() {
  if (QuickView()) return;
  if (slideShow_) return StopSlideShow();
  if (loadRunning_ || !ConfirmDiscardChanges()) return;
  if (settings_.setFullScreenOnSlideShow && !fullScreen_) EnterFullScreen();
  slideShow_ = true;
  SetTimer(hwnd(), kWindowTimer, UINT(std::clamp(settings_.timeoutSlideshow, 100, 3600000)),
           nullptr);
  RefreshToolBar();
}

void COrbiskWnd::StopSlideShow() {
  if (!slideShow_) return;
  if (settings_.setFullScreenOnSlideShow && fullScreen_) LeaveFullScreen();
  slideShow_ = false;
  SetTimer(hwnd(), kWindowTimer, kWindowTimerMs, nullptr);
  RefreshToolBar();
}

}  // namespace viewer
