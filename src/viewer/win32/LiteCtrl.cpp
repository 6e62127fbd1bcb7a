#include "viewer/win32/LiteCtrl.h"

#include <windowsx.h>

#include "ResourceIds.h"
#include "formats/PixelType.h"
#include "image/win32/DcDrawTarget.h"
#include "viewer/LoadPlan.h"
#include "viewer/PaintMath.h"
#include "viewer/win32/NavigationWindow.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

// Posted to the control by itself: lay out again after a content change that
// happened on another thread (wParam 1: the document was cleared).
constexpr UINT kMsgContentChanged = WM_APP + 1;
// Posted by a load as it begins and ends: the pointer over the display changes.
constexpr UINT kMsgCursorChanged = WM_APP + 2;
// The display's animation timer.
constexpr UINT_PTR kAnimationTimer = 1;

glib::Rect ToFilm(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

uint32_t ColourRef(uint32_t colour) { return colour & 0x00FFFFFFu; }

}  // namespace

CLiteCtrl::CLiteCtrl() {
  openHand_ = LoadCursorW(ui::ThisModule(), MAKEINTRESOURCEW(IDC_HAND_OPEN));
  grab_ = LoadCursorW(ui::ThisModule(), MAKEINTRESOURCEW(IDC_HAND_GRAB));
  classCursor_ = LoadCursorA(nullptr, IDC_ARROW);
}

CLiteCtrl::~CLiteCtrl() = default;

bool CLiteCtrl::CreateView(HWND parent, UINT id, bool popup) {
  ui::Window::CreateArgs args;
  args.className = L"OrbiskView";
  args.style = popup ? WS_POPUP : WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  args.exStyle = popup ? WS_EX_TOPMOST | WS_EX_TOOLWINDOW : 0;
  args.rect = {0, 0, 0, 0};
  args.parent = parent;
  args.menuOrId = popup ? nullptr : HMENU(UINT_PTR(id));
  args.classStyle = CS_DBLCLKS;
  args.cursor = classCursor_;
  if (!Create(args)) return false;
  scroller_.SetOwner(hwnd());
  return true;
}

// ---- view mode and zoom ----

void CLiteCtrl::SetViewModeAndZoom(ViewMode mode, float zoom) {
  if (viewer::SetViewModeAndZoom(state_, mode, zoom)) RecalcLayout();
}

void CLiteCtrl::SetViewMode(ViewMode mode) {
  if (viewer::SetViewMode(state_, mode)) RecalcLayout();
}

void CLiteCtrl::SetZoom(float zoom) {
  if (viewer::SetZoom(state_, zoom)) RecalcLayout();
}

double CLiteCtrl::GetZoomPercent() const { return ZoomPercent(state_, ClientSize(), ImageSize()); }

void CLiteCtrl::CenterView() {
  if (!layout_) return;
  std::optional<Point> target = CenterViewTarget(state_.zoom, ImageSize(), ClientSize(),
                                                 layout_->scrollableX, layout_->scrollableY);
  if (target) scroller_.ScrollTo(*target);
}

void CLiteCtrl::SetCentred(bool centred) {
  if (centred_ == centred) return;
  centred_ = centred;
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLiteCtrl::SetPanning(bool panning, bool scrollBars) {
  panning_ = panning;
  scrollBars_ = scrollBars;
  if (hwnd()) {
    EnableScrollBar(hwnd(), SB_BOTH, scrollBars ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    RecalcLayout();
  }
}

Size CLiteCtrl::ClientSize() const {
  RECT client{};
  if (hwnd()) GetClientRect(hwnd(), &client);
  return {client.right, client.bottom};
}

Size CLiteCtrl::ImageSize() const {
  std::lock_guard lock(filmLock_);
  if (loading_ || GetSlideCount() == 0) return {};
  // The slide on screen with its own size; -1 would answer the largest of all slides.
  Size size;
  GetSlideSize(GetCurrentIndex(), size.width, size.height);
  return size;
}

bool CLiteCtrl::HasImage() const {
  Size size = ImageSize();
  return size.width > 0 && size.height > 0;
}

ImageFacts CLiteCtrl::Facts() const {
  std::lock_guard lock(filmLock_);
  ImageFacts facts;
  Size size = ImageSize();
  facts.width = size.width;
  facts.height = size.height;
  if (size.width > 0) {
    uint32_t type = GetLayerPixelType(glib::kCurrentSlide, 0);
    if (type != glib::kPixelNone && type != glib::kPixelVector) {
      facts.channels = int32_t(glib::SamplesPerPixel(type));
      facts.bitsPerChannel = int32_t(glib::BitsPerSample(type));
    }
  }
  return facts;
}

void CLiteCtrl::RecalcLayout() {
  if (!hwnd() || inLayout_ || loading_) return;
  Size image = ImageSize();
  if (image.width <= 0 || image.height <= 0) return;
  inLayout_ = true;
  Size bars{GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL)};
  Size client = ClientSize();
  LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  Size bare{client.width + ((style & WS_VSCROLL) ? bars.width : 0),
            client.height + ((style & WS_HSCROLL) ? bars.height : 0)};
  std::optional<Layout> layout = ResolveLayout(state_, bare, image, {panning_, scrollBars_}, bars);
  if (layout) {
    layout_ = layout;
    state_.zoom = layout->zoom;
    if (layout->fitsWhole) {
      scroller_.Model().SetPosition({});
      ShowScrollBar(hwnd(), SB_BOTH, FALSE);
      scroller_.SetSize({});
    } else {
      ShowScrollBar(hwnd(), SB_HORZ, layout->showHorzBar);
      ShowScrollBar(hwnd(), SB_VERT, layout->showVertBar);
      scroller_.RecalcPages();
      scroller_.SetSize(layout->scrollTotal);
    }
  }
  inLayout_ = false;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLiteCtrl::ResetLayout() {
  layout_.reset();
  drag_.End();
  scroller_.Model().SetPosition({});
  scroller_.SetSize({});
  if (hwnd()) {
    ShowScrollBar(hwnd(), SB_BOTH, FALSE);
    InvalidateRect(hwnd(), nullptr, FALSE);
  }
}

// ---- loading ----

void CLiteCtrl::LoadingBegun() {
  loading_ = true;
  { std::lock_guard wait(filmLock_); }
  if (hwnd()) {
    InvalidateRect(hwnd(), nullptr, FALSE);
    PostMessageW(hwnd(), kMsgCursorChanged, 0, 0);
  }
}

void CLiteCtrl::ShowWaitCursor() {
  waiting_ = true;
  if (hwnd()) PostMessageW(hwnd(), kMsgCursorChanged, 0, 0);
}

void CLiteCtrl::LoadingEnded() {
  loading_ = false;
  waiting_ = false;
  ContentChanged(false);
  if (hwnd()) PostMessageW(hwnd(), kMsgCursorChanged, 0, 0);
}

void CLiteCtrl::ContentChanged(bool cleared) {
  if (!hwnd()) return;
  if (GetWindowThreadProcessId(hwnd(), nullptr) != GetCurrentThreadId()) {
    PostMessageW(hwnd(), kMsgContentChanged, cleared ? 1 : 0, 0);
    return;
  }
  if (cleared) return ResetLayout();
  // Another image keeps mode and zoom but starts at the top-left corner.
  scroller_.Model().SetPosition({});
  RecalcLayout();
}

glib::ERetcode CLiteCtrl::Loaded(glib::ERetcode rc) {
  if (rc == glib::RCOK) ContentChanged(false);
  return rc;
}

glib::ERetcode CLiteCtrl::LoadW(const char16_t* path, uint32_t format, glib::ImageLoad* params) {
  return Loaded(Film::LoadW(path, format, params));
}

glib::ERetcode CLiteCtrl::Load(const char* path, uint32_t format, glib::ImageLoad* params) {
  return Loaded(Film::Load(path, format, params));
}

glib::ERetcode CLiteCtrl::LoadMemory(const void* data, uint32_t size, uint32_t format,
                                     glib::ImageLoad* params) {
  return Loaded(Film::LoadMemory(data, size, format, params));
}

glib::ERetcode CLiteCtrl::LoadThumbnailW(const char16_t* path, uint32_t format, bool fallBack,
                                         int32_t maxWidth, int32_t maxHeight,
                                         glib::ImageLoad* params) {
  return Loaded(Film::LoadThumbnailW(path, format, fallBack, maxWidth, maxHeight, params));
}

glib::ERetcode CLiteCtrl::LoadThumbnail(const char* path, uint32_t format, bool fallBack,
                                        int32_t maxWidth, int32_t maxHeight,
                                        glib::ImageLoad* params) {
  return Loaded(Film::LoadThumbnail(path, format, fallBack, maxWidth, maxHeight, params));
}

glib::ERetcode CLiteCtrl::LoadResource(void* module, uint16_t id, const char* type, uint32_t format,
                                       glib::ImageLoad* params) {
  return Loaded(Film::LoadResource(module, id, type, format, params));
}

void CLiteCtrl::Clear() {
  // A new document ends the animation; the timer itself dies at its next tick.
  animating_ = false;
  Film::Clear();
  ContentChanged(true);
}

bool CLiteCtrl::StartAnimation() {
  if (!hwnd() || GetSlideCount() < 2) return false;
  animating_ = true;
  First();
  SetTimer(hwnd(), kAnimationTimer, 0, nullptr);
  return true;
}

bool CLiteCtrl::StopAnimation() {
  if (!animating_.exchange(false)) return false;
  KillTimer(hwnd(), kAnimationTimer);
  First();
  InvalidateRect(hwnd(), nullptr, FALSE);
  return true;
}

void CLiteCtrl::OnAnimationTick() {
  if (!animating_ || loading_) {
    if (!animating_) KillTimer(hwnd(), kAnimationTimer);
    return;
  }
  InvalidateRect(hwnd(), nullptr, FALSE);
  UpdateWindow(hwnd());
  std::lock_guard lock(filmLock_);
  const glib::Slide* slide = GetSlide(GetCurrentIndex());
  SetTimer(hwnd(), kAnimationTimer, FrameDelay(slide ? slide->GetDelay() : 0), nullptr);
  if (!Next()) First();
}

// ---- cursor ----

void CLiteCtrl::SetPointerHidden(bool hidden) {
  if (pointerHidden_ == hidden) return;
  pointerHidden_ = hidden;
  POINT at{};
  GetCursorPos(&at);
  if (hwnd() && WindowFromPoint(at) == hwnd()) SetCursor(CurrentCursor());
}

HCURSOR CLiteCtrl::CurrentCursor() const {
  if (pointerHidden_) return nullptr;
  if (loading_ || waiting_) return LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // the hourglass
  if (drag_.Dragging()) return grab_;
  bool pannable = layout_ && panning_ && layout_->openHandCursor && !loading_;
  return pannable ? openHand_ : classCursor_;
}

bool CLiteCtrl::OnSetCursor(LPARAM lparam) {
  if (LOWORD(lparam) != HTCLIENT) return false;
  SetCursor(CurrentCursor());
  return true;
}

// ---- messages ----

void CLiteCtrl::OnMouseMove(Point mouse) {
  std::optional<Point> target = drag_.Move(mouse);
  if (!target) return;
  scroller_.ScrollTo(*target);
  if (state_.zoom != 1.0f) RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

LRESULT CLiteCtrl::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (!inLayout_) {
        scroller_.RecalcPages();
        RecalcLayout();
      }
      return 0;
    case WM_HSCROLL:
      scroller_.OnScroll(Axis::Horizontal, LOWORD(wparam));
      return 0;
    case WM_VSCROLL:
      scroller_.OnScroll(Axis::Vertical, LOWORD(wparam));
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor(lparam)) return TRUE;
      break;
    case WM_LBUTTONDOWN: {
      Point mouse{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (layout_ && drag_.Begin(scroller_.Position(), mouse, panning_, layout_->scrollableX,
                                 layout_->scrollableY)) {
        SetCapture(hwnd());
        SetCursor(grab_);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      OnMouseMove({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_LBUTTONUP:
      if (drag_.End()) {
        ReleaseCapture();
        SetCursor(CurrentCursor());
      }
      return 0;
    case WM_CAPTURECHANGED:
      drag_.End();
      return 0;
    case kMsgContentChanged:
      ContentChanged(wparam != 0);
      return 0;
    case kMsgCursorChanged: {
      POINT at{};
      GetCursorPos(&at);
      if (WindowFromPoint(at) == hwnd()) SetCursor(CurrentCursor());
      return 0;
    }
    case WM_TIMER:
      if (wparam == kAnimationTimer) {
        OnAnimationTick();
        return 0;
      }
      break;
  }
  return Default(message, wparam, lparam);
}

void CLiteCtrl::OnPaint() {
  ui::PaintScope paint(hwnd());
  std::lock_guard lock(filmLock_);
  HDC dc = paint.dc();
  glib::DcDrawTarget target(dc);
  Size client = ClientSize();
  uint32_t background =
      ColourRef(loading_ ? State()->background : GetBackground(glib::kCurrentSlide));
  if (loading_ || !layout_ || !HasImage()) {
    target.Fill({0, 0, client.width, client.height}, background);
    imageRect_ = {};
    return;
  }
  PaintInput input;
  input.view = state_;
  input.displayed = layout_->displayed;
  input.client = client;
  input.image = ImageSize();
  input.scroll = scroller_.Position();
  input.autoSize = autoSize_;
  input.frozen = frozen_;
  input.centred = centred_;
  PaintPlan plan = PlanPaint(input);
  if (frozen_) {
    imageRect_ = {};
    return;
  }
  scroller_.Model().SetPosition(plan.scroll);
  // Beyond the 16-bit range the rectangles are moved by hand.
  bool origin = scroller_.PrepareDC(dc);
  auto place = [&](const Rect& r) { return origin ? r : DrawingToClient(r, plan.scroll); };
  Rect destination = place(plan.destination);
  if (plan.draw == DrawKind::Copy) {
    Draw(target, ToFilm(destination), plan.source.left, plan.source.top);
  } else if (plan.draw == DrawKind::Stretch) {
    DrawEx(target, ToFilm(destination), ToFilm(plan.source), stretchMode_);
  }
  for (int i = 0; i < plan.fillCount; ++i) target.Fill(ToFilm(place(plan.fill[i])), background);
  imageRect_ = {plan.imageRect.left, plan.imageRect.top, plan.imageRect.right,
                plan.imageRect.bottom};
}

// ---- the viewer's control ----

CLiteCtrlExEx::CLiteCtrlExEx(HWND owner) : owner_(owner) {
  autoSize_ = false;
  cornerPicture_.reset(HBITMAP(LoadImageW(ui::ThisModule(), MAKEINTRESOURCEW(IDB_CORNER_BOX),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

CLiteCtrlExEx::~CLiteCtrlExEx() = default;

void CLiteCtrlExEx::OnMouseMove(Point mouse) {
  CLiteCtrl::OnMouseMove(mouse);
  LPARAM packed = LPARAM((uint32_t(uint16_t(mouse.y)) << 16) | uint16_t(mouse.x));
  PostMessageW(owner_, UWM_NOTIFY, kNotifyMouseMoved, packed);
}

std::optional<RECT> CLiteCtrlExEx::CornerBoxInWindow() const {
  LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  RECT window{};
  GetWindowRect(hwnd(), &window);
  Rect local{0, 0, window.right - window.left, window.bottom - window.top};
  std::optional<Rect> box =
      CornerBox(local, (style & WS_HSCROLL) != 0, (style & WS_VSCROLL) != 0,
                {GetSystemMetrics(SM_CXHSCROLL), GetSystemMetrics(SM_CYVSCROLL)});
  if (!box) return std::nullopt;
  return RECT{box->left, box->top, box->right, box->bottom};
}

void CLiteCtrlExEx::PaintCornerBox() {
  std::optional<RECT> box = CornerBoxInWindow();
  if (!box || !cornerPicture_) return;
  ui::WindowDC windowDc(hwnd(), ui::WindowDC::kWholeWindow);
  HDC dc = windowDc.dc();
  if (!dc) return;
  ui::UniqueMemoryDC memory(CreateCompatibleDC(dc));
  BITMAP info{};
  GetObjectW(cornerPicture_.get(), sizeof info, &info);
  {
    ui::SelectScope select(memory.get(), cornerPicture_.get());
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, box->left, box->top, box->right - box->left, box->bottom - box->top,
               memory.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  }
}

void CLiteCtrlExEx::SetNavigationFrame(COLORREF first, COLORREF second) {
  navigationFrame_ = std::pair(first, second);
}

void CLiteCtrlExEx::OpenNavigation() {
  std::optional<RECT> box = CornerBoxInWindow();
  if (!box || !HasImage() || !layout_) return;
  if (!navigation_) {
    navigation_ = std::make_unique<NavigationWindow>(*this);
    if (!navigation_->CreateView(hwnd(), 0, true)) {
      navigation_.reset();
      return;
    }
  }
  if (navigationFrame_)
    navigation_->SetFrameColours(navigationFrame_->first, navigationFrame_->second);
  RECT window{};
  GetWindowRect(hwnd(), &window);
  navigation_->Open({window.left + box->left, window.top + box->top});
}

LRESULT CLiteCtrlExEx::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(owner_);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
      PostMessageW(owner_, UWM_NOTIFY, kNotifyFullScreen, 0);
      return 0;
    case WM_NCPAINT: {
      LRESULT result = Default(message, wparam, lparam);
      PaintCornerBox();
      return result;
    }
    case WM_NCLBUTTONDOWN: {
      std::optional<RECT> box = CornerBoxInWindow();
      RECT window{};
      GetWindowRect(hwnd(), &window);
      POINT at{GET_X_LPARAM(lparam) - window.left, GET_Y_LPARAM(lparam) - window.top};
      if (box && PtInRect(&*box, at)) {
        OpenNavigation();
        return 0;
      }
      break;
    }
  }
  return CLiteCtrl::WndProc(message, wparam, lparam);
}

}  // namespace viewer
