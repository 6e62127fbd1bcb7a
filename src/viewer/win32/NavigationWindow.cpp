#include "viewer/win32/NavigationWindow.h"

#include <windowsx.h>

#include <memory>
#include <vector>

namespace viewer {
namespace {

// The frame colours when no skin gives its own.
constexpr COLORREF kFrameOuter = RGB(64, 64, 64);
constexpr COLORREF kFrameMiddle = RGB(200, 200, 200);

void MaskBit(std::vector<uint8_t>& mask, int stride, int x, int y) {
  mask[size_t(y) * size_t(stride) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
}

}  // namespace

NavigationWindow::NavigationWindow(CLiteCtrl& viewer)
    : viewer_(viewer), frameFirst_(kFrameOuter), frameSecond_(kFrameMiddle) {
  state_.mode = ViewMode::Natural;
  panning_ = false;
  autoSize_ = false;
  scrollBars_ = false;
}

NavigationWindow::~NavigationWindow() = default;

bool NavigationWindow::MakeThumbnail(Size thumbnail) {
  Clear();
  std::unique_ptr<glib::Film> scaled(
      viewer_.ScaleToNewFilm(thumbnail.width, thumbnail.height, glib::kScaleBilinear, 0, nullptr));
  if (!scaled) return false;
  AssignFrom(*scaled, viewer_.GetCurrentIndex(), 1);
  return GetSlideCount() > 0;
}

void NavigationWindow::MakeViewportCursor(Size cursor) {
  int stride = ((cursor.width + 15) / 16) * 2;  // monochrome rows are word-aligned
  std::vector<uint8_t> andMask(size_t(stride) * size_t(cursor.height), 0);
  std::vector<uint8_t> xorMask(andMask.size(), 0);
  for (int y = 0; y < cursor.height; ++y) {
    for (int x = 0; x < cursor.width; ++x) {
      CursorPixel pixel = ViewportCursorPixel(cursor, {x, y});
      if (pixel == CursorPixel::Transparent || pixel == CursorPixel::Invert) {
        MaskBit(andMask, stride, x, y);
      }
      if (pixel == CursorPixel::White || pixel == CursorPixel::Invert) {
        MaskBit(xorMask, stride, x, y);
      }
    }
  }
  viewportCursor_.reset(CreateCursor(ui::ThisModule(), 0, 0, cursor.width, cursor.height,
                                     andMask.data(), xorMask.data()));
  cursorSize_ = cursor;
}

void NavigationWindow::SetFrameColours(COLORREF first, COLORREF second) {
  frameFirst_ = first;
  frameSecond_ = second;
}

void NavigationWindow::Open(POINT cornerTopLeft) {
  Size image = viewer_.ImageSize();
  std::optional<Size> thumbnail = NavigationThumbnailSize(image);
  if (!thumbnail || !MakeThumbnail(*thumbnail)) return;
  thumbnail_ = *thumbnail;
  ratios_ = NavigationRatiosFor(viewer_.GetZoom(), image, thumbnail_);
  RECT client{};
  GetClientRect(viewer_.hwnd(), &client);
  MakeViewportCursor(
      ViewportCursorSize(thumbnail_, image, viewer_.GetZoom(), {client.right, client.bottom}));

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Rect placed = NavigationWindowRect(thumbnail_, {cornerTopLeft.x, cornerTopLeft.y},
                                     {work.left, work.top, work.right, work.bottom});
  SetWindowPos(hwnd(), HWND_TOPMOST, placed.left, placed.top, placed.Width(), placed.Height(),
               SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  RecalcLayout();

  POINT origin{0, 0};
  ClientToScreen(hwnd(), &origin);
  Point at = ViewportCursorPosition({origin.x, origin.y}, viewer_.ScrollPosition(), ratios_);
  Rect confine = ViewportCursorConfinement(
      {origin.x, origin.y, origin.x + thumbnail_.width, origin.y + thumbnail_.height}, cursorSize_);
  RECT clip{confine.left, confine.top, confine.right, confine.bottom};
  SetCursorPos(at.x, at.y);
  ClipCursor(&clip);
  SetCapture(hwnd());
  replaced_ = SetCursor(viewportCursor_.get());
  tracking_ = true;
}

void NavigationWindow::OnMouseMove(Point mouse) {
  if (!tracking_) return;
  SetCursor(viewportCursor_.get());
  viewer_.ScrollTo(NavigationScrollTarget(mouse, ratios_));
  RedrawWindow(viewer_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void NavigationWindow::Close() {
  if (!tracking_) return;
  tracking_ = false;
  SetCursor(replaced_);
  ClipCursor(nullptr);
  ReleaseCapture();
  ShowWindow(hwnd(), SW_HIDE);
}

void NavigationWindow::PaintFrame() {
  ui::WindowDC windowDc(hwnd(), ui::WindowDC::kWholeWindow);
  HDC dc = windowDc.dc();
  if (!dc) return;
  RECT window{};
  GetWindowRect(hwnd(), &window);
  std::array<Rect, 3> frames =
      NavigationFrameRects({window.right - window.left, window.bottom - window.top});
  const COLORREF colours[3] = {frameFirst_, frameSecond_, frameFirst_};
  for (size_t i = 0; i < frames.size(); ++i) {
    ui::UniqueBrush brush(CreateSolidBrush(colours[i]));
    RECT r{frames[i].left, frames[i].top, frames[i].right, frames[i].bottom};
    FrameRect(dc, &r, brush.get());
  }
}

LRESULT NavigationWindow::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCALCSIZE: {
      // A three-pixel frame on every side, outside the client area.
      auto* rect = reinterpret_cast<RECT*>(lparam);
      InflateRect(rect, -kNavigationFrameWidth, -kNavigationFrameWidth);
      return 0;
    }
    case WM_NCPAINT:
      PaintFrame();
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SETCURSOR:
      if (tracking_) {
        SetCursor(viewportCursor_.get());
        return TRUE;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      Close();
      return 0;
  }
  return CLiteCtrl::WndProc(message, wparam, lparam);
}

}  // namespace viewer
