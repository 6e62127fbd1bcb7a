#include "viewer/win32/FilterBrowser.h"

#include <windowsx.h>

#include <cstring>
#include <mutex>
#include <utility>

#include "ResourceIds.h"
#include "formats/PixelType.h"
#include "image/Layer.h"
#include "image/Slide.h"
#include "runtime/Scale.h"
#include "ui/Text.h"
#include "ui/Window.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

constexpr int32_t kCopySlide = 0;
constexpr int32_t kResultSlide = 1;
// The flags the preview's scaling is given.
constexpr uint32_t kPreviewScaleFlags = 32;
// The display sits inside the preview's frame.
constexpr int kFrameInset = 2;

// Previews of every browser in the process are made one at a time. One thread may
// come back in while it pumps messages between the steps of a preview (a second
// viewer's browser), so the lock is recursive.
std::recursive_mutex& PreviewLock() {
  static std::recursive_mutex lock;
  return lock;
}

RECT ItemRect(HWND dialog, int id) {
  RECT rect{};
  HWND item = GetDlgItem(dialog, id);
  GetWindowRect(item, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void MoveItem(HWND item, int dx, int dy) {
  RECT rect{};
  GetWindowRect(item, &rect);
  MapWindowPoints(nullptr, GetParent(item), reinterpret_cast<POINT*>(&rect), 2);
  SetWindowPos(item, nullptr, rect.left + dx, rect.top + dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// ---- the preview's display ----

LRESULT CLiteCtrlEx::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      dragAt_ = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      SetCapture(hwnd());
      SetCursor(grab_);
      return 0;
    case WM_MOUSEMOVE:
      if (dragAt_) {
        POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        const int32_t dx = at.x - dragAt_->x, dy = at.y - dragAt_->y;
        dragAt_ = at;
        if ((dx || dy) && onDrag) onDrag(dx, dy);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragAt_) ReleaseCapture();  // WM_CAPTURECHANGED ends the drag
      EndDrag();
      return 0;
    case WM_CAPTURECHANGED:
      EndDrag();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT) break;
      SetCursor(dragAt_ ? grab_ : openHand_);
      return TRUE;
  }
  return CLiteCtrl::WndProc(message, wparam, lparam);
}

void CLiteCtrlEx::EndDrag() {
  if (!dragAt_) return;
  dragAt_.reset();
  SetCursor(openHand_);
  if (onDragEnd) onDragEnd();
}

// ---- the preview ----

bool PreviewPictureBar::Create(HWND dialog, const RECT& area) {
  if (!display_.CreateView(dialog, 0)) return false;
  display_.SetPanning(false, false);
  display_.SetViewModeAndZoom(ViewMode::Zoom, 1.0f);
  SetWindowPos(display_.hwnd(), HWND_TOP, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_NOACTIVATE);
  return true;
}

bool PreviewPictureBar::TakeCopy(glib::Film& document) {
  glib::Slide* current = document.GetSlide(glib::kCurrentSlide);
  glib::Slide* copy = current ? current->Clone(display_.State()) : nullptr;
  if (!copy) return false;
  display_.RemoveSlides(0, -1);
  // Attached to the preview's document, the copy reports to nobody.
  display_.AddSlide(copy);
  return true;
}

void PreviewPictureBar::Drag(int32_t dx, int32_t dy) {
  if (centre_) centre_ = DraggedCentre(*centre_, kPreviewZooms[size_t(zoom_)], dx, dy);
}

bool PreviewPictureBar::ShowPart() {
  display_.RemoveSlides(kResultSlide, -1);
  const glib::CoreBitmap* source = display_.PrepareSlideBitmap(kCopySlide, false);
  if (!source || !source->pixels || !glib::IsRaster(source->pixelType)) return false;
  RECT client{};
  GetClientRect(display_.hwnd(), &client);
  const Size picture{source->width, source->height};
  if (!centre_) centre_ = PictureCentre(picture);
  PreviewPart part =
      VisiblePart(picture, {client.right, client.bottom}, kPreviewZooms[size_t(zoom_)], *centre_);
  if (part.shown.width <= 0 || part.shown.height <= 0) return false;
  centre_ = part.centre;

  const glib::Slide* copy = display_.GetSlide(kCopySlide);
  auto result = std::make_unique<glib::Slide>(copy->GetBackground(), display_.State());
  auto layer = std::make_unique<glib::Layer>(result.get());
  if (!layer->Create(0, 0, part.shown.width, part.shown.height, source->pixelType, nullptr, true,
                     false))
    return false;
  glib::Scale scale(0, nullptr, glib::kScaleNearest, kPreviewScaleFlags);
  const glib::ScaleRect rect{part.source.left, part.source.top, int32_t(part.source.Width()),
                             int32_t(part.source.Height())};
  if (scale.ScaleTo(*source, &rect, part.shown.width, part.shown.height, layer->bitmap.pixels,
                    layer->bitmap.stride) != glib::RCOK)
    return false;
  if (glib::BitsPerPixel(source->pixelType) <= 8) {
    std::memcpy(layer->bitmap.palette, source->palette, sizeof layer->bitmap.palette);
    layer->bitmap.paletteSize = source->paletteSize;
  }
  result->AddLayer(layer.release());
  display_.AddSlide(result.release());
  display_.GoTo(kResultSlide);
  return true;
}

void PreviewPictureBar::Render(const EffectCall* call, const std::function<bool()>& giveUp) {
  if (ShowPart() && call) {
    if (giveUp && giveUp()) return;
    glib::DynParamList params = ParamsToApply(*call);
    // A refusal of the module leaves the part as it is: the preview shows that.
    display_.ApplyEffect(call->effect, params.Record(), kResultSlide, 1);
    if (giveUp && giveUp()) return;
  }
  Paint();
}

void PreviewPictureBar::Paint() {
  display_.RecalcLayout();
  InvalidateRect(display_.hwnd(), nullptr, FALSE);
  UpdateWindow(display_.hwnd());
}

// ---- the browser ----

UINT ColorEffectDialog::IDD() { return IDD_FILTER_BROWSER; }

ColorEffectDataExchangeEx* ColorEffectDialog::Current() const {
  return current_ >= 0 && size_t(current_) < dialogs_.size() ? dialogs_[size_t(current_)] : nullptr;
}

EffectCall ColorEffectDialog::CurrentCall() const {
  ColorEffectDataExchangeEx* dialog = Current();
  return dialog ? dialog->Call() : EffectCall{};
}

bool ColorEffectDialog::OnInitDialog() {
  HICON icon = LoadIconW(ui::ThisModule(), MAKEINTRESOURCEW(IDI_ORBISK));
  SendMessageW(hwnd(), WM_SETICON, ICON_BIG, LPARAM(icon));
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, LPARAM(icon));
  LayOut();
  if (dialogs_.empty() || !CreateSettings()) {
    EndDialog(hwnd(), IDCANCEL);
    return false;
  }
  RECT area = ItemRect(hwnd(), IDC_FB_PREVIEW);
  InflateRect(&area, -kFrameInset, -kFrameInset);
  if (preview_.Create(hwnd(), area)) {
    preview_.TakeCopy(document_);
    preview_.Display().onDrag = [this](int32_t dx, int32_t dy) { DragPreview(dx, dy); };
    preview_.Display().onDragEnd = [this] { RefreshPreview(); };
  }
  ShowZoom();
  Select(0);
  SetFocus(GetDlgItem(hwnd(), dialogs_.size() >= 2 ? IDC_FB_FILTERS : IDOK));
  return false;
}

void ColorEffectDialog::LayOut() {
  HWND list = GetDlgItem(hwnd(), IDC_FB_FILTERS);
  RECT window{};
  GetWindowRect(hwnd(), &window);
  int shrink = 0;
  if (dialogs_.size() < 2) {
    // One effect: no list, and its name is the title.
    shrink = ItemRect(hwnd(), IDC_FB_SETTINGS).left - ItemRect(hwnd(), IDC_FB_FILTERS).left;
    ShowWindow(list, SW_HIDE);
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (child != list) MoveItem(child, -shrink, 0);
    if (!dialogs_.empty())
      SetWindowTextW(hwnd(), ui::WideFromUtf8(dialogs_.front()->Name()).c_str());
  } else {
    for (ColorEffectDataExchangeEx* dialog : dialogs_)
      SendMessageW(list, LB_ADDSTRING, 0, LPARAM(ui::WideFromUtf8(dialog->Name()).c_str()));
  }
  if (!showApply_) {
    HWND apply = GetDlgItem(hwnd(), IDC_FB_APPLY);
    const int dx = ItemRect(hwnd(), IDC_FB_APPLY).left - ItemRect(hwnd(), IDCANCEL).left;
    ShowWindow(apply, SW_HIDE);
    MoveItem(GetDlgItem(hwnd(), IDOK), dx, 0);
    MoveItem(GetDlgItem(hwnd(), IDCANCEL), dx, 0);
  }
  if (shrink > 0)
    SetWindowPos(hwnd(), nullptr, 0, 0, window.right - window.left - shrink,
                 window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ColorEffectDialog::CreateSettings() {
  const RECT area = ItemRect(hwnd(), IDC_FB_SETTINGS);
  const bool sixteenBit =
      SixteenBitsPerChannel(document_.GetLayerPixelType(glib::kCurrentSlide, 0));
  for (ColorEffectDataExchangeEx* dialog : dialogs_) {
    if (!dialog->CreateIn(hwnd(), sixteenBit)) return false;
    SetWindowPos(dialog->hwnd(), HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return true;
}

void ColorEffectDialog::Select(int32_t index) {
  if (index < 0 || size_t(index) >= dialogs_.size()) return;
  if (ColorEffectDataExchangeEx* previous = Current(); previous && index != current_)
    ShowWindow(previous->hwnd(), SW_HIDE);
  current_ = index;
  SendDlgItemMessageW(hwnd(), IDC_FB_FILTERS, LB_SETCURSEL, WPARAM(index), 0);
  // Shown first, so that its sliders place their thumbs on their laid-out tracks; then
  // back to its defaults, which brings a new preview.
  ShowWindow(dialogs_[size_t(index)]->hwnd(), SW_SHOW);
  dialogs_[size_t(index)]->ResetSettings();
}

bool ColorEffectDialog::OnOk() {
  EffectCall call = CurrentCall();
  call.params = ParamsToApply(call);
  chosen_ = std::move(call);
  return true;
}

bool ColorEffectDialog::OnCommand(WORD id, WORD code) {
  switch (id) {
    case IDC_FB_FILTERS:
      if (code == LBN_SELCHANGE)
        Select(int32_t(SendDlgItemMessageW(hwnd(), IDC_FB_FILTERS, LB_GETCURSEL, 0, 0)));
      return true;
    case IDC_FB_APPLY:
      if (code == BN_CLICKED && showApply_) Apply();
      return true;
    case IDC_FB_ZOOM_IN:
    case IDC_FB_ZOOM_OUT:
      if (code == BN_CLICKED) Zoom(id == IDC_FB_ZOOM_IN);
      return true;
  }
  return false;
}

INT_PTR ColorEffectDialog::OnMessage(UINT message, WPARAM wparam, LPARAM, bool& handled) {
  if (message == WM_SHOWWINDOW && wparam) shown_ = true;
  handled = message == kParamsChangedMessage;
  if (handled) RefreshPreview();
  return TRUE;
}

void ColorEffectDialog::RefreshPreview() {
  refreshPending_ = true;
  // A preview under way (this one pumps the messages that brought us here) starts
  // again with the newest settings.
  if (rendering_ || !preview_.hwnd()) return;
  std::lock_guard lock(PreviewLock());
  rendering_ = true;
  while (refreshPending_ && !Ended()) {
    refreshPending_ = false;
    if (std::exchange(recopyPending_, false)) preview_.TakeCopy(document_);
    const EffectCall call = CurrentCall();
    preview_.Render(&call, [this] { return PumpMessages(); });
  }
  rendering_ = false;
}

bool ColorEffectDialog::PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));  // for the loop that owns it
      return true;
    }
    if (!IsDialogMessageW(hwnd(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return refreshPending_ || Ended();
}

bool ColorEffectDialog::Ended() const {
  // The modal loop shows the dialog once it first runs out of messages; OK and Cancel
  // hide it again.
  return !IsWindow(hwnd()) || (shown_ && !IsWindowVisible(hwnd()));
}

void ColorEffectDialog::DragPreview(int32_t dx, int32_t dy) {
  preview_.Drag(dx, dy);
  if (rendering_) {
    refreshPending_ = true;
    return;
  }
  // While the button is down the part follows the pointer without the effect; the
  // effect comes back when it is released.
  std::lock_guard lock(PreviewLock());
  preview_.Render(nullptr, {});
}

void ColorEffectDialog::Apply() {
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // the hourglass
  const EffectCall call = CurrentCall();
  glib::DynParamList params = ParamsToApply(call);
  const glib::ERetcode rc = document_.ApplyEffect(call.effect, params.Record(), 0, -1);
  SetCursor(previous);
  recopyPending_ = true;
  if (onApplied) onApplied(rc);
  RefreshPreview();
}

void ColorEffectDialog::Zoom(bool in) {
  const int32_t index = preview_.ZoomIndex();
  preview_.SetZoomIndex(in ? PreviewZoomIn(index) : PreviewZoomOut(index));
  ShowZoom();
  RefreshPreview();
}

void ColorEffectDialog::ShowZoom() {
  const int32_t index = preview_.ZoomIndex();
  HWND in = GetDlgItem(hwnd(), IDC_FB_ZOOM_IN), out = GetDlgItem(hwnd(), IDC_FB_ZOOM_OUT);
  // A button about to be disabled hands the focus to the other one.
  if (GetFocus() == in && !CanPreviewZoomIn(index)) SetFocus(out);
  if (GetFocus() == out && !CanPreviewZoomOut(index)) SetFocus(in);
  EnableWindow(in, CanPreviewZoomIn(index));
  EnableWindow(out, CanPreviewZoomOut(index));
  SetItemText(IDC_FB_ZOOM_TEXT, ui::WideFromUtf8(PreviewZoomText(index)));
}

std::optional<EffectCall> RunFilterBrowser(glib::Film& document, HWND parent,
                                           std::function<void(glib::ERetcode)> onApplied) {
  std::vector<std::unique_ptr<ColorEffectDataExchangeEx>> owned = MakeEffectDialogs();
  std::vector<ColorEffectDataExchangeEx*> dialogs;
  for (const auto& dialog : owned) dialogs.push_back(dialog.get());
  ColorEffectDialog browser(document, std::move(dialogs), true, parent);
  browser.onApplied = std::move(onApplied);
  if (browser.Run() != IDOK) return std::nullopt;
  return browser.Chosen();
}

// ---- the viewer's command ----

void COrbiskWnd::OpenFilterBrowser() {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  const bool playing = display_->StopAnimation();
  // A slide show would load the next picture into the document under the dialog.
  const bool showing = std::exchange(slideShow_, false);
  auto shown = [this](glib::ERetcode rc) {
    // Slides done before a failure stay changed, but only success counts as an edit.
    if (rc != glib::RCOK) return;
    modified_ = true;
    ShowFrameChange();
    UpdateWindow(display_->hwnd());
  };
  std::optional<EffectCall> chosen = RunFilterBrowser(*display_, TopLevelWindow(), shown);
  if (chosen && display_)
    shown(display_->ApplyEffect(chosen->effect, chosen->params.Record(), 0, -1));
  slideShow_ = showing;
  if (playing && display_) display_->StartAnimation();
}

}  // namespace viewer
