// The children of the window (tool bar, status bar, information panel, display), how
// they share the client area, and the texts: title, status panes, load-error report.
#include <algorithm>

#include "ResourceIds.h"
#include "formats/Retcode.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "ui/Text.h"
#include "viewer/win32/CheckedMessageBox.h"
#include "viewer/win32/ListerWiring.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

enum ChildId : UINT { kToolBarId = 100, kStatusBarId, kInfoPanelId, kDisplayId };

// Status panes: file name, image, pages, zoom (the last takes the rest).
constexpr int kPaneWidths[] = {220, 150, 100, 80};

// Buttons that start a group of their own on the bar.
bool StartsGroup(size_t index) {
  return index == 3 || index == 7 || index == 8 || index == 13 || index == 15 || index == 16 ||
         index == 17;
}

}  // namespace

bool COrbiskWnd::CreateChildren() {
  std::vector<ui::ToolButtonArgs> buttons;
  for (size_t i = 0; i < kToolButtons.size(); ++i) {
    buttons.push_back({kToolButtons[i].command, kToolButtons[i].image, StartsGroup(i)});
  }
  ui::ToolBarArgs bar;
  bar.parent = hwnd();
  bar.id = kToolBarId;
  bar.module = ui::ThisModule();
  bar.bitmapId = IDB_TOOLBAR;
  bar.buttons = buttons;
  if (!toolBar_.Create(bar)) return false;
  toolBar_.onToolTip = [this](UINT command) {
    for (const ToolButton& button : kToolButtons) {
      if (button.command == command) {
        return ui::WideFromUtf8(ToolTipFor(button, settings_.sendToRecycleBin));
      }
    }
    return std::wstring();
  };

  ui::StatusBarArgs status;
  status.parent = hwnd();
  status.id = kStatusBarId;
  status.paneWidths = kPaneWidths;
  if (!statusBar_.Create(status)) return false;

  if (!infoPanel_.Create(hwnd(), kInfoPanelId, &settings_.collapsedGroups)) return false;

  display_ = std::make_unique<CLiteCtrlExEx>(hwnd());
  if (!display_->CreateView(hwnd(), kDisplayId)) return false;
  display_->SetProgress(&COrbiskWnd::ProgressEntry, uintptr_t(this));
  return true;
}

void COrbiskWnd::Layout() {
  if (!hwnd() || !display_) return;
  RECT client{};
  GetClientRect(hwnd(), &client);
  int width = client.right;
  int height = client.bottom;
  bool bars = !SkinActive();
  toolBar_.Show(bars && settings_.showToolBar);
  statusBar_.Show(bars && settings_.showStatusBar);
  toolBar_.Place(width);
  statusBar_.Place(width, height);
  int top = toolBar_.Height();
  int bottom = std::max(top, height - statusBar_.Height());
  int left = 0;
  int right = width;
  if (!bars) {
    skinButtons_ = PlaceSkinButtons(skin_->Description(), {width, height});
    RECT area = SkinClientArea(width, height);
    left = area.left, top = area.top, right = area.right, bottom = area.bottom;
    InvalidateRect(hwnd(), nullptr, FALSE);
  }
  PlaceSkinTips();
  const int displayLeft = left;
  if (settings_.showInfo) {
    left = displayLeft + std::clamp<int>(settings_.infoPanelWidth, 0, (right - displayLeft) / 2);
    MoveWindow(infoPanel_.hwnd(), displayLeft, top, left - displayLeft, bottom - top, TRUE);
  }
  infoPanel_.Show(settings_.showInfo);
  MoveWindow(display_->hwnd(), left, top, std::max(0, right - left), bottom - top, TRUE);
}

void COrbiskWnd::RefreshTitle() {
  std::optional<std::string> current;
  {
    std::lock_guard lock(listsMutex_);
    current = history_.Current();
  }
  if (!QuickView() && current) {
    std::wstring title = ui::WideFromNarrow(WindowTitle(*current));
    SetWindowTextW(parent_, title.c_str());
    SetWindowTextW(hwnd(), title.c_str());
    // The skinned window draws its title itself.
    if (SkinActive()) InvalidateRect(hwnd(), nullptr, FALSE);
  }
}

void COrbiskWnd::ResetTitleAndBars() {
  // Both: with a skin the viewer's own text is the caption the user sees.
  SetWindowTextW(parent_, L"Orbisk");
  SetWindowTextW(hwnd(), L"Orbisk");
  RefreshToolBar();
  RefreshStatusTexts();
}

StatusTexts COrbiskWnd::BuildStatusTexts() const {
  StatusTexts texts;
  if (!display_ || !display_->HasImage()) {
    texts.image = kNoFileLoaded;
    return texts;
  }
  {
    std::lock_guard lock(listsMutex_);
    if (std::optional<std::string> current = history_.Current()) {
      texts.fileName = FileNameText(*current);
    }
  }
  texts.image = ImageText(display_->Facts());
  PageFacts pages;
  pages.pageByPage = pageByPage_;
  pages.currentPage = currentPage_;
  pages.pageCount = pageCount_;
  pages.currentFrame = display_->GetCurrentIndex();
  pages.frameCount = display_->SlideCount();
  texts.pages = PageText(pages);
  texts.zoom = FormatZoomPercent(display_->GetZoomPercent());
  return texts;
}

void COrbiskWnd::RefreshStatusTexts() {
  statusTexts_ = BuildStatusTexts();
  // The hidden bar stays current too: it shows again as it is when the skin goes.
  statusBar_.SetText(0, ui::WideFromNarrow(statusTexts_.fileName));
  statusBar_.SetText(1, ui::WideFromUtf8(statusTexts_.image));
  statusBar_.SetText(2, ui::WideFromUtf8(statusTexts_.pages));
  statusBar_.SetText(3, ui::WideFromUtf8(statusTexts_.zoom));
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void COrbiskWnd::RefreshToolBar() {
  CommandState state = CurrentCommandState();
  for (const ToolButton& button : kToolButtons) {
    CommandRules rules = RulesFor(button.command);
    // Without a skin the button is the only way to the panel.
    bool enabled = button.command == host::kCmdShowInfoPanel || IsEnabled(rules.enable, state);
    toolBar_.SetEnabled(button.command, enabled);
  }
  toolBar_.SetChecked(host::kCmdShowInfoPanel, settings_.showInfo);
}

std::u16string COrbiskWnd::LoadPathForInfo() const {
  return loadNameW_.empty() ? platform::Utf16FromNarrow(loadName_) : loadNameW_;
}

void COrbiskWnd::ShowFileInfo() {
  decltype(loadedInfo_) record;
  {
    std::lock_guard lock(listsMutex_);
    record = std::move(loadedInfo_);
  }
  info_.SetDetailed(settings_.detailedMetaInfo);
  if (record) {
    info_.BuildFromRecord(*record, LoadPathForInfo());
  } else if (!info_.BuildForPath(LoadPathForInfo(), nullptr, true)) {
    info_.Empty();
  }
}

void COrbiskWnd::ShowLoadError(uint32_t code) {
  ResetTitleAndBars();
  // The rows of the picture shown before do not describe this file.
  info_.Empty();
  bool report = userInitiated_.exchange(false);
  if (!report || code == glib::USRA || !settings_.notifyAboutError) return;
  info_.SetDetailed(settings_.detailedMetaInfo);
  info_.BuildForPath(LoadPathForInfo(), nullptr, true);
  info_.AddGroup(glib::kGroupLoadError, "Load Error Info");
  info_.AddText("Code", glib::RetcodeMessage(code));
  std::string extended = display_ ? display_->GetFilterMessage().c_str() : "";
  if (!extended.empty())
    info_.AddText("Extended", platform::Utf8FromUtf16(platform::Utf16FromNarrow(extended)));
  info_.Publish();
  settings_.showInfo = true;
  Layout();
  RefreshToolBar();
  // A load started since owns the document now.
  if (!loadRunning_) ShowErrorPicture();
}

int COrbiskWnd::AskAboutMissingPlugin(const char* format) {
  std::wstring text = L"Can't load plugin: \"" + ui::WideFromNarrow(format) +
                      L"\" !\nFormat filter plug-ins come with the Orbisk package: copy the "
                      L"missing one from it into Orbisk's folder, then press Retry.";
  CheckedAnswer answer = CheckedMessageBox(nullptr, L"Load error", text, MB_RETRYCANCEL);
  settings_.askAboutMissingPlugin = !answer.checked;
  return answer.button;
}

}  // namespace viewer
