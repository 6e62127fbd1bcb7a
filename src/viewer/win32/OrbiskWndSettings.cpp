// Settings on Windows: reading the file and the profile, applying them to the display,
// the placement of the window, the shortcuts, and writing everything back.
#include "ResourceIds.h"
#include "host/HostPlatform.h"
#include "host/ProfileStore.h"
#include "host/ShortcutRecords.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

host::Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// Where the system would put a new overlapped window.
std::optional<host::Rect> PlatformDefaultRect() {
  HWND probe =
      CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, ui::ThisModule(), nullptr);
  if (!probe) return std::nullopt;
  RECT rect{};
  GetWindowRect(probe, &rect);
  DestroyWindow(probe);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return std::nullopt;
  return FromRect(rect);
}

// The built-in keys as the library's resource holds them.
std::vector<host::AccelEntry> ResourceAccelerators() {
  std::vector<host::AccelEntry> table;
  HACCEL resource = LoadAcceleratorsW(ui::ThisModule(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  int count = resource ? CopyAcceleratorTableW(resource, nullptr, 0) : 0;
  if (count <= 0) return table;
  std::vector<ACCEL> entries(static_cast<size_t>(count));
  CopyAcceleratorTableW(resource, entries.data(), count);
  for (const ACCEL& entry : entries) {
    table.push_back({uint8_t(entry.fVirt & host::kAcceleratorFlagMask), entry.key, entry.cmd});
  }
  return table;
}

}  // namespace

void COrbiskWnd::ReadSettings() {
  if (!store_.Read(host::DefaultIniPath(), settings_)) settings_.view = int32_t(ViewMode::BestFit);
  // Skins are read by name only; one that fails to load is forgotten (InitSkin).
  if (!settings_.showMenuBar && ParentMenuOwned()) {
    ui::SwapMenu(parent_, nullptr);
  }
  // An option given in place of a file counts as a name: nothing is loaded for it.
  if (settings_.autoLoadLastImage && startupFile_.empty() && startupFileW_.empty() &&
      option_.empty()) {
    host::StartupName last = host::LastOpenedImage(*profile_);
    startupFile_ = last.narrow;
    startupFileW_ = last.wide;
  }
  about_ = store_.ReadAbout();
}

void COrbiskWnd::ApplySettingsToDisplay() {
  if (!display_) return;
  display_->SetBackground(ShownBackground(), 0, -1);
  display_->SetZoom(float(settings_.zoomCur));
  display_->SetViewMode(ViewMode(settings_.view));
  display_->SetStretchMode(settings_.renderingFast ? glib::kStretchColorOnColor
                                                   : glib::kStretchHalftone);
  display_->SetPanning(true, settings_.showScrollBars);
}

void COrbiskWnd::ApplyPlacement() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  std::optional<host::Rect> platformDefault;
  if (settings_.pos.rect.left == -1) platformDefault = PlatformDefaultRect();
  host::Rect rect = host::ClampPlacement(settings_.pos.rect, FromRect(work), platformDefault);
  savedNormalRect_ = {rect.left, rect.top, rect.right, rect.bottom};
  if (SkinActive()) return;
  LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~LONG_PTR(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd(), parent_);
  if (!QuickView()) {
    SetWindowPos(parent_, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT client{};
  GetClientRect(parent_, &client);
  MoveWindow(hwnd(), 0, 0, client.right, client.bottom, FALSE);
}

void COrbiskWnd::LoadBuiltInKeys() { InstallAccelerators(ResourceAccelerators()); }

void COrbiskWnd::ApplyShortcuts() {
  std::vector<host::AccelEntry> table = accelTable_;
  store_.ReadShortcuts(table);
  if (!table.empty()) InstallAccelerators(table);
}

void COrbiskWnd::InstallAccelerators(const std::vector<host::AccelEntry>& table) {
  std::vector<host::AccelEntry> bound = host::BoundEntries(table);
  if (bound.empty()) return;
  HACCEL created =
      CreateAcceleratorTableW(reinterpret_cast<ACCEL*>(bound.data()), int(bound.size()));
  if (!created) return;
  accelerators_.reset(created);
  accelTable_ = table;
}

void COrbiskWnd::WriteSettings() {
  host::Settings out = settings_;
  if (display_) {
    out.view = int32_t(fullScreen_ ? savedViewMode_ : display_->GetViewMode());
    out.zoomCur = display_->GetZoom();
  }
  if (fullScreen_) out.showInfo = savedShowInfo_;
  if (QuickView()) {
    out.pos.rect = FromRect(savedNormalRect_);
  } else if (IsWindow(TopLevelWindow())) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(TopLevelWindow(), &placement);
    out.pos.rect = FromRect(fullScreen_ ? fullScreenRestore_ : placement.rcNormalPosition);
    out.pos.maximized = placement.showCmd == SW_SHOWMAXIMIZED ? 1 : 0;
  }
  {
    std::lock_guard lock(listsMutex_);
    out.recentFiles = RecentFilesToWrite(history_.Paths(), settings_.recentFiles);
  }
  store_.Write(out, accelTable_, about_);
}

}  // namespace viewer
