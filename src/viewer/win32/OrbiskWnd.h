// COrbiskWnd: the one window of a viewer. It is created by ListLoad for a parent
// window of the host (the standalone frame, a Lister window or a quick-view panel),
// wires itself to that parent, receives every command by its identifier, keeps the
// title, status texts and bars current, and runs one load at a time on a worker
// thread that talks back through UWM_NOTIFY.
//
// The object deletes itself when its window is gone. Everything here runs on the
// window's thread except the load worker (OrbiskWndLoad.cpp), which touches only the
// display's document, the lists and the atomic flags while load-running is set.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/ClbData.h"
#include "formats/FileInfoRecord.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"
#include "formats/Retcode.h"
#include "host/Accelerator.h"
#include "host/DiagnosticsLog.h"
#include "host/Settings.h"
#include "shell/TwainWrapper.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Window.h"
#include "viewer/CommandRules.h"
#include "viewer/LoadProgress.h"
#include "viewer/PathList.h"
#include "viewer/ScanBatch.h"
#include "viewer/ViewerTexts.h"
#include "viewer/WindowRules.h"
#include "viewer/win32/InfoList.h"
#include "viewer/win32/Skin.h"

namespace glib {
class Film;
}
namespace host {
class ProfileStore;
}

namespace viewer {

class CLiteCtrlExEx;
struct HotKeyListItem;

// Private messages of the viewer window; a second instance posts UWM_NOTIFY too.
constexpr UINT UWM_STARTUP = WM_USER + 100;
constexpr UINT UWM_NOTIFY = WM_USER + 101;

// UWM_NOTIFY codes (wParam).
enum NotifyCode : WPARAM {
  kNotifyTitle = 0,
  kNotifyReset = 1,
  kNotifyListerWheel = 2,
  kNotifyFullScreen = 3,
  kNotifyLoadFailed = 4,
  kNotifyMouseMoved = 5,
  kNotifyStatus = 6,
  kNotifyInfo = 7,
  kNotifyChooseResolution = 8,  // lParam: a ResolutionQuestion, answered in place
  kNotifyMissingPlugin = 9,     // lParam: the format's code; answers the button pressed
  kNotifyHandOff = 10,
  kNotifyClosing = 11,      // sent by the host's close call before its WM_CLOSE
  kNotifyLoadNext = 12,     // lParam: a const std::u16string*, the next file; answers 1 if taken
  kNotifyHostDisplay = 13,  // lParam: the host's display flags (HostDisplay)
  kNotifyLoadEnded = 14,    // posted by the load's worker once commands are taken again
};

// A notification that carries a pointer is taken only while its sender holds the
// pointer armed. The notification's number is public (other processes post the
// hand-off with it), and a stray post must never make the window read memory.
class ArmedPayload {
 public:
  explicit ArmedPayload(const void* payload);
  ~ArmedPayload();
  ArmedPayload(const ArmedPayload&) = delete;
  ArmedPayload& operator=(const ArmedPayload&) = delete;
  LPARAM lparam() const { return LPARAM(payload_); }
  static bool IsArmed(LPARAM value);

 private:
  const void* payload_;
};

// What the file manager asks of the display, from its Lister options: dark mode
// always, the centring and fit choices only when the user changed them there.
struct HostDisplay {
  bool dark = false;
  std::optional<bool> centred;
  std::optional<bool> fit;  // the Lister's fit option as it now stands
  bool largerOnly = false;  // with fit: only pictures larger than the window
};

// The Lister's command id for its fit option, sent to it with WM_COMMAND when the
// user changes the fit here: MAKEWPARAM(1 on or 0 off, kListerFitCommand).
constexpr WORD kListerFitCommand = 0xFFFB;

// The worker's question before a multi-resolution file is opened.
struct ResolutionQuestion {
  const std::vector<Size>* sizes;
  std::optional<size_t> chosen;
};

// The worker's requests for the progress panel (wParam: action, lParam: value).
constexpr UINT kMsgProgress = WM_APP + 10;
enum ProgressAction : WPARAM { kProgressShow, kProgressUpdate, kProgressHide, kProgressFolder };

// The window's one timer: every half second (the pointer in full screen), or at the
// slide show's interval while a show runs.
constexpr UINT_PTR kWindowTimer = 1;
constexpr UINT kWindowTimerMs = 500;

// The lParam of the WM_CLOSE the viewer posts to its parent when it goes.
constexpr LPARAM kCloseFromViewer = 1965;

class COrbiskWnd final : public ui::Window, public shell::TwainWrapper {
 public:
  explicit COrbiskWnd(InstanceMode mode);
  ~COrbiskWnd() override;

  // ---- set-up by ListLoad, in this order ----
  void SetParentWindow(HWND parent) { parent_ = parent; }
  // The name passed to ListLoad; a name beginning with "-" is kept as an option.
  void SetStartupName(const std::string& narrow, const std::u16string* wide);
  // Lister and quick view: finds the file manager's main window of the parent's
  // process; false when there is none.
  bool FindMainWindow();
  // Lister window: the parent's menu is replaced by ours, its icon and clipping set.
  void TakeOverListerMenu();
  // Reads the settings file and the profile (before the window exists, and again at
  // creation).
  void ReadSettings();
  // Creates the viewer window inside its parent; the creation handler applies the
  // saved placement.
  bool CreateViewer();
  void SubclassParent();
  // Shows parent and viewer as the saved placement says.
  void ShowAtStart();
  // Lister window: the harmless child the host owns; null on failure.
  HWND CreateStub();

  const host::Settings& Settings() const { return settings_; }
  InstanceMode Mode() const { return mode_; }
  bool Standalone() const { return mode_ == InstanceMode::Standalone; }
  bool QuickView() const { return mode_ == InstanceMode::QuickView; }
  bool ListerWindow() const { return mode_ == InstanceMode::ListerWindow; }
  const std::string& StartupFile() const { return startupFile_; }

  // ---- loading (OrbiskWndLoad.cpp) ----
  // Starts a load on the worker thread; false while one is running.
  bool LoadFile(const std::string& path, bool recordHistory, const glib::RAWLoad* raw,
                bool rebuildFolder);
  bool LoadFileW(const std::u16string& path, bool recordHistory, const glib::RAWLoad* raw,
                 bool rebuildFolder);
  bool LoadRunning() const { return loadRunning_.load(); }

  // The parent subclass procedure (ListerWiring.cpp) reaches these.
  HWND ParentWindow() const { return parent_; }
  void RestoreParentProcedure();
  void NoteHandBack() { handBack_ = true; }
  // A message for the Lister's own procedure (its options, told by us).
  LRESULT CallParentProcedure(UINT message, WPARAM wparam, LPARAM lparam) {
    return savedParentProc_ ? CallWindowProcW(savedParentProc_, parent_, message, wparam, lparam)
                            : 0;
  }
  bool SkinActive() const { return skin_ && skin_->Active(); }
  uint32_t NextHideCount() { return hideCounter_++; }
  WNDPROC SavedParentProcedure() const { return savedParentProc_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalDestroy() noexcept override;

 private:
  // ---- creation, life and death (OrbiskWnd.cpp) ----
  LRESULT OnCreate();
  void OnStartup();
  LRESULT OnNotify(WPARAM code, LPARAM lparam);
  void OnClose();
  void OnDestroy();
  bool TranslateKeys(UINT message, WPARAM wparam, LPARAM lparam);
  void WaitForWorker();
  // Waits for a thread, letting the messages it sends to this thread through.
  static void WaitForThread(HANDLE thread);
  void WriteAppPath();

  // ---- commands (OrbiskWndCommands.cpp) ----
  void OnCommand(UINT command);
  void OnInitMenuPopup(HMENU menu, bool systemMenu);
  void RebuildRecentMenu(HMENU file);
  CommandState CurrentCommandState() const;
  void HandKeyToHost(UINT command);
  void Escape();
  void Exit();
  void ToggleKeepVisible(bool toggle);
  void ToggleMenuBar();
  void ToggleToolBar();
  void ToggleStatusBar();
  void ToggleInfoPanel();
  void MinimizeTopLevel();
  void MaximizeTopLevel();
  void CopyPath();
  void CopyImage();
  // "PasteImage": the clipboard's picture as a new layer of the shown page.
  void PasteImage();
  void ClearClipboard();
  void OpenWebPage(const wchar_t* address);
  void OpenRecent(UINT command);
  void ReloadImage();
  // "OpenNext" / "OpenPrev": the next showable file of the folder list.
  void OpenNeighbour(bool forward);
  enum class FolderEnd { kFirst, kLast, kRandom };
  void OpenFolderEnd(FolderEnd which);
  // "StepNext" / "StepBack" through the history.
  void StepHistory(bool forward);
  // "DeleteImage": the shown file to the Recycle Bin (or gone for good), then the
  // next one.
  void DeleteShownFile();
  // The VCR commands: pages of the file page by page, else frames of the document.
  enum class PageStep { kFirst, kPrev, kNext, kLast };
  void StepPage(PageStep step);
  // Page by page: loads another page on the worker; refused while a load runs, out
  // of range or for the current page.
  bool GoToPage(int32_t page);
  void PlayAnimation(bool play);
  // "About" and "AssociateFileTypes", each a dialog of its own.
  void ShowAbout();
  void ChooseFileTypes();
  // The five wallpaper commands: the shown picture on the desktop, or none.
  void SetWallpaper(UINT command);

  // ---- scanning (OrbiskWndScan.cpp) ----
  void SelectTwainSource();
  // The save question, then an empty view for what the scanner sends; false on Cancel.
  bool ClearForScan();
  void AcquireImage();
  void BatchScanning();
  // The scanned image: shown as a new, modified document, or written as the batch's
  // next file.
  bool OnImage(HANDLE image, const TW_IMAGEINFO& info) override;
  void WriteBatchFile(const TW_IMAGEINFO& info);
  // "OpenImage": the open dialog with its preview.
  void OpenImage();
  // "OpenImageAsRaw": any file, laid out by hand in the RAW dialog.
  void OpenRaw();
  // "PageGoto": the "Go To Page" dialog; a playing animation pauses meanwhile.
  void GoToPageDialog();
  // "DeleteCurrentPage": the shown frame leaves the document.
  void DeleteCurrentPage();
  // "Fliphor", "Flipver", "Rotate 90" and "Rotate 270" on every page.
  enum class Turn { kMirrorLeftRight, kMirrorTopBottom, kClockwise, kCounterClockwise };
  void TurnPicture(Turn turn);
  // "AutoLevels", "AutoContrast", "Desaturate", "Negative": one colour effect on every
  // page, without a dialog.
  void ApplyOneStepEffect(uint32_t effect);
  // ---- the Edit menu's dialogs (OrbiskWndEdit.cpp) ----
  // "Histogram": the levels and distinct colours of the shown page.
  void ShowHistogram();
  // "Scale" and "Rotate": every page through the document's Stretch and Rotate.
  void ScaleDialog();
  void RotateDialog();
  // "SwapColorChannel": samples of the shown page's pixels trade places.
  void SwapChannelsDialog();
  // "ChangeColorDepth": the shown page's first layer to another pixel type.
  void ColourDepthDialog();
  // After an edit that may have changed the pages' size: layout, title and bars.
  void ShowEditedPicture();
  // A document operation that failed other than by the user's stop, told in a box.
  void ReportEditFailure(const wchar_t* what, uint32_t code);
  // "FilterBrowser": the colour effects with their settings and a preview; the one
  // chosen goes on every page (FilterBrowser.cpp).
  void OpenFilterBrowser();
  // "Slideshow": starts or stops the show.
  void ToggleSlideShow();
  void StopSlideShow();
  // After a frame or page change: repaint, title and bars.
  void ShowFrameChange();
  // Whether the shown picture may be dropped: true unless it has changes the user
  // wants to keep (the "Warning" question, when the settings ask it; OrbiskWndSave.cpp).
  bool ConfirmDiscardChanges();
  void ShowSaveError();  // "Error on save image!"
  // After a good load: the folder list of the loaded file's folder, built when the
  // folder changed, on the worker thread.
  void RebuildFolderList(const std::string& loaded);
  // On the worker: the reduced resolution "ImageResolution" asks for (asking the
  // user through the window when it says so); empty for the picture itself.
  Size ChooseLoadResolution(const std::string& name, const char16_t* widePath);
  void RequestZoomFor(ZoomCommand command);
  void RequestZoom(const ZoomRequest& request);
  void OnDropFiles(HDROP drop);
  void OpenDropped(const std::u16string& file);
  void OnMouseWheel(int16_t delta);
  void OnDoubleClick();

  // ---- options (OrbiskWndOptions.cpp) ----
  // "Options": the pages' values and the shortcut list; ignored while a load runs.
  void OptionsDialog();
  // On OK: the settings taken over, the display, the folder list and the keys
  // brought up to date, then the settings written.
  void ApplyOptions(const host::Settings& chosen, const std::vector<HotKeyListItem>& rows);

  // ---- saving (OrbiskWndSave.cpp) ----
  // "SaveImage": the shown file rewritten in its own format with default parameters.
  void SaveCommand();
  // "SaveImageAs": the save dialog; the saved file is opened afterwards.
  void SaveAsCommand();
  // Writes the document to `path` (null record: the default one of the loaded format);
  // a success clears the modified flag.
  bool SaveTo(const std::u16string& path, glib::RecordPtr<glib::ImageSave> record);
  // The loader's report of the file now shown, and its forgetting before a new load
  // (on the worker; `wholeFile` when every page came in at its own size).
  void KeepLoadedFile(const std::string& narrow, const std::u16string& wide, uint32_t format,
                      const glib::FileInfoRecord* info, bool wholeFile);
  void ForgetLoadedFile();

  // ---- full screen and pointer (OrbiskWndCommands.cpp) ----
  void ToggleFullScreen();
  void EnterFullScreen();
  void LeaveFullScreen();
  void OnMouseMoved(LPARAM packed);
  void OnTimer(UINT_PTR id);

  // ---- bars, layout, texts (OrbiskWndLayout.cpp) ----
  bool CreateChildren();
  void Layout();
  void RefreshTitle();
  void ResetTitleAndBars();
  void RefreshStatusTexts();
  StatusTexts BuildStatusTexts() const;
  void RefreshToolBar();
  void ShowLoadError(uint32_t code);
  // "Can't load plugin": the button pressed (IDRETRY, IDCANCEL).
  int AskAboutMissingPlugin(const char* format);
  // The panel from the file information the last load kept.
  void ShowFileInfo();
  // The path of the current load as the panel shows it.
  std::u16string LoadPathForInfo() const;
  HWND TopLevelWindow() const;

  // ---- skins (OrbiskWndSkin.cpp) ----
  // At creation: the skin files, and the "Skin" setting's skin (not in quick view).
  void InitSkin();
  // The skinned window's messages; true when handled.
  bool OnSkinMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void OnContextMenu(POINT screen);
  // A choice of the skins menu: "Windows classic" or one of the skin files.
  void ChooseSkin(UINT command);
  void DetachFromHost();
  void EmbedInHost();
  // The display's place in the skinned client area.
  RECT SkinClientArea(int width, int height) const;
  void PaintSkin(HDC target);
  void PaintSkinButtons(HDC target, HDC source);
  // The skin button under a client point, or -1.
  int SkinButtonAt(POINT point) const;
  void DragSkinFrame(POINT screen);
  void RememberSkinName();

  std::unique_ptr<CSkin> skin_;
  ui::UniqueBitmap skinBitmap_;  // the skin's bitmap as a DIB for drawing from
  ui::UniqueFont captionFont_;   // made at the first skinned paint, kept for the next
  std::array<Rect, kSkinButtonCount> skinButtons_{};
  int pressedSkinButton_ = -1;
  // The buttons' tooltips while a skin is active (owned by the viewer window).
  HWND skinTips_ = nullptr;
  void PlaceSkinTips();
  SkinZone dragZone_ = SkinZone::None;
  POINT dragStart_{};
  RECT dragStartRect_{};

  // ---- the file manager's display choices (OrbiskWndSkin.cpp) ----
  void ApplyHostDisplay(const HostDisplay& display);
  // The background colour shown: the setting's, or a dark one in dark mode.
  uint32_t ShownBackground() const;
  InfoList::Colors InfoColours() const;
  void ApplyLookColours();
  // Tells the Lister when the user's view mode turns its fit option on or off.
  void TellHostOfFit();
  bool hostDark_ = false;
  // The Lister's fit and larger-only options as last seen or told: a parameter
  // change that repeats them (the Lister's answer to our own message) keeps the mode.
  std::optional<std::pair<bool, bool>> hostFit_;

  // ---- settings (OrbiskWndSettings.cpp) ----
  void ApplySettingsToDisplay();
  void ApplyPlacement();
  void LoadBuiltInKeys();
  void ApplyShortcuts();
  void InstallAccelerators(const std::vector<host::AccelEntry>& table);
  void WriteSettings();
  bool ParentMenuOwned() const { return !QuickView(); }

  // ---- the worker (OrbiskWndLoad.cpp) ----
  bool BeginLoad(const std::string& narrow, const std::u16string& wide, bool recordHistory,
                 const glib::RAWLoad* raw, bool rebuildFolder);
  static unsigned __stdcall WorkerEntry(void* self) noexcept;
  void WorkerBody();
  uint32_t LoadProcedure();
  // Page by page: page `requestedPage_` of the file loaded last.
  uint32_t PageLoadProcedure();
  // The end both loads share: adjustments, the display told, the log line and the
  // failure report; a good load resets the direction and the flags of the picture.
  glib::ERetcode EndLoad(CLiteCtrlExEx& film, glib::ERetcode rc);
  static bool __cdecl ProgressEntry(ClbData* data) noexcept;
  bool OnProgress(ClbData* data);
  bool StartWorker();
  uint32_t AdjustForDisplay(glib::Film& film);
  void OnProgressMessage(WPARAM action, LPARAM value);
  void ShowErrorPicture();

  InstanceMode mode_;
  HWND parent_ = nullptr;
  HWND mainWindow_ = nullptr;  // the file manager's main window
  ui::UniqueMenu savedParentMenu_;
  LONG_PTR savedParentUserData_ = 0;
  WNDPROC savedParentProc_ = nullptr;
  bool parentSubclassed_ = false;
  bool handBack_ = false;
  uint32_t hideCounter_ = 0;
  HWND stub_ = nullptr;  // a Lister window's stub: the window the host knows, its to destroy
  bool destroying_ = false;
  // A wheel turn or zoom request that arrives while this window handles one is dropped.
  ReentryFlag wheelGuard_;
  ReentryFlag zoomGuard_;

  // Start-up name and option.
  std::string startupFile_;
  std::u16string startupFileW_;
  std::string option_;

  host::Settings settings_;
  host::SettingsStore store_;
  host::AboutInfo about_;
  std::unique_ptr<host::ProfileStore> profile_;
  std::vector<host::AccelEntry> accelTable_;
  ui::UniqueAccelerators accelerators_;
  host::DiagnosticsLog log_;

  // Children.
  ui::ToolBar toolBar_;
  ui::StatusBar statusBar_;
  InfoList infoPanel_;
  InfoPanelModel info_{infoPanel_};
  // The file information of the last good load, handed from the worker to the panel.
  std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter> loadedInfo_;
  std::unique_ptr<CLiteCtrlExEx> display_;
  StatusTexts statusTexts_;

  // Full screen.
  bool fullScreen_ = false;
  RECT savedNormalRect_{};  // from the placement: written back in quick view
  RECT fullScreenRestore_{};
  ViewMode savedViewMode_ = ViewMode::BestFit;
  bool savedShowInfo_ = false;
  bool savedTopmost_ = false;
  LPARAM lastMouse_ = -1;
  DWORD lastMoveTick_ = 0;
  bool pointerHidden_ = false;

  // Lists and flags shared with the loaders; the worker changes the lists only while
  // load-running is set, the window reads them under the lock.
  mutable std::mutex listsMutex_;
  PathList folderList_;
  PathList history_;
  std::vector<std::string> recentEntries_;  // as the "Open Recent" submenu shows them
  std::atomic<bool> loadRunning_{false};
  // A file dropped while a load ran, opened when it ends (the window's thread only).
  std::u16string pendingDrop_;
  std::atomic<bool> abortRequest_{false};
  std::atomic<bool> closePending_{false};
  std::atomic<bool> userInitiated_{false};
  bool slideShow_ = false;
  bool modified_ = false;
  // Batch scanning: the record of the batch dialog, whether a batch runs, and the
  // number of its next file.
  ScanBatch scanBatch_;
  bool batchActive_ = false;
  int32_t batchNumber_ = 1;
  // The save question was put for the close under way.
  bool closeAsked_ = false;
  // Page-by-page mode of the shown file: set by the loader, paged by later commands.
  // The pages of a file shown page by page belong to that file only: a failed load,
  // a scan or an emptied view forgets them.
  void ForgetPages() {
    pageByPage_ = false;
    pageCount_ = 0;
    currentPage_ = 0;
  }
  std::atomic<bool> pageByPage_{false};
  std::atomic<int32_t> pageCount_{0};
  std::atomic<int32_t> currentPage_{0};
  int32_t requestedPage_ = 0;
  bool pageLoad_ = false;  // the worker loads a page, not a file
  // Set by the worker for a good load of an animation: the window starts it.
  std::atomic<bool> startAnimation_{false};

  // The running load.
  std::string loadName_;
  std::u16string loadNameW_;
  bool loadRecordsHistory_ = false;
  bool loadRebuildsFolder_ = false;
  std::string folderOfList_;  // the folder the folder list was built from
  std::wstring openFolder_;   // where the open dialog starts
  // The folder-loading panel's text, written by the worker (under listsMutex_).
  std::wstring folderPanelText_;
  std::optional<glib::RAWLoad> loadRaw_;
  // What the RAW dialog described last.
  glib::RAWLoad rawRecord_;
  ui::UniqueHandleObject worker_;
  LoadProgress progress_;
  std::wstring progressText_;
  HWND progressBar_ = nullptr;
  HWND progressLabel_ = nullptr;
  int direction_ = 0;  // 1 forwards, 2 backwards: where a failed walk continues
  // A forward walk resumes at the folder list's current entry: the failed file was
  // removed and the one that followed it stands there.
  std::atomic<bool> resumeWalk_{false};

  // The file the document came from, for "Save" (under listsMutex_): empty when it
  // has none, or when the load did not bring in the whole file.
  struct LoadedFile {
    std::u16string path;
    uint32_t format = 0xFFFFFFFF;
    bool wholeFile = false;
    std::vector<uint8_t> exif;  // the file's blocks, carried into what is saved
    std::vector<uint8_t> iptc;
  };
  LoadedFile loadedFile_;
};

}  // namespace viewer
